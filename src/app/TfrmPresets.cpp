#include "app/TfrmPresets.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "app/MessageBoxes.h"
#include "settings/Duration.h"
#include "settings/NumberFormat.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace tarvio {

namespace {

QString durationText(const std::optional<double>& seconds) {
    return seconds ? QString::fromStdString(formatDuration(*seconds)) : QString();
}

// Empty is no preset; otherwise a positive value as `parse` reads it. False when the text is
// neither.
template <class Value, class Parse>
bool readPreset(const QLineEdit& edit, std::optional<Value>& value, Parse parse) {
    const std::string text = edit.text().trimmed().toStdString();
    if (text.empty()) {
        value.reset();
        return true;
    }
    value = parse(text);
    return value && *value > 0;
}

bool readDuration(const QLineEdit& edit, std::optional<double>& seconds) {
    return readPreset(edit, seconds, [](const std::string& t) { return tryParseDuration(t); });
}

bool readCount(const QLineEdit& edit, std::optional<std::uint64_t>& count) {
    return readPreset(edit, count, [](const std::string& t) { return tryParseUInt64(t); });
}

} // namespace

TfrmPresets::TfrmPresets(MeasurementPresets& presets, QWidget* parent)
    : QDialog(parent), presets_(presets) {
    setObjectName(QStringLiteral("frmPresets"));
    setUpDialogFrame(*this, QStringLiteral("Presets"), 264, 176);

    Label1 =
        addLabel(*this, "Label1", QStringLiteral("Stop the measurement at the first of"), 16, 12);
    lblRealTime = addLabel(*this, "lblRealTime", QStringLiteral("Real time"), 16, 40);
    edtRealTime = addEdit(*this, "edtRealTime", 88, 36, 89, 21);
    lblRealUnit = addLabel(*this, "lblRealUnit", QStringLiteral("h:mm:ss or s"), 184, 40);
    lblLiveTime = addLabel(*this, "lblLiveTime", QStringLiteral("Live time"), 16, 68);
    edtLiveTime = addEdit(*this, "edtLiveTime", 88, 64, 89, 21);
    lblLiveUnit = addLabel(*this, "lblLiveUnit", QStringLiteral("h:mm:ss or s"), 184, 68);
    lblCounts = addLabel(*this, "lblCounts", QStringLiteral("Counts"), 16, 96);
    edtCounts = addEdit(*this, "edtCounts", 88, 92, 89, 21);
    Label2 = addLabel(*this, "Label2", QStringLiteral("An empty field is no preset."), 16, 120);
    btnOK = addButton(*this, "btnOK", QStringLiteral("OK"), 88, 142, 75, 25);
    btnOK->setDefault(true);
    btnCancel = addButton(*this, "btnCancel", QStringLiteral("Cancel"), 172, 142, 75, 25);

    setTabChain({edtRealTime, edtLiveTime, edtCounts, btnOK, btnCancel});

    connect(btnOK, &QPushButton::clicked, this, &TfrmPresets::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmPresets::btnCancelClick);
}

void TfrmPresets::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(*this);
    FormShow();
}

void TfrmPresets::FormShow() {
    edtRealTime->setText(durationText(presets_.realSeconds));
    edtLiveTime->setText(durationText(presets_.liveSeconds));
    edtCounts->setText(presets_.counts ? QString::number(*presets_.counts) : QString());
    edtRealTime->setFocus();
}

void TfrmPresets::btnOKClick() {
    runGuarded(this, [this] {
        MeasurementPresets typed;
        const auto invalid = [this](QLineEdit* edit, const char* field) {
            showMessageBox(this, BoxIcon::Warning, QStringLiteral("Error"),
                           QStringLiteral("Invalid value in %1 field.").arg(field));
            edit->setFocus();
            edit->selectAll();
        };
        if (!readDuration(*edtRealTime, typed.realSeconds)) {
            invalid(edtRealTime, "Real time");
        } else if (!readDuration(*edtLiveTime, typed.liveSeconds)) {
            invalid(edtLiveTime, "Live time");
        } else if (!readCount(*edtCounts, typed.counts)) {
            invalid(edtCounts, "Counts");
        } else {
            presets_ = typed;
            accept();
        }
    });
}

void TfrmPresets::btnCancelClick() {
    reject();
}

} // namespace tarvio
