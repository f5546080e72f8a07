#pragma once
// The presets dialog: the real time, live time, count and counts in a region at which a
// measurement stops by itself, the first reached ending it; an empty field is no preset. It edits the presets in
// place: the fields are filled each time it is shown, OK checks every field and writes them
// back, Cancel and the close box change nothing.

#include "records/Measurement.h"

#include <functional>

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvio {

class TfrmPresets : public QDialog {
    Q_OBJECT

public:
    // `presets` must outlive the dialog.
    explicit TfrmPresets(MeasurementPresets& presets, QWidget* parent = nullptr);

    // The fields from the presets: times as h:mm:ss (or seconds), counts in decimal, the
    // region as first:last. Without a region preset the region field offers `suggestRegion`.
    void FormShow();
    std::function<QString()> suggestRegion;
    // OK: the fields in order; one that is neither empty nor valid shows a warning and keeps
    // the dialog open with nothing taken over.
    void btnOKClick();
    void btnCancelClick();

    QLabel* Label1;
    QLabel* lblRealTime;
    QLineEdit* edtRealTime;
    QLabel* lblRealUnit;
    QLabel* lblLiveTime;
    QLineEdit* edtLiveTime;
    QLabel* lblLiveUnit;
    QLabel* lblCounts;
    QLineEdit* edtCounts;
    QLabel* lblRegionCounts;
    QLineEdit* edtRegionCounts;
    QCheckBox* chbRegionGross;
    QLabel* lblRegion;
    QLineEdit* edtRegion;
    QLabel* lblRegionUnit;
    QLabel* Label2;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    MeasurementPresets& presets_;
};

} // namespace tarvio
