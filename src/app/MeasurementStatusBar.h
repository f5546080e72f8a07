#pragma once
// The status bar below the window's controls: the state of the measurement, real and live
// time, counts, rates, and while a preset runs the way to it, with a fixed height so that
// the window's height is known.

#include <QStatusBar>
#include <QString>

class QLabel;
class QProgressBar;

namespace tarvio {

struct MeasurementStatus;

class MeasurementStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit MeasurementStatusBar(QWidget* parent);
    // Shows where the measurement stands.
    void showStatus(const MeasurementStatus& status);
    // Why the measurement cannot give what is expected (bias off, no interface), shown
    // after the rates from the next showStatus on until cleared with an empty text.
    void setNotice(const QString& notice) { notice_ = notice; }
    const QString& notice() const { return notice_; }

private:
    QLabel* lblState = nullptr;
    QLabel* lblRealTime = nullptr;
    QLabel* lblLiveTime = nullptr;
    QLabel* lblCounts = nullptr;
    QLabel* lblRates = nullptr;
    QProgressBar* pbPreset = nullptr;
    QString notice_;
};

} // namespace tarvio
