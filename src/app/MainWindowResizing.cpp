// How the main window uses a larger screen: the pulse and spectrum graphs and the log take the
// extra room, the control groups keep their size and their place beside their neighbours.

#include "app/ClientArea.h"
#include "app/ImageView.h"
#include "app/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

namespace tarvio {

namespace {

// Of the extra width, the pulse column takes this share and the spectrum the rest: the
// spectrum's 4096 channels need the columns more than a pulse's 450 samples.
constexpr double PulseShare = 1.0 / 3.0;

} // namespace

void TfrmMain::anchorControls() {
    ClientArea& area = *client_;
    using namespace anchor;

    // Left column: the three groups stay at the top, the log takes the extra height.
    area.anchor(memLog, Taller);

    // Middle column: the pulse graph grows; what was below it stays below it.
    area.anchor(GroupBox2, {0, 0, PulseShare, 1});
    QWidget* pulsePanel = imgPulse->parentWidget();
    area.anchor(pulsePanel, Fill);
    area.anchor(imgPulse, Fill);
    area.anchor(chbInverted, Down);
    area.anchor(chbAutoScale, Down);
    area.anchor(GroupBox6, Down);

    // Right column: the spectrum takes the rest; the controls below it keep their places at
    // its left and right edges, the cursor's label and track bar take its width.
    area.anchor(GroupBox3, {PulseShare, 0, 1, 1});
    QWidget* spectrumPanel = imgSpectrum->parentWidget();
    area.anchor(spectrumPanel, Fill);
    area.anchor(imgSpectrum, Fill);
    area.anchor(chbCursor, Down);
    area.anchor(chbCalibrated, DownRight);
    area.anchor(btnCalibrate, DownRight);
    area.anchor(lblChannel, DownAndWider);
    area.anchor(sbCurLeft, Down);
    area.anchor(tbCursor, DownAndWider);
    area.anchor(sbCurRight, DownRight);
    // The scroll bars lie along the spectrum panel's bottom and right edges.
    area.anchor(sbHor, {PulseShare, 1, 1, 1});
    area.anchor(sbVer, {1, 0, 1, 1});

    // A resized graph is drawn again at once, not left black until the next refresh (which
    // never comes after Stop).
    for (ImageView* image : {imgPulse, imgSpectrum})
        connect(image, &ImageView::canvasResized, this, &TfrmMain::redrawGraphs);
}

} // namespace tarvio
