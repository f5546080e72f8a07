#pragma once
// The calibration from peaks: a table of (channel, keV) pairs, each channel typed or taken
// from a region's centroid or fit, each energy typed or picked from the lines of the check
// sources. Two pairs give a line, three or more a least-squares line or quadratic; every
// pair's residual shows as the table is edited, and OK is open only while the pairs make a
// calibration. A set that cannot is refused with the reason under the table.

#include "analysis/CalibrationFit.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarvio {

// A channel the operator can pick: "1197.42  region 1 centroid".
struct ChannelSuggestion {
    double channel;
    QString source;
};

class CalibrationFromPeaks : public QDialog {
    Q_OBJECT

public:
    explicit CalibrationFromPeaks(QWidget* parent = nullptr);

    // Fills the table and the model, offering the suggestions in every channel field.
    void setPairs(const std::vector<CalibrationPoint>& pairs, CalibrationModel model,
                  const std::vector<ChannelSuggestion>& suggestions);
    // The pairs as typed, rows that do not read as two numbers left out.
    std::vector<CalibrationPoint> pairs() const;
    CalibrationModel model() const;
    // The calibration of the pairs, when they make one.
    const CalibrationFitResult& result() const { return result_; }

    void addRow(const QString& channel = {}, const QString& energy = {});
    void setRow(int row, const QString& channel, const QString& energy);
    void removeSelectedRow();

    QTableWidget* table() const { return table_; }
    QComboBox* modelBox() const { return cmbModel_; }
    QLabel* statusLabel() const { return lblStatus_; }
    QPushButton* okButton() const { return btnOK_; }

private:
    // Fits the pairs again and shows residuals, the calibration or the reason.
    void refit();
    QComboBox* channelBox(int row) const;
    QComboBox* energyBox(int row) const;

    QTableWidget* table_;
    QComboBox* cmbModel_;
    QLabel* lblStatus_;
    QPushButton* btnOK_;
    std::vector<ChannelSuggestion> suggestions_;
    CalibrationFitResult result_;
};

} // namespace tarvio
