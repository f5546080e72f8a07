// The libusb functions that libftdi1 and the FTDI backend call, answered by the chips of the
// emulated bus. Defined in the test binary, they take the place of the system's libusb for
// every caller that reaches them: the backend directly, libftdi1 through its PLT once the
// binary exports them.

#include "emulated/EmulatedUsb.h"

#include <libusb.h>

#include <cstdlib>
#include <cstring>

using tarvio::test::EmulatedBus;
using tarvio::test::EmulatedChip;

#include "emulated/LibusbObjects.h"

namespace {

EmulatedChip& chipOf(libusb_device_handle* handle) {
    return *handle->device->chip;
}

// One configuration, one interface, a bulk endpoint each way, as single-channel chips have;
// libftdi takes the packet size from the first endpoint.
libusb_config_descriptor* newConfigDescriptor(std::uint16_t packetSize) {
    auto* endpoints = static_cast<libusb_endpoint_descriptor*>(
        std::calloc(2, sizeof(libusb_endpoint_descriptor)));
    endpoints[0].bEndpointAddress = 0x81;
    endpoints[0].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoints[0].wMaxPacketSize = packetSize;
    endpoints[1].bEndpointAddress = 0x02;
    endpoints[1].bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
    endpoints[1].wMaxPacketSize = packetSize;
    auto* setting = static_cast<libusb_interface_descriptor*>(
        std::calloc(1, sizeof(libusb_interface_descriptor)));
    setting->bNumEndpoints = 2;
    setting->endpoint = endpoints;
    auto* interface = static_cast<libusb_interface*>(std::calloc(1, sizeof(libusb_interface)));
    interface->altsetting = setting;
    interface->num_altsetting = 1;
    auto* config =
        static_cast<libusb_config_descriptor*>(std::calloc(1, sizeof(libusb_config_descriptor)));
    config->bNumInterfaces = 1;
    config->bConfigurationValue = 1;
    config->interface = interface;
    return config;
}

} // namespace

int libusb_init(libusb_context** ctx) {
    if (ctx) {
        *ctx = new libusb_context{};
    }
    return 0;
}

void libusb_exit(libusb_context* ctx) {
    delete ctx;
}

ssize_t libusb_get_device_list(libusb_context*, libusb_device*** list) {
    const auto chips = EmulatedBus::instance().pluggedChips();
    auto** devices =
        static_cast<libusb_device**>(std::calloc(chips.size() + 1, sizeof(libusb_device*)));
    for (std::size_t i = 0; i < chips.size(); ++i) {
        devices[i] = chips[i]->usbDevice();
    }
    *list = devices;
    return static_cast<ssize_t>(chips.size());
}

void libusb_free_device_list(libusb_device** list, int) {
    std::free(list);
}

// The bus keeps its chips (and their devices) until the test ends.
libusb_device* libusb_ref_device(libusb_device* dev) {
    return dev;
}

void libusb_unref_device(libusb_device*) {}

int libusb_get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc) {
    const tarvio::test::ChipConfig& config = dev->chip->config();
    *desc = {};
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0200;
    desc->bMaxPacketSize0 = config.speed == tarvio::test::UsbSpeed::High ? 64 : 8;
    desc->idVendor = 0x0403;
    desc->idProduct = config.productId;
    desc->bcdDevice = config.bcdDevice;
    desc->iManufacturer = 1;
    desc->iProduct = 2;
    desc->iSerialNumber = 3;
    desc->bNumConfigurations = 1;
    return 0;
}

int libusb_get_config_descriptor(libusb_device* dev, uint8_t index,
                                 libusb_config_descriptor** config) {
    if (index != 0) {
        return LIBUSB_ERROR_NOT_FOUND;
    }
    *config = newConfigDescriptor(static_cast<std::uint16_t>(dev->chip->packetSize()));
    return 0;
}

void libusb_free_config_descriptor(libusb_config_descriptor* config) {
    if (!config) {
        return;
    }
    std::free(const_cast<libusb_endpoint_descriptor*>(config->interface->altsetting->endpoint));
    std::free(const_cast<libusb_interface_descriptor*>(config->interface->altsetting));
    std::free(const_cast<libusb_interface*>(config->interface));
    std::free(config);
}

uint8_t libusb_get_bus_number(libusb_device* dev) {
    return dev->chip->config().bus;
}

int libusb_get_port_numbers(libusb_device* dev, uint8_t* ports, int length) {
    if (length < 1) {
        return LIBUSB_ERROR_OVERFLOW;
    }
    ports[0] = dev->chip->config().port;
    return 1;
}

uint8_t libusb_get_device_address(libusb_device* dev) {
    return static_cast<uint8_t>(dev->chip->config().port + 1);
}

int libusb_open(libusb_device* dev, libusb_device_handle** handle) {
    const int rc = dev->chip->open();
    if (rc != 0) {
        return rc;
    }
    *handle = new libusb_device_handle{dev};
    return 0;
}

void libusb_close(libusb_device_handle* handle) {
    if (handle) {
        chipOf(handle).close();
        delete handle;
    }
}

libusb_device* libusb_get_device(libusb_device_handle* handle) {
    return handle->device;
}

int libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                       unsigned char* data, int length) {
    return chipOf(handle).readString(index, data, length);
}

int libusb_detach_kernel_driver(libusb_device_handle* handle, int interfaceNumber) {
    return chipOf(handle).detachKernelDriver(interfaceNumber);
}

int libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) {
    return 0;
}

int libusb_get_configuration(libusb_device_handle* handle, int* config) {
    if (!chipOf(handle).pluggedIn()) {
        return LIBUSB_ERROR_NO_DEVICE;
    }
    *config = 1;
    return 0;
}

int libusb_set_configuration(libusb_device_handle* handle, int) {
    return chipOf(handle).pluggedIn() ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int libusb_claim_interface(libusb_device_handle* handle, int interfaceNumber) {
    return chipOf(handle).claim(interfaceNumber);
}

int libusb_release_interface(libusb_device_handle* handle, int interfaceNumber) {
    return chipOf(handle).release(interfaceNumber);
}

int libusb_control_transfer(libusb_device_handle* handle, uint8_t requestType, uint8_t request,
                            uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                            unsigned int) {
    return chipOf(handle).control(requestType, request, value, index, data, length);
}

int libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                         int length, int* transferred, unsigned int timeout) {
    int done = 0;
    const int rc = (endpoint & LIBUSB_ENDPOINT_IN)
                       ? chipOf(handle).bulkIn(data, length, &done, timeout)
                       : chipOf(handle).bulkOut(data, length, &done);
    if (transferred) {
        *transferred = done;
    }
    return rc;
}

int libusb_clear_halt(libusb_device_handle* handle, unsigned char) {
    return chipOf(handle).clearHalt();
}
