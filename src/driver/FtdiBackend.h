#pragma once
// Real readout interfaces: every USB device with FTDI's vendor id (any product id), reached
// through libftdi1 and libusb. Lists the devices by their USB product string (the description
// the link layer filters on), opens by description, and turns each open device into a byte
// pipe with a buffered receive side (RxBuffer). Devices it sees but cannot use, and settings
// it cannot make, become driver notices (PostDriverNotice).
//
// Install it once at start-up: installBackend(std::make_shared<FtdiBackend>()).

#include "driver/Backend.h"

#include <cstddef>
#include <cstdint>

namespace tarvio {

class FtdiBackend final : public DriverBackend {
public:
    static constexpr std::uint16_t VendorId = 0x0403;
    // The chip holds back a partly filled packet until its latency timer runs out (16 ms as
    // the kernel leaves it): the round trip of every command waits for it.
    static constexpr unsigned DefaultLatencyTimerMs = 2;

    explicit FtdiBackend(unsigned latencyTimerMs = DefaultLatencyTimerMs);

    int rank() const override { return 0; }
    // Without USB access or without FTDI devices: DRV_OK and an empty list.
    DriverStatus enumerate(std::vector<std::string>& descriptions) override;
    // Opens channel A, resets the chip's bit mode to FIFO and sets its latency timer.
    DriverStatus open(const std::string& description,
                      std::unique_ptr<DriverDevice>& device) override;

private:
    unsigned latencyTimerMs_;
};

// Driver status for a libusb error code (0 and a timeout are not errors at this level).
DriverStatus statusFromLibusb(int error);
// Driver status for the result of libftdi's ftdi_usb_open_dev().
DriverStatus statusFromFtdiOpen(int result);
// The device type number drivers report for a libftdi chip type.
std::uint32_t deviceTypeFromFtdiChip(int chipType);
// Bytes per second a libftdi chip type carries to the host at best (its data sheet's FIFO
// figure); 0 for a type it does not know. Only the dead-time estimate uses it.
double nominalWireRate(int chipType);
// FTDI chips start every USB packet with two modem status bytes; removes them in place from
// `length` bytes of back-to-back packets of `packetSize` and returns the payload length.
std::size_t stripModemStatus(std::uint8_t* data, std::size_t length, std::size_t packetSize);

} // namespace tarvio
