#include "app/LogView.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <cstdint>
#include <string>

namespace tarvio {

namespace {

// How long log lines gather before the window shows them in one go.
constexpr int LogBatchMilliseconds = 50;
// Lines shown per batch: appending a line to the log view costs some 25 us, so a batch takes
// at most about 5 ms of each 50 ms.
constexpr std::size_t LogLinesPerBatch = 200;

} // namespace

LogView::LogView(QPlainTextEdit& log, std::shared_ptr<LogInbox> inbox, QObject* parent)
    : QObject(parent), log_(log), inbox_(std::move(inbox)), timer_(new QTimer(this)) {
    timer_->setSingleShot(true);
    timer_->setInterval(LogBatchMilliseconds);
    connect(timer_, &QTimer::timeout, this, [this] { showNextBatch(); });
    // Called on whichever thread logs; it only posts to this object's thread. Queued events
    // die with it.
    inbox_->setWake([this] {
        QMetaObject::invokeMethod(
            this, [this] { schedule(); }, Qt::QueuedConnection);
    });
}

LogView::~LogView() {
    inbox_->setWake({});
}

void LogView::schedule() {
    if (!timer_->isActive())
        timer_->start();
}

void LogView::flush() {
    timer_->stop();
    showBatch(SIZE_MAX);
}

void LogView::showNextBatch() {
    // A device that floods the log gets a few milliseconds of the GUI thread per batch; the
    // rest waits in the inbox, whose oldest lines go when it is full.
    if (showBatch(LogLinesPerBatch))
        timer_->start();
}

bool LogView::showBatch(std::size_t maxLines) {
    LogInbox::Batch batch = inbox_->take(maxLines);
    if (batch.droppedLines > 0)
        log_.appendPlainText(QStringLiteral("(%1 log lines came faster than they could be shown "
                                            "and were left out)")
                                 .arg(batch.droppedLines));
    if (!batch.lines.empty()) {
        // One append for the whole batch: one layout and one scroll, however many lines.
        std::string text;
        for (std::size_t i = 0; i < batch.lines.size(); ++i) {
            if (i > 0)
                text += '\n';
            text += batch.lines[i];
        }
        log_.appendPlainText(QString::fromUtf8(text));
    }
    // Pulse notices need nothing: the display is refreshed by the timer and by Single only.
    return batch.more;
}

} // namespace tarvio
