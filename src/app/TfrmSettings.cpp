#include "app/TfrmSettings.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "settings/NumberFormat.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace tarvio {

TfrmSettings::TfrmSettings(AppSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmSettings"));
    setUpDialogFrame(*this, QStringLiteral("Settings"), 239, 148);

    Label1 = addLabel(*this, "Label1", QStringLiteral("Bias min voltage"), 24, 16);
    Label2 = addLabel(*this, "Label2", QStringLiteral("Bias max voltage"), 120, 16);
    edtMin = addEdit(*this, "edtMin", 24, 32, 49, 21);
    edtMin->setText(QStringLiteral("16"));
    Label3 = addLabel(*this, "Label3", QStringLiteral("V"), 76, 36);
    edtMax = addEdit(*this, "edtMax", 120, 32, 41, 21);
    edtMax->setText(QStringLiteral("71"));
    Label4 = addLabel(*this, "Label4", QStringLiteral("V"), 164, 36);
    Label7 = addLabel(*this, "Label7", QStringLiteral("Measurement speed"), 24, 64);
    // The caption before its edit box rather than under it.
    Label6 = addLabel(*this, "Label6", QStringLiteral("Delay"), 24, 85);
    edtDelay = addEdit(*this, "edtDelay", 58, 81, 41, 21);
    edtDelay->setText(QStringLiteral("200"));
    Label5 = addLabel(*this, "Label5", QStringLiteral("ms"), 103, 85);
    Button1 = addButton(*this, "Button1", QStringLiteral("OK"), 64, 112, 75, 25);
    Button1->setDefault(true);
    Button2 = addButton(*this, "Button2", QStringLiteral("Cancel"), 152, 112, 75, 25);
    btnProcessing =
        addButton(*this, "btnProcessing", QStringLiteral("Processing..."), 140, 80, 87, 23);
    // Out of the dialog, and of Tab's way, until the window hands in the page.
    btnProcessing->hide();
    btnProcessing->setEnabled(false);

    setTabChain({edtMin, edtMax, Button1, Button2, edtDelay, btnProcessing});

    connect(Button1, &QPushButton::clicked, this, &TfrmSettings::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmSettings::Button2Click);
    connect(btnProcessing, &QPushButton::clicked, this, &TfrmSettings::btnProcessingClick);
}

void TfrmSettings::setProcessingPage(std::function<void()> open) {
    openProcessing_ = std::move(open);
    btnProcessing->setVisible(static_cast<bool>(openProcessing_));
    btnProcessing->setEnabled(static_cast<bool>(openProcessing_));
}

void TfrmSettings::btnProcessingClick() {
    if (openProcessing_)
        runGuarded(this, openProcessing_);
}

void TfrmSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the window system showing it again after a minimise
    centreOnScreen(*this);
    FormShow();
}

void TfrmSettings::FormShow() {
    edtMin->setText(QString::number(settings_.biasMinVolts));
    edtMax->setText(QString::number(settings_.biasMaxVolts));
    edtDelay->setText(QString::fromStdString(formatGeneral(settings_.delaySeconds * 1000)));
    edtMin->setFocus();
}

void TfrmSettings::Button1Click() {
    runGuarded(this, [this] {
        settings_.biasMaxVolts = tryParseInt(edtMax->text().toStdString()).value_or(0);
        settings_.biasMinVolts = tryParseInt(edtMin->text().toStdString()).value_or(0);
        settings_.delaySeconds = parseFloat(edtDelay->text().toStdString()) * 0.001;
        accept();
    });
}

void TfrmSettings::Button2Click() {
    reject();
}

} // namespace tarvio
