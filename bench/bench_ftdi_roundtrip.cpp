// Command round trips through FtdiBackend, the real libftdi1 and an emulated FTDI chip with
// the simulated interface behind it, at the latency timer the kernel leaves (16 ms) and at
// the one the backend sets (2 ms), with a full-speed and a high-speed chip. The chip holds a
// partly filled packet until its timer runs out, so the timer, not the bus, sets how long a
// command waits for its short answer. And bulk throughput to the host at each chip's wire
// rate (1 MB/s and 8 MB/s), which the backend must keep up with.
//
//     build/bench/bench_ftdi_roundtrip

#include "driver/Backend.h"
#include "driver/Driver.h"
#include "driver/FtdiBackend.h"
#include "emulated/EmulatedUsb.h"
#include "emulated/SimulatedFarSide.h"
#include "sim/SimulatedInterface.h"
#include "spectrometer/QrxController.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// An interface on the emulated bus, opened through the controller as the window does.
class OpenedChip {
public:
    OpenedChip(unsigned latencyMs, UsbSpeed speed)
        : backend_(std::make_shared<FtdiBackend>(latencyMs)) {
        installBackend(backend_);
        SimulatorConfig config;
        config.fastMode = true;
        auto sim = std::make_shared<SimulatedInterface>(config);
        ChipConfig chip = chipAt(speed);
        chip.product = sim->description();
        EmulatedBus::instance().plug(chip, std::make_shared<SimulatedFarSide>(sim));
        std::vector<std::string> devices;
        controller.ListDevices(devices);
        opened_ = !devices.empty() && controller.Open(devices.front());
    }
    ~OpenedChip() {
        controller.Close();
        removeBackend(backend_);
        EmulatedBus::instance().clear();
    }
    bool opened() const { return opened_; }

    TQrxController controller;

private:
    std::shared_ptr<FtdiBackend> backend_;
    bool opened_ = false;
};

// One command and its plain acknowledgement ("b", then "bOK\r").
void BM_CommandRoundTrip(benchmark::State& state) {
    OpenedChip chip(static_cast<unsigned>(state.range(0)),
                    state.range(1) ? UsbSpeed::High : UsbSpeed::Full);
    if (!chip.opened()) {
        state.SkipWithError("the emulated interface did not open");
        return;
    }
    for (auto _ : state) {
        if (!chip.controller.SetBias(0)) {
            state.SkipWithError("no answer");
            break;
        }
    }
}
BENCHMARK(BM_CommandRoundTrip)
    ->ArgNames({"latency_ms", "high_speed"})
    ->ArgsProduct({{16, 2}, {0, 1}})
    ->Iterations(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The window's Start after the bias: configure the scope, arm (trigger and interval timer),
// start waiting for triggers: four round trips.
void BM_StartSequence(benchmark::State& state) {
    OpenedChip chip(static_cast<unsigned>(state.range(0)),
                    state.range(1) ? UsbSpeed::High : UsbSpeed::Full);
    if (!chip.opened()) {
        state.SkipWithError("the emulated interface did not open");
        return;
    }
    chip.controller.SetBias(0); // no pulses: only the answers cross the wire
    for (auto _ : state) {
        const bool ok = chip.controller.ConfigureScope() && chip.controller.ArmMeasurement(0.2) &&
                        chip.controller.StartMeasurement();
        state.PauseTiming();
        chip.controller.StopMeasurement();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("no answer");
            break;
        }
    }
}
BENCHMARK(BM_StartSequence)
    ->ArgNames({"latency_ms", "high_speed"})
    ->ArgsProduct({{16, 2}, {0, 1}})
    ->Iterations(50)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// 4 MiB from the board to the host through a chip whose wire carries its nominal rate.
void BM_BulkToHost(benchmark::State& state) {
    const UsbSpeed speed = state.range(0) ? UsbSpeed::High : UsbSpeed::Full;
    auto backend = std::make_shared<FtdiBackend>();
    installBackend(backend);
    ChipConfig config = chipAt(speed);
    config.wireBytesPerSecond = speed == UsbSpeed::High ? 8.0e6 : 1.0e6;
    auto far = std::make_shared<ScriptedFarSide>();
    EmulatedBus::instance().plug(config, far);
    std::uint32_t count = 0;
    DriverCreateDeviceInfoList(&count);
    DriverHandle h = 0;
    if (DriverOpenByDescription(config.product.c_str(), &h) != DRV_OK) {
        state.SkipWithError("the emulated chip did not open");
    } else {
        const std::vector<std::uint8_t> block(4 << 20, 0x55);
        std::vector<std::uint8_t> got(1 << 16);
        for (auto _ : state) {
            far->send(block);
            std::size_t left = block.size();
            while (left > 0) {
                std::uint32_t n = 0;
                if (DriverRead(h, got.data(), static_cast<std::uint32_t>(got.size()), &n) !=
                    DRV_OK) {
                    state.SkipWithError("read failed");
                    break;
                }
                left -= std::min<std::size_t>(left, n);
            }
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (4 << 20));
        DriverClose(h);
    }
    removeBackend(backend);
    EmulatedBus::instance().clear();
}
BENCHMARK(BM_BulkToHost)
    ->ArgName("high_speed")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
