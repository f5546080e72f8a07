#pragma once
// tarvio2-cli list: the interfaces found, one a line, real ones first, as the window lists
// them; exit status 3 when there is none.

#include "cli/CliEnvironment.h"

namespace CLI {
class App;
}

namespace tarvio {

struct ListOptions {};

CLI::App* addListCommand(CLI::App& app, ListOptions& options);
int runList(const ListOptions& options, const CliEnvironment& environment);

} // namespace tarvio
