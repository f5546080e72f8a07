#pragma once
// The simulated readout interface as a whole: the command processor, the chipboard, the
// source and trigger, the wire and the faults, behind the operations a driver device offers.
// Time comes from timeSource() only: with a ManualTimeSource a test runs seconds of
// measurement in microseconds, and a read that waits advances that time by sleeping.
//
// Thread-safe: the host's threads and a test may call in at the same time. A blocking read
// sleeps without holding the lock, so an unplug from a test ends it.

#include "driver/Backend.h"
#include "sim/Acquisition.h"
#include "sim/ChipBoard.h"
#include "sim/FaultSchedule.h"
#include "sim/ProtocolEngine.h"
#include "sim/PulseSynth.h"
#include "sim/SimFaults.h"
#include "sim/SimulatorConfig.h"
#include "sim/WireQueue.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tarvio {

struct SimStats {
    std::uint64_t pulsesDelivered = 0; // whole pulses the host has read (the histogram's total)
    std::uint64_t pulsesTriggered = 0; // triggers of a measurement
    std::uint64_t singleShots = 0;
    std::uint64_t pulsesDamaged = 0; // sent, but hit by a fault
    std::uint64_t pulsesLost = 0;    // triggered while the interface could not send them
    std::uint64_t commands = 0;
    std::uint64_t unknownCodes = 0;
    std::uint64_t synchronisations = 0;
    std::uint64_t resets = 0;
    std::uint64_t framesSent = 0;
    std::uint64_t bytesToHost = 0;     // read by the host
    std::uint64_t bytesFromHost = 0;   // written by the host
    std::uint64_t faultsScheduled = 0; // committed on its own (Faults=, FaultRate=)
};

class SimulatedInterface {
public:
    // Channels of the pulse-height histogram, one per converter code.
    static constexpr std::size_t Channels = 4096;
    // Bytes the host's receive buffer holds; pulses that would overflow it are lost.
    static constexpr std::size_t ReceiveBufferBytes = 1 << 20;
    // Longest sleep while a read waits, so that an unplug ends it promptly.
    static constexpr double MaxWaitStep = 0.01;
    // How long a cable pulled by a scheduled fault stays out.
    static constexpr double ScheduledUnplugSeconds = 3.0;

    explicit SimulatedInterface(const SimulatorConfig& config);

    const SimulatorConfig& config() const { return config_; }
    // USB description, e.g. "Medipix2 ver 2.0 simulated: SIM0001".
    std::string description() const;
    DriverDeviceInfo deviceInfo() const;

    // Driver side. open() starts a session (a fresh USB connection, empty queues) and gives its
    // number; every other operation names its session and fails once that session ended
    // (closed, or the interface was unplugged).
    DriverStatus open(std::uint64_t& session);
    DriverStatus close(std::uint64_t session);
    DriverStatus purge(std::uint64_t session, std::uint32_t mask);
    DriverStatus setTimeouts(std::uint64_t session, std::uint32_t readMs, std::uint32_t writeMs);
    DriverStatus queueStatus(std::uint64_t session, std::uint32_t& rxBytes);
    DriverStatus read(std::uint64_t session, std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead);
    DriverStatus write(std::uint64_t session, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& bytesWritten);
    // Whether the connection of this session is gone (unplugged, or replugged since).
    bool sessionLost(std::uint64_t session) const;

    // Test side.
    SimStats stats() const;
    // Whole pulses delivered, by the pulse height the host computes (its spectrum channel).
    std::vector<std::uint64_t> pulseHistogram() const;
    // The truth about every pulse made while recording is on (off at first), oldest first:
    // for tests and benchmarks that check what the host makes of the pulses. takeTruth()
    // hands over what was recorded and forgets it; at most MaxTruthRecords wait.
    void recordTruth(bool on);
    std::vector<PulseTruth> takeTruth();
    static constexpr std::size_t MaxTruthRecords = 1 << 20;
    // Sample codes of the last pulse sent.
    std::vector<std::uint16_t> lastPulse() const;
    // Counter values of the last frame sent, as the host decodes them.
    std::vector<std::uint16_t> lastFrame() const;
    InterfaceState state() const;
    std::array<std::uint16_t, 13> monitorReadings() const;
    // Every bias code the host sent, oldest first: whether the bias was left off at the end.
    std::vector<std::uint8_t> biasCodesSent() const;
    // The identifier text the host should derive from the chipboard ID.
    std::string identifierText() const;

    void injectFault(const SimFault& fault);
    void clearFaults();
    // Pulls the cable: every operation of an open session fails from now on, and the
    // interface neither lists nor opens until replugged (which powers it up afresh).
    void unplug();
    void replug();
    // Also true once a cable pulled by a scheduled fault is due back (the next open plugs it).
    bool pluggedIn() const;

private:
    bool sessionAlive(std::uint64_t session) const;
    DriverStatus sessionStatus(std::uint64_t session) const;
    // Lets the interface catch up with time: triggers due by now become pulses.
    void advance(double now);
    void emitPulse(const Trigger& trigger, double readyAt, bool singleShot);
    void sendAnswers(std::vector<OutMessage>& out, double now);
    void enqueue(std::vector<std::uint8_t> bytes, double readyAt, std::int32_t pulseHeight);
    void powerUp();
    void replugLocked();
    // Arms (or, for unplugging, commits) the scheduled faults due by now.
    void commitScheduledFaults(double now);

    mutable std::mutex mutex_;
    SimulatorConfig config_;
    ChipBoard board_;
    FaultInjector faults_;
    FaultSchedule schedule_;
    ProtocolEngine engine_;
    Acquisition acquisition_;
    WireQueue wire_;
    PulseSynth synth_;
    SimRandom framing_;

    bool plugged_ = true;
    double replugAt_ = Acquisition::Never; // when a scheduled unplug ends
    bool open_ = false;
    std::uint64_t session_ = 0;
    double readTimeout_ = 1.0;
    std::uint64_t monitorTurn_ = 0;

    SimStats stats_;
    std::vector<std::uint64_t> histogram_;
    std::vector<std::uint16_t> lastPulse_;
    bool recordTruth_ = false;
    std::vector<PulseTruth> truth_;
};

} // namespace tarvio
