#include "app/CalibrationFromPeaks.h"

#include "analysis/NuclideLines.h"
#include "app/AnalysisText.h"
#include "settings/NumberFormat.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

enum Column { ColChannel, ColEnergy, ColResidual, ColumnCount };

// The number a field starts with: the rest is the suggestion's description.
std::optional<double> leadingNumber(const QString& text) {
    const QString first = text.trimmed().section(QLatin1Char(' '), 0, 0);
    return tryParseFloat(first.toStdString());
}

QString number(double v) {
    return QString::fromStdString(formatGeneral(v));
}

// A channel to the hundredth: finer than any centroid is known, short enough to read whole.
QString channelNumber(double v) {
    return number(std::round(v * 100.0) / 100.0);
}

QComboBox* editableBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // A chosen entry is read from its start (its number), not scrolled to its end.
    QObject::connect(box, &QComboBox::textActivated, box,
                     [box] { box->lineEdit()->setCursorPosition(0); });
    return box;
}

// The list as wide as its longest entry, so that no entry is cut; should one ever exceed
// the screen, its middle gives way rather than the nuclide at its end.
void fitListToEntries(QComboBox* box) {
    int widest = 0;
    for (int i = 0; i < box->count(); ++i)
        widest = std::max(widest, box->fontMetrics().horizontalAdvance(box->itemText(i)));
    box->view()->setTextElideMode(Qt::ElideMiddle);
    box->view()->setMinimumWidth(widest + box->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                                 4 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 16);
}

} // namespace

CalibrationFromPeaks::CalibrationFromPeaks(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCalibrateFromPeaks"));
    setWindowTitle(QStringLiteral("Calibrate from Peaks"));

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("tblPairs"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Channel"), QStringLiteral("Energy (keV)"),
                                       QStringLiteral("Residual (keV)")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* add = new QPushButton(QStringLiteral("Add Pair"), this);
    add->setObjectName(QStringLiteral("btnAddPair"));
    auto* remove = new QPushButton(QStringLiteral("Remove Pair"), this);
    remove->setObjectName(QStringLiteral("btnRemovePair"));
    cmbModel_ = new QComboBox(this);
    cmbModel_->setObjectName(QStringLiteral("cmbModel"));
    cmbModel_->addItems({QStringLiteral("Line"), QStringLiteral("Quadratic")});
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblCalibrationStatus"));
    lblStatus_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOK_ = buttons->button(QDialogButtonBox::Ok);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, [this] { addRow(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeSelectedRow(); });
    connect(cmbModel_, &QComboBox::currentIndexChanged, this, [this] { refit(); });

    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    row->addWidget(new QLabel(QStringLiteral("Model"), this));
    row->addWidget(cmbModel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(row);
    layout->addWidget(lblStatus_);
    layout->addWidget(buttons);
    // Wide enough that the chosen entries ("59.5409  Am-241 gamma", "395.35  region 1 fit")
    // read whole in their fields.
    resize(680, 320);
    refit();
}

void CalibrationFromPeaks::setPairs(const std::vector<CalibrationPoint>& pairs,
                                    CalibrationModel model,
                                    const std::vector<ChannelSuggestion>& suggestions) {
    suggestions_ = suggestions;
    table_->setRowCount(0);
    for (const CalibrationPoint& p : pairs)
        addRow(number(p.channel), number(p.energy));
    // Room for two more peaks without pressing Add.
    while (table_->rowCount() < 2)
        addRow();
    cmbModel_->setCurrentIndex(model == CalibrationModel::Quadratic ? 1 : 0);
    refit();
}

void CalibrationFromPeaks::addRow(const QString& channel, const QString& energy) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    QComboBox* c = editableBox(table_);
    for (const ChannelSuggestion& s : suggestions_)
        c->addItem(channelNumber(s.channel) + QStringLiteral("  ") + s.source);
    QComboBox* e = editableBox(table_);
    for (const NuclideLine& line : nuclideLines())
        e->addItem(number(line.energyKeV) + QStringLiteral("  ") + QString::fromUtf8(line.nuclide) +
                   QLatin1Char(' ') + QString::fromUtf8(line.line));
    fitListToEntries(c);
    fitListToEntries(e);
    c->setEditText(channel);
    e->setEditText(energy);
    c->lineEdit()->setCursorPosition(0);
    e->lineEdit()->setCursorPosition(0);
    table_->setCellWidget(row, ColChannel, c);
    table_->setCellWidget(row, ColEnergy, e);
    table_->setItem(row, ColResidual, new QTableWidgetItem);
    table_->item(row, ColResidual)->setFlags(Qt::ItemIsEnabled);
    connect(c, &QComboBox::currentTextChanged, this, [this] { refit(); });
    connect(e, &QComboBox::currentTextChanged, this, [this] { refit(); });
    refit();
}

void CalibrationFromPeaks::setRow(int row, const QString& channel, const QString& energy) {
    channelBox(row)->setEditText(channel);
    energyBox(row)->setEditText(energy);
}

void CalibrationFromPeaks::removeSelectedRow() {
    const int row = table_->currentRow();
    if (row < 0)
        return;
    table_->removeRow(row);
    refit();
}

QComboBox* CalibrationFromPeaks::channelBox(int row) const {
    return qobject_cast<QComboBox*>(table_->cellWidget(row, ColChannel));
}

QComboBox* CalibrationFromPeaks::energyBox(int row) const {
    return qobject_cast<QComboBox*>(table_->cellWidget(row, ColEnergy));
}

std::vector<CalibrationPoint> CalibrationFromPeaks::pairs() const {
    std::vector<CalibrationPoint> out;
    for (int row = 0; row < table_->rowCount(); ++row) {
        const auto channel = leadingNumber(channelBox(row)->currentText());
        const auto energy = leadingNumber(energyBox(row)->currentText());
        if (channel && energy)
            out.push_back({*channel, *energy});
    }
    return out;
}

CalibrationModel CalibrationFromPeaks::model() const {
    return cmbModel_->currentIndex() == 1 ? CalibrationModel::Quadratic : CalibrationModel::Line;
}

void CalibrationFromPeaks::refit() {
    result_ = fitCalibration(pairs(), model());
    // Residuals line up with the rows that hold a pair.
    std::size_t next = 0;
    for (int row = 0; row < table_->rowCount(); ++row) {
        QTableWidgetItem* item = table_->item(row, ColResidual);
        if (!item || !channelBox(row) || !energyBox(row))
            continue;
        const bool complete = leadingNumber(channelBox(row)->currentText()) &&
                              leadingNumber(energyBox(row)->currentText());
        QString text;
        if (complete && result_.fit && next < result_.fit->residuals.size())
            text = figureText(result_.fit->residuals[next], 3);
        next += complete;
        item->setText(text);
    }
    if (result_.fit) {
        const auto& c = result_.fit->calibration.coefficients;
        QString curve = QStringLiteral("keV = %1 + %2 \u00d7 channel")
                            .arg(figureText(c[0], 4), figureText(c[1], 6));
        if (!result_.fit->calibration.isLinear())
            curve +=
                QStringLiteral(" + %1 \u00d7 channel\u00b2").arg(QLocale().toString(c[2], 'g', 4));
        lblStatus_->setText(curve);
    } else {
        lblStatus_->setText(QString::fromStdString(result_.error));
    }
    btnOK_->setEnabled(result_.fit.has_value());
}

} // namespace tarvio
