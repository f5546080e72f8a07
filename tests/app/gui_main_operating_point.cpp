// The threshold and bias groups: edit boxes and track bars following each other, the Set
// buttons and the bias switch, with the codes the simulated interface receives.

#include "MainWindowTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowOperatingPoint : public MainWindowTest {
protected:
    void open() {
        sim = addSimulator();
        createWindow();
    }

    void type(const char* edit, const QString& text) {
        auto* e = control<QLineEdit>(edit);
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Delete);
        else
            QTest::keyClicks(e, text);
        ASSERT_EQ(e->text(), text);
    }

    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowOperatingPoint, thresholdEditTyped_trackBarFollowsTruncatedAndClamped) {
    createWindow();
    auto* track = control<QSlider>("tbTreshold");
    const std::pair<QString, int> cases[] = {
        {"1.25", 12}, {"1.3", 13}, {"3", 25}, {"-0.5", 0}, {"0.29", 2}, {"abc", 0}, {"2.5", 25},
    };
    for (const auto& [text, position] : cases) {
        SCOPED_TRACE(text.toStdString());
        type("edtTreshold", text);
        EXPECT_EQ(track->value(), position);
        // Not written back: the edit box keeps what was typed.
        EXPECT_EQ(control<QLineEdit>("edtTreshold")->text(), text);
    }
}

TEST_F(MainWindowOperatingPoint, thresholdTrackBarMovedByOperator_editShowsTenthsOfAVolt) {
    createWindow();
    auto* track = control<QSlider>("tbTreshold");
    auto* edit = control<QLineEdit>("edtTreshold");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    track->setFocus();
    ASSERT_TRUE(track->hasFocus());
    for (int position = 0; position <= 25; ++position) {
        track->setValue(position);
        // Every text the track bar writes reads back as the same position.
        EXPECT_EQ(track->value(), position);
        EXPECT_NEAR(edit->text().toDouble(), position * 0.1, 1e-12);
    }
    track->setValue(12);
    EXPECT_EQ(edit->text(), "1.2");
    QTest::keyClick(track, Qt::Key_Right);
    EXPECT_EQ(edit->text(), "1.3");

    // Moved by program while another control has the focus: the edit box keeps its text.
    edit->setFocus();
    track->setValue(3);
    EXPECT_EQ(edit->text(), "1.3");
}

TEST_F(MainWindowOperatingPoint, thresholdSet_sendsTheTypedVoltsOrATenthWhenNotANumber) {
    open();
    type("edtTreshold", "1.25");
    click("btnTreshold");
    EXPECT_DOUBLE_EQ(window->thresholdVolts(), 1.25);
    EXPECT_EQ(sim->state().thresholdDac, 2048); // 1.25 V x 1638.6, truncated

    type("edtTreshold", "x");
    click("btnTreshold");
    EXPECT_DOUBLE_EQ(window->thresholdVolts(), 0.1);
    EXPECT_EQ(sim->state().thresholdDac, 163);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowOperatingPoint, thresholdSetWithoutInterface_sendsNothing) {
    createWindow();
    type("edtTreshold", "1.25");
    click("btnTreshold");
    EXPECT_DOUBLE_EQ(window->thresholdVolts(), 0.0);
}

TEST_F(MainWindowOperatingPoint, biasSet_codesForTheDefaultLimitsAndHeldOutsideThem) {
    open();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    // 255 stands for 16 V and 1 for 71 V. Outside the limits the nearer end is sent, never a
    // wrapped code near full bias.
    const std::pair<QString, int> cases[] = {
        {"16", 255}, {"17", 251}, {"40", 145}, {"70", 6},  {"71", 1},
        {"15", 255}, {"72", 1},   {"0", 255},  {"500", 1},
    };
    for (const auto& [volts, code] : cases) {
        SCOPED_TRACE(volts.toStdString());
        type("edtBias", volts);
        click("btnSetBias");
        EXPECT_EQ(sim->state().biasCode, code);
    }
    control<QCheckBox>("chbBiasOn")->setChecked(false);
    EXPECT_EQ(sim->state().biasCode, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowOperatingPoint, biasSwitch_sendsTheEditValueAndEnablesTheControls) {
    open();
    auto* on = control<QCheckBox>("chbBiasOn");
    // The value the edit box holds while the switch is off.
    control<QLineEdit>("edtBias")->setText("40");
    QTest::mouseClick(on, Qt::LeftButton);
    EXPECT_TRUE(on->isChecked());
    EXPECT_EQ(sim->state().biasCode, 145);
    for (const char* name : {"edtBias", "tbBias", "btnSetBias"})
        EXPECT_TRUE(control<QWidget>(name)->isEnabled()) << name;
    QTest::mouseClick(on, Qt::LeftButton);
    EXPECT_EQ(sim->state().biasCode, 0);
    for (const char* name : {"edtBias", "tbBias", "btnSetBias"})
        EXPECT_FALSE(control<QWidget>(name)->isEnabled()) << name;
}

TEST_F(MainWindowOperatingPoint, biasSwitchWithoutInterface_onlyEnablesAndDisables) {
    createWindow();
    auto* on = control<QCheckBox>("chbBiasOn");
    QTest::mouseClick(on, Qt::LeftButton);
    EXPECT_TRUE(control<QPushButton>("btnSetBias")->isEnabled());
    click("btnSetBias");
    QTest::mouseClick(on, Qt::LeftButton);
    EXPECT_FALSE(control<QPushButton>("btnSetBias")->isEnabled());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowOperatingPoint, biasEditAndTrackBar_followEachOther) {
    createWindow();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    auto* track = control<QSlider>("tbBias");
    type("edtBias", "80");
    EXPECT_EQ(track->value(), 71);
    EXPECT_EQ(control<QLineEdit>("edtBias")->text(), "80");
    type("edtBias", "30");
    EXPECT_EQ(track->value(), 30);
    type("edtBias", "abc");
    EXPECT_EQ(track->value(), 16);

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    track->setFocus();
    QTest::keyClick(track, Qt::Key_Right);
    EXPECT_EQ(control<QLineEdit>("edtBias")->text(), "17");
}

TEST_F(MainWindowOperatingPoint, biasSetFailures_errorBoxAndNothingSentWindowCarriesOn) {
    open();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    type("edtBias", "40");
    click("btnSetBias");
    ASSERT_EQ(sim->state().biasCode, 145);

    type("edtBias", "4o");
    click("btnSetBias");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "'4o' is not a valid integer value");
    EXPECT_EQ(boxes.boxes[0].caption, "Tarvio2");
    EXPECT_EQ(sim->state().biasCode, 145);

    window->settings().biasMinVolts = 30;
    window->settings().biasMaxVolts = 30;
    type("edtBias", "30");
    click("btnSetBias");
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[1].text, "Floating point division by zero");
    EXPECT_EQ(sim->state().biasCode, 145);

    // New limits take effect at the next Set, the track bar's range stays.
    window->settings().biasMinVolts = 0;
    window->settings().biasMaxVolts = 100;
    type("edtBias", "50");
    click("btnSetBias");
    EXPECT_EQ(sim->state().biasCode, 128); // 255 - trunc(2.54 x 50)
    EXPECT_EQ(control<QSlider>("tbBias")->maximum(), 71);
}

} // namespace
