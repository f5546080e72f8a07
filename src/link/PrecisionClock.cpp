#include "link/PrecisionClock.h"

#include "driver/TimeSource.h"

#include <chrono>

namespace tarvio {

PrecisionClock::PrecisionClock() {
    using namespace std::chrono;
    const double wall = duration<double>(system_clock::now().time_since_epoch()).count();
    offset_ = wall - timeSource().now();
    lastReading_.store(offset_, std::memory_order_relaxed);
}

double PrecisionClock::Now() {
    const double now = timeSource().now() + offset_;
    lastReading_.store(now, std::memory_order_relaxed);
    return now;
}

PrecisionClock& PrecisionClock::instance() {
    static PrecisionClock clock;
    return clock;
}

} // namespace tarvio
