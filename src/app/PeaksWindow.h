#pragma once
// The Peaks window: one row per found peak (channel, energy, FWHM, net area, significance,
// nuclide), sortable by any column with numbers sorted as numbers, and copyable as
// tab-separated text (Copy, or Ctrl+C: the selected rows, or all); below it the nuclides
// named with their evidence. A window of its own beside the main window, as Regions is.

#include "analysis/PeakAnalysis.h"

#include <QWidget>

#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace tarvio {

class PeaksWindow : public QWidget {
    Q_OBJECT

public:
    explicit PeaksWindow(QWidget* owner);

    // The rows of the analysis and its evidence; `notes` go under it (what was not done).
    void showAnalysis(const PeakAnalysis& analysis, const std::vector<std::string>& notes = {});
    // The table as tab-separated text with its header: the selected rows, or all of them.
    QString tableText() const;
    void copyToClipboard() const;

    QTableWidget* table() const { return table_; }
    QPlainTextEdit* evidence() const { return evidence_; }
    QPushButton* copyButton() const { return btnCopy_; }
    QLabel* summaryLabel() const { return lblSummary_; }

private:
    QTableWidget* table_;
    QPlainTextEdit* evidence_;
    QPushButton* btnCopy_;
    QLabel* lblSummary_;
};

} // namespace tarvio
