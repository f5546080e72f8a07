// The simulated interface's own cost: how fast it can feed the host in fast mode, so that
// benchmarks of the host's acquisition measure the host and not the simulator.

#include "driver/Backend.h"
#include "link/Interfaces.h"
#include "link/Protocol.h"
#include "link/Report.h"
#include "sim/SimulatedBackend.h"
#include "sim/SimulatedInterface.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace tarvio {
namespace {

SimulatorConfig fastConfig() {
    SimulatorConfig c;
    c.fastMode = true;
    return c;
}

void write(SimulatedInterface& sim, std::uint64_t session, const std::string& bytes) {
    std::uint32_t n = 0;
    sim.write(session, reinterpret_cast<const std::uint8_t*>(bytes.data()),
              static_cast<std::uint32_t>(bytes.size()), n);
}

// Pulses of 450 samples read straight from the device in 64 KiB reads.
void BM_SimPulseStream(benchmark::State& state) {
    SimulatedInterface sim(fastConfig());
    std::uint64_t session = 0;
    sim.open(session);
    write(sim, session, std::string("b\x01Q\x0cl", 5));
    std::vector<std::uint8_t> buffer(65536);
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        std::uint32_t n = 0;
        sim.read(session, buffer.data(), static_cast<std::uint32_t>(buffer.size()), n);
        bytes += n;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["pulses/s"] = benchmark::Counter(
        static_cast<double>(sim.stats().pulsesDelivered), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SimPulseStream);

// One timed frame of four Timepix chips: frame made, encoded and read.
void BM_SimFrame(benchmark::State& state) {
    SimulatorConfig c = fastConfig();
    c.chips = 4;
    c.chipKind = SimChipKind::Timepix;
    SimulatedInterface sim(c);
    std::uint64_t session = 0;
    sim.open(session);
    std::vector<std::uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        write(sim, session, "m");
        std::uint32_t n = 0;
        sim.read(session, buffer.data(), 1 + 6 + 4 * 114721 + 3, n);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimFrame)->Unit(benchmark::kMillisecond);

// The host's receive path and the simulator together: pulses received by the link layer.
void BM_SimPulsesThroughLink(benchmark::State& state) {
    removeAllBackends();
    SetReportHook([](DeviceLink&, std::int32_t) {}, 0); // reports are not the point here
    ScopedSimulatedBackend simulated(fastConfig());
    char names[256] = {};
    ListInterfaces(Medipix2Any, names, sizeof names);
    DeviceDescr* descr = OpenInterface(names, false, false);
    DeviceLink link(descr);
    QrxCommandResponse record(false);
    const char arm[] = "b\x01Q\x0cl";
    ExecuteCommand(link, record, arm, 2, -1, 0);
    ExecuteCommand(link, record, arm + 2, 2, -1, 0);
    ExecuteCommand(link, record, arm + 4, 1, -1, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReceiveMessage(link, record));
    }
    state.SetItemsProcessed(state.iterations());
    CloseInterface(link, true);
    SetReportHook(nullptr, 0);
    removeAllBackends();
}
BENCHMARK(BM_SimPulsesThroughLink);

} // namespace
} // namespace tarvio

BENCHMARK_MAIN();
