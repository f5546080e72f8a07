#include "sim/WireQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvio {

void WireQueue::push(std::vector<std::uint8_t> bytes, double readyAt, std::int32_t pulseHeight) {
    if (bytes.empty()) {
        return;
    }
    Chunk chunk;
    chunk.start = readyAt;
    if (!chunks_.empty()) {
        // Messages never overtake each other on the wire.
        const Chunk& last = chunks_.back();
        const double lastEnd = rate_ > 0 ? last.start + last.bytes.size() / rate_ : last.start;
        chunk.start = std::max(readyAt, lastEnd);
    }
    chunk.bytes = std::move(bytes);
    chunk.pulseHeight = pulseHeight;
    pending_ += chunk.bytes.size();
    chunks_.push_back(std::move(chunk));
}

std::size_t WireQueue::arrivedOf(const Chunk& chunk, double now) const {
    if (now < chunk.start) {
        return 0;
    }
    if (rate_ <= 0) {
        return chunk.bytes.size();
    }
    // Byte k (from 1) arrives at start + k / rate; the small margin keeps a byte that arrives
    // exactly now from being lost to rounding.
    const double arrived = std::floor((now - chunk.start) * rate_ + 1e-6);
    return arrived >= static_cast<double>(chunk.bytes.size()) ? chunk.bytes.size()
                                                              : static_cast<std::size_t>(arrived);
}

std::size_t WireQueue::available(double now) {
    // Each chunk joins the whole-arrived count once; the walk resumes where it stopped.
    while (arrived_ < chunks_.size()) {
        const Chunk& chunk = chunks_[arrived_];
        if (arrivedOf(chunk, now) < chunk.bytes.size()) {
            break;
        }
        arrivedUnread_ += chunk.bytes.size() - chunk.offset;
        ++arrived_;
    }
    if (arrived_ == chunks_.size()) {
        return arrivedUnread_;
    }
    // Messages go out one after another, so at most this one is on the wire now.
    const Chunk& partial = chunks_[arrived_];
    const std::size_t bytes = arrivedOf(partial, now);
    return arrivedUnread_ + bytes - std::min(bytes, partial.offset);
}

double WireQueue::arrivalOf(std::size_t count) const {
    if (count == 0) {
        return -Never;
    }
    for (const Chunk& chunk : chunks_) {
        const std::size_t unread = chunk.bytes.size() - chunk.offset;
        if (count <= unread) {
            if (rate_ <= 0) {
                return chunk.start;
            }
            return chunk.start + static_cast<double>(chunk.offset + count) / rate_;
        }
        count -= unread;
    }
    return Never;
}

double WireQueue::idleAt(double now) const {
    if (chunks_.empty()) {
        return now;
    }
    const Chunk& last = chunks_.back();
    const double end = rate_ > 0 ? last.start + last.bytes.size() / rate_ : last.start;
    return std::max(now, end);
}

std::size_t WireQueue::read(std::uint8_t* out, std::size_t count, double now,
                            const std::function<void(std::uint16_t)>& delivered) {
    std::size_t done = 0;
    while (done < count && !chunks_.empty()) {
        Chunk& chunk = chunks_.front();
        const std::size_t arrived = arrivedOf(chunk, now);
        if (arrived <= chunk.offset) {
            break;
        }
        const std::size_t n = std::min(count - done, arrived - chunk.offset);
        std::memcpy(out + done, chunk.bytes.data() + chunk.offset, n);
        chunk.offset += n;
        done += n;
        pending_ -= n;
        if (arrived_ > 0) {
            arrivedUnread_ -= n;
        }
        if (chunk.offset < chunk.bytes.size()) {
            break;
        }
        if (chunk.pulseHeight != NoPulse && delivered) {
            delivered(static_cast<std::uint16_t>(chunk.pulseHeight));
        }
        chunks_.pop_front();
        if (arrived_ > 0) {
            --arrived_;
        }
    }
    return done;
}

void WireQueue::clear() {
    chunks_.clear();
    pending_ = 0;
    arrived_ = 0;
    arrivedUnread_ = 0;
}

} // namespace tarvio
