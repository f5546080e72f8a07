#pragma once
// File → Record List Mode (with or without raw samples): the next measurement's pulses go to
// an HDF5 file (listmode/), the file's name and size in the status bar while it records.
// The window calls beforeStart() just before it starts a measurement; the recorder hears the
// start and the end from the session itself. The window owns it, declared after its session,
// so that it is gone before the session is.

#include "listmode/ListModeRecorder.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QFileDialog;
class QLabel;
class QTimer;

namespace tarvio {

class MeasurementSession;
class TfrmMain;

class ListModeRecording : public QObject {
    Q_OBJECT

public:
    // Adds the two File entries and the status bar label to the window.
    explicit ListModeRecording(TfrmMain& window);
    ~ListModeRecording() override;

    // Chooses the file; empty when the operator cancels. Tests put their own in its place.
    std::function<QString(QFileDialog& dialog)> chooseFile;

    // Asks for a file and arms the recording of the next measurement.
    void arm(bool samples);
    // The armed recording begins listening: called right before the session starts.
    void beforeStart();
    bool armed() const { return pending_.has_value(); }
    QLabel* statusLabel() const { return label_; }
    QAction* recordAction() const { return record_; }
    QAction* recordSamplesAction() const { return recordSamples_; }

private:
    void refresh();

    TfrmMain& window_;
    struct Pending {
        QString path;
        bool samples = false;
    };
    std::optional<Pending> pending_;
    std::unique_ptr<ListModeRecorder> recorder_;
    QAction* record_ = nullptr;
    QAction* recordSamples_ = nullptr;
    QLabel* label_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace tarvio
