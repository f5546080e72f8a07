#pragma once
// What a subcommand reaches outside itself: where it prints, whether stderr is a terminal,
// which settings.ini it reads and which interfaces it may list. main() fills it from the
// process; tests fill it with string streams and the simulated interface alone.

#include <functional>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>

namespace tarvio {

class DriverBackend;
class SimulatedInterface;
struct AcquireProgress;

struct CliEnvironment {
    std::ostream* out = &std::cout; // results and status lines
    std::ostream* err = &std::cerr; // messages, log lines and progress
    bool errIsTerminal = false;
    std::string settingsFile; // empty: the program's own settings.ini
    // The real interfaces; none when empty.
    std::function<std::shared_ptr<DriverBackend>()> realInterfaces;
    // Hears of each simulated interface a command sets up (tests look at what it was sent).
    std::function<void(const std::shared_ptr<SimulatedInterface>&)> simulatorReady;
    // Hears every poll of a running acquisition (tests stop or unplug it at a chosen count).
    std::function<void(const AcquireProgress&)> acquireTick;
    // The stop-signal handlers are installed by acquire; tests that stop it themselves may
    // leave the process's handlers alone.
    bool handleSignals = true;
};

} // namespace tarvio
