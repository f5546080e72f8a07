#include "spectrometer/Commands.h"

#include "link/CommandResponse.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/Locks.h"
#include "link/Protocol.h"
#include "encodings/Encodings.h"

#include <cmath>
#include <cstddef>

namespace tarvio {

namespace {

// Interface defaults: the timeout and attempts an interface was given when it was opened.
constexpr double DefaultTimeout = -1.0;
constexpr std::uint32_t DefaultAttempts = 0;

// The common exchange: lookup, locking response record, execution, then `decode` on success
// while the lock is still held (the response points into the interface's receive buffer).
template <typename Decode>
bool runCommand(DeviceLink& link, const std::uint8_t* bytes, std::uint32_t length,
                std::uint32_t attempts, Decode&& decode) {
    QrxStatLeveler leveler(link);
    if (!FindInterface(link)) {
        return false;
    }
    QrxCommandResponse response(true);
    if (!ExecuteCommand(link, response, bytes, length, DefaultTimeout, attempts)) {
        return false;
    }
    decode(response);
    return true;
}

bool runCommand(DeviceLink& link, const std::uint8_t* bytes, std::uint32_t length,
                std::uint32_t attempts = DefaultAttempts) {
    return runCommand(link, bytes, length, attempts, [](const QrxCommandResponse&) {});
}

bool runLetter(DeviceLink& link, char letter) {
    const std::uint8_t bytes[1] = {static_cast<std::uint8_t>(letter)};
    return runCommand(link, bytes, 1);
}

} // namespace

std::uint16_t VoltsToDacCode(double volts) {
    const double code = std::trunc(volts * 4096.5 * 0.4);
    // Out-of-range volts (and NaN) would make the conversion undefined; hold them at the ends.
    if (!(code > 0.0)) {
        return 0;
    }
    if (code >= 65535.0) {
        return 65535;
    }
    return static_cast<std::uint16_t>(code);
}

double DacCodeToVolts(std::uint32_t code) {
    return code * 2.5 * (1.0 / 4096.0);
}

bool GlobalReset(DeviceLink& link) {
    const std::uint8_t bytes[1] = {'_'};
    return runCommand(link, bytes, 1, 3);
}

bool SetBiasVoltage(DeviceLink& link, std::uint8_t code) {
    const std::uint8_t bytes[2] = {'b', code};
    return runCommand(link, bytes, sizeof bytes);
}

bool ReadAdcMonitor(DeviceLink& link, AdcReadings& readings) {
    const std::uint8_t bytes[1] = {'M'};
    return runCommand(link, bytes, 1, DefaultAttempts, [&](const QrxCommandResponse& response) {
        // The parser guarantees the 26 bytes; a shorter body would leave readings unwritten.
        if (!response.data || response.count < 2 * AdcMonitorReadings) {
            return;
        }
        for (int i = 0; i < AdcMonitorReadings; ++i) {
            readings[i] = static_cast<std::uint16_t>((response.data[2 * i] & 0x0F) * 256 +
                                                     response.data[2 * i + 1]);
        }
    });
}

bool ScopeConfigure(DeviceLink& link, std::uint8_t mode, std::uint16_t sampleCount,
                    std::uint8_t finalByte) {
    const std::uint8_t bytes[5] = {'A', mode, static_cast<std::uint8_t>(sampleCount & 0xFF),
                                   static_cast<std::uint8_t>(sampleCount >> 8), finalByte};
    return runCommand(link, bytes, sizeof bytes);
}

bool SingleShotScope(DeviceLink& link) {
    return runLetter(link, 'a');
}

bool SetInterfaceDac(DeviceLink& link, std::uint8_t channel, std::uint16_t value) {
    const std::uint8_t bytes[4] = {'>', channel, static_cast<std::uint8_t>(value & 0xFF),
                                   static_cast<std::uint8_t>(value >> 8)};
    return runCommand(link, bytes, sizeof bytes);
}

bool SetupTrigger(DeviceLink& link, std::uint8_t mode) {
    const std::uint8_t bytes[2] = {'Q', mode};
    return runCommand(link, bytes, sizeof bytes);
}

bool SetupIntervalTimer(DeviceLink& link, double seconds, std::uint8_t mode) {
    QrxStatLeveler leveler(link);
    DeviceDescr* descr = FindInterface(link);
    if (!descr) {
        return false;
    }
    std::uint8_t bytes[8] = {'Z'};
    SecondsToTicks(seconds, descr->kind, bytes + 1);
    bytes[7] = mode;
    return runCommand(link, bytes, sizeof bytes);
}

bool StopIntervalTimer(DeviceLink& link) {
    return runLetter(link, 'Y');
}

bool StartWaitingForTrigger(DeviceLink& link) {
    return runLetter(link, 'l');
}

bool StopWaitingForTrigger(DeviceLink& link) {
    return runLetter(link, 'L');
}

} // namespace tarvio
