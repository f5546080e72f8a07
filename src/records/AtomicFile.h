#pragma once
// Writes a whole file or nothing: the text goes to a new file in the target's folder, is
// flushed to disk and then renamed over the target. A failed or interrupted write never
// leaves a half-written file and never destroys the file that was there before.

#include "records/SaveResult.h"

#include <string>
#include <string_view>

namespace tarvio {

SaveResult writeFileAtomically(const std::string& path, std::string_view contents);

} // namespace tarvio
