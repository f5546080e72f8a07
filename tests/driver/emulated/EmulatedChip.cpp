#include "emulated/EmulatedUsb.h"

#include "driver/TimeSource.h"

#include <libusb.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "emulated/LibusbObjects.h"

namespace tarvio::test {

namespace {

// FTDI's vendor requests, as libftdi sends them.
enum Request : std::uint8_t {
    Reset = 0x00,
    ModemControl = 0x01,
    FlowControl = 0x02,
    BaudRate = 0x03,
    LineData = 0x04,
    PollModemStatus = 0x05,
    EventChar = 0x06,
    ErrorChar = 0x07,
    SetLatencyTimer = 0x09,
    GetLatencyTimer = 0x0A,
    SetBitMode = 0x0B,
    ReadPins = 0x0C,
};
constexpr std::uint16_t ResetSio = 0;
constexpr std::uint16_t FlushToChip = 1; // bytes from the host not yet passed on
constexpr std::uint16_t FlushToHost = 2; // bytes for the host not yet sent
constexpr std::uint8_t ModemStatus = 0x31;
constexpr std::uint8_t LineStatus = 0x60;
// How often a waiting transfer looks at the far side; well below the shortest latency tick.
constexpr double PollStep = 0.0005;
// How much of the wire's rate an idle moment saves up.
constexpr double WireCreditSeconds = 0.004;

} // namespace

void ScriptedFarSide::send(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    toHost_.insert(toHost_.end(), bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> ScriptedFarSide::written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

std::size_t ScriptedFarSide::pending() const {
    std::lock_guard lock(mutex_);
    return toHost_.size();
}

void ScriptedFarSide::fromHost(const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    written_.insert(written_.end(), bytes, bytes + count);
}

std::size_t ScriptedFarSide::toHost(std::uint8_t* buffer, std::size_t room) {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min(room, toHost_.size());
    std::copy_n(toHost_.begin(), n, buffer);
    toHost_.erase(toHost_.begin(), toHost_.begin() + static_cast<long>(n));
    return n;
}

ChipConfig highSpeedChip(ChipConfig base) {
    base.speed = UsbSpeed::High;
    base.productId = 0x6014;
    base.bcdDevice = 0x0900;
    base.fifoBytes = 1024;
    return base;
}

ChipConfig chipAt(UsbSpeed speed, ChipConfig base) {
    return speed == UsbSpeed::High ? highSpeedChip(std::move(base)) : base;
}

const char* speedName(UsbSpeed speed) {
    return speed == UsbSpeed::High ? "HighSpeed" : "FullSpeed";
}

EmulatedChip::EmulatedChip(ChipConfig config, std::shared_ptr<FarSide> farSide)
    : config_(std::move(config)), farSide_(std::move(farSide)), usbDevice_(new libusb_device{this}),
      bitMode_(config_.bitMode) {}

EmulatedChip::~EmulatedChip() {
    delete usbDevice_;
}

void EmulatedChip::unplug() {
    std::lock_guard lock(mutex_);
    unplugLocked();
}

void EmulatedChip::unplugLocked() {
    plugged_ = false;
    fifo_.clear();
    farSide_->powerDown(); // the far sides here never call back into the chip
}

void EmulatedChip::armFault(ChipFault fault, std::uint8_t byte, int count) {
    std::lock_guard lock(mutex_);
    armed_.push_back({fault, byte, count});
}

void EmulatedChip::watchHostBytesLocked(const unsigned char* data, int length) {
    for (int i = 0; i < length && !armed_.empty(); ++i) {
        for (auto it = armed_.begin(); it != armed_.end();) {
            if (data[i] != it->byte || --it->left > 0) {
                ++it;
                continue;
            }
            const ChipFault fault = it->fault;
            it = armed_.erase(it);
            switch (fault) {
            case ChipFault::StallForGood:
                inFailures_ = std::numeric_limits<int>::max();
                inError_ = LIBUSB_ERROR_PIPE;
                break;
            case ChipFault::DropAfterFlush:
                dropAfterFlush_ = true;
                break;
            case ChipFault::Unplug:
                unplugLocked();
                return;
            }
        }
    }
}

void EmulatedChip::replug() {
    {
        std::lock_guard lock(mutex_);
        plugged_ = true;
        kernelDriverBound_ = true;
        latencyMs_ = PowerUpLatencyMs;
        bitMode_ = 0;
        claimedInterface_ = -1;
        openHandles_ = 0;
        fifo_.clear();
    }
    farSide_->powerUp();
}

void EmulatedChip::denyAccess(bool deny) {
    std::lock_guard lock(mutex_);
    accessDenied_ = deny;
}

void EmulatedChip::denyClaim(bool deny) {
    std::lock_guard lock(mutex_);
    claimDenied_ = deny;
}

void EmulatedChip::failBulkIn(int count, int error) {
    std::lock_guard lock(mutex_);
    inFailures_ = count;
    inError_ = error;
}

void EmulatedChip::failBulkOut(int count, int error) {
    std::lock_guard lock(mutex_);
    outFailures_ = count;
    outError_ = error;
}

void EmulatedChip::refuseRequest(std::uint8_t request) {
    std::lock_guard lock(mutex_);
    refused_.push_back(request);
}

void EmulatedChip::holdStringReads(bool hold) {
    {
        std::lock_guard lock(mutex_);
        holdStrings_ = hold;
    }
    stringsReleased_.notify_all();
}

bool EmulatedChip::stringReadWaiting() const {
    std::lock_guard lock(mutex_);
    return stringReadWaiting_;
}

unsigned EmulatedChip::latencyMs() const {
    std::lock_guard lock(mutex_);
    return latencyMs_;
}

std::uint8_t EmulatedChip::bitMode() const {
    std::lock_guard lock(mutex_);
    return bitMode_;
}

int EmulatedChip::clearedHalts() const {
    std::lock_guard lock(mutex_);
    return clearedHalts_;
}

int EmulatedChip::claimedInterface() const {
    std::lock_guard lock(mutex_);
    return claimedInterface_;
}

int EmulatedChip::openHandles() const {
    std::lock_guard lock(mutex_);
    return openHandles_;
}

std::vector<ControlRequest> EmulatedChip::controlRequests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool EmulatedChip::pluggedIn() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

int EmulatedChip::open() {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (accessDenied_) {
        return LIBUSB_ERROR_ACCESS;
    }
    ++openHandles_;
    return 0;
}

void EmulatedChip::close() {
    std::lock_guard lock(mutex_);
    openHandles_ = std::max(openHandles_ - 1, 0);
}

int EmulatedChip::detachKernelDriver(int) {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (claimDenied_) {
        errno = EPERM; // what libftdi looks at to tell a permission problem
        return LIBUSB_ERROR_ACCESS;
    }
    if (!kernelDriverBound_) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    kernelDriverBound_ = false;
    return 0;
}

int EmulatedChip::claim(int interfaceNumber) {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (claimDenied_) {
        return LIBUSB_ERROR_ACCESS;
    }
    if (kernelDriverBound_ || (claimedInterface_ >= 0 && claimedInterface_ != interfaceNumber)) {
        return LIBUSB_ERROR_BUSY;
    }
    claimedInterface_ = interfaceNumber;
    return 0;
}

int EmulatedChip::release(int interfaceNumber) {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (claimedInterface_ != interfaceNumber) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    claimedInterface_ = -1;
    return 0;
}

int EmulatedChip::readString(std::uint8_t index, unsigned char* data, int length) {
    std::unique_lock lock(mutex_);
    stringReadWaiting_ = holdStrings_;
    stringsReleased_.wait(lock, [&] { return !holdStrings_; });
    stringReadWaiting_ = false;
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    const std::string* text = index == 1   ? &config_.manufacturer
                              : index == 2 ? &config_.product
                              : index == 3 ? &config_.serial
                                           : nullptr;
    if (!text || length <= 0) {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    const std::size_t n = std::min(text->size(), static_cast<std::size_t>(length - 1));
    std::memcpy(data, text->data(), n);
    data[n] = 0;
    return static_cast<int>(n);
}

int EmulatedChip::control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                          std::uint16_t index, unsigned char* data, std::uint16_t length) {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    requests_.push_back({request, value, index});
    if (std::find(refused_.begin(), refused_.end(), request) != refused_.end()) {
        return LIBUSB_ERROR_PIPE;
    }
    const bool in = (requestType & LIBUSB_ENDPOINT_IN) != 0;
    switch (request) {
    case Reset:
        // What the board has sent by now is in the chip, and goes with the flush.
        refillLocked();
        if (value == ResetSio || value == FlushToHost) {
            fifo_.clear();
            if (dropAfterFlush_) {
                droppingUntil_ = timeSource().now() + DropAfterFlushSeconds;
            }
        }
        return value <= FlushToHost ? 0 : LIBUSB_ERROR_PIPE;
    case ModemControl:
    case FlowControl:
    case BaudRate:
    case LineData:
    case EventChar:
    case ErrorChar:
        return 0;
    case SetLatencyTimer:
        if ((value & 0xFF) == 0) {
            return LIBUSB_ERROR_PIPE; // the chip takes 1 to 255 ms
        }
        latencyMs_ = value & 0xFF;
        return 0;
    case SetBitMode:
        bitMode_ = static_cast<std::uint8_t>(value >> 8);
        return 0;
    case PollModemStatus:
        if (!in || length < 2) {
            return LIBUSB_ERROR_INVALID_PARAM;
        }
        data[0] = ModemStatus;
        data[1] = LineStatus;
        return 2;
    case GetLatencyTimer:
    case ReadPins:
        if (!in || length < 1) {
            return LIBUSB_ERROR_INVALID_PARAM;
        }
        data[0] = request == GetLatencyTimer ? static_cast<unsigned char>(latencyMs_) : 0;
        return 1;
    default:
        return LIBUSB_ERROR_PIPE; // EEPROM and the rest: not needed here
    }
}

void EmulatedChip::refillLocked() {
    if (bitMode_ != 0) {
        return; // in bit-bang or MPSSE mode the FIFO carries no bytes
    }
    std::size_t room = config_.fifoBytes - std::min(fifo_.size(), config_.fifoBytes);
    const double now = timeSource().now();
    if (config_.wireBytesPerSecond > 0) {
        // The wire carries its rate and no more. What it carried while the host's poll slept
        // is owed (the real board fills the FIFO while the host drains it); an idle wire saves
        // up a few milliseconds' worth at most.
        if (wireCreditAt_ >= 0) {
            const double most = std::max(static_cast<double>(config_.fifoBytes),
                                         config_.wireBytesPerSecond * WireCreditSeconds);
            wireCredit_ =
                std::min(wireCredit_ + (now - wireCreditAt_) * config_.wireBytesPerSecond, most);
        }
        wireCreditAt_ = now;
        room = std::min(room, static_cast<std::size_t>(wireCredit_));
    }
    if (room == 0) {
        return; // the host does not read: the bytes stay with the far side
    }
    std::vector<std::uint8_t> incoming(room);
    const std::size_t n = farSide_->toHost(incoming.data(), room);
    wireCredit_ -= static_cast<double>(n);
    if (now < droppingUntil_) {
        return; // a flush still at work: what arrives is lost
    }
    fifo_.insert(fifo_.end(), incoming.begin(), incoming.begin() + static_cast<long>(n));
}

std::size_t EmulatedChip::emitPacketLocked(unsigned char* target, std::size_t payload) {
    target[0] = ModemStatus;
    target[1] = LineStatus;
    std::copy_n(fifo_.begin(), payload, target + 2);
    fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<long>(payload));
    lastPacketAt_ = timeSource().now();
    return payload + 2;
}

int EmulatedChip::bulkIn(unsigned char* data, int length, int* transferred, unsigned timeoutMs) {
    TimeSource& clock = timeSource();
    const double deadline = clock.now() + (timeoutMs ? timeoutMs / 1000.0 : 3600.0);
    const std::size_t capacity = static_cast<std::size_t>(std::max(length, 0));
    const std::size_t packetSize = config_.packetSize();
    const std::size_t packetPayload = packetSize - 2;
    std::size_t out = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        *transferred = static_cast<int>(out);
        if (!plugged_) {
            return LIBUSB_ERROR_NO_DEVICE;
        }
        if (inFailures_ > 0) {
            --inFailures_;
            return inError_;
        }
        if (capacity - out < packetSize) {
            return 0; // the host's buffer is full
        }
        refillLocked();
        // A full packet goes at once; a partly filled one (even the status bytes alone) only
        // when the latency timer runs out, and it ends the transfer.
        if (fifo_.size() >= packetPayload) {
            out += emitPacketLocked(data + out, packetPayload);
            continue;
        }
        const double now = clock.now();
        if (now >= lastPacketAt_ + latencyMs_ / 1000.0) {
            out += emitPacketLocked(data + out, fifo_.size());
            *transferred = static_cast<int>(out);
            return 0;
        }
        if (now >= deadline) {
            return LIBUSB_ERROR_TIMEOUT;
        }
        lock.unlock();
        clock.sleepFor(std::min(PollStep, lastPacketAt_ + latencyMs_ / 1000.0 - now));
        lock.lock();
    }
}

int EmulatedChip::bulkOut(const unsigned char* data, int length, int* transferred) {
    std::lock_guard lock(mutex_);
    *transferred = 0;
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    if (outFailures_ > 0) {
        --outFailures_;
        return outError_;
    }
    if (bitMode_ == 0 && length > 0) {
        farSide_->fromHost(data, static_cast<std::size_t>(length));
    }
    *transferred = length;
    watchHostBytesLocked(data, length);
    return 0;
}

int EmulatedChip::clearHalt() {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    ++clearedHalts_;
    return 0;
}

EmulatedBus& EmulatedBus::instance() {
    static EmulatedBus bus;
    return bus;
}

std::shared_ptr<EmulatedChip> EmulatedBus::plug(ChipConfig config,
                                                std::shared_ptr<FarSide> farSide) {
    auto chip = std::make_shared<EmulatedChip>(std::move(config), std::move(farSide));
    std::lock_guard lock(mutex_);
    chips_.push_back(chip);
    return chip;
}

std::vector<std::shared_ptr<EmulatedChip>> EmulatedBus::pluggedChips() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<EmulatedChip>> plugged;
    for (const auto& chip : chips_) {
        if (chip->pluggedIn()) {
            plugged.push_back(chip);
        }
    }
    return plugged;
}

void EmulatedBus::clear() {
    std::lock_guard lock(mutex_);
    chips_.clear();
}

} // namespace tarvio::test
