// Save Spectrum As (N42, SPE, CSV or the tab-separated text), Open Spectrum, and the opened
// spectrum as a reference drawn over the live one or subtracted from it.

#include "app/AnalysisText.h"
#include "app/ImageView.h"
#include "app/MainWindow.h"
#include "app/SaveFailure.h"
#include "app/SpectrumAnalysis.h"
#include "app/WindowPeaks.h"
#include "app/SpectrumOpening.h"
#include "formats/SpectrumFiles.h"
#include "records/TextFormat.h"
#include "session/MeasurementSession.h"
#include "settings/AppError.h"
#include "views/ReferenceOverlay.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace tarvio {

namespace {

struct SaveFilter {
    const char* filter;
    FileFormat format;
};

// The dialog's filters, the first the default: N42 keeps everything a measurement knows.
constexpr SaveFilter SaveFilters[] = {
    {"N42 (*.n42)", FileFormat::N42},
    {"IAEA SPE (*.spe)", FileFormat::Spe},
    {"CSV (*.csv)", FileFormat::Csv},
    {"Spectrum (*.txt)", FileFormat::TabText},
};

constexpr const char* OpenFilters = "Spectra (*.n42 *.spe *.csv *.txt);;N42 (*.n42 *.xml);;"
                                    "IAEA SPE (*.spe);;CSV (*.csv);;Spectrum (*.txt);;"
                                    "All files (*)";

FileFormat formatOfFilter(const QString& filter) {
    for (const SaveFilter& f : SaveFilters) {
        if (filter == QLatin1String(f.filter))
            return f.format;
    }
    return FileFormat::N42;
}

QFileDialog* fileDialog(QWidget* parent, const char* name, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setAcceptMode(mode);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    return dialog;
}

std::string referenceSummary(const std::string& path, const ReadResult& read) {
    const MeasuredSpectrum& s = *read.spectrum;
    std::string line = "Reference " + path + ": " + std::string(formatName(read.format)) + ", " +
                       std::to_string(s.counts.size()) + " channels, " +
                       std::to_string(s.totalCounts()) + " counts, ";
    if (s.measurement.liveSeconds)
        line += "live time " + formatFixed(*s.measurement.liveSeconds, 3) + " s.";
    else
        line += "no live time (scaled by counts).";
    return line;
}

} // namespace

void TfrmMain::createFileMenu() {
    QMenu* file = topMenu(QStringLiteral("File"));
    miSaveSpectrumAs = addMenuEntry(
        file, "miSaveSpectrumAs", QString::fromUtf8("Save Spectrum As…"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { miSaveSpectrumAsClick(); });
    miOpenSpectrum =
        addMenuEntry(file, "miOpenSpectrum", QString::fromUtf8("Open Spectrum…"),
                     QKeySequence(Qt::CTRL | Qt::Key_O), [this] { miOpenSpectrumClick(); });
    file->addSeparator();
    miSubtractReference =
        addMenuEntry(file, "miSubtractReference", QStringLiteral("Subtract Reference"),
                     QKeySequence(), [this] { miSubtractReferenceClick(); });
    miSubtractReference->setCheckable(true);
    miSubtractReference->setEnabled(false);
    miClearReference = addMenuEntry(file, "miClearReference", QStringLiteral("Clear Reference"),
                                    QKeySequence(), [this] { miClearReferenceClick(); });
    miClearReference->setEnabled(false);

    dlgSaveAs = fileDialog(this, "dlgSaveAs", QFileDialog::AcceptSave);
    dlgSaveAs->setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const SaveFilter& f : SaveFilters)
        filters << QString::fromLatin1(f.filter);
    dlgSaveAs->setNameFilters(filters);
    dlgSaveAs->setDefaultSuffix(QStringLiteral("n42"));
    // A name typed without extension gets the one of the chosen filter.
    connect(dlgSaveAs, &QFileDialog::filterSelected, dlgSaveAs, [this](const QString& filter) {
        dlgSaveAs->setDefaultSuffix(
            QString::fromLatin1(formatExtension(formatOfFilter(filter)).data()));
    });
    // Open Spectrum waits for one read before it starts the next.
    opening_ = new SpectrumOpening(this, [this](const std::string& path, ReadResult read) {
        spectrumOpened(path, std::move(read));
    });
    connect(opening_, &SpectrumOpening::busyChanged, miOpenSpectrum,
            [this](bool busy) { miOpenSpectrum->setEnabled(!busy); });
    dlgOpen = fileDialog(this, "dlgOpen", QFileDialog::AcceptOpen);
    dlgOpen->setFileMode(QFileDialog::ExistingFile);
    dlgOpen->setNameFilter(QString::fromLatin1(OpenFilters));
}

MeasuredSpectrum TfrmMain::currentRecord() const {
    return session_->currentRecord();
}

void TfrmMain::miSaveSpectrumAsClick() {
    const QString chosen = chooseSaveFile_(*dlgSaveAs);
    if (chosen.isEmpty())
        return;
    rememberFolder(chosen);
    const std::string path = QDir::toNativeSeparators(chosen).toStdString();
    // The extension decides; a name without a known one is written as the filter says.
    const FileFormat format =
        formatForPath(path).value_or(formatOfFilter(dlgSaveAs->selectedNameFilter()));
    if (format == FileFormat::TabText) {
        saveSpectrumText(path); // exactly the file Save Spectrum writes
        return;
    }
    throwIfNotSaved(saveSpectrumFile(path, currentRecord(), format), path);
    logInbox_->pushLine("Spectrum saved to " + path + " (" + std::string(formatName(format)) +
                        ").");
}

void TfrmMain::rememberFolder(const QString& chosen) {
    // Every file dialog starts where the operator last saved or opened a file.
    const QString folder = QFileInfo(chosen).absolutePath();
    for (QFileDialog* dialog : {dlgSave, dlgSaveAs, dlgOpen})
        if (dialog)
            dialog->setDirectory(folder);
}

void TfrmMain::miOpenSpectrumClick() {
    const QString chosen = chooseSaveFile_(*dlgOpen);
    if (chosen.isEmpty())
        return;
    rememberFolder(chosen);
    opening_->open(QDir::toNativeSeparators(chosen).toStdString());
}

void TfrmMain::spectrumOpened(const std::string& path, ReadResult read) {
    if (!read)
        throw AppError(read.error);

    logInbox_->pushLine(referenceSummary(path, read));
    for (const std::string& note : read.notes)
        logInbox_->pushLine("Reference: " + note);
    if (read.spectrum->counts.size() > SpectrumChannels)
        logInbox_->pushLine("Reference: only its first " + std::to_string(SpectrumChannels) +
                            " channels are shown.");
    reference_ = std::make_unique<ReferenceSpectrum>(ReferenceSpectrum{
        std::move(read.spectrum->counts), read.spectrum->measurement.liveSeconds});
    miSubtractReference->setEnabled(true);
    miClearReference->setEnabled(true);
    showSpectrumNow();
}

void TfrmMain::miSubtractReferenceClick() {
    showSpectrumNow();
}

void TfrmMain::miClearReferenceClick() {
    reference_.reset();
    miSubtractReference->setChecked(false);
    miSubtractReference->setEnabled(false);
    miClearReference->setEnabled(false);
    showSpectrumNow();
}

std::vector<double> TfrmMain::applyReference(const Spectrum& live) {
    if (!reference_) {
        spectrumGraph_->setReference({}, false);
        return {};
    }
    const ReferenceScale scale =
        referenceScale(*reference_, session_->currentMeasurement().liveSeconds, totalCounts(live));
    std::vector<double> scaled = scaledReference(*reference_, scale.factor);
    spectrumGraph_->setReference(scaled, miSubtractReference->isChecked());
    return scaled;
}

void TfrmMain::drawSpectrumGraph(const Spectrum& spectrum) {
    const std::vector<double> scaled = applyReference(spectrum);
    spectrumGraph_->setCalibrated(chbCalibrated->isChecked());
    analysis_->prepareDraw();
    peaks_->prepareDraw();
    spectrumGraph_->draw(spectrum);
    // The regions' figures are of what the bars show: the difference while the reference is
    // subtracted (the Regions window says so), else the measured spectrum.
    if (spectrumGraph_->showsDifference()) {
        Spectrum difference;
        difference.copyFrom(spectrum);
        subtractReference(difference, scaled);
        analysis_->spectrumDrawn(difference);
    } else {
        analysis_->spectrumDrawn(spectrum);
    }
    peaks_->spectrumDrawn(spectrum);
    lblChannel->setText(cursorLabelText(spectrumGraph_->cursorChannel(),
                                        spectrumGraph_->cursorValue(),
                                        analysis_->shownCalibration()));
    imgSpectrum->update();
}

void TfrmMain::showSpectrumNow() {
    PulseBuffer pulse;
    Spectrum spectrum;
    session_->snapshot(pulse, spectrum);
    // A later redraw at another size shows the same.
    if (!shownFrame_) {
        shownFrame_ = std::make_unique<Frame>();
        shownFrame_->pulse = pulse;
    }
    shownFrame_->spectrum = spectrum;
    drawSpectrumGraph(spectrum);
}

} // namespace tarvio
