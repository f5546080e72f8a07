#include "app/MeasurementStatusBar.h"

#include "settings/Duration.h"
#include "spectrometer/MeasurementRecord.h"
#include "spectrometer/OperatorAdvice.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

#include <cmath>

namespace tarvio {

namespace {

constexpr int PresetSteps = 1000;
// The bar's height is fixed so that the window's height is known: the client area, the
// menu above it and this below.
constexpr int StatusBarHeight = 22;
const QString RatesTip = QStringLiteral(
    "Accepted pulses per second over the measurement and over the last few seconds, and the "
    "input rate estimated from the live time (dead-time model)");

QLabel* statusLabel(QStatusBar* bar, const char* name, const QString& widest, int stretch) {
    auto* label = new QLabel(bar);
    label->setObjectName(QString::fromLatin1(name));
    // Wide enough for its longest usual text, so the bar does not jump as figures change.
    label->setMinimumWidth(QFontMetrics(bar->font()).horizontalAdvance(widest) + 8);
    bar->addWidget(label, stretch);
    return label;
}

// To the millisecond the files keep: a 30 s preset reads 00:00:30, as its file says.
QString clockText(const std::optional<double>& seconds) {
    return seconds ? QString::fromStdString(formatElapsed(*seconds)) : QStringLiteral("--:--:--");
}

char separator() {
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 128 ? static_cast<char>(point[0].unicode())
                                                         : '.';
}

// The locale's decimal separator, no grouping: 2043.5 never reads as 2,043 or 2.043.
QString decimalText(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

// Three significant figures for small rates, whole counts per second from 100 on.
QString rateText(double perSecond) {
    return decimalText(perSecond, perSecond < 10 ? 2 : perSecond < 100 ? 1 : 0);
}

QString percentText(double fraction) {
    const double percent = fraction * 100;
    return decimalText(percent, percent < 1 ? 2 : percent < 10 ? 1 : 0);
}

} // namespace

MeasurementStatusBar::MeasurementStatusBar(QWidget* parent) : QStatusBar(parent) {
    QStatusBar* sbStatus = this;
    sbStatus->setObjectName(QStringLiteral("sbStatus"));
    sbStatus->setSizeGripEnabled(false);
    sbStatus->setFixedHeight(StatusBarHeight);
    lblState = statusLabel(sbStatus, "lblState", QStringLiteral("Preset reached"), 0);
    lblRealTime = statusLabel(sbStatus, "lblRealTime", QStringLiteral("Real 00:00:00"), 0);
    lblLiveTime = statusLabel(sbStatus, "lblLiveTime", QStringLiteral("Live 00:00:00 (100 %)"), 0);
    lblCounts = statusLabel(sbStatus, "lblCounts", QStringLiteral("Counts 0000000"), 0);
    lblRates =
        statusLabel(sbStatus, "lblRates", QStringLiteral("0000 cps, now 0000, in 0000 cps"), 1);
    lblRates->setToolTip(RatesTip);
    pbPreset = new QProgressBar(sbStatus);
    pbPreset->setObjectName(QStringLiteral("pbPreset"));
    pbPreset->setRange(0, PresetSteps);
    pbPreset->setFixedWidth(
        QFontMetrics(sbStatus->font())
            .horizontalAdvance(QStringLiteral("000:00:00 left at 0.00 % live")) +
        24);
    pbPreset->setTextVisible(true);
    pbPreset->hide();
    sbStatus->addPermanentWidget(pbPreset);
    showStatus(MeasurementStatus{});
}

void MeasurementStatusBar::showStatus(const MeasurementStatus& status) {
    const MeasurementInfo& info = status.info;
    const CountRates& rates = status.rates;

    lblState->setText(QString::fromLatin1(MeasurementStateName(status.state)));
    lblState->setToolTip(status.presetReached
                             ? QStringLiteral("Ended by the %1 preset")
                                   .arg(QString::fromLatin1(PresetKindName(*status.presetReached)))
                             : QString());

    lblRealTime->setText(QStringLiteral("Real ") + clockText(info.realSeconds));
    QString live = QStringLiteral("Live ") + clockText(info.liveSeconds);
    if (rates.liveFraction)
        live += QStringLiteral(" (%1 %)").arg(percentText(*rates.liveFraction));
    lblLiveTime->setText(live);

    QString counts = QStringLiteral("Counts %1").arg(info.acceptedCount);
    if (info.countsAfterEnd > 0)
        counts += QStringLiteral(" (+%1 after preset)").arg(info.countsAfterEnd);
    lblCounts->setText(counts);

    QString text;
    if (rates.accepted) {
        text = rateText(*rates.accepted) + QStringLiteral(" cps");
        if (status.slidingRate)
            text += QStringLiteral(", now ") + rateText(*status.slidingRate);
        if (rates.saturated)
            text += QStringLiteral(", saturated (live %1 %)").arg(percentText(*rates.liveFraction));
        else if (rates.input)
            text += QStringLiteral(", in ") + rateText(*rates.input) + QStringLiteral(" cps");
    }
    // The cause and the remedy when most of the time is held off, or why nothing counts.
    QString why = notice_;
    if (const auto advice = holdOffAdvice(info, rates, separator()))
        why = QString::fromStdString(*advice);
    if (!why.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(": ")) + why;
    lblRates->setText(text);
    lblRates->setToolTip(why.isEmpty() ? RatesTip : why);

    pbPreset->setVisible(status.presetFraction.has_value());
    if (status.presetFraction) {
        pbPreset->setValue(static_cast<int>(std::lround(*status.presetFraction * PresetSteps)));
        // A long time left says why: little of the time is live.
        const QString reason = QString::fromStdString(presetTimeLeftReason(rates, separator()));
        pbPreset->setFormat(status.presetSecondsLeft ? clockText(status.presetSecondsLeft) +
                                                           QStringLiteral(" left") + reason
                                                     : QStringLiteral("%p %"));
        pbPreset->setToolTip(reason.isEmpty() ? QString()
                                              : QStringLiteral("The time left is live time: at "
                                                               "this live share it takes that "
                                                               "long in real time"));
    }
}

} // namespace tarvio
