#pragma once
// Hands the controller's log lines and pulse notices from whatever thread makes them (the
// monitoring thread, mostly) to the GUI thread, which takes them in batches.
//
// Bounded: a device that floods the log cannot grow memory without limit. When more lines
// wait than the capacity, the oldest go and are counted, so the window can say how many it
// never saw. Toolkit-free; the window supplies the wake-up that posts to its own thread.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tarvio {

class LogInbox {
public:
    // Called on the pushing thread, without the inbox's lock held, when something arrives
    // and no wake-up is pending since the last take(). It must only post, never block.
    using Wake = std::function<void()>;

    struct Batch {
        std::vector<std::string> lines; // oldest first
        std::uint64_t droppedLines = 0; // lost to the capacity since the last take
        std::uint64_t pulses = 0;       // pulse notices since the last take
        bool more = false;              // lines beyond the batch's limit still wait
        bool empty() const { return lines.empty() && droppedLines == 0 && pulses == 0; }
    };

    explicit LogInbox(std::size_t capacity = DefaultCapacity);

    // Replace the wake-up; an empty one wakes nobody (the owner then polls with take()).
    void setWake(Wake wake);

    // Any thread.
    void pushLine(std::string line);
    void notifyPulse();

    // The oldest waiting lines, at most `maxLines`, in arrival order, with the pulse notices
    // and the count of dropped lines. Re-arms the wake-up once nothing is left; while lines
    // remain (Batch::more) the taker is expected to come back without one.
    Batch take(std::size_t maxLines = SIZE_MAX);

    std::size_t capacity() const { return capacity_; }

    static constexpr std::size_t DefaultCapacity = 2000;

private:
    void wakeIfIdle(std::unique_lock<std::mutex>& lock);

    const std::size_t capacity_;
    std::mutex mutex_;
    std::deque<std::string> lines_;
    std::uint64_t dropped_ = 0;
    std::uint64_t pulses_ = 0;
    bool wakePending_ = false;
    Wake wake_;
};

} // namespace tarvio
