#pragma once
// The window's side of the pulse processing: the [Processing] settings handed to the session
// for the next measurements, the Processing page of the settings, learning the template from
// the next pulses, the fitted template over the last pulse, and the rejected pulses (or the
// learning's progress) in the status bar. The processing itself lives in processing/ and
// runs in the session's pulse path.

#include "processing/LearningConsumer.h"
#include "processing/PulseFit.h"
#include "records/Measurement.h"
#include "records/PulseBuffer.h"
#include "settings/IniFile.h"
#include "settings/ProcessingSettings.h"

#include <memory>
#include <vector>

class QLabel;
class QStatusBar;

namespace tarvio {

class MeasurementSession;
class TfrmMain;
class TfrmProcessing;

class WindowProcessing {
public:
    WindowProcessing(TfrmMain& window, MeasurementSession& session, QStatusBar& statusBar);
    ~WindowProcessing();

    // [Processing] of settings.ini, in force from the next Start; and back.
    void load(const IniFile& stored);
    void save(IniFile& ini) const;
    const ProcessingSettings& settings() const { return settings_; }

    // The Processing page: OK applies it from the next Start and keeps it in settings.ini;
    // "Learn from next" starts learning.
    void openPage();
    TfrmProcessing& page();
    // Learns the template from the next `pulses` pulses of the measurements to come. The
    // first learning starts from the built-in shape and takes any pulse that is not clipped;
    // learning again from a learned template takes only pulses within the tolerance.
    void learn(int pulses);
    bool learning() const { return learning_ != nullptr; }

    // The fitted template at each sample of `pulse` while the processing fits (fit or any
    // rejection); nothing otherwise or when the pulse cannot be fitted.
    const std::vector<double>* fittedCurve(const PulseBuffer& pulse);
    // The status bar's rejected pulses or learning progress; a finished learning becomes the
    // template.
    void refresh(const MeasurementInfo& info);

    QLabel* lblProcessing;

private:
    void apply();

    TfrmMain& window_;
    MeasurementSession& session_;
    ProcessingSettings settings_;
    std::unique_ptr<TfrmProcessing> page_;
    std::unique_ptr<LearningConsumer> learning_;
    std::shared_ptr<const PulseTemplate> fittedShape_; // what fit_ was made from
    std::unique_ptr<PulseFit> fit_;
    std::vector<double> curve_;
};

} // namespace tarvio
