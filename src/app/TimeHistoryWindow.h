#pragma once
// View → Time History: a window of its own with the spectrum over time as a waterfall (time
// downward, the spectrum's zoom across, counts as colour on a log scale) and the count rate
// beside it, for the running measurement or for a list-mode recording opened from disk.
// The live history listens on the session's pulse seam from the window's creation, so that
// it holds the whole measurement however late it is opened.

#include "listmode/TimeHistory.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

class QFileDialog;
class QLabel;
class QPushButton;
class QTimer;

namespace tarvio {

class ImageView;
class MeasurementSession;

class TimeHistoryWindow : public QWidget {
    Q_OBJECT

public:
    // zoom: the channels the spectrum shows now, first and last.
    TimeHistoryWindow(QWidget* owner, MeasurementSession& session,
                      std::function<std::pair<std::uint32_t, std::uint32_t>()> zoom);
    ~TimeHistoryWindow() override;

    // Chooses the recording to open; empty when the operator cancels. Tests put their own in
    // its place.
    std::function<QString(QFileDialog& dialog)> chooseFile;

    // The running measurement again.
    void showLive();
    // A recording from disk; false with the reason in the window when it cannot be read.
    bool openRecording(const QString& path);
    // Draws what is shown now.
    void redraw();

    bool showsRecording() const { return recorded_.has_value(); }
    ImageView* view() const { return view_; }
    QLabel* sourceLabel() const { return lblSource_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void chooseRecording();
    // Moves the queued pulses of the running measurement into its history.
    const TimeHistory& takeUpLive();

    MeasurementSession& session_;
    std::function<std::pair<std::uint32_t, std::uint32_t>()> zoom_;
    LiveTimeHistory live_;
    std::optional<TimeHistory> recorded_;
    ImageView* view_ = nullptr;
    QLabel* lblSource_ = nullptr;
    QPushButton* btnLive_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace tarvio
