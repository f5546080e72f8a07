#pragma once
// The version of this build, for --version, the About box and files that name their writer.

#include <string_view>

namespace tarvio {

// "0.1": the project's version as the build was configured.
std::string_view programVersion();

} // namespace tarvio
