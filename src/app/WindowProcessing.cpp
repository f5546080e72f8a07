#include "app/WindowProcessing.h"

#include "app/MainWindow.h"
#include "app/TfrmProcessing.h"
#include "session/MeasurementSession.h"

#include <QLabel>
#include <QStatusBar>

namespace tarvio {

namespace {

// The first learning aligns pulses of an unknown shape with the built-in one: the shape
// tests would refuse them all.
constexpr double FirstLearningTolerance = ProcessingOptions::MaxTolerance;

} // namespace

WindowProcessing::WindowProcessing(TfrmMain& window, MeasurementSession& session,
                                   QStatusBar& statusBar)
    : window_(window), session_(session) {
    lblProcessing = new QLabel(&statusBar);
    lblProcessing->setObjectName(QStringLiteral("lblProcessing"));
    statusBar.addPermanentWidget(lblProcessing);
    lblProcessing->hide(); // the plain largest sample has nothing to tell
}

WindowProcessing::~WindowProcessing() {
    if (learning_)
        session_.removePulseConsumer(learning_.get());
}

void WindowProcessing::load(const IniFile& stored) {
    settings_ = readProcessingSettings(stored);
    apply();
}

void WindowProcessing::save(IniFile& ini) const {
    writeProcessingSettings(ini, settings_);
}

void WindowProcessing::apply() {
    session_.setProcessing(settings_.options);
}

TfrmProcessing& WindowProcessing::page() {
    if (!page_)
        page_ = std::make_unique<TfrmProcessing>(settings_, &window_);
    return *page_;
}

void WindowProcessing::openPage() {
    if (page().exec() != QDialog::Accepted)
        return;
    apply();
    window_.settingsChanged();
    if (const auto pulses = page().takeLearnRequest())
        learn(*pulses);
    refresh(session_.currentMeasurement());
}

void WindowProcessing::learn(int pulses) {
    if (learning_)
        session_.removePulseConsumer(learning_.get());
    const auto& start = settings_.options.shape;
    const bool refining = start && !start->isBuiltIn();
    learning_ = std::make_unique<LearningConsumer>(
        pulses, start, refining ? settings_.options.tolerance : FirstLearningTolerance);
    session_.addPulseConsumer(learning_.get());
    window_.logInbox().pushLine("Learning the pulse template from the next " +
                                std::to_string(learning_->wanted()) + " pulses.");
}

const std::vector<double>* WindowProcessing::fittedCurve(const PulseBuffer& pulse) {
    const ProcessingOptions& o = settings_.options;
    if (o.isPlain())
        return nullptr;
    if (!fit_ || fittedShape_ != o.shape) {
        fittedShape_ = o.shape;
        fit_ = std::make_unique<PulseFit>(o.shape ? *o.shape : PulseTemplate::builtIn());
    }
    fit_->curve(pulse.samples.data(), std::min(pulse.deliveredCount, pulse.validCount()), curve_);
    return curve_.empty() ? nullptr : &curve_;
}

void WindowProcessing::refresh(const MeasurementInfo& info) {
    if (learning_ && learning_->done()) {
        session_.removePulseConsumer(learning_.get());
        if (const auto learned = learning_->result()) {
            settings_.options.shape = std::make_shared<PulseTemplate>(*learned);
            apply();
            window_.settingsChanged();
            window_.logInbox().pushLine("The pulse template was learned from " +
                                        std::to_string(learned->learnedFrom()) +
                                        " pulses; it is used from the next Start.");
        }
        learning_.reset();
    }
    QString text;
    QString tip;
    if (learning_) {
        text = QStringLiteral("Learning %1/%2").arg(learning_->taken()).arg(learning_->wanted());
        tip = QStringLiteral("Clean pulses taken for the template so far");
    } else if (!info.processing.empty()) {
        const RejectedPulses& r = info.rejected;
        text = QStringLiteral("Rejected %1").arg(r.total);
        tip = QStringLiteral("%1\nSaturated %2, pile-up %3, shape %4")
                  .arg(QString::fromStdString(info.processing))
                  .arg(r.saturated)
                  .arg(r.pileUp)
                  .arg(r.shape);
    }
    lblProcessing->setText(text);
    lblProcessing->setToolTip(tip);
    lblProcessing->setVisible(!text.isEmpty());
}

} // namespace tarvio
