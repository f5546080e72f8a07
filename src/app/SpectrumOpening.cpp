#include "app/SpectrumOpening.h"

#include "app/HandlerGuard.h"

#include <QProgressDialog>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

namespace tarvio {

SpectrumOpening::SpectrumOpening(QWidget* window, Done done)
    : QObject(window), window_(window), done_(std::move(done)) {}

SpectrumOpening::~SpectrumOpening() {
    cancelled_ = true;
    if (worker_.joinable())
        worker_.join();
}

void SpectrumOpening::open(const std::string& path) {
    if (busy())
        return;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size <= ReadAtOnceBytes) {
        // Small, missing or not a regular file: at once, and any error at once.
        done_(path, readSpectrumFile(path));
        return;
    }

    cancelled_ = false;
    progress_ = new QProgressDialog(QStringLiteral("Reading %1…").arg(QString::fromStdString(path)),
                                    QStringLiteral("Cancel"), 0, 0, window_);
    progress_->setObjectName(QStringLiteral("dlgOpening"));
    progress_->setWindowTitle(QStringLiteral("Open Spectrum"));
    progress_->setWindowModality(Qt::NonModal);
    progress_->setMinimumDuration(0);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress_, &QProgressDialog::canceled, this, [this] { cancelled_ = true; });
    progress_->show();

    worker_ = std::thread([this, path] {
        auto read = std::make_shared<ReadResult>(readSpectrumFile(path));
        // Queued to this object: dropped if the window goes first, since the destructor
        // waits for this thread before the object is gone.
        QMetaObject::invokeMethod(
            this, [this, path, read] { finished(path, std::move(*read)); }, Qt::QueuedConnection);
    });
    emit busyChanged(true);
}

void SpectrumOpening::finished(const std::string& path, ReadResult read) {
    worker_.join();
    const bool wanted = !cancelled_;
    if (progress_) {
        progress_->disconnect(this); // closing the dialog says "canceled" too
        progress_->close();
    }
    emit busyChanged(false);
    if (wanted)
        runGuarded(window_, [&] { done_(path, std::move(read)); });
}

} // namespace tarvio
