// A flood by hand: the simulated interface at its highest activity, paced at its wire rate on
// the real clock, Delay 0 and the given samples per pulse, measured for the given seconds as
// the window would run it; then Stop and Close are timed. Prints the pulses accumulated each
// second beside what the wire carried, and ends with a summary line.
//
//     flood_run [SAMPLES=1] [SECONDS=60] [WIRE_BYTES_PER_SECOND=1000000]

#include "driver/Backend.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace tarvio;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 1;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    SimulatorConfig config;
    config.activity = SimulatorConfig::MaxActivity;
    if (argc > 3) {
        config.wireRate = std::atof(argv[3]);
    }
    if (samples < 1 || samples > 450 || seconds < 1) {
        std::fprintf(stderr,
                     "usage: flood_run [SAMPLES 1..450] [SECONDS] [WIRE_BYTES_PER_SECOND]\n");
        return 2;
    }
    auto backend = SimulatedBackend::install(config);
    auto sim = backend->interface();
    std::atomic<int> deadlocks{0};
    SetMonitorWatchdog(DefaultWatchdogSeconds, [&] { ++deadlocks; });

    std::atomic<std::uint64_t> counted{0};
    std::atomic<std::uint64_t> errors{0};
    int exitCode = 0;
    {
        TQrxController controller;
        controller.SetPulseHandler([&] { counted.fetch_add(1, std::memory_order_relaxed); });
        controller.SetLogHandler(
            [&](const char*) { errors.fetch_add(1, std::memory_order_relaxed); });
        std::vector<std::string> devices;
        controller.ListDevices(devices);
        if (devices.empty() || !controller.Open(devices.front())) {
            std::fprintf(stderr, "the simulated interface did not open\n");
            return 1;
        }
        controller.SetBias(1);
        controller.SetSampleCount(static_cast<std::uint16_t>(samples));
        controller.ConfigureScope();
        controller.ArmMeasurement(0.0);
        controller.StartMeasurement();

        const double bytesPerPulse = 1 + 2 + 2.0 * (samples + 1) + 3;
        std::printf("samples %d, wire %.0f bytes/s: at most %.0f pulses/s\n", samples,
                    config.wireRate, config.wireRate / bytesPerPulse);
        std::uint64_t lastCounted = 0;
        std::uint64_t lastWire = 0;
        const auto start = Clock::now();
        for (int s = 1; s <= seconds; ++s) {
            std::this_thread::sleep_until(start + std::chrono::seconds(s));
            const std::uint64_t now = counted.load();
            const std::uint64_t wire = sim->stats().pulsesDelivered;
            std::printf("%3d s: %9llu pulses/s accumulated, %9llu/s read from the wire\n", s,
                        static_cast<unsigned long long>(now - lastCounted),
                        static_cast<unsigned long long>(wire - lastWire));
            std::fflush(stdout);
            lastCounted = now;
            lastWire = wire;
        }

        auto t = Clock::now();
        const bool stopped = controller.StopMeasurement();
        const double stopSeconds = secondsSince(t);
        t = Clock::now();
        controller.Close();
        const double closeSeconds = secondsSince(t);
        const SimStats stats = sim->stats();
        std::printf("summary: samples %d, %.0f pulses/s accumulated over %d s (%llu triggered, "
                    "%llu lost at the interface), Stop %s in %.3f s, Close in %.3f s, %llu log "
                    "lines, %d dead-lock aborts\n",
                    samples, counted.load() / static_cast<double>(seconds), seconds,
                    static_cast<unsigned long long>(stats.pulsesTriggered),
                    static_cast<unsigned long long>(stats.pulsesLost), stopped ? "OK" : "failed",
                    stopSeconds, closeSeconds, static_cast<unsigned long long>(errors.load()),
                    deadlocks.load());
        exitCode = stopped && stopSeconds < 1.0 && closeSeconds < 1.0 && deadlocks == 0 ? 0 : 1;
    }
    removeBackend(backend);
    return exitCode;
}
