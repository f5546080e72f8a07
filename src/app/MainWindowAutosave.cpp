// Where the session autosaves the running measurement (the user's autosave folder, every N
// minutes of [Autosave]) and the offer, at start, to restore one that never ended.

#include "app/HandlerGuard.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "formats/FormatText.h"
#include "records/TextFormat.h"
#include "session/MeasurementSession.h"
#include "settings/AppError.h"
#include "settings/AutosaveSettings.h"

#include <algorithm>

namespace tarvio {

namespace {

std::string describe(const MeasuredSpectrum& s) {
    const MeasurementInfo& info = s.measurement;
    std::string text = info.startUtcMs ? "started " + utcText(*info.startUtcMs) : "start unknown";
    if (info.realSeconds)
        text += ", " + formatFixed(*info.realSeconds, 0) + " s measured";
    return text + ", " + std::to_string(s.totalCounts()) + " counts";
}

std::optional<double> intervalOf(int milliseconds) {
    return milliseconds > 0 ? std::optional<double>(milliseconds / 1000.0) : std::nullopt;
}

} // namespace

void TfrmMain::createAutosave() {
    autosaveMs_ = static_cast<int>(loadAutosaveSettings(settingsFile_).intervalSeconds() * 1000);
    setAutosaveFolder(AutosaveStore::defaultFolder());
}

std::string TfrmMain::autosaveFolder() const {
    return session_->autosavePolicy().folder;
}

void TfrmMain::setAutosaveFolder(std::string folder) {
    session_->setAutosavePolicy(
        AutosavePolicy::inFolder(std::move(folder), intervalOf(autosaveMs_)));
}

void TfrmMain::setAutosaveIntervalMs(int milliseconds) {
    autosaveMs_ = std::max(milliseconds, 0);
    setAutosaveFolder(autosaveFolder());
}

void TfrmMain::offerRestore() {
    std::string problem;
    const auto unfinished = session_->unfinishedAutosave(&problem);
    if (!problem.empty())
        logInbox_->pushLine("The newest autosave cannot be read: " + problem);
    if (!unfinished)
        return;
    const QString question = QString::fromStdString(
        "A measurement did not end properly (" + describe(unfinished->spectrum) +
        "). Its last autosave is " + unfinished->path + ".\n\nRestore it as the current spectrum?");
    if (!askQuestion(this, QString::fromLatin1(ApplicationTitle), question)) {
        logInbox_->pushLine("Not restored; the autosave stays in " + unfinished->path + ".");
        return;
    }
    const SaveResult restored = session_->restore(*unfinished);
    if (!session_->restored())
        throw AppError(restored.error);
    logInbox_->pushLine("Restored from " + unfinished->path + ": " +
                        describe(unfinished->spectrum) + ".");
    if (!restored)
        logInbox_->pushLine("The autosave could not be marked as restored: " + restored.error);
    showSpectrumNow();
}

} // namespace tarvio
