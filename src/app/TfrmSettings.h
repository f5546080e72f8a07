#pragma once
// The settings dialog: the bias voltage range and the measurement delay. It edits the main
// window's AppSettings in place: the fields are filled each time it is shown, and OK writes
// them back (Cancel and the close box change nothing). Its Processing button opens the
// pulse processing's page (TfrmProcessing), which the window hands in.

#include "settings/Settings.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvio {

class TfrmSettings : public QDialog {
    Q_OBJECT

public:
    // `settings` must outlive the dialog.
    explicit TfrmSettings(AppSettings& settings, QWidget* parent = nullptr);

    // FormShow: the three fields from the settings (delay in milliseconds).
    void FormShow();
    // OK: max, min, then delay; a delay that is not a number shows its error and keeps the
    // dialog open, with the two bias values already taken over.
    void Button1Click();
    // Cancel.
    void Button2Click();
    // Opens the Processing page; the button is there only once the window has set it.
    void setProcessingPage(std::function<void()> open);
    void btnProcessingClick();

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* edtMin;
    QLabel* Label3;
    QLineEdit* edtMax;
    QLabel* Label4;
    QLabel* Label7;
    QLabel* Label6;
    QLineEdit* edtDelay;
    QLabel* Label5;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* btnProcessing;

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppSettings& settings_;
    std::function<void()> openProcessing_;
};

} // namespace tarvio
