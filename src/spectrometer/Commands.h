#pragma once
// Typed wrappers of the interface commands the program sends. Each one checks that its link
// addresses an open interface, builds the command's bytes, runs the exchange while holding
// the link lock and decodes what the response carries. All return whether the interface
// answered; failures are reported through the link by the layer that saw them.

#include "link/DeviceLink.h"

#include <array>
#include <cstdint>

namespace tarvio {

constexpr int AdcMonitorReadings = 13;
using AdcReadings = std::array<std::uint16_t, AdcMonitorReadings>;

// Threshold volts to the interface DAC code (x 4096.5 x 0.4, truncated), held within 16 bits.
std::uint16_t VoltsToDacCode(double volts);
// A 12-bit monitor code to volts (x 2.5 / 4096).
double DacCodeToVolts(std::uint32_t code);

// "_", up to three attempts. The on-line answer that follows is read by ResetInterface.
bool GlobalReset(DeviceLink& link);
// "|": the raw chipboard identifier records (4 bytes per chip) stay in the response record;
// ReadChipboardId (InterfaceReset.h) decodes them.
bool SetBiasVoltage(DeviceLink& link, std::uint8_t code);
// "M": 13 readings; `readings` is left untouched when the exchange fails.
bool ReadAdcMonitor(DeviceLink& link, AdcReadings& readings);
bool ScopeConfigure(DeviceLink& link, std::uint8_t mode, std::uint16_t sampleCount,
                    std::uint8_t finalByte);
bool SingleShotScope(DeviceLink& link);
bool SetInterfaceDac(DeviceLink& link, std::uint8_t channel, std::uint16_t value);
bool SetupTrigger(DeviceLink& link, std::uint8_t mode);
// "Z": the interval as 48-bit ticks of the interface clock, then the mode.
bool SetupIntervalTimer(DeviceLink& link, double seconds, std::uint8_t mode);
bool StopIntervalTimer(DeviceLink& link);
bool StartWaitingForTrigger(DeviceLink& link);
bool StopWaitingForTrigger(DeviceLink& link);

} // namespace tarvio
