#pragma once
// The Processing page of the settings: how the next measurements take a pulse's height
// (largest sample or template fit), which template, which pulses are rejected and how
// strictly, and "learn the template from the next N pulses". It edits the window's
// ProcessingSettings in place: the fields are filled each time it is shown, OK writes them
// back (Cancel and the close box change nothing).

#include "settings/ProcessingSettings.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvio {

class TfrmProcessing : public QDialog {
    Q_OBJECT

public:
    // `settings` must outlive the dialog.
    explicit TfrmProcessing(ProcessingSettings& settings, QWidget* parent = nullptr);

    void FormShow();
    // OK: a tolerance or pulse count that is not a number, or out of range, shows its error
    // and keeps the dialog open.
    void Button1Click();
    void Button2Click();
    // Takes the other fields as OK does and asks for the template to be learned from the
    // next N pulses.
    void btnLearnClick();
    // The built-in shape again (taken on OK).
    void btnBuiltInClick();

    // How many pulses the operator asked to learn from, once; nothing when not asked.
    std::optional<int> takeLearnRequest();

    QLabel* lblHeight;
    QComboBox* cmbHeight;
    QLabel* lblTemplateCaption;
    QLabel* lblTemplate;
    QPushButton* btnLearn;
    QLineEdit* edtLearnPulses;
    QLabel* lblLearnUnit;
    QPushButton* btnBuiltIn;
    QLabel* lblReject;
    QCheckBox* chbSaturated;
    QCheckBox* chbPileUp;
    QCheckBox* chbShape;
    QLabel* lblTolerance;
    QLineEdit* edtTolerance;
    QLabel* lblToleranceUnit;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The fields into `settings_`; throws with the message for the operator.
    void takeFields();
    void showTemplate();

    ProcessingSettings& settings_;
    std::shared_ptr<const PulseTemplate> shape_; // as shown, taken on OK
    std::optional<int> learnRequest_;
};

} // namespace tarvio
