// The window's place between runs: restored at start where the screens still allow it,
// remembered at close once the operator has moved, resized or maximised it.

#include "app/DialogFrame.h"
#include "app/MainWindow.h"
#include "app/ScreenPlacement.h"
#include "settings/IniFile.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdlib>
#include <vector>

namespace tarvio {

namespace {

// A window manager may shift a new window by its frame; a move smaller than this is not the
// operator's and does not make the window remember a place of its own.
constexpr int FrameShift = 48;

PixelRect toPixelRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

void TfrmMain::placeWindow() {
    centreOnScreen(*this);
    openedAt_ = geometry();
    placement_ = readWindowPlacement(readSettingsFile(settingsFile_));
    if (!placement_)
        return;
    const WindowPlacement& saved = *placement_;
    std::vector<PixelRect> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        screens.push_back(toPixelRect(primary->availableGeometry()));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back(toPixelRect(screen->availableGeometry()));
    const PixelRect r = restoredGeometry({saved.left, saved.top, saved.width, saved.height},
                                         screens, {minimumWidth(), minimumHeight()});
    setGeometry(r.left, r.top, r.width, r.height);
    if (saved.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::rememberPlacement() {
    // A maximised window keeps the geometry it returns to.
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    const bool maximised = isMaximized();
    const bool moved = std::abs(normal.x() - openedAt_.x()) > FrameShift ||
                       std::abs(normal.y() - openedAt_.y()) > FrameShift;
    if (placement_ || maximised || moved || normal.size() != openedAt_.size())
        placement_ =
            WindowPlacement{normal.x(), normal.y(), normal.width(), normal.height(), maximised};
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    placementMaybeChanged();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placementMaybeChanged();
}

void TfrmMain::placementMaybeChanged() {
    // Only once the window has been placed and shown: the operator's moves, not the start's.
    if (!openedAt_.isValid() || !isVisible())
        return;
    const auto before = placement_;
    rememberPlacement();
    if (placement_ != before)
        settingsChanged();
}

void TfrmMain::writeSections(IniFile& ini) const {
    if (placement_)
        writeWindowPlacement(ini, *placement_);
    writeMeasurementSettings(ini, measurementSettings_);
    if (viewChanged_)
        writeViewSettings(ini, view_);
}

} // namespace tarvio
