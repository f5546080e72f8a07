// tarvio2-cli: the spectrometer without a window, for scripts, long runs and remote machines.

#include "cli/Cli.h"
#include "cli/CliSettings.h"
#include "cli/ExitCodes.h"
#include "cli/StopSignals.h"
#include "driver/FtdiBackend.h"

#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <unistd.h>

int main(int argc, char* argv[]) {
    using namespace tarvio;
    holdStopSignals(); // before anything else: see StopSignals.h
    useUserDecimalSeparator();
    CliEnvironment environment;
    environment.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    environment.realInterfaces = [] { return std::make_shared<FtdiBackend>(); };
    try {
        return runCli(argc, argv, environment);
    } catch (const std::bad_alloc&) {
        // Only a file read whole can ask for that much; the readers keep what they hold
        // proportional to the file, so this is an input the machine cannot hold.
        std::cerr << "tarvio2-cli: there is not enough memory to read the input\n";
        return exitStatus(ExitCode::InputUnreadable);
    } catch (const std::exception& error) {
        std::cerr << "tarvio2-cli: " << error.what() << '\n';
    }
    return 1;
}
