// The main window as a person sees it before touching anything: caption, frame, font, every
// control's kind, parent, place, caption and initial state, and the Tab order.

#include "MainWindowTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

using namespace tarvio;
using namespace tarvio::test;

namespace {

using MainWindowLayout = MainWindowTest;

struct Placed {
    const char* name;
    const char* kind; // Qt class
    const char* parent;
    QRect geometry;
    const char* text; // caption or text; nullptr when the control has none
    bool enabled;
};

QString textOf(QWidget* widget) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(widget))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(widget))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(widget))
        return e->text();
    if (auto* c = qobject_cast<QComboBox*>(widget))
        return c->currentText();
    return {};
}

TEST_F(MainWindowLayout, everyControl_kindParentPlaceCaptionAndInitialState) {
    createWindow();
    const Placed table[] = {
        {"GroupBox1", "QGroupBox", "client", {8, 8, 177, 73}, "Devices ", true},
        {"cmbDevices", "QComboBox", "GroupBox1", {8, 20, 161, 21}, "", false},
        {"btnOpenDevice", "QPushButton", "GroupBox1", {8, 48, 57, 17}, "Open", true},
        {"btnCloseDevice", "QPushButton", "GroupBox1", {112, 48, 57, 17}, "Close", true},
        {"GroupBox4", "QGroupBox", "client", {8, 85, 177, 89}, "Treshold", true},
        {"edtTreshold", "QLineEdit", "GroupBox4", {15, 23, 41, 21}, "0,0", true},
        {"btnTreshold", "QPushButton", "GroupBox4", {76, 23, 31, 20}, "Set", true},
        {"tbTreshold", "QSlider", "GroupBox4", {8, 56, 161, 25}, nullptr, true},
        {"GroupBox5", "QGroupBox", "client", {8, 175, 177, 89}, "Bias", true},
        {"chbBiasOn", "QCheckBox", "GroupBox5", {132, 20, 40, 17}, "On", true},
        {"edtBias", "QLineEdit", "GroupBox5", {12, 25, 41, 21}, "16", false},
        {"btnSetBias", "QPushButton", "GroupBox5", {74, 26, 31, 20}, "Set", false},
        {"tbBias", "QSlider", "GroupBox5", {4, 56, 161, 24}, nullptr, false},
        {"memLog", "QPlainTextEdit", "client", {8, 272, 177, 105}, nullptr, true},
        {"GroupBox2", "QGroupBox", "client", {192, 8, 241, 228}, "Pulse", true},
        {"imgPulse", "tarvio::ImageView", "imgPulsePanel", {1, 1, 225, 200}, nullptr, true},
        {"chbInverted", "QCheckBox", "client", {198, 240, 81, 17}, "Inverted", true},
        {"chbAutoScale", "QCheckBox", "client", {286, 240, 81, 17}, "Auto Scale", true},
        {"GroupBox6", "QGroupBox", "client", {192, 284, 241, 93}, "Measurement", true},
        {"cmbSamples", "QComboBox", "GroupBox6", {16, 35, 57, 21}, "450", true},
        {"btnStart", "QPushButton", "GroupBox6", {16, 64, 57, 25}, "Start", true},
        {"btnStop", "QPushButton", "GroupBox6", {80, 64, 57, 25}, "Stop", true},
        {"Button1", "QPushButton", "GroupBox6", {144, 64, 57, 25}, "Single", true},
        {"GroupBox3", "QGroupBox", "client", {440, 8, 361, 369}, "Spectrum", true},
        {"imgSpectrum", "tarvio::ImageView", "imgSpectrumPanel", {4, 4, 321, 273}, nullptr, true},
        {"chbCursor", "QCheckBox", "GroupBox3", {9, 316, 56, 17}, "Cursor", true},
        {"btnCalibrate", "QPushButton", "GroupBox3", {296, 318, 58, 18}, "Calibrate", true},
        {"lblChannel", "QLabel", "GroupBox3", {32, 334, 297, 13}, "-", true},
        {"sbCurLeft", "QToolButton", "GroupBox3", {9, 345, 20, 20}, "<", true},
        {"tbCursor", "QSlider", "GroupBox3", {31, 347, 296, 18}, nullptr, true},
        {"sbCurRight", "QToolButton", "GroupBox3", {327, 345, 20, 20}, ">", true},
        {"sbHor", "QScrollBar", "client", {449, 306, 326, 17}, nullptr, true},
        {"sbVer", "QScrollBar", "client", {776, 21, 17, 282}, nullptr, true},
    };
    for (const Placed& p : table) {
        SCOPED_TRACE(p.name);
        auto* widget = control<QWidget>(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), p.kind);
        EXPECT_EQ(widget->parentWidget()->objectName(), p.parent);
        if (qobject_cast<QCheckBox*>(widget)) {
            // Check boxes widen where the caption needs more room than the layout gave.
            EXPECT_EQ(widget->pos(), p.geometry.topLeft());
            EXPECT_EQ(widget->height(), p.geometry.height());
            EXPECT_GE(widget->width(), p.geometry.width());
        } else {
            EXPECT_EQ(widget->geometry(), p.geometry);
        }
        if (p.text) {
            EXPECT_EQ(textOf(widget), p.text);
        }
        EXPECT_EQ(widget->isEnabled(), p.enabled);
    }
    // The labels sit at their places and size to their captions.
    for (auto [name, parent, where, text] :
         {std::tuple{"Label3", "GroupBox4", QPoint(61, 27), "V"},
          std::tuple{"Label4", "GroupBox5", QPoint(57, 29), "V"},
          std::tuple{"Label1", "GroupBox6", QPoint(16, 19), "Samples"}}) {
        auto* l = control<QLabel>(name);
        EXPECT_EQ(l->parentWidget()->objectName(), parent);
        EXPECT_EQ(l->pos(), where);
        EXPECT_EQ(l->text(), text);
    }
    auto* panel = control<QWidget>("imgSpectrumPanel");
    EXPECT_EQ(panel->geometry(), QRect(10, 16, 327, 283));
    EXPECT_EQ(control<QWidget>("imgPulsePanel")->geometry(), QRect(6, 19, 227, 202));
    EXPECT_TRUE(control<QWidget>("shpZoom")->isHidden());
    EXPECT_TRUE(control<QScrollBar>("sbHor")->isHidden());
    EXPECT_TRUE(control<QScrollBar>("sbVer")->isHidden());
    EXPECT_EQ(control<QLabel>("lblChannel")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    // Caption on the left; widened to the left where the caption needs it, the box staying
    // where the layout puts it.
    auto* calibrated = control<QCheckBox>("chbCalibrated");
    EXPECT_EQ(calibrated->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(calibrated->text(), "Calibrated");
    EXPECT_EQ(calibrated->geometry().right(), 224 + 68 - 1);
    EXPECT_EQ(calibrated->y(), 319);
    EXPECT_GE(calibrated->width(), std::max(68, calibrated->sizeHint().width()));
    for (const char* name : {"chbCursor", "chbInverted", "chbAutoScale", "chbBiasOn"}) {
        auto* box = control<QCheckBox>(name);
        EXPECT_GE(box->width(), box->sizeHint().width()) << name;
    }
    // Clear of the lines around them: the On box below its group's frame line, the Calibrate
    // caption between its button's borders.
    EXPECT_GE(control<QCheckBox>("chbBiasOn")->y(),
              control<QGroupBox>("GroupBox5")->contentsRect().top());
    auto* calibrate = control<QPushButton>("btnCalibrate");
    EXPECT_LE(calibrate->fontMetrics().horizontalAdvance(calibrate->text()) + 6,
              calibrate->width());
}

TEST_F(MainWindowLayout, rangesTicksListsTimerMenuAndSaveDialog) {
    createWindow();
    auto* threshold = control<QSlider>("tbTreshold");
    EXPECT_EQ(threshold->minimum(), 0);
    EXPECT_EQ(threshold->maximum(), 25);
    EXPECT_EQ(threshold->tickInterval(), 2);
    EXPECT_EQ(control<QSlider>("tbBias")->tickInterval(), 10);
    auto* cursor = control<QSlider>("tbCursor");
    EXPECT_EQ(cursor->maximum(), 4095);
    EXPECT_EQ(cursor->pageStep(), 1);
    EXPECT_EQ(cursor->tickPosition(), QSlider::NoTicks);
    for (const char* bar : {"sbHor", "sbVer"}) {
        EXPECT_EQ(control<QScrollBar>(bar)->maximum(), 1);
        EXPECT_EQ(control<QScrollBar>(bar)->pageStep(), 1);
    }

    auto* samples = control<QComboBox>("cmbSamples");
    EXPECT_TRUE(samples->isEditable());
    QStringList entries;
    for (int i = 0; i < samples->count(); ++i)
        entries << samples->itemText(i);
    EXPECT_EQ(entries,
              QStringList({"50", "75", "100", "150", "200", "250", "300", "350", "400", "450"}));
    EXPECT_FALSE(control<QComboBox>("cmbDevices")->isEditable());

    auto* timer = control<QTimer>("tmrGraphs");
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_FALSE(timer->isActive());

    // The two top-level entries come first; menus follow them.
    QStringList menu;
    for (QAction* action : control<QMenuBar>("MainMenu1")->actions())
        menu << action->objectName() + "=" + action->text();
    ASSERT_GE(menu.size(), 2);
    EXPECT_EQ(menu.mid(0, 2), QStringList({"miSaveSpectrum=Save Spectrum", "miSettings=Settings"}));
    for (QAction* action : control<QMenuBar>("MainMenu1")->actions().mid(2))
        EXPECT_NE(action->menu(), nullptr) << action->text().toStdString();

    auto* save = control<QFileDialog>("dlgSave");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(save->defaultSuffix(), "txt");
    EXPECT_EQ(save->nameFilters(), QStringList("Spectrum (*.txt)"));
    // Replacing an earlier measurement needs a yes from the operator.
    EXPECT_FALSE(save->testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(MainWindowLayout, window_captionFontDefaultSizeCentredAndMaximisable) {
    createWindow();
    EXPECT_EQ(window->windowTitle(), "Tarvio2");
    EXPECT_EQ(window->font().family(), "DejaVu Sans");
    EXPECT_EQ(window->font().pointSize(), 8);
    // Opens at its smallest size, the default layout; it can grow and be maximised.
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->size());
    EXPECT_EQ(control<QWidget>("client")->size(), QSize(809, 384));
    // Within a few pixels of the screen's centre (the frame is the window manager's).
    const QPoint centre = window->screen()->availableGeometry().center();
    EXPECT_LE((window->frameGeometry().center() - centre).manhattanLength(), 40);
}

TEST_F(MainWindowLayout, tabKey_visitsGroupsAndControlsInTheirOrder) {
    createWindow();
    // With every control enabled, as after ticking the bias switch.
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    control<QComboBox>("cmbDevices")->setEnabled(true);
    control<QScrollBar>("sbHor")->show();
    control<QScrollBar>("sbVer")->show();
    QStringList order;
    // The entry field inside the editable sample list is part of that list.
    for (QWidget* w : tabChain(control<QWidget>("cmbDevices")))
        if (!w->objectName().isEmpty())
            order << w->objectName();
    EXPECT_EQ(order.join(' ').toStdString(),
              "cmbDevices btnOpenDevice btnCloseDevice memLog chbInverted chbAutoScale "
              "chbCalibrated chbCursor tbCursor btnCalibrate edtTreshold btnTreshold tbTreshold "
              "edtBias btnSetBias tbBias chbBiasOn sbHor sbVer Button1 btnStart btnStop "
              "cmbSamples");
}

} // namespace
