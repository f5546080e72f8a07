#include "driver/FtdiBackend.h"

#include "driver/RxBuffer.h"
#include "driver/TimeSource.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

namespace tarvio {

namespace {

// Long enough for USB string descriptors, short enough for the driver's 64-byte texts.
constexpr int StringBytes = 64;
// How long one pull of the reader thread may block on an idle device; bounds close(). An
// idle chip answers every latency tick with its two status bytes, so a pull rarely waits this.
constexpr unsigned ReaderPollMs = 100;
constexpr std::uint32_t DefaultTimeoutMs = 1000;
// Consecutive transient USB errors (stall, babble, transfer error) a transfer direction
// recovers from, with a halt cleared and a short pause each, before the device counts as lost.
constexpr int MaxTransientRetries = 5;
constexpr double TransientRetryPause = 0.010;

struct FtdiFree {
    void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};
using FtdiPtr = std::unique_ptr<ftdi_context, FtdiFree>;

struct UsbDevice {
    libusb_device* device = nullptr; // owned by the DeviceList it came from
    std::uint16_t productId = 0;
    std::string description;
    std::string serialNumber;
    std::string problem; // why the device cannot be used; empty when it can
};

bool transientUsbError(int rc) {
    return rc == LIBUSB_ERROR_IO || rc == LIBUSB_ERROR_PIPE || rc == LIBUSB_ERROR_OVERFLOW;
}

std::string readString(libusb_device_handle* handle, std::uint8_t index, int& rc) {
    if (index == 0) {
        return {};
    }
    unsigned char text[StringBytes] = {};
    const int n = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text - 1);
    if (n < 0) {
        rc = n;
    }
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
            int rc = libusb_open(list_[i], &handle);
            if (rc == 0) {
                entry.description = readString(handle, d.iProduct, rc);
                int serialRc = 0; // a serial number that cannot be read costs nothing
                entry.serialNumber = readString(handle, d.iSerialNumber, serialRc);
                libusb_close(handle);
            }
            if (rc != 0) {
                entry.problem = problemText(list_[i], d.idProduct, rc);
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

    // Says which device (its ids and where it is plugged in) and what keeps it from use.
    static std::string problemText(libusb_device* device, std::uint16_t productId, int rc) {
        std::string where = "bus " + std::to_string(libusb_get_bus_number(device)) + ", port ";
        const std::vector<std::uint8_t> path = location(device);
        for (std::size_t i = 1; i < path.size(); ++i) {
            where += (i > 1 ? "." : "") + std::to_string(path[i]);
        }
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x:%04x", FtdiBackend::VendorId, productId);
        const std::string which = std::string("USB device ") + ids + " (" + where + ")";
        if (rc == LIBUSB_ERROR_ACCESS) {
            return which + " could not be opened: no access for this user. Install the udev "
                           "rule (see the README) or ask the administrator.";
        }
        return which + " could not be read: " + libusb_error_name(rc) + ".";
    }

    libusb_device** list_ = nullptr;
    std::vector<UsbDevice> devices_;
};

class FtdiDevice final : public DriverDevice {
public:
    FtdiDevice(FtdiPtr ftdi, DriverDeviceInfo info)
        : ftdi_(std::move(ftdi)), info_(std::move(info)),
          // libftdi names endpoints from the chip's side: it reads from out_ep, writes to in_ep.
          readEndpoint_(static_cast<unsigned char>(ftdi_->out_ep)),
          writeEndpoint_(static_cast<unsigned char>(ftdi_->in_ep)),
          packetSize_(ftdi_->max_packet_size ? ftdi_->max_packet_size : 64) {
        rx_ = std::make_unique<RxBuffer>(
            [this](std::uint8_t* chunk, std::size_t capacity) { return pull(chunk, capacity); });
    }
    ~FtdiDevice() override { close(); }

    DriverStatus purge(std::uint32_t mask) override {
        if (closed_) {
            return DRV_INVALID_HANDLE;
        }
        if (lost()) {
            return DRV_IO_ERROR;
        }
        bool ok = true;
        if (mask & DRV_PURGE_RX) {
            // Exact: what the chip sends after its flush reaches the reader, nothing before.
            rx_->purge([&] { ok = ftdi_tciflush(ftdi_.get()) == 0; });
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
        if (lost()) {
            return DRV_IO_ERROR;
        }
        const std::uint32_t chunk = std::max(ftdi_->writebuffer_chunksize, 64u);
        int failures = 0;
        while (bytesWritten < count) {
            const std::uint32_t n = std::min(count - bytesWritten, chunk);
            int sent = 0;
            // The OUT transfer only reads the buffer; libusb's signature is not const.
            const int rc = libusb_bulk_transfer(ftdi_->usb_dev, writeEndpoint_,
                                                const_cast<std::uint8_t*>(buffer + bytesWritten),
                                                static_cast<int>(n), &sent, writeTimeoutMs_.load());
            bytesWritten += static_cast<std::uint32_t>(std::max(sent, 0));
            if (rc == 0) {
                failures = 0;
                continue;
            }
            if (rc == LIBUSB_ERROR_TIMEOUT) {
                return DRV_OK; // the write timeout ends the write with fewer bytes
            }
            if (transientUsbError(rc) && ++failures <= MaxTransientRetries) {
                recover(writeEndpoint_);
                continue;
            }
            writeLost_ = rc == LIBUSB_ERROR_NO_DEVICE || transientUsbError(rc);
            if (writeLost_) {
                noticeLoss("writing to it", rc);
            }
            return statusFromLibusb(rc);
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
        const bool gone = lost();
        // Releasing an unplugged device fails; that is no fault of the close.
        const int rc = ftdi_usb_close(ftdi_.get());
        return (rc == 0 || gone) ? DRV_OK : DRV_IO_ERROR;
    }

    bool lost() const override { return writeLost_ || rx_->lost(); }

private:
    // One pull of the reader thread. Transient errors are retried on the next pull, after the
    // halt is cleared; the device counts as lost once it is gone or keeps failing.
    RxChunk pull(std::uint8_t* chunk, std::size_t capacity) {
        // Whole packets only: a transfer that ends mid-packet would overflow.
        const std::size_t length = capacity - capacity % packetSize_;
        int received = 0;
        const int rc = libusb_bulk_transfer(ftdi_->usb_dev, readEndpoint_, chunk,
                                            static_cast<int>(length), &received, ReaderPollMs);
        const std::size_t bytes =
            stripModemStatus(chunk, static_cast<std::size_t>(std::max(received, 0)), packetSize_);
        if (rc == 0 || rc == LIBUSB_ERROR_TIMEOUT || rc == LIBUSB_ERROR_INTERRUPTED) {
            readFailures_ = 0;
            return {bytes, false};
        }
        if (!transientUsbError(rc) || ++readFailures_ > MaxTransientRetries) {
            noticeLoss("reading from it", rc);
            return {bytes, true};
        }
        recover(readEndpoint_);
        return {bytes, false};
    }

    // Why the device was given up, once: whoever keeps the log (or a self-test) can say it.
    void noticeLoss(const char* doing, int rc) {
        if (lossNoticed_.exchange(true)) {
            return;
        }
        PostDriverNotice(info_.description + ": " + doing + " failed" +
                         (rc == LIBUSB_ERROR_NO_DEVICE
                              ? " because the device is gone (unplugged or without power)"
                              : std::string(" for good (") + libusb_error_name(rc) +
                                    ", also after clearing the halt)") +
                         ".");
    }

    void recover(unsigned char endpoint) {
        libusb_clear_halt(ftdi_->usb_dev, endpoint);
        timeSource().sleepFor(TransientRetryPause);
    }

    FtdiPtr ftdi_;
    DriverDeviceInfo info_;
    const unsigned char readEndpoint_;
    const unsigned char writeEndpoint_;
    const std::size_t packetSize_;
    int readFailures_ = 0; // the reader thread's own
    std::unique_ptr<RxBuffer> rx_;
    std::atomic<std::uint32_t> readTimeoutMs_{DefaultTimeoutMs};
    std::atomic<std::uint32_t> writeTimeoutMs_{DefaultTimeoutMs};
    std::atomic<bool> writeLost_{false};
    std::atomic<bool> lossNoticed_{false};
    std::mutex closeMutex_;
    std::atomic<bool> closed_{false};
};

// The chip as the protocol needs it, whatever another program left it in. A setting that
// fails leaves the device usable, only slower or until replugged, so it is said, not fatal.
void setUpChip(ftdi_context* ftdi, const std::string& description, unsigned latencyMs) {
    const auto notice = [&](const std::string& what) {
        PostDriverNotice(description + ": " + what + " (" + ftdi_get_error_string(ftdi) + ").");
    };
    // A chip left in bit-bang or MPSSE mode by another tool talks FIFO again only after this.
    if (ftdi_set_bitmode(ftdi, 0, BITMODE_RESET) != 0) {
        notice("the chip's bit mode could not be reset; replug it if it does not answer");
    }
    // A partly filled packet waits for this timer: it bounds every command's round trip.
    if (ftdi_set_latency_timer(ftdi, static_cast<unsigned char>(latencyMs)) != 0) {
        notice("the latency timer could not be set; every command will take longer");
    }
}

} // namespace

FtdiBackend::FtdiBackend(unsigned latencyTimerMs)
    : latencyTimerMs_(std::clamp(latencyTimerMs, 1u, 255u)) {}

DriverStatus FtdiBackend::enumerate(std::vector<std::string>& descriptions) {
    descriptions.clear();
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi) {
        return DRV_OK; // no USB subsystem here: nothing to list
    }
    DeviceList list(ftdi->usb_ctx);
    for (const auto& d : list.devices()) {
        descriptions.push_back(d.description);
        if (!d.problem.empty()) {
            PostDriverNotice(d.problem);
        }
    }
    return DRV_OK;
}

DriverStatus FtdiBackend::open(const std::string& description,
                               std::unique_ptr<DriverDevice>& device) {
    FtdiPtr ftdi(ftdi_new());
    if (!ftdi) {
        return DRV_DEVICE_NOT_FOUND;
    }
    // Channel A of a dual-channel chip carries the interface.
    ftdi_set_interface(ftdi.get(), INTERFACE_A);
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
        setUpChip(ftdi.get(), description, latencyTimerMs_);
        DriverDeviceInfo info;
        info.type = deviceTypeFromFtdiChip(ftdi->type);
        info.id = std::uint32_t{VendorId} << 16 | d.productId;
        info.serialNumber = d.serialNumber;
        info.description = d.description;
        info.wireBytesPerSecond = nominalWireRate(ftdi->type);
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
    case -8:  // inappropriate permissions on the device
    case -11: // kernel driver could not be detached
    case -12: // configuration unreadable
        return DRV_DEVICE_NOT_OPENED;
    case -6:  // reset failed
    case -7:  // initial baud rate failed
    case -9:  // device descriptor unreadable
    case -10: // configuration descriptor unreadable
    case -13: // latency timer unreadable (later libftdi versions)
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

double nominalWireRate(int chipType) {
    switch (chipType) {
    case TYPE_2232H:
    case TYPE_4232H:
    case TYPE_232H:
        return 8.0e6; // high-speed bridges in FIFO mode
    case TYPE_AM:
    case TYPE_BM:
    case TYPE_2232C:
    case TYPE_R:
    case TYPE_230X:
        return 1.0e6; // full-speed bridges
    default:
        return 0.0;
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
