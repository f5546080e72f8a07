#include "cli/StopSignals.h"

#include <atomic>

namespace tarvio {

namespace {

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onStopSignal(int signal) {
    requested.store(signal, std::memory_order_relaxed);
}

void install(int signal, void (*handler)(int), struct sigaction& previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the stop is noticed at the loop's next poll.
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, &previous);
}

} // namespace

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

int stopSignal() {
    return requested.load(std::memory_order_relaxed);
}

void requestStop(int signal) {
    requested.store(signal, std::memory_order_relaxed);
}

void clearStopRequest() {
    requested.store(0, std::memory_order_relaxed);
}

StopSignals::StopSignals() {
    install(SIGINT, onStopSignal, previousInt_);
    install(SIGTERM, onStopSignal, previousTerm_);
    install(SIGPIPE, SIG_IGN, previousPipe_);
    sigaction(SIGHUP, nullptr, &previousHup_);
    if (previousHup_.sa_handler != SIG_IGN)
        install(SIGHUP, onStopSignal, previousHup_);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGHUP, &previousHup_, nullptr);
    sigaction(SIGPIPE, &previousPipe_, nullptr);
}

} // namespace tarvio
