#include "app/TfrmPresets.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "app/MessageBoxes.h"
#include "records/Spectrum.h"
#include "settings/Duration.h"
#include "settings/NumberFormat.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>

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

// "first:last" (or "first-last") in channels, both within the spectrum, first <= last.
std::optional<std::pair<std::uint32_t, std::uint32_t>> parseChannels(const QString& text) {
    const QStringList parts = text.trimmed().split(text.contains(':') ? ':' : '-');
    if (parts.size() != 2)
        return std::nullopt;
    const auto first = tryParseUInt64(parts[0].trimmed().toStdString());
    const auto last = tryParseUInt64(parts[1].trimmed().toStdString());
    if (!first || !last || *first > *last || *last >= SpectrumChannels)
        return std::nullopt;
    return std::pair{static_cast<std::uint32_t>(*first), static_cast<std::uint32_t>(*last)};
}

} // namespace

TfrmPresets::TfrmPresets(MeasurementPresets& presets, QWidget* parent)
    : QDialog(parent), presets_(presets) {
    setObjectName(QStringLiteral("frmPresets"));
    setUpDialogFrame(*this, QStringLiteral("Presets"), 264, 232);

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
    lblRegionCounts = addLabel(*this, "lblRegionCounts", QStringLiteral("Net counts"), 16, 124);
    edtRegionCounts = addEdit(*this, "edtRegionCounts", 88, 120, 89, 21);
    chbRegionGross = new QCheckBox(QStringLiteral("gross"), this);
    chbRegionGross->setObjectName(QStringLiteral("chbRegionGross"));
    chbRegionGross->setGeometry(184, 122, 64, 17);
    lblRegion = addLabel(*this, "lblRegion", QStringLiteral("in channels"), 16, 152);
    edtRegion = addEdit(*this, "edtRegion", 88, 148, 89, 21);
    lblRegionUnit = addLabel(*this, "lblRegionUnit", QStringLiteral("first:last"), 184, 152);
    connect(chbRegionGross, &QCheckBox::toggled, this, [this](bool gross) {
        lblRegionCounts->setText(gross ? QStringLiteral("Gross counts")
                                       : QStringLiteral("Net counts"));
    });
    Label2 = addLabel(*this, "Label2", QStringLiteral("An empty field is no preset."), 16, 176);
    btnOK = addButton(*this, "btnOK", QStringLiteral("OK"), 88, 198, 75, 25);
    btnOK->setDefault(true);
    btnCancel = addButton(*this, "btnCancel", QStringLiteral("Cancel"), 172, 198, 75, 25);

    setTabChain({edtRealTime, edtLiveTime, edtCounts, edtRegionCounts, chbRegionGross, edtRegion,
                 btnOK, btnCancel});

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
    const auto& region = presets_.region;
    edtRegionCounts->setText(region ? QString::number(region->counts) : QString());
    chbRegionGross->setChecked(region && region->gross);
    if (region)
        edtRegion->setText(QStringLiteral("%1:%2").arg(region->first).arg(region->last));
    else
        edtRegion->setText(suggestRegion ? suggestRegion() : QString());
    edtRealTime->setFocus();
}

void TfrmPresets::btnOKClick() {
    runGuarded(this, [this] {
        MeasurementPresets typed;
        std::optional<std::uint64_t> regionCounts;
        std::optional<std::pair<std::uint32_t, std::uint32_t>> channels;
        const auto invalid = [this](QLineEdit* edit, const char* field, const QString& forms = {}) {
            showMessageBox(this, BoxIcon::Warning, QStringLiteral("Error"),
                           QStringLiteral("Invalid value in %1 field.").arg(field) + forms);
            edit->setFocus();
            edit->selectAll();
        };
        // What a time may look like, so that the operator need not guess again.
        const QString timeForms = QStringLiteral(
            " Type a time above 0 in seconds (90 or 1.5) or as h:mm:ss (1:30 or 2:00:00), or "
            "leave it empty for no preset.");
        if (!readDuration(*edtRealTime, typed.realSeconds)) {
            invalid(edtRealTime, "Real time", timeForms);
        } else if (!readDuration(*edtLiveTime, typed.liveSeconds)) {
            invalid(edtLiveTime, "Live time", timeForms);
        } else if (!readCount(*edtCounts, typed.counts)) {
            invalid(edtCounts, "Counts");
        } else if (!readCount(*edtRegionCounts, regionCounts)) {
            invalid(edtRegionCounts, "Region counts");
        } else if (regionCounts && !(channels = parseChannels(edtRegion->text()))) {
            invalid(edtRegion, "Region");
        } else {
            if (regionCounts)
                typed.region = RegionCountsPreset{channels->first, channels->second, *regionCounts,
                                                  chbRegionGross->isChecked()};
            presets_ = typed;
            accept();
        }
    });
}

void TfrmPresets::btnCancelClick() {
    reject();
}

} // namespace tarvio
