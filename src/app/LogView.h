#pragma once
// The window's log box fed from the LogInbox: lines from any thread are shown on the GUI
// thread in batches, so that a device reporting an error per message costs the window a few
// appends a second, not thousands, and the window stays responsive under any flood.

#include "app/LogInbox.h"

#include <QObject>

#include <cstddef>
#include <memory>

class QPlainTextEdit;
class QTimer;

namespace tarvio {

class LogView : public QObject {
    Q_OBJECT

public:
    // Wakes on the inbox's first waiting line; parent and log box outlive it.
    LogView(QPlainTextEdit& log, std::shared_ptr<LogInbox> inbox, QObject* parent);
    ~LogView() override;

    // Shows every line waiting now.
    void flush();

private:
    void schedule();
    void showNextBatch();
    // Shows at most maxLines waiting lines; returns whether more wait.
    bool showBatch(std::size_t maxLines);

    QPlainTextEdit& log_;
    std::shared_ptr<LogInbox> inbox_;
    QTimer* timer_;
};

} // namespace tarvio
