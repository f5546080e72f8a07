// Autosave of the running measurement (every N minutes, at Stop and Close, before the
// watchdog ends the process) and the offer, at start, to restore one that never ended.

#include "app/HandlerGuard.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/WindowAutosave.h"
#include "formats/FormatText.h"
#include "records/TextFormat.h"
#include "settings/AppError.h"
#include "settings/AutosaveSettings.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

namespace tarvio {

namespace {

// How long the watchdog's rescue waits for the data lock a stuck thread may hold.
constexpr double RescueLockSeconds = 1.0;

std::int64_t nowUtcMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string describe(const MeasuredSpectrum& s) {
    const MeasurementInfo& info = s.measurement;
    std::string text = info.startUtcMs ? "started " + utcText(*info.startUtcMs) : "start unknown";
    if (info.realSeconds)
        text += ", " + formatFixed(*info.realSeconds, 0) + " s measured";
    return text + ", " + std::to_string(s.totalCounts()) + " counts";
}

} // namespace

void TfrmMain::createAutosave() {
    autosave_ = std::make_unique<WindowAutosave>(AutosaveStore::defaultFolder());
    autosave_->intervalMs = loadAutosaveSettings(settingsFile_).minutes * 60 * 1000;
    autosave_->timer = new QTimer(this);
    connect(autosave_->timer, &QTimer::timeout, this,
            [this] { runGuarded(this, [this] { autosaveNow(false); }); });
    // Runs on the thread that waits for the stuck monitoring thread: this one.
    SetMonitorRescue([this] {
        if (!controller_ || !autosave_)
            return;
        Spectrum spectrum;
        MeasurementInfo info;
        if (!controller_->TrySnapshot(spectrum, RescueLockSeconds, &info))
            return; // the last periodic autosave is all there is
        MeasuredSpectrum record = measuredSpectrum(spectrum);
        record.measurement = withWindowFacts(std::move(info));
        record.measurement.ended = false; // offered back at the next start
        record.calibration = currentCalibration();
        std::string path =
            autosave_->currentPath.empty() ? autosave_->lastPath : autosave_->currentPath;
        if (path.empty())
            path = autosave_->store.fileFor(nowUtcMs());
        autosave_->store.write(path, record);
    });
}

const std::string& TfrmMain::autosaveFolder() const {
    return autosave_->store.folder();
}

void TfrmMain::setAutosaveFolder(std::string folder) {
    autosave_->store = AutosaveStore(std::move(folder));
}

void TfrmMain::setAutosaveIntervalMs(int milliseconds) {
    autosave_->intervalMs = std::max(milliseconds, 0);
    if (autosave_->timer->isActive() || autosave_->intervalMs == 0)
        autosave_->timer->stop();
    if (!autosave_->currentPath.empty() && autosave_->intervalMs > 0)
        autosave_->timer->start(autosave_->intervalMs);
}

const MeasuredSpectrum* TfrmMain::restoredRecord() const {
    return autosave_ && autosave_->restored ? &*autosave_->restored : nullptr;
}

void TfrmMain::autosaveBegin() {
    // A Start during a measurement begins a new one: the old one's autosave is final first.
    autosaveEnd();
    autosave_->restored.reset();
    autosave_->currentPath = autosave_->store.fileFor(nowUtcMs());
    if (autosave_->intervalMs > 0)
        autosave_->timer->start(autosave_->intervalMs);
}

void TfrmMain::autosaveEnd() {
    if (autosave_->currentPath.empty())
        return;
    autosave_->timer->stop();
    autosaveNow(true);
    autosave_->currentPath.clear();
}

void TfrmMain::autosaveNow(bool ended) {
    if (autosave_->currentPath.empty())
        return;
    MeasuredSpectrum record = currentRecord();
    record.measurement.ended = ended;
    const SaveResult saved = autosave_->store.write(autosave_->currentPath, record);
    autosave_->lastPath = autosave_->currentPath;
    // A full disk must not raise a box every few minutes; the log says it once.
    if (!saved && saved.error != autosave_->lastError)
        logInbox_->pushLine("Autosave failed: " + saved.error);
    autosave_->lastError = saved ? std::string() : saved.error;
}

void TfrmMain::offerRestore() {
    std::string problem;
    const auto unfinished = autosave_->store.newestUnfinished(&problem);
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
    const auto spectrum = toSpectrum(unfinished->spectrum);
    if (!spectrum)
        throw AppError(unfinished->path + ": more channels or counts than a measurement holds");
    {
        QrxControllerCriticalSection lock(*controller_);
        controller_->spectrum.copyFrom(*spectrum);
    }
    autosave_->restored = unfinished->spectrum;
    logInbox_->pushLine("Restored from " + unfinished->path + ": " +
                        describe(unfinished->spectrum) + ".");
    const SaveResult marked = autosave_->store.markRestored(*unfinished);
    if (!marked)
        logInbox_->pushLine("The autosave could not be marked as restored: " + marked.error);
    showSpectrumNow();
}

} // namespace tarvio
