#pragma once
// Readable rectangles in test failures.

#include "app/Anchors.h"

#include <ostream>

namespace tarvio {

inline void PrintTo(const PixelRect& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << "}";
}

} // namespace tarvio
