#include "spectrometer/Monitor.h"

#include "driver/TimeSource.h"
#include "link/CommandResponse.h"
#include "link/DeviceLink.h"
#include "link/Interfaces.h"
#include "link/Locks.h"
#include "link/PrecisionClock.h"
#include "link/Protocol.h"
#include "link/Report.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace tarvio {

namespace {

constexpr double BusySleep = 0.0;   // after a pass that received something: poll again at once
constexpr double IdleSleep = 0.050; // after an idle pass
constexpr double StopPoll = 0.010;  // while waiting for the thread to finish
// While messages keep coming, a bounded burst of them per interface before yielding: a yield
// per pulse would cost more than the pulse itself.
constexpr int MaxMessagesPerVisit = 256;

constexpr char DeadlockCaption[] = "Critical Error";
constexpr char DeadlockText[] =
    "Dead lock in monitoring thread.\rTry to save your data now!\rAborting ...";

struct MonitorState {
    std::mutex mutex; // guards thread and the watchdog settings
    std::thread thread;
    std::atomic<bool> stopRequest{false};
    std::atomic<bool> running{false};
    double watchdogSeconds = DefaultWatchdogSeconds;
    DeadlockHandler deadlockHandler;
    std::function<void()> rescue;
};

MonitorState& state() {
    // Never destroyed: a thread still held at exit must not meet a dead state.
    static MonitorState* s = new MonitorState;
    return *s;
}

[[noreturn]] void defaultDeadlockHandler() {
    ShowErrorBox(DeadlockCaption, DeadlockText);
    std::abort();
}

// Receives a burst of messages from interface `index` and hands each on; returns how many.
// A message points into the interface's receive buffer, which the next reception (a command on
// the window thread) overwrites: the link lock stays held until the hook is done with it. It is
// held for the whole burst, since taking it afresh per message is a good part of a short
// pulse's cost, but between two messages a command waiting for it goes first: otherwise Stop or
// Close would wait for as long as a flood lasts.
int receiveBurst(DeviceLink& link, QrxCommandResponse& record, int index) {
    MCriticalSection& lock = LinkLock();
    lock.YieldToWaiters();
    QrxCriticalSection linkLock;
    int received = 0;
    while (received < MaxMessagesPerVisit) {
        if (lock.HasWaiters()) {
            linkLock.Unlock();
            lock.YieldToWaiters();
            linkLock.Lock();
        }
        DeviceDescr* descr = RegisteredInterface(index);
        if (!descr || descr->lost.load(std::memory_order_acquire)) {
            break; // a lost interface has nothing more to say; its loss was reported
        }
        link.Attach(descr);
        ClearReport(link);
        if (!ReceiveMessage(link, record)) {
            break;
        }
        // Code 0: a message the receive path has already handed on itself.
        if (record.code != 0) {
            CallMessageHook(link, record);
        }
        ++received;
    }
    return received;
}

void monitorLoop() {
    MonitorState& s = state();
    DeviceLink link;
    QrxCommandResponse record(false);
    ThreadPriorityBoost boost(ThreadPriorityTimeCritical);
    while (!s.stopRequest.load(std::memory_order_acquire)) {
        int received = 0;
        for (int i = 0; i < RegisteredCount(); ++i) {
            received += receiveBurst(link, record, i);
        }
        timeSource().sleepFor(received > 0 ? BusySleep : IdleSleep);
    }
    s.running.store(false, std::memory_order_release);
}

} // namespace

bool StartMonitor() {
    MonitorState& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    if (s.thread.joinable()) {
        // A thread that still runs (or is still winding down after a stop request that did
        // not wait for it) counts as held; one that has finished is released here.
        if (!s.stopRequest.load(std::memory_order_acquire) ||
            s.running.load(std::memory_order_acquire)) {
            return true;
        }
        s.thread.join();
    }
    s.stopRequest.store(false, std::memory_order_release);
    s.running.store(true, std::memory_order_release);
    try {
        s.thread = std::thread(monitorLoop);
    } catch (const std::system_error&) {
        s.running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool StopMonitor() {
    MonitorState& s = state();
    s.stopRequest.store(true, std::memory_order_release);

    std::unique_lock<std::mutex> guard(s.mutex);
    if (!s.thread.joinable()) {
        return true;
    }
    if (s.thread.get_id() == std::this_thread::get_id()) {
        return true; // the thread ends after this pass and is released by the next start
    }
    const double limit = s.watchdogSeconds;
    const DeadlockHandler handler = s.deadlockHandler;
    const std::function<void()> rescue = s.rescue;
    guard.unlock();

    PrecisionClock& clock = PrecisionClock::instance();
    const double t0 = clock.Now();
    while (s.running.load(std::memory_order_acquire)) {
        timeSource().sleepFor(StopPoll);
        if (clock.Now() - t0 > limit) {
            if (rescue) {
                rescue();
            }
            if (handler) {
                handler();
            } else {
                defaultDeadlockHandler();
            }
            if (s.running.load(std::memory_order_acquire)) {
                return false;
            }
        }
    }

    guard.lock();
    if (s.thread.joinable()) {
        s.thread.join();
    }
    return true;
}

bool MonitorRunning() {
    return state().running.load(std::memory_order_acquire);
}

void SetMonitorRescue(std::function<void()> rescue) {
    MonitorState& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.rescue = std::move(rescue);
}

void SetMonitorWatchdog(double limitSeconds, DeadlockHandler handler) {
    MonitorState& s = state();
    std::lock_guard<std::mutex> guard(s.mutex);
    s.watchdogSeconds = limitSeconds;
    s.deadlockHandler = std::move(handler);
}

} // namespace tarvio
