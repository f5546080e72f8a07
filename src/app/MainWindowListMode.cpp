#include "app/ListModeRecording.h"
#include "app/MainWindow.h"
#include "app/TimeHistoryWindow.h"
#include "views/SpectrumGraph.h"

#include <QMenu>

#include <algorithm>

namespace tarvio {

void TfrmMain::createListModeEntries() {
    listMode_ = std::make_unique<ListModeRecording>(*this);
    listMode_->chooseFile = [this](QFileDialog& dialog) { return chooseSaveFile_(dialog); };
    // The waterfall shows the channels the spectrum shows.
    frmTimeHistory_ = new TimeHistoryWindow(this, *session_, [this] {
        const std::uint32_t first = spectrumGraph_->drawnFirstChannel();
        const std::uint32_t end = std::max(spectrumGraph_->drawnLastChannel(), first + 1);
        return std::pair<std::uint32_t, std::uint32_t>{first, std::min(end, SpectrumChannels) - 1};
    });
    frmTimeHistory_->chooseFile = [this](QFileDialog& dialog) { return chooseSaveFile_(dialog); };
    QMenu* view = topMenu(QStringLiteral("View"));
    view->addSeparator();
    addMenuEntry(view, "miTimeHistory", QStringLiteral("Time History"), QKeySequence(), [this] {
        frmTimeHistory_->show();
        frmTimeHistory_->raise();
        frmTimeHistory_->activateWindow();
    });
}

void TfrmMain::destroyListModeEntries() {
    // Both listen on the session's pulse seam: they leave it before the session goes.
    listMode_.reset();
    delete frmTimeHistory_;
    frmTimeHistory_ = nullptr;
}

} // namespace tarvio
