// Pulse acquisition throughput: pre-generated scope-data messages (450 samples, or a single
// sample: 10 bytes a pulse, the shortest the interface sends), bare or in bracketed groups, go
// from a driver device through the monitoring thread and the controller's background-message
// handler into the spectrum. Reports pulses/s and MB/s.
// `record` 0: no measurement running (the record only counts); 1: a measurement with all
// three presets set, so every pulse also reads the clock and checks them.

#include "driver/Backend.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace tarvio;

namespace {

constexpr char Description[] = "Medipix2 ver 1.0 bench: B0001";
constexpr std::size_t BytesPerRound = 18'000'000;

// A device that answers the controller's commands and otherwise serves a block of bytes the
// benchmark hands it, as fast as the host reads.
class BenchDevice final : public DriverDevice {
public:
    void load(std::shared_ptr<const std::vector<std::uint8_t>> block) {
        std::lock_guard<std::mutex> guard(mutex_);
        block_ = std::move(block);
        position_ = 0;
    }

    DriverStatus purge(std::uint32_t) override { return DRV_OK; }
    DriverStatus setTimeouts(std::uint32_t, std::uint32_t) override { return DRV_OK; }
    DriverStatus deviceInfo(DriverDeviceInfo& info) override {
        info.description = Description;
        info.serialNumber = "B0001";
        return DRV_OK;
    }
    DriverStatus queueStatus(std::uint32_t& rxBytes) override {
        std::lock_guard<std::mutex> guard(mutex_);
        rxBytes = static_cast<std::uint32_t>(available());
        return DRV_OK;
    }
    DriverStatus read(std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead) override {
        std::lock_guard<std::mutex> guard(mutex_);
        bytesRead = 0;
        const std::size_t fromAnswers = std::min<std::size_t>(count, answers_.size());
        std::memcpy(buffer, answers_.data(), fromAnswers);
        answers_.erase(0, fromAnswers);
        bytesRead += static_cast<std::uint32_t>(fromAnswers);
        if (block_ && bytesRead < count) {
            const std::size_t n =
                std::min<std::size_t>(count - bytesRead, block_->size() - position_);
            std::memcpy(buffer + bytesRead, block_->data() + position_, n);
            position_ += n;
            bytesRead += static_cast<std::uint32_t>(n);
        }
        return DRV_OK;
    }
    DriverStatus write(const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& bytesWritten) override {
        std::lock_guard<std::mutex> guard(mutex_);
        if (count > 0 && buffer[0] == '_') {
            answers_ += "_OK\r!Unit is on line. Medipix chips: 1 Ready\r";
        } else if (count > 0) {
            answers_ += static_cast<char>(buffer[0]);
            answers_ += "OK\r";
        }
        bytesWritten = count;
        return DRV_OK;
    }
    DriverStatus close() override { return DRV_OK; }

private:
    std::size_t available() const {
        return answers_.size() + (block_ ? block_->size() - position_ : 0);
    }

    std::mutex mutex_;
    std::string answers_;
    std::shared_ptr<const std::vector<std::uint8_t>> block_;
    std::size_t position_ = 0;
};

// Hands out one shared device (the benchmark keeps a reference to feed it).
class BenchBackend final : public DriverBackend {
public:
    std::shared_ptr<BenchDevice> device = std::make_shared<BenchDevice>();

    int rank() const override { return 10; }
    DriverStatus enumerate(std::vector<std::string>& descriptions) override {
        descriptions.push_back(Description);
        return DRV_OK;
    }
    DriverStatus open(const std::string& description, std::unique_ptr<DriverDevice>& out) override {
        if (description != Description) {
            return DRV_DEVICE_NOT_FOUND;
        }
        out = std::make_unique<Forwarder>(device);
        return DRV_OK;
    }

private:
    struct Forwarder final : DriverDevice {
        explicit Forwarder(std::shared_ptr<BenchDevice> d) : target(std::move(d)) {}
        DriverStatus purge(std::uint32_t m) override { return target->purge(m); }
        DriverStatus setTimeouts(std::uint32_t r, std::uint32_t w) override {
            return target->setTimeouts(r, w);
        }
        DriverStatus deviceInfo(DriverDeviceInfo& i) override { return target->deviceInfo(i); }
        DriverStatus queueStatus(std::uint32_t& n) override { return target->queueStatus(n); }
        DriverStatus read(std::uint8_t* b, std::uint32_t c, std::uint32_t& n) override {
            return target->read(b, c, n);
        }
        DriverStatus write(const std::uint8_t* b, std::uint32_t c, std::uint32_t& n) override {
            return target->write(b, c, n);
        }
        DriverStatus close() override { return DRV_OK; }
        std::shared_ptr<BenchDevice> target;
    };
};

// One scope-data response: the samples and a trailing monitor word, a varying pulse height.
void appendPulse(std::vector<std::uint8_t>& out, std::size_t index, std::size_t samples) {
    const auto words = static_cast<std::uint16_t>(samples + 1);
    out.push_back('$');
    out.push_back(static_cast<std::uint8_t>((words - 1) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((words - 1) >> 8));
    const std::uint16_t height = static_cast<std::uint16_t>(200 + (index * 37) % 3800);
    for (std::size_t k = 0; k < words; ++k) {
        std::uint16_t value = static_cast<std::uint16_t>(100 + (k * 7) % 50);
        if (k == 120 % samples) {
            value = height;
        }
        if (k == samples) {
            value = 0x2000 | 1234; // monitor reading, tag 2
        }
        out.push_back(static_cast<std::uint8_t>(value >> 8));
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    out.insert(out.end(), {'O', 'K', '\r'});
}

// Pulses in a round of about the same number of bytes whatever their length.
std::size_t pulsesPerRound(std::size_t samples) {
    return BytesPerRound / (2 * samples + 8);
}

// `group` 0: every pulse bare; otherwise groups of that many pulses in "[" ... "]".
std::shared_ptr<const std::vector<std::uint8_t>> makeBlock(std::size_t group, std::size_t samples) {
    const std::size_t pulses = pulsesPerRound(samples);
    auto block = std::make_shared<std::vector<std::uint8_t>>();
    block->reserve(BytesPerRound + BytesPerRound / 8);
    for (std::size_t i = 0; i < pulses; ++i) {
        if (group && i % group == 0) {
            block->push_back('[');
        }
        appendPulse(*block, i, samples);
        if (group && (i % group == group - 1 || i + 1 == pulses)) {
            block->push_back(']');
        }
    }
    return block;
}

void BM_PulsesIntoSpectrum(benchmark::State& state) {
    const std::size_t group = static_cast<std::size_t>(state.range(0));
    const std::size_t samples = static_cast<std::size_t>(state.range(1));
    const std::size_t pulses = pulsesPerRound(samples);
    const auto block = makeBlock(group, samples);
    const bool measuring = state.range(2) != 0;
    auto backend = std::make_shared<BenchBackend>();
    installBackend(backend);

    using Clock = std::chrono::steady_clock;
    std::atomic<std::size_t> counted{0};
    Clock::time_point first, last;
    {
        TQrxController controller;
        controller.SetPulseHandler([&] {
            const std::size_t n = counted.fetch_add(1, std::memory_order_relaxed) + 1;
            if (n == 1) {
                first = Clock::now();
            } else if (n == pulses) {
                last = Clock::now();
            }
        });
        if (!controller.Open(Description)) {
            state.SkipWithError("bench interface did not open");
            removeBackend(backend);
            return;
        }
        if (measuring) {
            // Limits that are never met: the cost of checking them is what is measured.
            controller.SetPresets({1e9, 1e9, std::uint64_t{1} << 62, std::nullopt});
            controller.ArmMeasurement(0.001);
            if (!controller.StartMeasurement()) {
                state.SkipWithError("bench measurement did not start");
                controller.Close();
                removeBackend(backend);
                return;
            }
        }
        for (auto _ : state) {
            counted.store(0);
            backend->device->load(block);
            // The monitoring thread may be in its idle sleep when the block lands: time from
            // the first pulse handled to the last.
            while (counted.load(std::memory_order_relaxed) < pulses) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            state.SetIterationTime(std::chrono::duration<double>(last - first).count() * pulses /
                                   (pulses - 1));
        }
        PulseBuffer pulse;
        Spectrum spectrum;
        controller.Snapshot(pulse, spectrum);
        benchmark::DoNotOptimize(spectrum.maxCount);
        controller.Close();
    }
    removeBackend(backend);

    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * pulses));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block->size()));
    state.counters["pulses/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * pulses), benchmark::Counter::kIsRate);
    state.counters["MB/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * block->size()) / 1e6, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_PulsesIntoSpectrum)
    ->ArgNames({"group", "samples", "record"})
    ->ArgsProduct({{0, 1, 16}, {450, 1}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
