#include "app/TimeHistoryWindow.h"

#include "app/ImageView.h"
#include "listmode/ListFileReader.h"
#include "session/MeasurementSession.h"
#include "views/TimeHistoryGraph.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace tarvio {

namespace {

constexpr int RefreshMs = 500;

WaterfallRows rowsOf(const TimeHistory& history) {
    WaterfallRows rows;
    rows.rows = history.rows();
    rows.rowSeconds = static_cast<double>(history.rowNs()) * 1e-9;
    rows.channels = history.channels();
    rows.counts = history.rows() > 0 ? history.row(0) : nullptr;
    for (std::size_t r = 0; r < history.rows(); ++r)
        rows.rates.push_back(history.rate(r));
    return rows;
}

} // namespace

TimeHistoryWindow::TimeHistoryWindow(QWidget* owner, MeasurementSession& session,
                                     std::function<std::pair<std::uint32_t, std::uint32_t>()> zoom)
    : QWidget(owner, Qt::Window), session_(session), zoom_(std::move(zoom)) {
    setObjectName(QStringLiteral("frmTimeHistory"));
    setWindowTitle(QStringLiteral("Time History"));
    chooseFile = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front()
                   : QString();
    };

    view_ = new ImageView(640, 400, this);
    view_->setObjectName(QStringLiteral("imgTimeHistory"));
    view_->setMinimumSize(320, 200);
    lblSource_ = new QLabel(this);
    lblSource_->setObjectName(QStringLiteral("lblTimeHistorySource"));
    btnLive_ = new QPushButton(QStringLiteral("Running Measurement"), this);
    btnLive_->setObjectName(QStringLiteral("btnTimeHistoryLive"));
    btnOpen_ = new QPushButton(QStringLiteral("Open Recording\u2026"), this);
    btnOpen_->setObjectName(QStringLiteral("btnTimeHistoryOpen"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblSource_, 1);
    buttons->addWidget(btnLive_);
    buttons->addWidget(btnOpen_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);

    timer_ = new QTimer(this);
    timer_->setInterval(RefreshMs);
    // Taken up even while hidden, so that the queue never overflows and the history holds
    // the whole measurement when the window opens.
    connect(timer_, &QTimer::timeout, this, [this] {
        takeUpLive();
        if (isVisible())
            redraw();
    });
    connect(view_, &ImageView::canvasResized, this, [this] { redraw(); });
    connect(btnLive_, &QPushButton::clicked, this, [this] { showLive(); });
    connect(btnOpen_, &QPushButton::clicked, this, [this] { chooseRecording(); });
    session_.addPulseConsumer(&live_);
    timer_->start();
    showLive();
}

const TimeHistory& TimeHistoryWindow::takeUpLive() {
    const MeasurementInfo now = session_.currentMeasurement();
    return live_.update(
        static_cast<std::int64_t>(std::llround(now.realSeconds.value_or(0.0) * 1e9)));
}

TimeHistoryWindow::~TimeHistoryWindow() {
    session_.removePulseConsumer(&live_);
}

void TimeHistoryWindow::showLive() {
    recorded_.reset();
    lblSource_->setText(QStringLiteral("The running measurement"));
    redraw();
}

bool TimeHistoryWindow::openRecording(const QString& path) {
    try {
        ListFileReader reader(path.toStdString());
        recorded_ = timeHistoryOf(reader);
        QString text = QStringLiteral("%1: %2 pulses")
                           .arg(QFileInfo(path).fileName())
                           .arg(reader.info().events);
        if (reader.info().openedWhileWriting)
            text += QStringLiteral(" (still marked open for writing: read to its last flush)");
        lblSource_->setText(text);
        redraw();
        return true;
    } catch (const ListFileError& error) {
        lblSource_->setText(QString::fromStdString(error.what()));
        return false;
    }
}

void TimeHistoryWindow::chooseRecording() {
    QFileDialog dialog(this, QStringLiteral("Open List-Mode Recording"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("List mode (*.h5);;All files (*)"));
    const QString path = chooseFile(dialog);
    if (!path.isEmpty())
        openRecording(path);
}

void TimeHistoryWindow::redraw() {
    const TimeHistory& history = recorded_ ? *recorded_ : takeUpLive();
    const auto [first, last] = zoom_ ? zoom_() : std::pair<std::uint32_t, std::uint32_t>{0, 4095};
    TimeHistoryGraph graph(view_->canvas());
    graph.draw(rowsOf(history), first, last);
    view_->update();
}

void TimeHistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw();
}

} // namespace tarvio
