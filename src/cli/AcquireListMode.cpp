#include "cli/AcquireListMode.h"

#include "cli/Console.h"
#include "listmode/DiskRoom.h"
#include "session/MeasurementSession.h"

namespace tarvio {

AcquireListMode::AcquireListMode(const ListModePlan& plan, MeasurementSession& session,
                                 Console& console, std::optional<EnergyCalibration> calibration)
    : session_(session), console_(console) {
    if (plan.path.empty())
        return;
    ListModeOptions options;
    options.path = plan.path;
    options.samples = plan.samples;
    options.calibration = calibration;
    // From the writer thread; the console takes lines from any thread.
    options.onStopped = [&console](const std::string& message) { console.line(message); };
    recorder_ = std::make_unique<ListModeRecorder>(std::move(options));
    session_.addPulseConsumer(recorder_.get());
}

AcquireListMode::~AcquireListMode() {
    finish();
}

void AcquireListMode::finish() {
    if (!recorder_)
        return;
    session_.removePulseConsumer(recorder_.get());
    // A measurement that never ended (a signal before the end) is closed here.
    const ListModeStatus status = recorder_->close();
    recorder_.reset();
    switch (status.state) {
    case ListModeStatus::State::Waiting:
        console_.line("No measurement began; no list-mode file was written.");
        return;
    case ListModeStatus::State::Stopped:
        if (status.events == 0 && status.fileBytes == 0)
            return; // it could not be created: said when it stopped
        break;
    default:
        break;
    }
    std::string line = "List mode written to " + status.path + ": " +
                       std::to_string(status.events) + " pulses, " + byteText(status.fileBytes) +
                       ".";
    if (status.droppedEvents > 0)
        line += " " + std::to_string(status.droppedEvents) +
                " pulses came faster than the disk took them and are not in it.";
    if (status.state == ListModeStatus::State::Finished && !status.message.empty())
        line += " " + status.message;
    console_.line(line);
}

} // namespace tarvio
