#include "app/TfrmCalibrate.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "app/MessageBoxes.h"
#include "settings/NumberFormat.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace tarvio {

namespace {

void readBack(const QLineEdit& edit, double& value) {
    if (const auto parsed = tryParseFloat(edit.text().toStdString()))
        value = *parsed;
}

} // namespace

TfrmCalibrate::TfrmCalibrate(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCalibrate"));
    setUpDialogFrame(*this, QStringLiteral("Calibrate"), 230, 172);

    Label1 = addLabel(*this, "Label1", QStringLiteral("Channel 1"), 10, 24);
    label2 = addLabel(*this, "label2", QStringLiteral("Energy 1"), 98, 24);
    Label3 = addLabel(*this, "Label3", QStringLiteral("Channel 2"), 10, 72);
    Label4 = addLabel(*this, "Label4", QStringLiteral("Energy 2"), 98, 72);
    Label5 = addLabel(*this, "Label5", QStringLiteral("keV"), 192, 46);
    Label6 = addLabel(*this, "Label6", QStringLiteral("keV"), 192, 95);
    edtSample1 = addEdit(*this, "edtSample1", 10, 40, 71, 21);
    edtEnergy1 = addEdit(*this, "edtEnergy1", 98, 40, 87, 21);
    edtSample2 = addEdit(*this, "edtSample2", 10, 88, 71, 21);
    edtEnergy2 = addEdit(*this, "edtEnergy2", 98, 88, 87, 21);
    btnOK = addButton(*this, "btnOK", QStringLiteral("OK"), 64, 136, 75, 25);
    btnOK->setDefault(true);
    btnCancel = addButton(*this, "btnCancel", QStringLiteral("Cancel"), 144, 136, 75, 25);

    setTabChain({edtSample1, edtEnergy1, edtSample2, edtEnergy2, btnOK, btnCancel});

    connect(btnOK, &QPushButton::clicked, this, &TfrmCalibrate::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmCalibrate::btnCancelClick);
}

void TfrmCalibrate::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(*this);
    edtSample1->setFocus();
}

void TfrmCalibrate::EditCalibration(CalibrationPoint& point1, CalibrationPoint& point2) {
    edtSample1->setText(QString::number(truncToInt(point1.channel)));
    edtSample2->setText(QString::number(truncToInt(point2.channel)));
    edtEnergy1->setText(QString::fromStdString(formatGeneral(point1.energy)));
    edtEnergy2->setText(QString::fromStdString(formatGeneral(point2.energy)));
    if (exec() != QDialog::Accepted)
        return;
    readBack(*edtSample1, point1.channel);
    readBack(*edtSample2, point2.channel);
    readBack(*edtEnergy1, point1.energy);
    readBack(*edtEnergy2, point2.energy);
}

bool TfrmCalibrate::IsValidChannelText(const QString& text) {
    const double value = tryParseFloat(text.toStdString()).value_or(-1.0);
    return value >= 0 && value <= 4096;
}

void TfrmCalibrate::btnOKClick() {
    runGuarded(this, [this] {
        if (!IsValidChannelText(edtSample1->text())) {
            showMessageBox(this, BoxIcon::Warning, QStringLiteral("Error"),
                           QStringLiteral("Invalid value in Sample1 field."));
        } else if (!IsValidChannelText(edtSample2->text())) {
            showMessageBox(this, BoxIcon::Warning, QStringLiteral("Error"),
                           QStringLiteral("Invalid value in Sample2 field."));
        } else {
            accept();
        }
    });
}

void TfrmCalibrate::btnCancelClick() {
    reject();
}

} // namespace tarvio
