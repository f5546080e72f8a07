#pragma once
// The one mapping from where the measurement stands to the device's State and Status:
// ON idle, RUNNING measuring, FAULT when the interface was lost (its data kept), OFF closed.

#include "spectrometer/MeasurementState.h"

#include <string>

namespace tarvio {

enum class DeviceStateKind { Off, On, Running, Fault };

DeviceStateKind deviceStateOf(bool opened, MeasurementState state);
// One line for Status.
std::string deviceStatusText(DeviceStateKind kind, MeasurementState state,
                             const std::string& interfaceName, const std::string& problem);

} // namespace tarvio
