#include "app/TfrmProcessing.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "settings/AppError.h"
#include "settings/NumberFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace tarvio {

namespace {

QCheckBox* addCheckBox(QDialog& dialog, const char* name, const QString& text, int left, int top) {
    auto* box = new QCheckBox(text, &dialog);
    box->setObjectName(QString::fromLatin1(name));
    box->move(left, top);
    box->adjustSize();
    return box;
}

} // namespace

TfrmProcessing::TfrmProcessing(ProcessingSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmProcessing"));
    setUpDialogFrame(*this, QStringLiteral("Processing"), 300, 212);

    lblHeight = addLabel(*this, "lblHeight", QStringLiteral("Pulse height"), 16, 16);
    cmbHeight = new QComboBox(this);
    cmbHeight->setObjectName(QStringLiteral("cmbHeight"));
    cmbHeight->setGeometry(104, 12, 180, 21);
    cmbHeight->addItem(QStringLiteral("Largest sample"));
    cmbHeight->addItem(QStringLiteral("Template fit"));

    lblTemplateCaption = addLabel(*this, "lblTemplateCaption", QStringLiteral("Template"), 16, 44);
    lblTemplate = addLabel(*this, "lblTemplate", QString(), 104, 44);
    lblTemplate->setFixedWidth(180);
    btnLearn = addButton(*this, "btnLearn", QStringLiteral("Learn from next"), 104, 62, 100, 23);
    edtLearnPulses = addEdit(*this, "edtLearnPulses", 208, 63, 44, 21);
    lblLearnUnit = addLabel(*this, "lblLearnUnit", QStringLiteral("pulses"), 256, 66);
    btnBuiltIn = addButton(*this, "btnBuiltIn", QStringLiteral("Use built-in"), 104, 90, 100, 23);

    lblReject = addLabel(*this, "lblReject", QStringLiteral("Reject"), 16, 124);
    chbSaturated = addCheckBox(*this, "chbSaturated", QStringLiteral("Saturated"), 104, 122);
    chbPileUp = addCheckBox(*this, "chbPileUp", QStringLiteral("Pile-up"), 180, 122);
    chbShape = addCheckBox(*this, "chbShape", QStringLiteral("Shape"), 244, 122);

    lblTolerance = addLabel(*this, "lblTolerance", QStringLiteral("Tolerance"), 16, 152);
    edtTolerance = addEdit(*this, "edtTolerance", 104, 148, 44, 21);
    lblToleranceUnit = addLabel(*this, "lblToleranceUnit", QStringLiteral("sigma"), 152, 152);

    Button1 = addButton(*this, "Button1", QStringLiteral("OK"), 124, 180, 75, 25);
    Button1->setDefault(true);
    Button2 = addButton(*this, "Button2", QStringLiteral("Cancel"), 209, 180, 75, 25);

    setTabChain({cmbHeight, btnLearn, edtLearnPulses, btnBuiltIn, chbSaturated, chbPileUp, chbShape,
                 edtTolerance, Button1, Button2});

    connect(Button1, &QPushButton::clicked, this, &TfrmProcessing::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TfrmProcessing::Button2Click);
    connect(btnLearn, &QPushButton::clicked, this, &TfrmProcessing::btnLearnClick);
    connect(btnBuiltIn, &QPushButton::clicked, this, &TfrmProcessing::btnBuiltInClick);
}

void TfrmProcessing::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(*this);
    FormShow();
}

void TfrmProcessing::FormShow() {
    const ProcessingOptions& o = settings_.options;
    cmbHeight->setCurrentIndex(o.method == HeightMethod::Fit ? 1 : 0);
    shape_ = o.shape;
    showTemplate();
    edtLearnPulses->setText(QString::number(settings_.learnPulses));
    chbSaturated->setChecked(o.rejectSaturated);
    chbPileUp->setChecked(o.rejectPileUp);
    chbShape->setChecked(o.rejectShape);
    edtTolerance->setText(QString::fromStdString(formatGeneral(o.tolerance)));
    cmbHeight->setFocus();
}

void TfrmProcessing::showTemplate() {
    if (!shape_ || shape_->isBuiltIn())
        lblTemplate->setText(QStringLiteral("Built-in CR-RC shape"));
    else
        lblTemplate->setText(QStringLiteral("Learned from %1 pulses").arg(shape_->learnedFrom()));
    btnBuiltIn->setEnabled(shape_ && !shape_->isBuiltIn());
}

void TfrmProcessing::takeFields() {
    const auto tolerance = tryParseFloat(edtTolerance->text().toStdString());
    if (!tolerance || *tolerance < ProcessingOptions::MinTolerance ||
        *tolerance > ProcessingOptions::MaxTolerance)
        throw AppError("'" + edtTolerance->text().toStdString() +
                       "' is not a tolerance: give 1 to 1000 standard deviations");
    const auto pulses = tryParseInt(edtLearnPulses->text().toStdString());
    if (!pulses || *pulses < 1 || *pulses > ProcessingSettings::MaxLearnPulses)
        throw AppError("'" + edtLearnPulses->text().toStdString() +
                       "' is not a number of pulses: give 1 to 1000000");
    ProcessingOptions& o = settings_.options;
    o.method = cmbHeight->currentIndex() == 1 ? HeightMethod::Fit : HeightMethod::Largest;
    o.shape = shape_;
    o.rejectSaturated = chbSaturated->isChecked();
    o.rejectPileUp = chbPileUp->isChecked();
    o.rejectShape = chbShape->isChecked();
    o.tolerance = *tolerance;
    settings_.learnPulses = *pulses;
}

void TfrmProcessing::Button1Click() {
    runGuarded(this, [this] {
        takeFields();
        accept();
    });
}

void TfrmProcessing::Button2Click() {
    reject();
}

void TfrmProcessing::btnLearnClick() {
    runGuarded(this, [this] {
        takeFields();
        learnRequest_ = settings_.learnPulses;
        accept();
    });
}

void TfrmProcessing::btnBuiltInClick() {
    shape_ = nullptr;
    showTemplate();
}

std::optional<int> TfrmProcessing::takeLearnRequest() {
    const auto request = learnRequest_;
    learnRequest_.reset();
    return request;
}

} // namespace tarvio
