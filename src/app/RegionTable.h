#pragma once
// The Regions window: one row per region of interest with its figures, refreshed with the
// spectrum, and the actions on the selected region. A window of its own beside the main
// window, so that the main window keeps its layout; it stays open while the operator works.

#include "analysis/PeakFit.h"
#include "analysis/RegionFigures.h"
#include "records/EnergyCalibration.h"

#include <QWidget>

#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvio {

struct RegionRow {
    RegionFigures figures;
    std::optional<PeakFit> fit;
};

class RegionTable : public QWidget {
    Q_OBJECT

public:
    explicit RegionTable(QWidget* owner);

    // Fills the rows; the energy columns show only with a calibration.
    void showRows(const std::vector<RegionRow>& rows,
                  const std::optional<EnergyCalibration>& calibration);
    void selectRow(std::optional<std::size_t> row);
    std::optional<std::size_t> selectedRow() const;
    // A line under the table: the outcome of the last action, or what to do next.
    void showMessage(const QString& text);

    QTableWidget* table() const { return table_; }
    QPushButton* fitButton() const { return btnFit_; }
    QPushButton* deleteButton() const { return btnDelete_; }
    QPushButton* calibrateButton() const { return btnCalibrate_; }
    QLabel* messageLabel() const { return lblMessage_; }

signals:
    void rowSelected(int row);

private:
    QTableWidget* table_;
    QPushButton* btnFit_;
    QPushButton* btnDelete_;
    QPushButton* btnCalibrate_;
    QLabel* lblMessage_;
};

} // namespace tarvio
