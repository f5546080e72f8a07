// The keyboard: the menus after Save Spectrum and Settings show every shortcut, and the keys
// run what the buttons and the mouse run.

#include "MainWindowTestSupport.h"

#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowKeyboard : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        sim = addSimulator();
        createWindow();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // The key as the operator presses it, with the focus on a control of the window.
    void press(QWidget* focus, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        focus->setFocus();
        QTest::keyClick(focus, key, modifiers);
    }

    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowKeyboard, menus_followTheTopLevelEntriesAndShowTheirKeys) {
    QStringList menus;
    for (QAction* action : control<QMenuBar>("MainMenu1")->actions())
        menus << action->text();
    EXPECT_EQ(menus.mid(0, 5),
              QStringList({"Save Spectrum", "Settings", "File", "Measurement", "View"}));

    const struct {
        const char* menu;
        const char* entry;
        const char* text;
        const char* keys;
    } entries[] = {
        {"miFile", "miSaveSpectrum", "Save Spectrum", "Ctrl+S"},
        {"miMeasurement", "miStart", "Start", "F5"},
        {"miMeasurement", "miStop", "Stop", "F6"},
        {"miMeasurement", "miSingle", "Single", "F7"},
        {"miView", "miResetZoom", "Reset Zoom", "Ctrl+0"},
        {"miView", "miCursorLeft", "Cursor One Channel Left", "Ctrl+Left"},
        {"miView", "miCursorRight", "Cursor One Channel Right", "Ctrl+Right"},
        {"miView", "miCursorLeftTen", "Cursor Ten Channels Left", "Ctrl+Shift+Left"},
        {"miView", "miCursorRightTen", "Cursor Ten Channels Right", "Ctrl+Shift+Right"},
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(e.entry);
        auto* menu = control<QMenu>(e.menu);
        auto* action = control<QAction>(e.entry);
        ASSERT_TRUE(menu && action);
        EXPECT_TRUE(menu->actions().contains(action));
        EXPECT_EQ(action->text(), e.text);
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText), e.keys);
    }
}

TEST_F(MainWindowKeyboard, functionKeys_startStopSingle) {
    auto* timer = control<QTimer>("tmrGraphs");
    auto* samples = control<QWidget>("cmbSamples");
    press(samples, Qt::Key_F5);
    EXPECT_TRUE(sim->state().waitingForTrigger);
    EXPECT_TRUE(timer->isActive());
    press(samples, Qt::Key_F6);
    EXPECT_FALSE(sim->state().waitingForTrigger);
    EXPECT_FALSE(timer->isActive());
    // Single refreshes once at once.
    press(samples, Qt::Key_F7);
    EXPECT_EQ(control<QLabel>("lblChannel")->text(), "Channel: 0 Value: 0");
    EXPECT_FALSE(timer->isActive());
}

TEST_F(MainWindowKeyboard, cursorKeys_stepByOneAndTenWithinTheSpectrum) {
    auto* cursor = control<QSlider>("tbCursor");
    QWidget* focus = control<QWidget>("chbCursor");
    const struct {
        int from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int to;
    } steps[] = {
        {100, Qt::Key_Right, Qt::ControlModifier, 101},
        {100, Qt::Key_Left, Qt::ControlModifier, 99},
        {100, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, 110},
        {100, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, 90},
        {5, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {0, Qt::Key_Left, Qt::ControlModifier, 0},
        {4090, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, 4095},
        {4095, Qt::Key_Right, Qt::ControlModifier, 4095},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.from);
        cursor->setValue(s.from);
        press(focus, s.key, s.modifiers);
        EXPECT_EQ(window->spectrumGraph().cursorChannel(), s.to);
        EXPECT_EQ(cursor->value(), s.to);
    }
    // In an edit box the keys move the text cursor by words, as they always do there.
    cursor->setValue(100);
    auto* threshold = control<QLineEdit>("edtTreshold");
    threshold->setText("1.25 V");
    threshold->setCursorPosition(0);
    press(threshold, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_GT(threshold->cursorPosition(), 0);
    EXPECT_EQ(window->spectrumGraph().cursorChannel(), 100);
}

TEST_F(MainWindowKeyboard, ctrl0ResetsTheZoomAndCtrlSSaves) {
    SpectrumGraph& graph = window->spectrumGraph();
    graph.drawRange(Spectrum{}, 100, 200, 0, 50);
    control<QScrollBar>("sbHor")->show();
    press(control<QWidget>("chbCursor"), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(graph.firstChannel(), 0u);
    EXPECT_EQ(graph.lastChannel(), SpectrumChannels);
    EXPECT_EQ(graph.highCount(), AutoCount);
    EXPECT_TRUE(control<QScrollBar>("sbHor")->isHidden());

    int asked = 0;
    window->setSaveFileChooser([&](QFileDialog&) {
        ++asked;
        return QString();
    });
    press(control<QWidget>("chbCursor"), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
}

} // namespace
