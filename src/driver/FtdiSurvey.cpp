#include "driver/FtdiSurvey.h"

#include "driver/FtdiBackend.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tarvio {

namespace {

struct FtdiFree {
    void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};

std::string readString(libusb_device_handle* handle, std::uint8_t index) {
    unsigned char text[128] = {};
    const int n =
        index ? libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1) : 0;
    return n > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n))
                 : std::string();
}

std::vector<std::uint8_t> location(libusb_device* device) {
    std::vector<std::uint8_t> where(8, 0);
    where[0] = libusb_get_bus_number(device);
    const int n =
        libusb_get_port_numbers(device, where.data() + 1, static_cast<int>(where.size() - 1));
    where.resize(1 + static_cast<std::size_t>(std::max(n, 0)));
    return where;
}

std::string locationText(const std::vector<std::uint8_t>& path) {
    std::string text = "bus " + std::to_string(path[0]) + ", port ";
    for (std::size_t i = 1; i < path.size(); ++i) {
        text += (i > 1 ? "." : "") + std::to_string(path[i]);
    }
    return text;
}

std::size_t packetSizeOf(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_config_descriptor(device, 0, &config) != 0 || !config) {
        return 0;
    }
    std::size_t size = 0;
    if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0 &&
        config->interface[0].altsetting[0].bNumEndpoints > 0) {
        size = config->interface[0].altsetting[0].endpoint[0].wMaxPacketSize;
    }
    libusb_free_config_descriptor(config);
    return size;
}

} // namespace

std::string ftdiChipName(std::uint16_t bcdDevice) {
    switch (bcdDevice) {
    case 0x0200:
        return "FT8U232AM";
    case 0x0400:
        return "FT232BM";
    case 0x0500:
        return "FT2232C";
    case 0x0600:
        return "FT232R";
    case 0x0700:
        return "FT2232H";
    case 0x0800:
        return "FT4232H";
    case 0x0900:
        return "FT232H";
    case 0x1000:
        return "FT230X";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "unknown (release %04x)", bcdDevice);
        return text;
    }
    }
}

UsbSurvey surveyFtdiDevices() {
    UsbSurvey survey;
    const ftdi_version_info version = ftdi_get_library_version();
    survey.libftdiVersion = version.version_str ? version.version_str : "";
    if (const libusb_version* usb = libusb_get_version()) {
        survey.libusbVersion = std::to_string(usb->major) + "." + std::to_string(usb->minor) + "." +
                               std::to_string(usb->micro);
    }
    std::unique_ptr<ftdi_context, FtdiFree> ftdi(ftdi_new());
    if (!ftdi) {
        return survey;
    }
    survey.usbAvailable = true;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ftdi->usb_ctx, &list);
    std::vector<std::pair<std::vector<std::uint8_t>, UsbDeviceSeen>> found;
    for (ssize_t i = 0; i < n; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 || d.idVendor != FtdiBackend::VendorId) {
            continue;
        }
        UsbDeviceSeen seen;
        seen.vendorId = d.idVendor;
        seen.productId = d.idProduct;
        const std::vector<std::uint8_t> path = location(list[i]);
        seen.where = locationText(path);
        seen.chipType = ftdiChipName(d.bcdDevice);
        seen.packetSize = packetSizeOf(list[i]);
        libusb_device_handle* handle = nullptr;
        const int rc = libusb_open(list[i], &handle);
        if (rc == 0) {
            seen.accessible = true;
            seen.description = readString(handle, d.iProduct);
            seen.serialNumber = readString(handle, d.iSerialNumber);
            libusb_close(handle);
        } else if (rc == LIBUSB_ERROR_ACCESS) {
            seen.noAccess = true;
            seen.problem = "no access for this user (the device node is not writable)";
        } else {
            seen.problem = std::string("it could not be opened: ") + libusb_error_name(rc);
        }
        found.emplace_back(path, std::move(seen));
    }
    if (list) {
        libusb_free_device_list(list, 1);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : found) {
        survey.devices.push_back(std::move(entry.second));
    }
    return survey;
}

} // namespace tarvio
