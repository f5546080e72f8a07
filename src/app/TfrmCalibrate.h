#pragma once
// The calibration dialog: the channel and energy of two reference peaks. It holds no data;
// EditCalibration fills the fields from the spectrum graph's points and writes them back
// when the operator presses OK with valid channels.

#include "records/Calibration.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvio {

class TfrmCalibrate : public QDialog {
    Q_OBJECT

public:
    explicit TfrmCalibrate(QWidget* parent = nullptr);

    // Shows the points, runs the dialog modally and on OK reads the fields back into them.
    // A field that does not parse leaves its value as it was.
    void EditCalibration(CalibrationPoint& point1, CalibrationPoint& point2);

    // A number from 0 to 4096 inclusive, in the locale's number format.
    static bool IsValidChannelText(const QString& text);

    // OK: both channel fields are checked, the first first; an invalid one keeps the dialog
    // open with a warning.
    void btnOKClick();
    // Cancel.
    void btnCancelClick();

    QLabel* Label1;
    QLabel* label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* edtSample1;
    QLineEdit* edtEnergy1;
    QLineEdit* edtSample2;
    QLineEdit* edtEnergy2;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace tarvio
