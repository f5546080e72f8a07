#pragma once
// The monitoring thread: it polls every open interface for what the interface sends on its
// own (scope data, text and error lines, late responses) and hands each complete message to
// the link layer's message hook. One per process, started by the controller's Open and
// stopped by its Close.

#include <functional>

namespace tarvio {

// Starts the thread unless one is held. Returns whether a thread is held afterwards.
bool StartMonitor();

// Asks the thread to finish, waits until it has and releases it. Never call it while holding
// the link lock: the thread may need that lock to end its pass. A thread that has not
// finished within the watchdog's limit is a dead lock: the watchdog's handler runs (by
// default the "Critical Error" box, then an abnormal end of the process). Should a handler
// return, the thread stays held and StopMonitor returns false; a later call waits again.
bool StopMonitor();

// Whether the thread's loop is running (the stop request may already be set).
bool MonitorRunning();

// What the watchdog does when the thread does not finish in time.
using DeadlockHandler = std::function<void()>;
constexpr double DefaultWatchdogSeconds = 20.0;

// Replaces the watchdog's limit and handler (tests); an empty handler restores the default.
void SetMonitorWatchdog(double limitSeconds, DeadlockHandler handler);

// Runs on the stopping thread once the watchdog's limit has passed, before its handler ends
// the process: the program's last chance to save what it holds. It must not wait for a lock
// the stuck thread may hold. Empty: none.
void SetMonitorRescue(std::function<void()> rescue);

} // namespace tarvio
