#pragma once
// Open Spectrum's reading, off the window's thread: a file of up to 256 MiB takes seconds to
// parse, and the window keeps drawing and measuring meanwhile. A progress dialog with Cancel
// stands beside the window; the result comes back on the window's thread. A small file is
// read at once, so the common case shows no dialog.

#include "formats/SpectrumFiles.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class QWidget;

namespace tarvio {

class SpectrumOpening : public QObject {
    Q_OBJECT

public:
    // Files up to this size are read on the window's thread, in milliseconds.
    static constexpr std::uint64_t ReadAtOnceBytes = std::uint64_t{1} << 20;

    using Done = std::function<void(const std::string& path, ReadResult read)>;
    // done runs on the window's thread for every read not cancelled.
    SpectrumOpening(QWidget* window, Done done);
    // Waits for a read under way, which takes seconds at most, and drops its result.
    ~SpectrumOpening() override;

    void open(const std::string& path);
    // True from a background read's start until its thread has finished, cancelled or not.
    bool busy() const { return worker_.joinable(); }
    // The dialog while a read runs (tests press its Cancel), or nullptr.
    QProgressDialog* progress() const { return progress_; }

signals:
    void busyChanged(bool busy);

private:
    void finished(const std::string& path, ReadResult read);

    QWidget* window_;
    Done done_;
    std::thread worker_;
    std::atomic<bool> cancelled_{false};
    QPointer<QProgressDialog> progress_;
};

} // namespace tarvio
