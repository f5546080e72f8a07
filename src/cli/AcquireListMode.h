#pragma once
// The list-mode recording of an acquisition (--list-mode FILE.h5, --samples-too): a recorder
// on the session's pulse seam from before the start to the end, its early stop said on the
// console at once, and at the end what the file holds.

#include "listmode/ListModeRecorder.h"

#include <memory>
#include <optional>
#include <string>

namespace tarvio {

class Console;
class MeasurementSession;

struct ListModePlan {
    std::string path; // empty: no recording
    bool samples = false;
};

class AcquireListMode {
public:
    // Registers a recorder with the session when the plan asks for one.
    AcquireListMode(const ListModePlan& plan, MeasurementSession& session, Console& console,
                    std::optional<EnergyCalibration> calibration);
    ~AcquireListMode();
    AcquireListMode(const AcquireListMode&) = delete;
    AcquireListMode& operator=(const AcquireListMode&) = delete;

    // After the measurement has ended: the recorder leaves the session and its file is
    // named on the console with what it holds.
    void finish();

private:
    MeasurementSession& session_;
    Console& console_;
    std::unique_ptr<ListModeRecorder> recorder_;
};

} // namespace tarvio
