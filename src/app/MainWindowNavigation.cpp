// Spectrum navigation: the zoom drag and reset on the spectrum image, the scroll bars beside
// it, and the cursor with its track bar and step buttons. Every change shows at the next
// refresh.

#include "app/ImageView.h"
#include "app/MainWindow.h"
#include "app/ZoomShape.h"
#include "views/SpectrumGraph.h"

#include <QCheckBox>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>
#include <limits>

namespace tarvio {

namespace {

constexpr int LastChannel = static_cast<int>(SpectrumChannels) - 1;

// Scroll-bar ranges are ints; a count window beyond that cannot be scrolled to anyway.
int toScrollValue(std::uint32_t value) {
    return static_cast<int>(std::min<std::uint32_t>(value, std::numeric_limits<int>::max()));
}

} // namespace

void TfrmMain::imgSpectrumMouseDown(int x, int y, Qt::MouseButtons buttons) {
    if (buttons & Qt::RightButton) {
        resetZoom();
        return;
    }
    shpZoom->setBand({x, y, 0, 0});
    shpZoom->show();
}

void TfrmMain::imgSpectrumMouseMove(int x, int y, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton))
        return;
    BandRect band = shpZoom->band();
    band.width = x - band.left;
    band.height = y - band.top;
    shpZoom->setBand(band);
}

void TfrmMain::imgSpectrumMouseUp(int, int, Qt::MouseButtons) {
    if (!shpZoom->active())
        return;
    shpZoom->hide();
    const QImage& image = imgSpectrum->image();
    const BandRect r = normaliseToImage(shpZoom->band(), image.width(), image.height());
    spectrumGraph_->zoomToRect(r.left, r.top, r.width, r.height);
    const ScrollInfo info = spectrumGraph_->getScrollInfo();

    // Setting a bar's range and position runs its change handler, which scrolls to the
    // window the zoom has just set.
    sbHor->setPageStep(1);
    if (info.channelScrollMax != 0) {
        // In the window's pixels, so the step does not depend on the screen's density.
        const int step = channelScrollStep(info.channelScrollMax, imgSpectrum->width());
        sbHor->setRange(0, toScrollValue(info.channelScrollMax));
        sbHor->setValue(toScrollValue(info.firstChannel));
        sbHor->setSingleStep(step);
        sbHor->setPageStep(step);
        sbHor->show();
    } else {
        sbHor->hide();
    }

    if (info.countScrollMax != 0) {
        // The bar runs top to bottom while counts grow upwards: its top is the highest count.
        const int maximum = toScrollValue(info.countScrollMax);
        sbVer->setRange(0, maximum);
        sbVer->setValue(maximum - std::min(toScrollValue(info.lowCount), maximum));
        sbVer->show();
    } else {
        sbVer->hide();
    }
}

void TfrmMain::sbHorChange() {
    spectrumGraph_->scrollTo(sbHor->value(), -1);
}

void TfrmMain::sbVerChange() {
    spectrumGraph_->scrollTo(-1, sbVer->maximum() - sbVer->value());
}

void TfrmMain::chbCursorClick() {
    spectrumGraph_->setCursorVisible(chbCursor->isChecked());
}

void TfrmMain::tbCursorChange() {
    spectrumGraph_->setCursorChannel(tbCursor->value());
}

void TfrmMain::sbCurLeftClick() {
    moveCursorBy(-1);
}

void TfrmMain::sbCurRightClick() {
    moveCursorBy(1);
}

void TfrmMain::resetZoom() {
    spectrumGraph_->zoomToRect(-1, -1, -1, -1);
    sbHor->hide();
    sbVer->hide();
}

void TfrmMain::moveCursorBy(int channels) {
    const int channel = std::clamp(spectrumGraph_->cursorChannel() + channels, 0, LastChannel);
    spectrumGraph_->setCursorChannel(channel);
    tbCursor->setValue(channel);
}

} // namespace tarvio
