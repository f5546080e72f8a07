// tarvio2-cli: the spectrometer without a window, for scripts, long runs and remote machines.

#include "cli/Cli.h"
#include "cli/CliSettings.h"
#include "driver/FtdiBackend.h"

#include <exception>
#include <iostream>
#include <memory>
#include <unistd.h>

int main(int argc, char* argv[]) {
    using namespace tarvio;
    useUserDecimalSeparator();
    CliEnvironment environment;
    environment.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    environment.realInterfaces = [] { return std::make_shared<FtdiBackend>(); };
    try {
        return runCli(argc, argv, environment);
    } catch (const std::exception& error) {
        std::cerr << "tarvio2-cli: " << error.what() << '\n';
    }
    return 1;
}
