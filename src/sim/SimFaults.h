#pragma once
// Faults the simulated interface commits on demand, so that tests can watch the host recover.
// Each fault is armed once and hits the next message of its target (a command's response or
// a pulse); StopAnswering silences the next commands instead. Unplugging is not a fault of
// the byte stream and lives on the interface itself (SimulatedInterface::unplug).

#include "sim/SimRandom.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tarvio {

enum class SimFaultKind : std::uint8_t {
    DropBytes,     // `count` bytes from `position` on never reach the wire
    CorruptBytes,  // `count` bytes from `position` on are inverted
    InsertBytes,   // `bytes` (or `count` random bytes) go out just before the message
    CutShort,      // only the first `position` bytes of the message are sent
    StopAnswering, // the next `count` commands get no answer at all (0: none until cleared)
    WrongCode,     // the response comes with `code` and that command's response shape
    ErrorLine,     // "!" + `text` + CR goes out just before the message
};

enum class SimFaultTarget : std::uint8_t {
    Response, // the next answer to a command
    Pulse,    // the next scope-data message of a pulse
};

struct SimFault {
    SimFaultKind kind = SimFaultKind::CorruptBytes;
    SimFaultTarget target = SimFaultTarget::Response;
    std::size_t count = 1;
    std::size_t position = 0;
    std::uint8_t code = 'l';
    std::string text = "Simulated fault";
    std::vector<std::uint8_t> bytes;

    static SimFault drop(std::size_t count, std::size_t position = 1,
                         SimFaultTarget target = SimFaultTarget::Response);
    static SimFault corrupt(std::size_t count, std::size_t position = 0,
                            SimFaultTarget target = SimFaultTarget::Response);
    static SimFault insert(std::vector<std::uint8_t> bytes,
                           SimFaultTarget target = SimFaultTarget::Response);
    static SimFault cutShort(std::size_t keep, SimFaultTarget target = SimFaultTarget::Response);
    static SimFault stopAnswering(std::size_t commands);
    static SimFault wrongCode(std::uint8_t code);
    static SimFault errorLine(std::string text, SimFaultTarget target = SimFaultTarget::Response);
};

// What leaves the interface for one occasion: the message and anything a fault put in front.
struct FaultedMessage {
    std::vector<std::uint8_t> before; // inserted bytes or error line
    std::vector<std::uint8_t> bytes;  // the message as it goes out (possibly damaged)
    bool intact = true;               // the message itself went out unchanged
};

// The armed faults, applied in the order they were armed.
class FaultInjector {
public:
    explicit FaultInjector(std::uint64_t seed) : rng_(SimRandom::stream(seed, 77)) {}

    void arm(const SimFault& fault);
    void clear();
    // Whether a fault of the same kind and target (or, for StopAnswering, any silence) is
    // armed and waiting.
    bool holds(const SimFault& fault) const;
    bool empty() const { return faults_.empty() && silentCommands_ == 0 && !silentForever_; }

    // Called once per command the interface receives, before it answers: true when the
    // command's answer must be suppressed.
    bool silenceCommand();
    // While true, nothing at all leaves the interface.
    bool silent() const { return silentForever_; }

    // The code to answer the current command with, if a WrongCode fault is armed (consumes it).
    bool takeWrongCode(std::uint8_t& code);

    // Applies the first armed fault of the message's target.
    FaultedMessage apply(std::vector<std::uint8_t> message, SimFaultTarget target);

private:
    std::deque<SimFault> faults_;
    std::size_t silentCommands_ = 0;
    bool silentForever_ = false;
    SimRandom rng_;
};

} // namespace tarvio
