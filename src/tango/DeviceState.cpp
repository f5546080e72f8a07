#include "tango/DeviceState.h"

namespace tarvio {

DeviceStateKind deviceStateOf(bool opened, MeasurementState state) {
    // A lost interface stays open (and FAULT) until Close: its data are still there to save.
    if (!opened)
        return DeviceStateKind::Off;
    if (state == MeasurementState::InterfaceLost)
        return DeviceStateKind::Fault;
    return state == MeasurementState::Measuring ? DeviceStateKind::Running : DeviceStateKind::On;
}

std::string deviceStatusText(DeviceStateKind kind, MeasurementState state,
                             const std::string& interfaceName, const std::string& problem) {
    switch (kind) {
    case DeviceStateKind::Off:
        return problem.empty() ? "No interface is open." : problem;
    case DeviceStateKind::Fault:
        return "Interface " + interfaceName +
               " lost: the spectrum is kept. Save it, then Close and Open.";
    case DeviceStateKind::Running:
        return "Measuring on " + interfaceName + ".";
    case DeviceStateKind::On:
        break;
    }
    return std::string(state == MeasurementState::PresetReached ? "Preset reached" : "Idle") +
           " on " + interfaceName + ".";
}

} // namespace tarvio
