#pragma once
// The interface's command processor: takes the bytes the host writes, splits them into
// commands by the command table (code, then that row's parameter bytes), keeps the state the
// commands set (operating point, scope, trigger, timers, shutter) and builds every answer in
// its row's response shape. A code missing from the table gets an "!" error line.
//
// It knows nothing of time or pulses beyond what the commands set; the interface around it
// (SimulatedInterface) turns that state into pulses and paces the bytes.

#include "sim/ChipBoard.h"
#include "sim/SimFaults.h"
#include "sim/SimRandom.h"
#include "sim/SimulatorConfig.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

// What the commands have set.
struct InterfaceState {
    std::uint8_t biasCode = 0;  // 0: bias off
    std::uint16_t thresholdDac; // interface DAC channel 0
    std::array<std::uint16_t, 16> dacs{};
    std::uint8_t scopeMode = 2;
    std::uint16_t sampleCount = 450;
    std::uint8_t scopeFinal = 15;
    std::uint8_t triggerMode = 0;
    std::uint64_t intervalTicks = 0;
    std::uint8_t intervalMode = 0;
    bool intervalRunning = false;
    bool waitingForTrigger = false;
    // Moment of the last change to the trigger or interval set-up; the interface restarts its
    // trigger timing from here.
    double armedAt = 0;
    std::uint64_t armCount = 0;
    std::uint32_t singleShots = 0; // asked for with "a", not yet sent
    bool shutterOpen = false;
    double shutterOpenedAt = 0;
    double exposureSeconds = 0;
    bool matrixErased = true;
    std::uint64_t framesRead = 0;
    std::uint32_t testPulses = 0;
    std::uint64_t resets = 0;
    bool positivePolarity = true;
    bool medipixPower = true;

    InterfaceState();
    // Interval timer period in seconds, 0 when not running.
    double intervalSeconds() const;
};

// One message the interface sends in answer to a command.
struct OutMessage {
    std::vector<std::uint8_t> bytes;
    double delay = 0;     // seconds after the command before it starts on the wire
    bool response = true; // a response (fault target Response); false for the reset line
};

class ProtocolEngine {
public:
    // Longest scope record the interface holds, in samples.
    static constexpr std::uint16_t MaxScopeSamples = 8192;
    // A command whose parameters stop arriving is dropped after this long.
    static constexpr double ParameterTimeout = 0.5;
    // The interface restarts for this long after a reset before it reports on line.
    static constexpr double ResetDuration = 0.05;

    ProtocolEngine(const SimulatorConfig& config, const ChipBoard& board,
                   FaultInjector* faults = nullptr);

    // Handles bytes the host wrote at `now`; answers are appended to `out` in order, and
    // `afterCommand` (may be empty) runs after each complete command's answer.
    template <typename AfterCommand>
    void receive(const std::uint8_t* bytes, std::size_t count, double now,
                 std::vector<OutMessage>& out, AfterCommand&& afterCommand) {
        for (std::size_t i = 0; i < count; ++i) {
            if (feed(bytes[i], now, out)) {
                afterCommand(lastCode_);
            }
        }
    }
    void receive(const std::uint8_t* bytes, std::size_t count, double now,
                 std::vector<OutMessage>& out) {
        receive(bytes, count, now, out, [](std::uint8_t) {});
    }

    // Forgets a half-received command (purge of the transmit buffer).
    void dropPartialCommand();

    InterfaceState& state() { return state_; }
    const InterfaceState& state() const { return state_; }

    // The 13 ADC monitor readings (12-bit): 2 bias voltage, 3 detector current, 9 threshold DAC.
    std::array<std::uint16_t, 13> monitorReadings() const;
    // Counter values of the last frame sent (what the host decodes).
    const std::vector<std::uint16_t>& lastFrame() const { return lastFrame_; }

    std::uint64_t commandsReceived() const { return commands_; }
    std::uint64_t unknownCodes() const { return unknown_; }
    std::uint64_t synchronisations() const { return syncs_; }
    // The bias codes the host sent, oldest first (0: off), the last MaxBiasCodesKept of them;
    // a reset or power-up switches the bias off without appearing here.
    const std::vector<std::uint8_t>& biasCodesSent() const { return biasCodesSent_; }
    static constexpr std::size_t MaxBiasCodesKept = 1024;

    // The full response to `code` with parameters `params` (no side effects beyond frames and
    // noise): code, body of the row's shape, "OK\r". Used for wrong-code faults too.
    std::vector<std::uint8_t> buildResponse(std::uint8_t code, const std::uint8_t* params,
                                            double now);

private:
    // Takes one byte; true when it completed a command.
    bool feed(std::uint8_t byte, double now, std::vector<OutMessage>& out);
    void execute(double now, std::vector<OutMessage>& out);
    void applyCommand(std::uint8_t code, const std::uint8_t* params, double now);
    std::vector<std::uint8_t> frameResponse(std::uint8_t code, double now);

    SimulatorConfig config_;
    const ChipBoard& board_;
    FaultInjector* faults_;
    InterfaceState state_;
    SimRandom noise_;

    // Command being received.
    bool inCommand_ = false;
    std::uint8_t code_ = 0;
    std::size_t paramsNeeded_ = 0;
    std::vector<std::uint8_t> params_;
    std::size_t streamParamBytes_ = 0; // parameter bytes of a frame-stream parameter, counted only
    double lastByteAt_ = 0;
    std::uint8_t lastCode_ = 0;

    std::vector<std::uint16_t> lastFrame_;
    std::uint64_t commands_ = 0;
    std::uint64_t unknown_ = 0;
    std::uint64_t syncs_ = 0;
    std::vector<std::uint8_t> biasCodesSent_;
};

} // namespace tarvio
