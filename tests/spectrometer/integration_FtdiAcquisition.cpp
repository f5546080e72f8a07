// Measurements end to end through FtdiBackend, the real libftdi1 and its use of libusb,
// against an emulated FTDI chip with the simulated interface (fast mode) behind it: listing,
// open with reset and chip detection, the window's start sequence, an exact spectrum, stop,
// unplugging, reopening; with a full-speed and a high-speed chip. Real time: the backend's
// reader thread polls the chip on its own.

#include "SpecTestSupport.h"

#include "driver/Backend.h"
#include "driver/FtdiBackend.h"
#include "emulated/EmulatedUsb.h"
#include "emulated/SimulatedFarSide.h"
#include "link/DeviceDescr.h"
#include "sim/SimulatedInterface.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class FtdiAcquisition : public ::testing::TestWithParam<UsbSpeed> {
protected:
    void SetUp() override { installBackend(std::make_shared<FtdiBackend>()); }

    void TearDown() override {
        controller.reset();
        removeAllBackends();
        EmulatedBus::instance().clear();
        DriverTakeNotices();
    }

    void plugSimulated(SimulatorConfig config = {}) {
        config.fastMode = true;
        sim = std::make_shared<SimulatedInterface>(config);
        ChipConfig chipConfig = chipAt(GetParam());
        chipConfig.product = sim->description();
        chip = EmulatedBus::instance().plug(chipConfig, std::make_shared<SimulatedFarSide>(sim));
    }

    void createController() {
        controller = std::make_unique<TQrxController>();
        controller->SetLogHandler([this](const char* line) { log.add(line); });
        controller->SetPulseHandler([this] { ++pulses; });
        controller->SetInterfaceLostHandler([this] { ++losses; });
    }

    // The window's start-up on the one interface listed.
    void openFirst() {
        std::vector<std::string> devices;
        controller->ListDevices(devices);
        ASSERT_EQ(devices, std::vector<std::string>{sim->description()});
        name = devices.front();
        openLikeTheWindow(*controller, name);
    }

    void startMeasurement() { startLikeTheWindow(*controller); }

    std::vector<std::uint64_t> hostHistogram() { return spectrumCounts(*controller); }

    std::size_t linesWith(const std::string& part) const {
        const auto lines = log.lines();
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const auto& l) { return l.find(part) != std::string::npos; }));
    }

    std::shared_ptr<SimulatedInterface> sim;
    std::shared_ptr<EmulatedChip> chip;
    std::unique_ptr<TQrxController> controller;
    LogRecorder log;
    std::atomic<int> pulses{0};
    std::atomic<int> losses{0};
    std::string name;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(BothSpeeds, FtdiAcquisition,
                         ::testing::Values(UsbSpeed::Full, UsbSpeed::High),
                         [](const auto& info) { return std::string(speedName(info.param)); });

TEST_P(FtdiAcquisition, measurement_countsEveryPulseInItsChannelThroughTheChip) {
    SimulatorConfig config;
    config.pulseLimit = 300;
    plugSimulated(config);
    createController();
    openFirst();
    EXPECT_EQ(chip->latencyMs(), FtdiBackend::DefaultLatencyTimerMs);
    EXPECT_EQ(controller->link.device->chipCount, 1);
    EXPECT_EQ(linesWith("Timeout"), 0u) << "the first reset is answered: the purge kept it";

    startMeasurement();
    ASSERT_TRUE(eventually([&] { return sim->stats().pulsesTriggered >= config.pulseLimit; }));
    ASSERT_TRUE(controller->StopMeasurement());
    ASSERT_TRUE(eventually([&] { return total(hostHistogram()) == config.pulseLimit; }));
    EXPECT_EQ(hostHistogram(), sim->pulseHistogram());
    EXPECT_EQ(static_cast<std::uint64_t>(pulses.load()), sim->stats().pulsesDelivered);
    EXPECT_EQ(losses.load(), 0);
}

TEST_P(FtdiAcquisition, unpluggedWhileMeasuring_lostOnceEndedAndReopenedWhenBack) {
    plugSimulated();
    createController();
    openFirst();
    startMeasurement();
    ASSERT_TRUE(eventually([&] { return pulses.load() > 30; }));

    chip->unplug();
    ASSERT_TRUE(eventually([&] { return controller->interfaceLost(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the noticing pass ends
    const std::size_t linesAtLoss = log.lines().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // idle monitor passes
    EXPECT_EQ(log.lines().size(), linesAtLoss) << "a lost interface is not polled again";
    EXPECT_EQ(losses.load(), 1);
    EXPECT_EQ(linesWith("Device " + name + " lost."), 1u);
    EXPECT_LE(linesWith("Can't determine queue depth"), 1u);
    // The pulses that reached the host are all counted; one may have died inside the chip.
    const std::uint64_t delivered = sim->stats().pulsesDelivered;
    const std::uint64_t counted = total(hostHistogram());
    EXPECT_LE(counted, delivered);
    EXPECT_GE(counted + 1, delivered);

    controller->Close();
    EXPECT_FALSE(MonitorRunning());
    EXPECT_EQ(total(hostHistogram()), counted);
    chip->replug();
    ASSERT_TRUE(controller->Open(name));
    EXPECT_FALSE(controller->interfaceLost());
    EXPECT_EQ(chip->latencyMs(), FtdiBackend::DefaultLatencyTimerMs);
    const int before = pulses.load();
    ASSERT_TRUE(controller->SetBias(200));
    ASSERT_TRUE(controller->ConfigureScope());
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return pulses.load() == before + 1; }));
}

TEST_P(FtdiAcquisition, interfaceWithoutAccess_isALogLineAtStartAndNotListed) {
    ChipConfig locked;
    locked.productId = 0x6014;
    locked.port = 4;
    EmulatedBus::instance().plug(locked, std::make_shared<ScriptedFarSide>())->denyAccess(true);
    plugSimulated();
    createController();
    std::vector<std::string> devices;
    controller->ListDevices(devices);
    EXPECT_EQ(devices, std::vector<std::string>{sim->description()});
    EXPECT_EQ(linesWith("USB device 0403:6014 (bus 1, port 4) could not be opened: no access"), 1u);
}
