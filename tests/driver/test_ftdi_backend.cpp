#include "driver/Backend.h"
#include "driver/Driver.h"
#include "driver/FtdiBackend.h"

#include <gtest/gtest.h>

#include <libusb.h>

#include <vector>

using namespace tarvio;

TEST(FtdiBackend, noHardwareAttached_listsNothingWithoutErrorAndOpensNothing) {
    FtdiBackend backend;
    std::vector<std::string> descriptions{"stale"};
    ASSERT_EQ(backend.enumerate(descriptions), DRV_OK);
    if (!descriptions.empty()) {
        GTEST_SKIP() << "an FTDI device is attached: " << descriptions.front();
    }
    std::unique_ptr<DriverDevice> device;
    EXPECT_EQ(backend.open("Medipix2 ver 1.0", device), DRV_DEVICE_NOT_FOUND);
    EXPECT_EQ(device, nullptr);

    // Through the driver layer: an empty list, and no error.
    auto installed = std::make_shared<FtdiBackend>();
    installBackend(installed);
    std::uint32_t count = 99;
    EXPECT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
    EXPECT_EQ(count, 0u);
    DriverHandle handle = 0;
    EXPECT_EQ(DriverOpenByDescription("Medipix2 ver 1.0", &handle), DRV_DEVICE_NOT_FOUND);
    removeBackend(installed);
}

TEST(FtdiStatus, libusbErrors_mapToTheDriverStatusesTheLinkReports) {
    EXPECT_EQ(statusFromLibusb(LIBUSB_SUCCESS), DRV_OK);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_TIMEOUT), DRV_OK)
        << "a timeout only shortens a transfer";
    for (int e : {LIBUSB_ERROR_IO, LIBUSB_ERROR_NO_DEVICE, LIBUSB_ERROR_PIPE, LIBUSB_ERROR_OVERFLOW,
                  LIBUSB_ERROR_INTERRUPTED}) {
        EXPECT_EQ(statusFromLibusb(e), DRV_IO_ERROR) << e;
    }
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_ACCESS), DRV_DEVICE_NOT_OPENED);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_BUSY), DRV_DEVICE_NOT_OPENED);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_NOT_FOUND), DRV_DEVICE_NOT_FOUND);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_INVALID_PARAM), DRV_INVALID_PARAMETER);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_NO_MEM), DRV_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_NOT_SUPPORTED), DRV_NOT_SUPPORTED);
    EXPECT_EQ(statusFromLibusb(LIBUSB_ERROR_OTHER), DRV_OTHER_ERROR);
    EXPECT_EQ(statusFromLibusb(-12345), DRV_OTHER_ERROR);
}

TEST(FtdiStatus, openFailures_mapToNotOpenedForAccessAndIoErrorForTransfers) {
    EXPECT_EQ(statusFromFtdiOpen(0), DRV_OK);
    // -8 is libftdi's "inappropriate permissions on device": the device was not opened.
    for (int r : {-3, -4, -5, -8, -11, -12}) {
        EXPECT_EQ(statusFromFtdiOpen(r), DRV_DEVICE_NOT_OPENED) << r;
    }
    for (int r : {-6, -7, -9, -10, -13}) {
        EXPECT_EQ(statusFromFtdiOpen(r), DRV_IO_ERROR) << r;
    }
    EXPECT_EQ(statusFromFtdiOpen(-99), DRV_OTHER_ERROR);
    EXPECT_EQ(deviceTypeFromFtdiChip(0), 1u); // AM
    EXPECT_EQ(deviceTypeFromFtdiChip(1), 0u); // BM
    EXPECT_EQ(deviceTypeFromFtdiChip(4), 6u); // 2232H
    EXPECT_EQ(deviceTypeFromFtdiChip(42), 3u);
}

TEST(FtdiStatus, modemStatusBytes_areRemovedFromEveryPacketIncludingAShortLastOne) {
    // Two full 64-byte packets and a 10-byte one; payload bytes count up from 0.
    std::vector<std::uint8_t> data;
    std::uint8_t next = 0;
    for (std::size_t packet : {64u, 64u, 10u}) {
        data.push_back(0x31); // modem status
        data.push_back(0x60); // line status
        for (std::size_t i = 2; i < packet; ++i) {
            data.push_back(next++);
        }
    }
    const std::size_t n = stripModemStatus(data.data(), data.size(), 64);
    ASSERT_EQ(n, 62u + 62u + 8u);
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(data[i], static_cast<std::uint8_t>(i));
    }
    std::uint8_t statusOnly[] = {0x31, 0x60, 0x31, 0x60};
    EXPECT_EQ(stripModemStatus(statusOnly, 2, 64), 0u);
    EXPECT_EQ(stripModemStatus(statusOnly, 1, 64), 0u);
    EXPECT_EQ(stripModemStatus(statusOnly, 4, 2), 0u);
    EXPECT_EQ(stripModemStatus(nullptr, 0, 512), 0u);
}
