#pragma once
// What the system shows of FTDI devices without opening any for use: each device's ids,
// place on the bus, strings, chip type and packet size, and whether this user may open it
// (and if not, why). A self-test reports it before it touches a device.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

struct UsbDeviceSeen {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string where;       // "bus 3, port 2.1"
    std::string description; // the USB product string; empty when it could not be read
    std::string serialNumber;
    std::string chipType;       // "FT232R", "FT232H", ... from the device release number
    std::size_t packetSize = 0; // of its bulk endpoints: 64 at full speed, 512 at high
    bool accessible = false;    // this user may open it
    std::string problem;        // why not, when it is not accessible
    bool noAccess = false;      // the problem is permissions (a udev rule cures it)
};

struct UsbSurvey {
    bool usbAvailable = false; // libusb could be initialised
    std::string libftdiVersion;
    std::string libusbVersion;
    std::vector<UsbDeviceSeen> devices; // FTDI's vendor id only, in bus order
};

UsbSurvey surveyFtdiDevices();

// The chip type libftdi1 would detect from a device release number (bcdDevice).
std::string ftdiChipName(std::uint16_t bcdDevice);

} // namespace tarvio
