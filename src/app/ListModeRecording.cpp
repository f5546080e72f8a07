#include "app/ListModeRecording.h"

#include "app/MainWindow.h"
#include "listmode/DiskRoom.h"
#include "session/MeasurementSession.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

namespace tarvio {

namespace {

constexpr int RefreshMs = 500;

QString sizeText(std::uint64_t bytes) {
    return QString::fromStdString(byteText(bytes));
}

} // namespace

ListModeRecording::ListModeRecording(TfrmMain& window) : window_(window) {
    chooseFile = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front()
                   : QString();
    };
    // At the head of the File menu: they concern the next measurement, the rest of the menu
    // the spectrum at hand.
    QMenu* file = window.topMenu(QStringLiteral("File"));
    QAction* first = file->actions().isEmpty() ? nullptr : file->actions().constFirst();
    record_ =
        window.addMenuEntry(file, "miRecordListMode", QStringLiteral("Record List Mode\u2026"),
                            QKeySequence(), [this] { arm(false); });
    recordSamples_ = window.addMenuEntry(file, "miRecordListModeSamples",
                                         QStringLiteral("Record List Mode with Samples\u2026"),
                                         QKeySequence(), [this] { arm(true); });
    if (first) {
        file->removeAction(record_);
        file->removeAction(recordSamples_);
        file->insertActions(first, {record_, recordSamples_});
        file->insertSeparator(first);
    }
    label_ = new QLabel(window.statusBar());
    label_->setObjectName(QStringLiteral("lblListMode"));
    label_->hide();
    window.statusBar()->addPermanentWidget(label_);
    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    connect(timer_, &QTimer::timeout, this, [this] { refresh(); });
}

ListModeRecording::~ListModeRecording() {
    if (recorder_) {
        window_.session().removePulseConsumer(recorder_.get());
        recorder_->close();
    }
}

void ListModeRecording::arm(bool samples) {
    QFileDialog dialog(&window_, samples ? QStringLiteral("Record List Mode with Samples")
                                         : QStringLiteral("Record List Mode"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("List mode (*.h5)"));
    dialog.setDefaultSuffix(QStringLiteral("h5"));
    const QString path = chooseFile(dialog);
    if (path.isEmpty())
        return;
    pending_ = Pending{path, samples};
    label_->setText(
        QStringLiteral("List mode: %1 at the next Start").arg(QFileInfo(path).fileName()));
    label_->show();
    window_.logInbox().pushLine("The next measurement is recorded in list mode to " +
                                path.toStdString() + (samples ? ", with its raw samples." : "."));
}

void ListModeRecording::beforeStart() {
    // The last recording is over once a new measurement starts.
    if (recorder_) {
        window_.session().removePulseConsumer(recorder_.get());
        recorder_->close();
        recorder_.reset();
        timer_->stop();
    }
    if (!pending_)
        return;
    ListModeOptions options;
    options.path = pending_->path.toStdString();
    options.samples = pending_->samples;
    options.calibration = window_.session().analysis().activeCalibration();
    // From the writer thread: the log takes lines from any thread; the label follows at the
    // next refresh.
    LogInbox* log = &window_.logInbox();
    options.onStopped = [log](const std::string& message) { log->pushLine(message); };
    pending_.reset();
    recorder_ = std::make_unique<ListModeRecorder>(std::move(options));
    window_.session().addPulseConsumer(recorder_.get());
    timer_->start();
    refresh();
}

void ListModeRecording::refresh() {
    if (!recorder_)
        return;
    const ListModeStatus status = recorder_->status();
    const QString name = QFileInfo(QString::fromStdString(status.path)).fileName();
    using State = ListModeStatus::State;
    switch (status.state) {
    case State::Waiting:
    case State::Recording:
        label_->setText(QStringLiteral("List mode: %1, %2").arg(name, sizeText(status.fileBytes)));
        break;
    case State::Finished:
    case State::Stopped:
        label_->setText(QStringLiteral("List mode: %1, %2 (%3 pulses, done)")
                            .arg(name, sizeText(status.fileBytes))
                            .arg(status.events));
        timer_->stop();
        break;
    }
    label_->setToolTip(QString::fromStdString(status.path));
}

} // namespace tarvio
