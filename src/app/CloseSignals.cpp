#include "app/CloseSignals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace tarvio {

namespace {

int writeEnd = -1; // the handler's only state: set before it is installed

extern "C" void onCloseSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    // A full pipe means a close is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

sigset_t closeSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void install(int signal, struct sigaction& previous) {
    struct sigaction action {};
    action.sa_handler = onCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, &previous);
}

} // namespace

void holdCloseSignals() {
    const sigset_t set = closeSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

CloseSignals::CloseSignals(QWidget& window) : window_(window) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) == 0) {
        writeEnd = pipe_[1];
        notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
            }
            close();
        });
        install(SIGTERM, previousTerm_);
        sigaction(SIGHUP, nullptr, &previousHup_);
        if (previousHup_.sa_handler != SIG_IGN)
            install(SIGHUP, previousHup_);
    }
    const sigset_t set = closeSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

CloseSignals::~CloseSignals() {
    if (pipe_[0] < 0)
        return;
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGHUP, &previousHup_, nullptr);
    writeEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void CloseSignals::close() {
    // A box or dialog waiting for an answer would keep the close from returning: each is
    // dismissed first, and the window closes once their loops have unwound.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (!modal->close())
            break;
    }
    QMetaObject::invokeMethod(
        &window_, [this] { window_.close(); }, Qt::QueuedConnection);
}

} // namespace tarvio
