#pragma once
// tarvio2-cli: the subcommands list, acquire, analyze and convert on one command line. The
// options are parsed with CLI11; an impossible command line gets a one-line message and
// exit status 2, --help explains each subcommand.

#include "cli/CliEnvironment.h"

namespace tarvio {

// The exit status (ExitCodes.h).
int runCli(int argc, const char* const* argv, const CliEnvironment& environment);

} // namespace tarvio
