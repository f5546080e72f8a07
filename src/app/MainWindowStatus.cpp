// The Measurement menu with the presets, and the status bar below the controls.

#include "app/MainWindow.h"
#include "app/MeasurementStatusBar.h"
#include "app/SpectrumAnalysis.h"
#include "app/TfrmPresets.h"
#include "session/MeasurementSession.h"

#include <QAction>
#include <QMenu>

namespace tarvio {

void TfrmMain::createPresetsEntry() {
    QMenu* measurement = topMenu(QStringLiteral("Measurement"));
    measurement->addSeparator();
    miPresets = addMenuEntry(measurement, "miPresets", QStringLiteral("Presets\u2026"),
                             QKeySequence(), [this] { miPresetsClick(); });
    frmPresets = std::make_unique<TfrmPresets>(measurementSettings_.presets);
    // A region preset starts from the first region marked on the spectrum.
    frmPresets->suggestRegion = [this] {
        const auto& regions = analysis_->regions();
        return regions.empty()
                   ? QString()
                   : QStringLiteral("%1:%2").arg(regions.front().first).arg(regions.front().last);
    };
}

void TfrmMain::createStatusBar() {
    sbStatus = new MeasurementStatusBar(this);
    setStatusBar(sbStatus);
}

void TfrmMain::miPresetsClick() {
    if (frmPresets->exec() != QDialog::Accepted)
        return;
    session_->setPresets(measurementSettings_.presets);
    settingsChanged();
    refreshStatus();
}

void TfrmMain::refreshStatus() {
    if (session_)
        sbStatus->showStatus(session_->status());
}

} // namespace tarvio
