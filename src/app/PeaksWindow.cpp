#include "app/PeaksWindow.h"

#include "analysis/PeakAnalysisText.h"
#include "records/TextFormat.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

namespace tarvio {

namespace {

enum Column { ColChannel, ColEnergy, ColFwhm, ColArea, ColSignificance, ColNuclide, ColumnCount };

const char* const Headers[ColumnCount] = {
    "Channel", "Energy (keV)", "FWHM", "Net area", "Significance (sigma)", "Nuclide",
};

// Shown as text with its uncertainty, sorted by its value.
class NumberItem : public QTableWidgetItem {
public:
    NumberItem(const QString& text, double value) : QTableWidgetItem(text) {
        setData(Qt::UserRole, value);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

PeaksWindow::PeaksWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmPeaks"));
    setWindowTitle(QStringLiteral("Peaks"));

    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblPeaksSummary"));
    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("tblPeaks"));
    QStringList headers;
    for (const char* h : Headers)
        headers << QString::fromUtf8(h);
    table_->setHorizontalHeaderLabels(headers);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);
    table_->setSortingEnabled(true);

    evidence_ = new QPlainTextEdit(this);
    evidence_->setObjectName(QStringLiteral("txtPeaksEvidence"));
    evidence_->setReadOnly(true);
    evidence_->setLineWrapMode(QPlainTextEdit::NoWrap);

    btnCopy_ = new QPushButton(QStringLiteral("Copy"), this);
    btnCopy_->setObjectName(QStringLiteral("btnPeaksCopy"));
    btnCopy_->setToolTip(QStringLiteral("The selected rows, or all, as tab-separated text"));
    connect(btnCopy_, &QPushButton::clicked, this, [this] { copyToClipboard(); });
    auto* copy = new QShortcut(QKeySequence::Copy, table_);
    connect(copy, &QShortcut::activated, this, [this] { copyToClipboard(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblSummary_, 1);
    buttons->addWidget(btnCopy_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table_, 3);
    layout->addWidget(evidence_, 2);
    resize(760, 480);
}

void PeaksWindow::showAnalysis(const PeakAnalysis& a, const std::vector<std::string>& notes) {
    const bool energy = a.energyPeaks.size() == a.search.peaks.size() && !a.energyPeaks.empty();
    table_->setSortingEnabled(false);
    table_->setRowCount(static_cast<int>(a.search.peaks.size()));
    table_->horizontalHeaderItem(ColFwhm)->setText(energy ? QStringLiteral("FWHM (keV)")
                                                          : QStringLiteral("FWHM (channels)"));
    for (std::size_t k = 0; k < a.search.peaks.size(); ++k) {
        const FoundPeak& p = a.search.peaks[k];
        const int row = static_cast<int>(k);
        table_->setItem(
            row, ColChannel,
            new NumberItem(text(valueWithUncertainty(p.centroid.value, p.centroid.uncertainty)),
                           p.centroid.value));
        if (energy) {
            const EnergyPeak& e = a.energyPeaks[k];
            table_->setItem(
                row, ColEnergy,
                new NumberItem(text(valueWithUncertainty(e.energyKeV, e.energyUncertainty)),
                               e.energyKeV));
            table_->setItem(row, ColFwhm,
                            new NumberItem(text(formatFixed(e.fwhmKeV, 2)), e.fwhmKeV));
        } else {
            table_->setItem(row, ColEnergy, new NumberItem(QStringLiteral("-"), p.centroid.value));
            table_->setItem(
                row, ColFwhm,
                new NumberItem(text(valueWithUncertainty(p.fwhm.value, p.fwhm.uncertainty)),
                               p.fwhm.value));
        }
        table_->setItem(row, ColArea,
                        new NumberItem(text(valueWithUncertainty(p.area.value, p.area.uncertainty)),
                                       p.area.value));
        table_->setItem(row, ColSignificance,
                        new NumberItem(text(formatFixed(p.significance, 1)), p.significance));
        table_->setItem(
            row, ColNuclide,
            new QTableWidgetItem(k < a.peakLabels.size() ? text(a.peakLabels[k]) : QString()));
    }
    table_->setSortingEnabled(true);

    lblSummary_->setText(QStringLiteral("%1 peaks with a net area above %2 sigma")
                             .arg(a.search.peaks.size())
                             .arg(a.search.threshold, 0, 'g', 3));
    std::string words = candidatesText(a);
    for (const std::string& note : notes)
        words += note + "\n";
    if (words.empty())
        words = energy ? "No nuclide of the library explains these peaks.\n"
                       : "Without an energy calibration no nuclide is named.\n";
    evidence_->setPlainText(text(words));
}

QString PeaksWindow::tableText() const {
    std::set<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.insert(index.row());
    if (rows.empty())
        for (int r = 0; r < table_->rowCount(); ++r)
            rows.insert(r);
    QString out;
    for (int c = 0; c < table_->columnCount(); ++c)
        out += (c ? QStringLiteral("\t") : QString()) + table_->horizontalHeaderItem(c)->text();
    out += QLatin1Char('\n');
    for (int r : rows) {
        for (int c = 0; c < table_->columnCount(); ++c) {
            const QTableWidgetItem* item = table_->item(r, c);
            out += (c ? QStringLiteral("\t") : QString()) + (item ? item->text() : QString());
        }
        out += QLatin1Char('\n');
    }
    return out;
}

void PeaksWindow::copyToClipboard() const {
    QApplication::clipboard()->setText(tableText());
}

} // namespace tarvio
