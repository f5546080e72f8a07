#pragma once
// Writes a whole file or nothing: the text goes to a new file in the target's folder, is
// flushed to disk and then renamed over the target. A failed or interrupted write never
// leaves a half-written file and never destroys the file that was there before.

#include "records/SaveResult.h"

#include <string>
#include <string_view>

namespace tarvio {

SaveResult writeFileAtomically(const std::string& path, std::string_view contents);

// Why nothing may be written at path, or empty: a name longer than its folder allows, or
// something there that is not a regular file (a device, a FIFO, a link, a folder), which a
// rename would replace. Asked by writeFileAtomically, and by a caller before it spends an
// hour measuring for that file.
std::string whyNotReplaceable(const std::string& path);

// Whether a file name is one of the temporary files a write uses, left behind when the
// process was killed mid-write: ".tarvio2-0000abcd-00000001.tmp".
bool isTemporaryName(std::string_view name);

} // namespace tarvio
