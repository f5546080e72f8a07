#include "app/RegionTable.h"

#include "app/AnalysisText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tarvio {

namespace {

enum Column {
    ColChannels,
    ColEnergy,
    ColGross,
    ColNet,
    ColRate,
    ColCentroid,
    ColFwhm,
    ColResolution,
    ColFit,
    ColumnCount
};

const char* const Headers[ColumnCount] = {
    "Channels",
    "keV",
    "Gross",
    "Net",
    "Net rate (/s)",
    "Centroid",
    "FWHM",
    "Resolution (%)",
    "Fit: centroid, FWHM, area, \u03c7\u00b2/dof",
};

QString rangeText(double first, double last, int decimals) {
    return figureText(first, decimals) + QStringLiteral(" \u2013 ") + figureText(last, decimals);
}

// "v" in channels, then "(e keV)" when the axis is calibrated and the energy is known.
QString withEnergy(const QString& channels, std::optional<double> keV) {
    if (!keV)
        return channels;
    return channels + QStringLiteral(" (") + figureText(keV, 2) + QStringLiteral(" keV)");
}

QString fitText(const std::optional<PeakFit>& fit,
                const std::optional<EnergyCalibration>& calibration) {
    if (!fit)
        return {};
    std::optional<double> keV;
    if (calibration)
        keV = calibration->energy(fit->centroid.value);
    return withEnergy(figureText(fit->centroid.value, fit->centroid.uncertainty, 2), keV) +
           QStringLiteral(", ") + figureText(fit->fwhm.value, fit->fwhm.uncertainty, 2) +
           QStringLiteral(", ") + figureText(fit->area.value, fit->area.uncertainty, 0) +
           (fit->degreesOfFreedom > 0
                ? QStringLiteral(", ") + figureText(fit->chiSquare / fit->degreesOfFreedom, 2)
                : QString());
}

} // namespace

RegionTable::RegionTable(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmRegions"));
    setWindowTitle(QStringLiteral("Regions"));

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("tblRegions"));
    QStringList headers;
    for (const char* h : Headers)
        headers << QString::fromUtf8(h);
    table_->setHorizontalHeaderLabels(headers);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int row) { emit rowSelected(row); });

    btnFit_ = new QPushButton(QStringLiteral("Fit"), this);
    btnFit_->setObjectName(QStringLiteral("btnFit"));
    btnFit_->setToolTip(QStringLiteral("Fit a Gaussian on a straight background to the selected "
                                       "region"));
    btnDelete_ = new QPushButton(QStringLiteral("Delete"), this);
    btnDelete_->setObjectName(QStringLiteral("btnDeleteRegion"));
    btnCalibrate_ = new QPushButton(QStringLiteral("Calibrate from Peaks..."), this);
    btnCalibrate_->setObjectName(QStringLiteral("btnCalibrateFromPeaks"));
    lblMessage_ = new QLabel(this);
    lblMessage_->setObjectName(QStringLiteral("lblRegionMessage"));
    lblMessage_->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnFit_);
    buttons->addWidget(btnDelete_);
    buttons->addStretch();
    buttons->addWidget(btnCalibrate_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    layout->addWidget(lblMessage_);
    resize(900, 240);
}

void RegionTable::showRows(const std::vector<RegionRow>& rows,
                           const std::optional<EnergyCalibration>& calibration) {
    const int selected = table_->currentRow();
    table_->setRowCount(static_cast<int>(rows.size()));
    table_->setColumnHidden(ColEnergy, !calibration);
    // FWHM over the centroid channel is no resolution (channel 0 is not 0 keV): only an
    // energy axis gives one.
    table_->setColumnHidden(ColResolution, !calibration);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RegionFigures& f = rows[i].figures;
        std::optional<RegionEnergyFigures> e;
        if (calibration)
            e = regionEnergyFigures(f, *calibration);
        QString cells[ColumnCount];
        cells[ColChannels] = rangeText(f.region.first, f.region.last, 0);
        if (calibration)
            cells[ColEnergy] = rangeText(calibration->energy(f.region.first),
                                         calibration->energy(f.region.last + 1.0), 2);
        cells[ColGross] = figureText(f.gross, 0);
        cells[ColNet] = figureText(f.net, f.netUncertainty, 0);
        cells[ColRate] = figureText(f.netRate, f.netRateUncertainty, 2);
        cells[ColCentroid] = withEnergy(figureText(f.centroid, f.centroidUncertainty, 2),
                                        e ? e->centroidKeV : std::nullopt);
        cells[ColFwhm] = withEnergy(figureText(f.fwhm, 2), e ? e->fwhmKeV : std::nullopt);
        cells[ColResolution] = figureText(e ? e->resolutionPercent : std::nullopt, 2);
        cells[ColFit] = fitText(rows[i].fit, calibration);
        for (int c = 0; c < ColumnCount; ++c) {
            QTableWidgetItem* item = table_->item(static_cast<int>(i), c);
            if (!item) {
                item = new QTableWidgetItem;
                table_->setItem(static_cast<int>(i), c, item);
            }
            item->setText(cells[c]);
            item->setToolTip(QString::fromStdString(f.remark));
        }
    }
    // Refilling keeps the operator's selection; it is no new choice of theirs.
    const QSignalBlocker quiet(table_);
    if (selected < table_->rowCount())
        table_->setCurrentCell(selected, 0);
}

void RegionTable::selectRow(std::optional<std::size_t> row) {
    if (row && static_cast<int>(*row) < table_->rowCount())
        table_->setCurrentCell(static_cast<int>(*row), 0);
    else
        table_->setCurrentCell(-1, -1);
}

std::optional<std::size_t> RegionTable::selectedRow() const {
    const int row = table_->currentRow();
    if (row < 0)
        return std::nullopt;
    return static_cast<std::size_t>(row);
}

void RegionTable::showMessage(const QString& text) {
    lblMessage_->setText(text);
}

} // namespace tarvio
