// Command round trips through FtdiBackend, the real libftdi1 and an emulated FTDI chip with
// the simulated interface behind it, at the latency timer the kernel leaves (16 ms) and at
// the one the backend sets (2 ms). The chip holds a partly filled packet until its timer runs
// out, so the timer, not the bus, sets how long a command waits for its short answer.
//
//     build/bench/bench_ftdi_roundtrip

#include "driver/Backend.h"
#include "driver/FtdiBackend.h"
#include "emulated/EmulatedUsb.h"
#include "emulated/SimulatedFarSide.h"
#include "sim/SimulatedInterface.h"
#include "spectrometer/QrxController.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// An interface on the emulated bus, opened through the controller as the window does.
class OpenedChip {
public:
    explicit OpenedChip(unsigned latencyMs) : backend_(std::make_shared<FtdiBackend>(latencyMs)) {
        installBackend(backend_);
        SimulatorConfig config;
        config.fastMode = true;
        auto sim = std::make_shared<SimulatedInterface>(config);
        ChipConfig chip;
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
    OpenedChip chip(static_cast<unsigned>(state.range(0)));
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
    ->ArgName("latency_ms")
    ->Arg(16)
    ->Arg(2)
    ->Iterations(200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The window's Start after the bias: configure the scope, arm (trigger and interval timer),
// start waiting for triggers: four round trips.
void BM_StartSequence(benchmark::State& state) {
    OpenedChip chip(static_cast<unsigned>(state.range(0)));
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
    ->ArgName("latency_ms")
    ->Arg(16)
    ->Arg(2)
    ->Iterations(50)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
