// The controls of the main window: kinds, parents, positions and sizes in pixels at the default
// size, captions, ranges and initial states, and the tab order.

#include "app/ClientArea.h"
#include "app/ImageView.h"
#include "app/LayoutWidgets.h"
#include "app/MainWindow.h"
#include "app/ZoomShape.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace tarvio {

namespace {

// The area below the menu at the default size, so that the window with its frame and menu
// comes to about 817 x 436 pixels.
constexpr int ClientWidth = 809;
constexpr int ClientHeight = 384;
// Height of the single-line drop-down lists, whose tables give only a width.
constexpr int ComboHeight = 21;

using namespace layout;

struct Box {
    int left, top, width, height;
};

// A black panel with a sunken bevel, and the image at `image` inside it.
ImageView* imageOnPanel(QWidget* parent, const char* panelName, const char* imageName, Box panelBox,
                        Box imageBox, int bevel) {
    auto* panel = place(new QFrame(parent), panelName, panelBox.left, panelBox.top, panelBox.width,
                        panelBox.height);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(bevel);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::black);
    panel->setPalette(palette);
    auto* image = new ImageView(imageBox.width, imageBox.height, panel);
    image->setObjectName(QString::fromLatin1(imageName));
    image->move(imageBox.left, imageBox.top);
    return image;
}

} // namespace

void TfrmMain::createControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarvio2"));
    // Opens at the default size; larger screens get a larger spectrum by resizing or
    // maximising.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    miSaveSpectrum = MainMenu1->addAction(QStringLiteral("Save Spectrum"));
    miSaveSpectrum->setObjectName(QStringLiteral("miSaveSpectrum"));
    miSettings = MainMenu1->addAction(QStringLiteral("Settings"));
    miSettings->setObjectName(QStringLiteral("miSettings"));
    setMenuBar(MainMenu1);

    client_ = new ClientArea(QSize(ClientWidth, ClientHeight), this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    QWidget* w = client_;

    GroupBox1 = group(w, "GroupBox1", 8, 8, 177, 73, "Devices ");
    cmbDevices = place(new QComboBox(GroupBox1), "cmbDevices", 8, 20, 161, ComboHeight);
    cmbDevices->setEditable(false);
    btnOpenDevice = button(GroupBox1, "btnOpenDevice", 8, 48, 57, 17, "Open");
    btnCloseDevice = button(GroupBox1, "btnCloseDevice", 112, 48, 57, 17, "Close");

    GroupBox4 = group(w, "GroupBox4", 8, 85, 177, 89, "Treshold");
    edtTreshold =
        place(new QLineEdit(QStringLiteral("0,0"), GroupBox4), "edtTreshold", 15, 23, 41, 21);
    Label3 = label(GroupBox4, "Label3", 61, 27, "V");
    btnTreshold = button(GroupBox4, "btnTreshold", 76, 23, 31, 20, "Set");
    tbTreshold = trackBar(GroupBox4, "tbTreshold", 8, 56, 161, 25, 0, 25, 2);

    GroupBox5 = group(w, "GroupBox5", 8, 175, 177, 89, "Bias");
    // Below the frame line, which the group's title pushes down.
    chbBiasOn = checkBox(GroupBox5, "chbBiasOn", 132, 20, 40, 17, "On");
    edtBias = place(new QLineEdit(QStringLiteral("0"), GroupBox5), "edtBias", 12, 25, 41, 21);
    edtBias->setEnabled(false);
    Label4 = label(GroupBox5, "Label4", 57, 29, "V");
    btnSetBias = button(GroupBox5, "btnSetBias", 74, 26, 31, 20, "Set");
    btnSetBias->setEnabled(false);
    // The range comes from the bias limits at start-up.
    tbBias = trackBar(GroupBox5, "tbBias", 4, 56, 161, 24, 0, 10, 10);
    tbBias->setEnabled(false);

    memLog = place(new QPlainTextEdit(w), "memLog", 8, 272, 177, 105);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setMaximumBlockCount(MaxLogLines);

    GroupBox2 = group(w, "GroupBox2", 192, 8, 241, 228, "Pulse");
    imgPulse = imageOnPanel(GroupBox2, "imgPulsePanel", "imgPulse", {6, 19, 227, 202},
                            {1, 1, 225, 200}, 1);
    chbInverted = checkBox(w, "chbInverted", 198, 240, 81, 17, "Inverted");
    chbAutoScale = checkBox(w, "chbAutoScale", 286, 240, 81, 17, "Auto Scale");

    GroupBox6 = group(w, "GroupBox6", 192, 284, 241, 93, "Measurement");
    Label1 = label(GroupBox6, "Label1", 16, 19, "Samples");
    cmbSamples = place(new QComboBox(GroupBox6), "cmbSamples", 16, 35, 57, ComboHeight);
    cmbSamples->setEditable(true);
    // Typed counts stay in the entry field rather than joining the list, and are not completed
    // from it: "1" must stay 1, not become 100.
    cmbSamples->setInsertPolicy(QComboBox::NoInsert);
    cmbSamples->setCompleter(nullptr);
    for (const char* count : {"50", "75", "100", "150", "200", "250", "300", "350", "400", "450"})
        cmbSamples->addItem(QString::fromLatin1(count));
    cmbSamples->setCurrentIndex(-1);
    cmbSamples->setEditText(QStringLiteral("450"));
    btnStart = button(GroupBox6, "btnStart", 16, 64, 57, 25, "Start");
    btnStop = button(GroupBox6, "btnStop", 80, 64, 57, 25, "Stop");
    Button1 = button(GroupBox6, "Button1", 144, 64, 57, 25, "Single");

    GroupBox3 = group(w, "GroupBox3", 440, 8, 361, 369, "Spectrum");
    imgSpectrum = imageOnPanel(GroupBox3, "imgSpectrumPanel", "imgSpectrum", {10, 16, 327, 283},
                               {4, 4, 321, 273}, 2);
    shpZoom = new ZoomShape(imgSpectrum);
    shpZoom->setObjectName(QStringLiteral("shpZoom"));
    chbCursor = checkBox(GroupBox3, "chbCursor", 9, 316, 56, 17, "Cursor");
    // Caption left of the box.
    chbCalibrated =
        checkBox(GroupBox3, "chbCalibrated", 224, 319, 68, 17, "Calibrated", Qt::RightToLeft);
    // Wide enough for its caption between the borders.
    btnCalibrate = button(GroupBox3, "btnCalibrate", 296, 318, 58, 18, "Calibrate");
    lblChannel = place(new QLabel(QStringLiteral("-"), GroupBox3), "lblChannel", 32, 334, 297, 13);
    lblChannel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    sbCurLeft = flatButton(GroupBox3, "sbCurLeft", 9, 345, 20, 20, "<");
    tbCursor = trackBar(GroupBox3, "tbCursor", 31, 347, 296, 18, 0, 4095, 0);
    tbCursor->setPageStep(1);
    sbCurRight = flatButton(GroupBox3, "sbCurRight", 327, 345, 20, 20, ">");

    sbHor = scrollBar(w, "sbHor", Qt::Horizontal, 449, 306, 326, 17);
    sbVer = scrollBar(w, "sbVer", Qt::Vertical, 776, 21, 17, 282);

    tmrGraphs = new QTimer(this);
    tmrGraphs->setObjectName(QStringLiteral("tmrGraphs"));
    tmrGraphs->setInterval(100);

    dlgSave = new QFileDialog(this);
    dlgSave->setObjectName(QStringLiteral("dlgSave"));
    dlgSave->setAcceptMode(QFileDialog::AcceptSave);
    dlgSave->setFileMode(QFileDialog::AnyFile);
    dlgSave->setNameFilter(QStringLiteral("Spectrum (*.txt)"));
    dlgSave->setDefaultSuffix(QStringLiteral("txt"));
    // Qt's own dialog everywhere, so that the default extension and the question before an
    // existing file is replaced behave the same on every desktop.
    dlgSave->setOption(QFileDialog::DontUseNativeDialog, true);
    dlgSave->setOption(QFileDialog::DontConfirmOverwrite, false);

    applyTabOrder();
    anchorControls();
    createMenus();
    createPresetsEntry();
    createStatusBar();
}

void TfrmMain::applyTabOrder() {
    // Window order of the groups and loose controls, each group's own order inside it.
    const QWidget* chain[] = {
        cmbDevices,    btnOpenDevice, btnCloseDevice, memLog,       chbInverted, chbAutoScale,
        chbCalibrated, chbCursor,     tbCursor,       btnCalibrate, edtTreshold, btnTreshold,
        tbTreshold,    edtBias,       btnSetBias,     tbBias,       chbBiasOn,   sbHor,
        sbVer,         Button1,       btnStart,       btnStop,      cmbSamples,
    };
    for (std::size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
}

} // namespace tarvio
