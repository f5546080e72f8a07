#pragma once
// An FTDI chip on an emulated USB bus, for tests of the real libftdi1 path without a bus.
//
// The test binary that links these objects defines the libusb functions libftdi1 and the
// backend call (device list and descriptors, open and claim, control and bulk transfers), so
// both reach the chips plugged in here instead of the system's USB. libftdi1 is a shared
// library and calls libusb through its PLT: the binary must export its symbols (CMake's
// ENABLE_EXPORTS) for those calls to land here too. Every chip of a binary lives on one bus;
// nothing here touches real USB.
//
// What the chip does, as far as the program can tell: vendor 0403 with a product id and the
// product string the window lists; packets of 64 bytes (a full-speed chip) or 512 (a
// high-speed one), each led by two modem status bytes; a partly filled packet (or the status
// bytes alone) goes to the host only when the latency timer (16 ms from power-up) runs out, a
// full one at once, so that at high speed the timer holds back up to 510 bytes instead of 62;
// bytes from the board at no more than the wire's rate, when one is set; the reset, purge, latency,
// bit mode and line requests; a bounded FIFO towards the host that leaves the far side's bytes
// where they are while the host does not read; a chip left in bit-bang or MPSSE mode that
// passes no bytes; unplugging (every call fails with LIBUSB_ERROR_NO_DEVICE); injected
// transfer errors; access denied; faults armed by what the host sends (a stall for good, a
// flush that also eats what arrives just after it, an unplug). Time comes from timeSource(): tests
// use the real clock, because the host's reader thread polls the chip on its own.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct libusb_device;

namespace tarvio::test {

// The board behind the chip: where the host's bytes go and the chip's bytes come from.
class FarSide {
public:
    virtual ~FarSide() = default;
    virtual void fromHost(const std::uint8_t* bytes, std::size_t count) = 0;
    // Bytes ready for the chip now, at most `room`; never waits.
    virtual std::size_t toHost(std::uint8_t* buffer, std::size_t room) = 0;
    virtual void powerDown() {}
    virtual void powerUp() {}
};

// A far side the test speaks for: it records what the host wrote and sends what it is given.
class ScriptedFarSide final : public FarSide {
public:
    void send(const std::vector<std::uint8_t>& bytes);
    void send(const std::string& text) {
        send(std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    std::vector<std::uint8_t> written() const;
    std::size_t pending() const;

    void fromHost(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t toHost(std::uint8_t* buffer, std::size_t room) override;

private:
    mutable std::mutex mutex_;
    std::deque<std::uint8_t> toHost_;
    std::vector<std::uint8_t> written_;
};

enum class UsbSpeed { Full, High };

struct ChipConfig {
    std::uint16_t productId = 0x6001;
    std::uint16_t bcdDevice = 0x0600; // an R-series chip: full speed, 64-byte packets
    UsbSpeed speed = UsbSpeed::Full;
    std::string manufacturer = "FTDI";
    std::string product = "Medipix2 ver 2.0 emulated";
    std::string serial = "FT000001";
    std::uint8_t bus = 1;
    std::uint8_t port = 1;
    std::size_t fifoBytes = 256;
    std::uint8_t bitMode = 0; // what another program left the chip in
    // Bytes per second from the board into the chip at most; 0: as fast as the board sends.
    double wireBytesPerSecond = 0;

    std::size_t packetSize() const { return speed == UsbSpeed::High ? 512 : 64; }
};

// A single-channel high-speed chip (as the 232H is: 512-byte packets, a 1 KiB FIFO towards
// the host); the rest of `base` stays.
ChipConfig highSpeedChip(ChipConfig base = {});
// The chip at the given speed: `base` itself at full speed.
ChipConfig chipAt(UsbSpeed speed, ChipConfig base = {});
const char* speedName(UsbSpeed speed);

// Faults armed by the host's own traffic, so that a test of a whole program can place them
// at a point of its sequence without reaching into it.
enum class ChipFault {
    StallForGood,   // every bulk transfer towards the host stalls from then on
    DropAfterFlush, // each later flush towards the host also eats what the board sends for
                    // the next DropAfterFlushSeconds
    Unplug,         // the chip is unplugged at once
};

// One control request as the chip received it.
struct ControlRequest {
    std::uint8_t request;
    std::uint16_t value;
    std::uint16_t index;
};

class EmulatedChip {
public:
    static constexpr unsigned PowerUpLatencyMs = 16;
    static constexpr double DropAfterFlushSeconds = 0.200;

    EmulatedChip(ChipConfig config, std::shared_ptr<FarSide> farSide);
    ~EmulatedChip();
    EmulatedChip(const EmulatedChip&) = delete;
    EmulatedChip& operator=(const EmulatedChip&) = delete;

    const ChipConfig& config() const { return config_; }
    std::size_t packetSize() const { return config_.packetSize(); }

    // Test side.
    void unplug();
    void replug(); // powers up afresh: latency 16 ms, FIFO mode, kernel driver bound again
    void denyAccess(bool deny);
    void denyClaim(bool deny); // libusb_open works, claiming is refused for permissions
    // The next `count` bulk transfers towards the host (or from it) fail with `error`.
    void failBulkIn(int count, int error);
    void failBulkOut(int count, int error);
    // The chip answers this vendor request with a stall from now on.
    void refuseRequest(std::uint8_t request);
    // The fault strikes once the host has written `byte` for the `count`th time.
    void armFault(ChipFault fault, std::uint8_t byte, int count);
    // While held, string descriptor reads wait (an enumeration that takes long).
    void holdStringReads(bool hold);
    bool stringReadWaiting() const;

    unsigned latencyMs() const;
    std::uint8_t bitMode() const;
    int clearedHalts() const;
    int claimedInterface() const; // -1: none
    int openHandles() const;
    std::vector<ControlRequest> controlRequests() const;

    // USB side, for the libusb functions.
    libusb_device* usbDevice() const { return usbDevice_; }
    bool pluggedIn() const;
    int open(); // 0 or a libusb error
    void close();
    int detachKernelDriver(int interfaceNumber);
    int claim(int interfaceNumber);
    int release(int interfaceNumber);
    int readString(std::uint8_t index, unsigned char* data, int length);
    int control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                std::uint16_t index, unsigned char* data, std::uint16_t length);
    int bulkIn(unsigned char* data, int length, int* transferred, unsigned timeoutMs);
    int bulkOut(const unsigned char* data, int length, int* transferred);
    int clearHalt();

private:
    void refillLocked();
    void unplugLocked();
    void watchHostBytesLocked(const unsigned char* data, int length);
    std::size_t emitPacketLocked(unsigned char* target, std::size_t payload);

    const ChipConfig config_;
    const std::shared_ptr<FarSide> farSide_;
    libusb_device* usbDevice_;

    mutable std::mutex mutex_;
    std::condition_variable stringsReleased_;
    bool plugged_ = true;
    bool accessDenied_ = false;
    bool claimDenied_ = false;
    bool kernelDriverBound_ = true;
    bool holdStrings_ = false;
    bool stringReadWaiting_ = false;
    int openHandles_ = 0;
    int claimedInterface_ = -1;
    unsigned latencyMs_ = PowerUpLatencyMs;
    std::uint8_t bitMode_;
    double lastPacketAt_ = 0.0;
    std::deque<std::uint8_t> fifo_; // chip to host
    int inFailures_ = 0;
    int inError_ = 0;
    int outFailures_ = 0;
    int outError_ = 0;
    int clearedHalts_ = 0;
    std::vector<ControlRequest> requests_;
    std::vector<std::uint8_t> refused_;
    double wireCredit_ = 0.0; // bytes the wire may still carry now
    double wireCreditAt_ = -1.0;
    struct ArmedFault {
        ChipFault fault;
        std::uint8_t byte;
        int left;
    };
    std::vector<ArmedFault> armed_;
    bool dropAfterFlush_ = false;
    double droppingUntil_ = -1.0;
};

// The bus every libusb function of the binary sees.
class EmulatedBus {
public:
    static EmulatedBus& instance();

    std::shared_ptr<EmulatedChip> plug(ChipConfig config, std::shared_ptr<FarSide> farSide);
    // Chips in the order they were plugged in; unplugged ones are not listed.
    std::vector<std::shared_ptr<EmulatedChip>> pluggedChips() const;
    // Forgets every chip (end of a test; nothing may still have one open).
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<EmulatedChip>> chips_;
};

} // namespace tarvio::test
