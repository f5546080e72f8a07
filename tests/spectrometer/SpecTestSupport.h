#pragma once
// Helpers of the spectrometer tests: a manual clock that threads can share, a scripted
// interface that answers every command the controller sends, wire formats of the messages an
// interface sends on its own, and a thread-safe recorder of log lines.

#include "driver/ScriptedPipe.h"
#include "driver/TimeSource.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace tarvio::test {

// Manual time that also gives the processor away on every sleep, so a polling thread does
// not spin the clock forward while another thread holds a lock.
class SharedManualTime final : public TimeSource {
public:
    double now() override { return manual_.now(); }
    void sleepFor(double seconds) override {
        manual_.sleepFor(seconds);
        std::this_thread::sleep_for(std::chrono::microseconds(seconds > 0 ? 100 : 10));
    }

private:
    ManualTimeSource manual_;
};

inline constexpr char PlainResetAnswer[] = "!Unit is on line. Medipix chips: 1 Ready";

inline std::string okResponse(char code, const std::string& body = {}) {
    return std::string(1, code) + body + "OK\r";
}

// Answers the reset with `resetAnswer` (a CR is appended), the chipboard identifier with
// `chipRecords`, the monitor with `monitorBody` (26 bytes) and every other command the
// controller sends with its plain acknowledgement. Rules added before take precedence.
inline void answerCommands(ScriptedDevice& device,
                           const std::string& resetAnswer = PlainResetAnswer,
                           const std::string& chipRecords = {},
                           const std::string& monitorBody = std::string(26, '\0')) {
    device.reply("_", okResponse('_') + resetAnswer + "\r");
    device.reply("|", okResponse('|', chipRecords));
    device.reply("M", okResponse('M', monitorBody));
    for (char c : std::string("bAa>QZYlL")) {
        device.reply(std::string(1, c), okResponse(c));
    }
    device.answerSynchronisation();
}

inline std::shared_ptr<ScriptedDevice>
addAnsweringInterface(ScriptedPipe& pipe, const std::string& description,
                      const std::string& resetAnswer = PlainResetAnswer,
                      const std::string& chipRecords = {},
                      const std::string& monitorBody = std::string(26, '\0')) {
    auto device = pipe.addDevice(description);
    answerCommands(*device, resetAnswer, chipRecords, monitorBody);
    return device;
}

// A bare scope data response carrying `words` (L = words - 1), big-endian words.
inline std::string scopeMessage(const std::vector<std::uint16_t>& words) {
    std::string body;
    const std::uint16_t l = static_cast<std::uint16_t>(words.size() - 1);
    body += static_cast<char>(l & 0xFF);
    body += static_cast<char>(l >> 8);
    for (std::uint16_t w : words) {
        body += static_cast<char>(w >> 8);
        body += static_cast<char>(w & 0xFF);
    }
    return okResponse('$', body);
}

// A pulse of `count` samples whose largest is `height`.
inline std::string pulseMessage(std::uint16_t height, std::size_t count = 450) {
    std::vector<std::uint16_t> words(count, 50);
    words[count / 3] = height;
    return scopeMessage(words);
}

class LogRecorder {
public:
    void add(const char* line) {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.emplace_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> guard(mutex_);
        return lines_;
    }
    bool contains(const std::string& part) const {
        for (const auto& line : lines()) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// The window's start-up on an interface: open, bias off, the threshold read back and sent
// again, the scope set up.
inline void openLikeTheWindow(TQrxController& controller, const std::string& name) {
    ASSERT_TRUE(controller.Open(name));
    ASSERT_TRUE(controller.SetBias(0));
    ASSERT_TRUE(controller.ReadMonitor());
    ASSERT_TRUE(controller.SetThreshold(controller.monitorThreshold()));
    ASSERT_TRUE(controller.ConfigureScope());
}

// The window's Start: bias on, clear, configure, arm, start.
inline void startLikeTheWindow(TQrxController& controller, double delaySeconds = 0.2,
                               std::uint8_t biasCode = 200) {
    ASSERT_TRUE(controller.SetBias(biasCode));
    controller.ClearRecords();
    controller.SetSampleCount(450);
    ASSERT_TRUE(controller.ConfigureScope());
    ASSERT_TRUE(controller.ArmMeasurement(delaySeconds));
    ASSERT_TRUE(controller.StartMeasurement());
}

// The controller's spectrum, copied under its data lock.
inline std::vector<std::uint64_t> spectrumCounts(const TQrxController& controller) {
    PulseBuffer pulse;
    Spectrum spectrum;
    controller.Snapshot(pulse, spectrum);
    return std::vector<std::uint64_t>(spectrum.counts.begin(), spectrum.counts.end());
}

inline std::uint64_t total(const std::vector<std::uint64_t>& histogram) {
    return std::accumulate(histogram.begin(), histogram.end(), std::uint64_t{0});
}

// Polls `done` on the real clock for at most `seconds`.
template <typename Predicate> bool eventually(Predicate done, double seconds = 10.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

} // namespace tarvio::test
