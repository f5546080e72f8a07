#pragma once
// Where the main window opens when it remembers its geometry from the last run, given the
// screens as they are now. Toolkit-free, in screen pixels.

#include "app/Anchors.h"

#include <span>

namespace tarvio {

// The remembered geometry, when the middle of its top edge (just below where the title bar is
// grabbed) lies on one of the screens' available areas: moved and shrunk (never below the
// minimum) as little as needed to lie within that area. When no screen holds it (the screen
// it was on is gone, or has shrunk), the remembered size, so shrunk, centred on the first
// screen. Without any screen, the remembered geometry.
PixelRect restoredGeometry(const PixelRect& remembered, std::span<const PixelRect> screens,
                           PixelSize minimum);

} // namespace tarvio
