#pragma once
// The one seam through which the program reads time and sleeps. Production code uses the
// steady clock; tests install a ManualTimeSource whose time advances only when the code
// sleeps, so that timeouts of seconds run in microseconds and deterministically.

#include <atomic>

namespace tarvio {

class TimeSource {
public:
    virtual ~TimeSource() = default;
    // Monotonic seconds from an arbitrary origin.
    virtual double now() = 0;
    // Sleeps (or, for a manual source, advances time by) the given seconds; 0 yields.
    virtual void sleepFor(double seconds) = 0;
};

// The steady clock and real sleeps.
class RealTimeSource final : public TimeSource {
public:
    double now() override;
    void sleepFor(double seconds) override;
};

// Time that only moves when someone sleeps or advances it. A zero sleep (a yield) still
// advances by yieldStep, so that busy polls run into their deadlines.
class ManualTimeSource final : public TimeSource {
public:
    explicit ManualTimeSource(double start = 1000.0, double yieldStep = 0.001)
        : time_(start), yieldStep_(yieldStep) {}
    double now() override { return time_.load(); }
    void sleepFor(double seconds) override;
    void advance(double seconds);

private:
    std::atomic<double> time_;
    double yieldStep_;
};

// The source in force; RealTimeSource unless a test installed another.
TimeSource& timeSource();
// Installs a source (nullptr restores the real one). The caller keeps ownership and must
// keep it alive while installed.
void setTimeSource(TimeSource* source);

// Installs a source for the lifetime of a scope (tests).
class ScopedTimeSource {
public:
    explicit ScopedTimeSource(TimeSource& source) { setTimeSource(&source); }
    ~ScopedTimeSource() { setTimeSource(nullptr); }
    ScopedTimeSource(const ScopedTimeSource&) = delete;
    ScopedTimeSource& operator=(const ScopedTimeSource&) = delete;
};

} // namespace tarvio
