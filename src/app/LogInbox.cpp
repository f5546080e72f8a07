#include "app/LogInbox.h"

#include <algorithm>
#include <utility>

namespace tarvio {

LogInbox::LogInbox(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void LogInbox::setWake(Wake wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void LogInbox::pushLine(std::string line) {
    std::unique_lock lock(mutex_);
    if (lines_.size() >= capacity_) {
        lines_.pop_front();
        ++dropped_;
    }
    lines_.push_back(std::move(line));
    wakeIfIdle(lock);
}

void LogInbox::notifyPulse() {
    std::unique_lock lock(mutex_);
    ++pulses_;
    wakeIfIdle(lock);
}

LogInbox::Batch LogInbox::take(std::size_t maxLines) {
    std::lock_guard lock(mutex_);
    Batch batch;
    const auto end =
        lines_.begin() + static_cast<std::ptrdiff_t>(std::min(maxLines, lines_.size()));
    batch.lines.assign(std::make_move_iterator(lines_.begin()), std::make_move_iterator(end));
    lines_.erase(lines_.begin(), end);
    batch.droppedLines = std::exchange(dropped_, 0);
    batch.pulses = std::exchange(pulses_, 0);
    batch.more = !lines_.empty();
    wakePending_ = batch.more;
    return batch;
}

void LogInbox::wakeIfIdle(std::unique_lock<std::mutex>& lock) {
    if (wakePending_ || !wake_)
        return;
    wakePending_ = true;
    // A copy, so that the call runs without the lock and a concurrent setWake cannot
    // destroy the function under it.
    Wake wake = wake_;
    lock.unlock();
    wake();
}

} // namespace tarvio
