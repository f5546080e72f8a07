#include "driver/FtdiBackend.h"

#include "driver/RxBuffer.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>

namespace tarvio {

namespace {

// Long enough for USB string descriptors, short enough for the driver's 64-byte texts.
constexpr int StringBytes = 64;
// How long one pull of the reader thread may block on an idle device; bounds close().
constexpr unsigned ReaderPollMs = 100;
constexpr std::uint32_t DefaultTimeoutMs = 1000;

struct FtdiFree {
    void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};
using FtdiPtr = std::unique_ptr<ftdi_context, FtdiFree>;

struct UsbDevice {
    libusb_device* device = nullptr; // owned by the DeviceList it came from
    std::uint16_t productId = 0;
    std::string description;
    std::string serialNumber;
};

std::string readString(libusb_device_handle* handle, std::uint8_t index) {
    if (index == 0) {
        return {};
    }
    unsigned char text[StringBytes] = {};
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    return n > 0 ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n))
                 : std::string();
}

// The FTDI devices of one libusb context, in a stable order (bus, then port path), with their
// product and serial strings. Devices whose strings cannot be read still appear, under a
// text that says why, so that an operator sees the device and the cause instead of nothing.
class DeviceList {
public:
    explicit DeviceList(libusb_context* usb) {
        const ssize_t n = libusb_get_device_list(usb, &list_);
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list_[i], &d) != 0 ||
                d.idVendor != FtdiBackend::VendorId) {
                continue;
            }
            UsbDevice entry;
            entry.device = list_[i];
            entry.productId = d.idProduct;
            libusb_device_handle* handle = nullptr;
            const int rc = libusb_open(list_[i], &handle);
            if (rc == 0) {
                entry.description = readString(handle, d.iProduct);
                entry.serialNumber = readString(handle, d.iSerialNumber);
                libusb_close(handle);
            }
            if (entry.description.empty()) {
                char text[StringBytes];
                std::snprintf(text, sizeof text, "FTDI %04x:%04x%s", FtdiBackend::VendorId,
                              d.idProduct,
                              rc == LIBUSB_ERROR_ACCESS ? " (no access, see the udev rule)"
                              : rc != 0                 ? " (unreadable)"
                                                        : "");
                entry.description = text;
            }
            devices_.push_back(std::move(entry));
        }
        std::stable_sort(devices_.begin(), devices_.end(), [](const auto& a, const auto& b) {
            return location(a.device) < location(b.device);
        });
    }
    ~DeviceList() {
        if (list_) {
            libusb_free_device_list(list_, 1);
        }
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    const std::vector<UsbDevice>& devices() const { return devices_; }

private:
    static std::vector<std::uint8_t> location(libusb_device* device) {
        std::vector<std::uint8_t> where(8, 0);
        where[0] = libusb_get_bus_number(device);
        const int n =
            libusb_get_port_numbers(device, where.data() + 1, static_cast<int>(where.size() - 1));
        where.resize(1 + static_cast<std::size_t>(std::max(n, 0)));
        return where;
    }

    libusb_device** list_ = nullptr;
    std::vector<UsbDevice> devices_;
};

class FtdiDevice final : public DriverDevice {
public:
    FtdiDevice(FtdiPtr ftdi, DriverDeviceInfo info)
        : ftdi_(std::move(ftdi)), info_(std::move(info)) {
        libusb_device_handle* handle = ftdi_->usb_dev;
        // libftdi names endpoints from the chip's side: it reads from out_ep.
        const unsigned char readEndpoint = static_cast<unsigned char>(ftdi_->out_ep);
        const std::size_t packetSize = ftdi_->max_packet_size ? ftdi_->max_packet_size : 64;
        rx_ = std::make_unique<RxBuffer>(
            [handle, readEndpoint, packetSize](std::uint8_t* chunk, std::size_t capacity) {
                return pull(handle, readEndpoint, packetSize, chunk, capacity);
            });
    }
    ~FtdiDevice() override { close(); }

    DriverStatus purge(std::uint32_t mask) override {
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        if (rx_->lost()) {
            return DRV_IO_ERROR;
        }
        bool ok = true;
        if (mask & DRV_PURGE_RX) {
            ok = ftdi_tciflush(ftdi_.get()) == 0 && ok;
            rx_->purge(); // after the chip's buffer: nothing older can follow
        }
        if (mask & DRV_PURGE_TX) {
            ok = ftdi_tcoflush(ftdi_.get()) == 0 && ok;
        }
        return ok ? DRV_OK : DRV_IO_ERROR;
    }

    DriverStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        readTimeoutMs_ = readMs;
        // libusb would read 0 as "wait for ever"; a write must never hang the program.
        writeTimeoutMs_ = writeMs ? writeMs : DefaultTimeoutMs;
        return DRV_OK;
    }

    DriverStatus deviceInfo(DriverDeviceInfo& info) override {
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        info = info_;
        return DRV_OK;
    }

    DriverStatus queueStatus(std::uint32_t& rxBytes) override {
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        return rx_->queued(rxBytes);
    }

    DriverStatus read(std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead) override {
        bytesRead = 0;
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        return rx_->read(buffer, count, bytesRead, readTimeoutMs_ / 1000.0);
    }

    DriverStatus write(const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& bytesWritten) override {
        bytesWritten = 0;
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        if (rx_->lost()) {
            return DRV_IO_ERROR;
        }
        const std::uint32_t chunk = std::max(ftdi_->writebuffer_chunksize, 64u);
        // libftdi names endpoints from the chip's side: it writes to in_ep.
        const auto endpoint = static_cast<unsigned char>(ftdi_->in_ep);
        while (bytesWritten < count) {
            const std::uint32_t n = std::min(count - bytesWritten, chunk);
            int sent = 0;
            // The OUT transfer only reads the buffer; libusb's signature is not const.
            const int rc = libusb_bulk_transfer(ftdi_->usb_dev, endpoint,
                                                const_cast<std::uint8_t*>(buffer + bytesWritten),
                                                static_cast<int>(n), &sent, writeTimeoutMs_.load());
            bytesWritten += static_cast<std::uint32_t>(std::max(sent, 0));
            if (rc == LIBUSB_ERROR_TIMEOUT) {
                return DRV_OK; // the write timeout ends the write with fewer bytes
            }
            if (rc != 0) {
                return statusFromLibusb(rc);
            }
        }
        return DRV_OK;
    }

    DriverStatus close() override {
        std::lock_guard lock(closeMutex_);
        if (closed_) {
            return DRV_OK;
        }
        closed_ = true;
        rx_->stop();
        const bool lost = rx_->lost();
        // Releasing an unplugged device fails; that is no fault of the close.
        const int rc = ftdi_usb_close(ftdi_.get());
        return (rc == 0 || lost) ? DRV_OK : DRV_IO_ERROR;
    }

private:
    static RxChunk pull(libusb_device_handle* handle, unsigned char endpoint,
                        std::size_t packetSize, std::uint8_t* chunk, std::size_t capacity) {
        // Whole packets only: a transfer that ends mid-packet would overflow.
        const std::size_t length = capacity - capacity % packetSize;
        int received = 0;
        const int rc = libusb_bulk_transfer(handle, endpoint, chunk, static_cast<int>(length),
                                            &received, ReaderPollMs);
        if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT && rc != LIBUSB_ERROR_INTERRUPTED) {
            return {0, true};
        }
        return {
            stripModemStatus(chunk, static_cast<std::size_t>(std::max(received, 0)), packetSize),
            false};
    }

    FtdiPtr ftdi_;
    DriverDeviceInfo info_;
    std::unique_ptr<RxBuffer> rx_;
    std::atomic<std::uint32_t> readTimeoutMs_{DefaultTimeoutMs};
    std::atomic<std::uint32_t> writeTimeoutMs_{DefaultTimeoutMs};
    std::mutex closeMutex_;
    std::atomic<bool> closed_{false};
};

} // namespace

DriverStatus FtdiBackend::enumerate(std::vector<std::string>& descriptions) {
    descriptions.clear();
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi) {
        return DRV_OK; // no USB subsystem here: nothing to list
    }
    DeviceList list(ftdi->usb_ctx);
    for (const auto& d : list.devices()) {
        descriptions.push_back(d.description);
    }
    return DRV_OK;
}

DriverStatus FtdiBackend::open(const std::string& description,
                               std::unique_ptr<DriverDevice>& device) {
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi) {
        return DRV_DEVICE_NOT_FOUND;
    }
    DeviceList list(ftdi->usb_ctx);
    std::optional<DriverStatus> failure;
    for (const auto& d : list.devices()) {
        if (d.description != description) {
            continue;
        }
        const int rc = ftdi_usb_open_dev(ftdi.get(), d.device);
        if (rc != 0) {
            failure = statusFromFtdiOpen(rc); // in use or no access: try a namesake
            continue;
        }
        DriverDeviceInfo info;
        info.type = deviceTypeFromFtdiChip(ftdi->type);
        info.id = std::uint32_t{VendorId} << 16 | d.productId;
        info.serialNumber = d.serialNumber;
        info.description = d.description;
        device = std::make_unique<FtdiDevice>(std::move(ftdi), std::move(info));
        return DRV_OK;
    }
    return failure.value_or(DRV_DEVICE_NOT_FOUND);
}

DriverStatus statusFromLibusb(int error) {
    switch (error) {
    case LIBUSB_SUCCESS:
    case LIBUSB_ERROR_TIMEOUT:
        return DRV_OK;
    case LIBUSB_ERROR_IO:
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_PIPE:
    case LIBUSB_ERROR_OVERFLOW:
    case LIBUSB_ERROR_INTERRUPTED:
        return DRV_IO_ERROR;
    case LIBUSB_ERROR_INVALID_PARAM:
        return DRV_INVALID_PARAMETER;
    case LIBUSB_ERROR_ACCESS:
    case LIBUSB_ERROR_BUSY:
        return DRV_DEVICE_NOT_OPENED;
    case LIBUSB_ERROR_NOT_FOUND:
        return DRV_DEVICE_NOT_FOUND;
    case LIBUSB_ERROR_NO_MEM:
        return DRV_INSUFFICIENT_RESOURCES;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return DRV_NOT_SUPPORTED;
    default:
        return DRV_OTHER_ERROR;
    }
}

DriverStatus statusFromFtdiOpen(int result) {
    switch (result) {
    case 0:
        return DRV_OK;
    case -3:  // unable to configure
    case -4:  // unable to open (usually no permission)
    case -5:  // unable to claim (another program has it)
    case -11: // kernel driver could not be detached
    case -12: // configuration unreadable
        return DRV_DEVICE_NOT_OPENED;
    case -6:  // reset failed
    case -7:  // initial baud rate failed
    case -9:  // device descriptor unreadable
    case -10: // configuration descriptor unreadable
        return DRV_IO_ERROR;
    default:
        return DRV_OTHER_ERROR;
    }
}

std::uint32_t deviceTypeFromFtdiChip(int chipType) {
    switch (chipType) {
    case TYPE_BM:
        return 0;
    case TYPE_AM:
        return 1;
    case TYPE_2232C:
        return 4;
    case TYPE_R:
        return 5;
    case TYPE_2232H:
        return 6;
    case TYPE_4232H:
        return 7;
    case TYPE_232H:
        return 8;
    case TYPE_230X:
        return 9;
    default:
        return 3; // unknown
    }
}

std::size_t stripModemStatus(std::uint8_t* data, std::size_t length, std::size_t packetSize) {
    if (packetSize <= 2) {
        return 0;
    }
    std::size_t out = 0;
    for (std::size_t pos = 0; pos < length; pos += packetSize) {
        const std::size_t packet = std::min(packetSize, length - pos);
        if (packet > 2) {
            std::memmove(data + out, data + pos + 2, packet - 2);
            out += packet - 2;
        }
    }
    return out;
}

} // namespace tarvio
