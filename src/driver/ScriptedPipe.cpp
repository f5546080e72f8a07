#include "driver/ScriptedPipe.h"

#include "driver/TimeSource.h"

#include <algorithm>
#include <cstring>

namespace tarvio {

namespace {

// Manual clocks add up steps in floating point; a byte due "now" must not miss by a rounding.
constexpr double DueTolerance = 1e-9;
// Longest single sleep of a waiting read, so bytes queued by another thread are seen soon.
constexpr double ReadPollStep = 0.01;

} // namespace

ScriptedDevice::ScriptedDevice(std::string description, std::string serialNumber,
                               std::uint32_t type, std::uint32_t id)
    : description_(std::move(description)), serialNumber_(std::move(serialNumber)), type_(type),
      id_(id) {}

void ScriptedDevice::queue(const std::string& bytes) {
    queueAfter(0.0, bytes);
}

void ScriptedDevice::queueAfter(double delay, const std::string& bytes) {
    // The time is read under the lock, so that chunks queued from several threads keep the
    // order in which they were queued.
    std::lock_guard lock(mutex_);
    queueLocked(timeSource().now() + delay, bytes);
}

void ScriptedDevice::queueAt(double time, const std::string& bytes) {
    std::lock_guard lock(mutex_);
    queueLocked(time, bytes);
}

void ScriptedDevice::clearIncoming() {
    std::lock_guard lock(mutex_);
    incoming_.clear();
}

void ScriptedDevice::queueLocked(double due, const std::string& bytes) {
    if (bytes.empty()) {
        return;
    }
    // Keep the queue in order of arrival time; equal times keep the order of queueing. Bytes
    // already due are in the receive queue (the host may have read part of them): whatever
    // comes now, even with a time in the past, arrives after them.
    const double now = timeSource().now();
    auto waiting = std::find_if(incoming_.begin(), incoming_.end(),
                                [&](const Chunk& c) { return c.due > now + DueTolerance; });
    auto at = std::upper_bound(waiting, incoming_.end(), due,
                               [](double t, const Chunk& c) { return t < c.due; });
    incoming_.insert(at, Chunk{std::max(due, now), bytes});
}

void ScriptedDevice::reply(const std::string& command, const std::string& answer, double delay,
                           int times) {
    std::lock_guard lock(mutex_);
    replies_.push_back(Reply{command, answer, delay, times});
}

void ScriptedDevice::answerSynchronisation() {
    reply(" ", " 1234567890qwertyuiopasdfghjklzxcvbnmOK\r");
}

void ScriptedDevice::clearReplies() {
    std::lock_guard lock(mutex_);
    replies_.clear();
}

void ScriptedDevice::fail(PipeOp op, std::uint32_t status, int times) {
    std::lock_guard lock(mutex_);
    failures_.push_back(Failure{op, status, times});
}

void ScriptedDevice::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

void ScriptedDevice::setSilent(bool silent) {
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void ScriptedDevice::limitWrites(std::uint32_t maxBytes) {
    std::lock_guard lock(mutex_);
    writeLimit_ = maxBytes;
}

std::string ScriptedDevice::written() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& w : writes_) {
        all += w;
    }
    return all;
}

std::vector<std::string> ScriptedDevice::writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

void ScriptedDevice::clearWritten() {
    std::lock_guard lock(mutex_);
    writes_.clear();
}

std::size_t ScriptedDevice::pending() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& c : incoming_) {
        n += c.bytes.size();
    }
    return n;
}

int ScriptedDevice::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

int ScriptedDevice::closes() const {
    std::lock_guard lock(mutex_);
    return closes_;
}

bool ScriptedDevice::isOpen() const {
    std::lock_guard lock(mutex_);
    return opens_ > closes_;
}

std::uint32_t ScriptedDevice::readTimeoutMs() const {
    std::lock_guard lock(mutex_);
    return readTimeoutMs_;
}

std::uint32_t ScriptedDevice::failureFor(PipeOp op) {
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
        if (it->op != op) {
            continue;
        }
        const std::uint32_t status = it->status;
        if (it->times > 0 && --it->times == 0) {
            failures_.erase(it);
        }
        return status;
    }
    return DRV_OK;
}

std::size_t ScriptedDevice::dueBytes(double now) const {
    if (silent_) {
        return 0;
    }
    std::size_t n = 0;
    for (const auto& c : incoming_) {
        if (c.due > now + DueTolerance) {
            break;
        }
        n += c.bytes.size();
    }
    return n;
}

// One open session of a scripted device, as the driver layer holds it.
class ScriptedSession final : public DriverDevice {
public:
    explicit ScriptedSession(std::shared_ptr<ScriptedDevice> device) : d_(std::move(device)) {}
    ~ScriptedSession() override {
        if (!closed_) {
            close();
        }
    }

    DriverStatus purge(std::uint32_t mask) override {
        std::lock_guard lock(d_->mutex_);
        if (const auto status = d_->failureFor(PipeOp::Purge)) {
            return status;
        }
        if (mask & DRV_PURGE_RX) {
            const double now = timeSource().now();
            while (!d_->incoming_.empty() && d_->incoming_.front().due <= now + DueTolerance) {
                d_->incoming_.pop_front();
            }
        }
        return DRV_OK;
    }

    DriverStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        std::lock_guard lock(d_->mutex_);
        if (const auto status = d_->failureFor(PipeOp::SetTimeouts)) {
            return status;
        }
        d_->readTimeoutMs_ = readMs;
        d_->writeTimeoutMs_ = writeMs;
        return DRV_OK;
    }

    DriverStatus deviceInfo(DriverDeviceInfo& info) override {
        std::lock_guard lock(d_->mutex_);
        if (const auto status = d_->failureFor(PipeOp::DeviceInfo)) {
            return status;
        }
        info.type = d_->type_;
        info.id = d_->id_;
        info.serialNumber = d_->serialNumber_;
        info.description = d_->description_;
        return DRV_OK;
    }

    DriverStatus queueStatus(std::uint32_t& rxBytes) override {
        std::lock_guard lock(d_->mutex_);
        if (const auto status = d_->failureFor(PipeOp::QueueStatus)) {
            return status;
        }
        rxBytes = static_cast<std::uint32_t>(d_->dueBytes(timeSource().now()));
        return DRV_OK;
    }

    DriverStatus read(std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead) override {
        bytesRead = 0;
        double deadline = 0;
        {
            std::lock_guard lock(d_->mutex_);
            if (const auto status = d_->failureFor(PipeOp::Read)) {
                return status;
            }
            deadline = timeSource().now() + d_->readTimeoutMs_ / 1000.0;
        }
        for (;;) {
            double nextDue = -1;
            {
                std::lock_guard lock(d_->mutex_);
                const double now = timeSource().now();
                while (bytesRead < count && !d_->silent_ && !d_->incoming_.empty() &&
                       d_->incoming_.front().due <= now + DueTolerance) {
                    std::string& chunk = d_->incoming_.front().bytes;
                    const std::size_t n = std::min<std::size_t>(count - bytesRead, chunk.size());
                    std::memcpy(buffer + bytesRead, chunk.data(), n);
                    bytesRead += static_cast<std::uint32_t>(n);
                    chunk.erase(0, n);
                    if (chunk.empty()) {
                        d_->incoming_.pop_front();
                    }
                }
                if (bytesRead == count) {
                    return DRV_OK;
                }
                if (!d_->silent_ && !d_->incoming_.empty()) {
                    nextDue = d_->incoming_.front().due;
                }
            }
            const double now = timeSource().now();
            if (now >= deadline) {
                return DRV_OK; // the read timeout ends the read with what arrived
            }
            double step = std::min(deadline - now, ReadPollStep);
            if (nextDue > now) {
                step = std::min(step, nextDue - now);
            }
            timeSource().sleepFor(step);
        }
    }

    DriverStatus write(const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& bytesWritten) override {
        bytesWritten = 0;
        std::lock_guard lock(d_->mutex_);
        if (const auto status = d_->failureFor(PipeOp::Write)) {
            return status;
        }
        const std::uint32_t n = d_->writeLimit_ ? std::min(count, d_->writeLimit_) : count;
        std::string bytes(reinterpret_cast<const char*>(buffer), n);
        d_->writes_.push_back(bytes);
        bytesWritten = n;
        if (d_->silent_) {
            return DRV_OK;
        }
        for (auto it = d_->replies_.begin(); it != d_->replies_.end(); ++it) {
            if (bytes.compare(0, it->command.size(), it->command) != 0 || bytes.empty()) {
                continue;
            }
            d_->queueLocked(timeSource().now() + it->delay, it->answer);
            if (it->times > 0 && --it->times == 0) {
                d_->replies_.erase(it);
            }
            break;
        }
        return DRV_OK;
    }

    DriverStatus close() override {
        std::lock_guard lock(d_->mutex_);
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        closed_ = true;
        ++d_->closes_;
        return d_->failureFor(PipeOp::Close);
    }

private:
    std::shared_ptr<ScriptedDevice> d_;
    bool closed_ = false;
};

std::shared_ptr<ScriptedPipe> ScriptedPipe::install() {
    auto pipe = std::make_shared<ScriptedPipe>();
    installBackend(pipe);
    return pipe;
}

void ScriptedPipe::uninstall() {
    removeBackend(shared_from_this());
}

std::shared_ptr<ScriptedDevice> ScriptedPipe::addDevice(const std::string& description,
                                                        const std::string& serialNumber,
                                                        std::uint32_t type, std::uint32_t id) {
    auto device = std::make_shared<ScriptedDevice>(description, serialNumber, type, id);
    std::lock_guard lock(mutex_);
    devices_.push_back(device);
    return device;
}

void ScriptedPipe::removeDevice(const std::shared_ptr<ScriptedDevice>& device) {
    std::lock_guard lock(mutex_);
    std::erase(devices_, device);
}

DriverStatus ScriptedPipe::enumerate(std::vector<std::string>& descriptions) {
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) {
        descriptions.push_back(d->description());
    }
    return DRV_OK;
}

DriverStatus ScriptedPipe::open(const std::string& description,
                                std::unique_ptr<DriverDevice>& device) {
    std::shared_ptr<ScriptedDevice> match;
    {
        std::lock_guard lock(mutex_);
        for (const auto& d : devices_) {
            if (d->description() == description) {
                match = d;
                break;
            }
        }
    }
    if (!match) {
        return DRV_DEVICE_NOT_FOUND;
    }
    std::lock_guard lock(match->mutex_);
    if (const auto status = match->failureFor(PipeOp::Open)) {
        return status;
    }
    ++match->opens_;
    device = std::make_unique<ScriptedSession>(match);
    return DRV_OK;
}

} // namespace tarvio
