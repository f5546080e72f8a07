#pragma once
// SIGINT, SIGTERM and SIGHUP ask a running command to stop rather than end the process, so
// that the bias is switched off and what was counted is written. The handler only stores the
// signal's number in a lock-free atomic; the measurement loop polls it. SIGPIPE is ignored
// while installed, so that a reader of the status lines going away ends nothing but those
// lines. A SIGHUP that was ignored when the program started (nohup) stays ignored.

#include <csignal>

namespace tarvio {

// The signal that asked to stop, or 0. Any thread.
int stopSignal();
// "SIGINT", "SIGTERM", "SIGHUP" or "a signal".
const char* signalName(int signal);
// Asks to stop as that signal would (tests, and the handler itself).
void requestStop(int signal);
void clearStopRequest();

// Installs the handlers for its lifetime and restores the previous ones after.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    struct sigaction previousHup_ {};
    struct sigaction previousPipe_ {};
};

} // namespace tarvio
