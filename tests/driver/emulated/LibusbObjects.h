#pragma once
// The emulation's definitions of libusb's opaque objects (libusb.h only declares them).

namespace tarvio::test {
class EmulatedChip;
}

struct libusb_device {
    tarvio::test::EmulatedChip* chip;
};

struct libusb_context {
    int unused;
};

struct libusb_device_handle {
    libusb_device* device;
};
