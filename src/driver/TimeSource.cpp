#include "driver/TimeSource.h"

#include <chrono>
#include <thread>

namespace tarvio {

namespace {
RealTimeSource realSource;
std::atomic<TimeSource*> current{&realSource};
} // namespace

double RealTimeSource::now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void RealTimeSource::sleepFor(double seconds) {
    if (seconds <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void ManualTimeSource::sleepFor(double seconds) {
    advance(seconds > 0 ? seconds : yieldStep_);
}

void ManualTimeSource::advance(double seconds) {
    double t = time_.load();
    while (!time_.compare_exchange_weak(t, t + seconds)) {
    }
}

TimeSource& timeSource() { return *current.load(std::memory_order_acquire); }

void setTimeSource(TimeSource* source) {
    current.store(source ? source : &realSource, std::memory_order_release);
}

} // namespace tarvio
