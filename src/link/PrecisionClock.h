#pragma once
// The clock every deadline of the link layer is measured against: seconds since 1970, read
// through the program's time seam, so tests on a manual time source drive it too.

#include <atomic>

namespace tarvio {

class PrecisionClock {
public:
    PrecisionClock();

    // Current time in seconds since 1970; also stored as lastReading().
    double Now();
    // The most recent reading of any thread.
    double lastReading() const { return lastReading_.load(std::memory_order_relaxed); }

    // The one process-wide clock.
    static PrecisionClock& instance();

private:
    double offset_; // wall-clock time minus time-source time at construction
    std::atomic<double> lastReading_;
};

} // namespace tarvio
