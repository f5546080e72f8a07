#pragma once
// SIGTERM and SIGHUP (a logout, a shutdown, a closed terminal) close the window as the
// operator's close does: the measurement stopped, the bias off, the last autosave and
// settings.ini written, exit status 0. The handler only writes the signal's number into a
// pipe; the window's thread reads it through a QSocketNotifier and does the rest.

#include <QObject>

#include <csignal>

class QSocketNotifier;
class QWidget;

namespace tarvio {

// Holds SIGTERM and SIGHUP back until a CloseSignals is in place: one sent while the window
// is being built closes it as soon as it exists instead of ending the program unsaved.
// Called first thing in main(), before any thread starts.
void holdCloseSignals();

class CloseSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers, then lets held signals through. A SIGHUP ignored at start (nohup)
    // stays ignored.
    explicit CloseSignals(QWidget& window);
    // Restores the previous handlers.
    ~CloseSignals() override;
    CloseSignals(const CloseSignals&) = delete;
    CloseSignals& operator=(const CloseSignals&) = delete;

private:
    void close();

    QWidget& window_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previousTerm_ {};
    struct sigaction previousHup_ {};
};

} // namespace tarvio
