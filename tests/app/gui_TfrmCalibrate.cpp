#include "app/TfrmCalibrate.h"

#include "DialogTestSupport.h"
#include "ScopedLocale.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

#include <gtest/gtest.h>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class CalibrateDialog : public ::testing::Test {
protected:
    ScopedLocale locale{ScopedLocale::point()};
    BoxRecorder recorder;
    TfrmCalibrate dialog;
    CalibrationPoint point1;
    CalibrationPoint point2;

    // Opens the dialog on the two points and runs `whileOpen` inside its modal loop.
    void edit(const std::function<void()>& whileOpen) {
        whileModal(dialog, whileOpen, [&] { dialog.EditCalibration(point1, point2); });
    }
};

} // namespace

TEST_F(CalibrateDialog, layout_controlsWhereAndAsTheOperatorKnowsThem) {
    EXPECT_EQ(dialog.windowTitle(), "Calibrate");
    EXPECT_EQ(dialog.size(), QSize(230, 172));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(QFontInfo(dialog.font()).family(), "DejaVu Sans");
    EXPECT_EQ(dialog.font().pointSize(), 8);

    const struct {
        const char* name;
        QRect geometry;
    } edits[] = {{"edtSample1", {10, 40, 71, 21}},
                 {"edtEnergy1", {98, 40, 87, 21}},
                 {"edtSample2", {10, 88, 71, 21}},
                 {"edtEnergy2", {98, 88, 87, 21}}};
    for (const auto& e : edits) {
        auto* edit = dialog.findChild<QLineEdit*>(e.name);
        ASSERT_NE(edit, nullptr) << e.name;
        EXPECT_EQ(edit->geometry(), e.geometry) << e.name;
    }
    auto* ok = dialog.findChild<QPushButton*>("btnOK");
    auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->geometry(), QRect(64, 136, 75, 25));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(cancel->geometry(), QRect(144, 136, 75, 25));
    EXPECT_EQ(cancel->text(), "Cancel");

    const struct {
        const char* name;
        QPoint position;
        const char* text;
    } labels[] = {{"Label1", {10, 24}, "Channel 1"}, {"label2", {98, 24}, "Energy 1"},
                  {"Label3", {10, 72}, "Channel 2"}, {"Label4", {98, 72}, "Energy 2"},
                  {"Label5", {192, 46}, "keV"},      {"Label6", {192, 95}, "keV"}};
    for (const auto& l : labels) {
        auto* label = dialog.findChild<QLabel*>(l.name);
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->pos(), l.position) << l.name;
        EXPECT_EQ(label->text(), l.text) << l.name;
        EXPECT_LE(label->geometry().right(), 230) << l.name;
    }

    EXPECT_EQ(tabChain(dialog.edtSample1),
              (std::vector<QWidget*>{dialog.edtSample1, dialog.edtEnergy1, dialog.edtSample2,
                                     dialog.edtEnergy2, dialog.btnOK, dialog.btnCancel}));
}

TEST_F(CalibrateDialog, freshPoints_showZerosCentredOnScreen) {
    edit([&] {
        EXPECT_EQ(dialog.edtSample1->text(), "0");
        EXPECT_EQ(dialog.edtEnergy1->text(), "0");
        EXPECT_EQ(dialog.edtSample2->text(), "0");
        EXPECT_EQ(dialog.edtEnergy2->text(), "0");
        EXPECT_EQ(dialog.focusWidget(), dialog.edtSample1);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 2);
        click(dialog.btnCancel);
    });
}

TEST_F(CalibrateDialog, okWithValidFields_pointsWrittenAndFractionalChannelReopensWhole) {
    edit([&] {
        dialog.edtSample1->setText("100.5");
        dialog.edtEnergy1->setText("59.5");
        dialog.edtSample2->setText("4096");
        dialog.edtEnergy2->setText("-122.06");
        click(dialog.btnOK);
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(point1.channel, 100.5);
    EXPECT_EQ(point1.energy, 59.5);
    EXPECT_EQ(point2.channel, 4096);
    EXPECT_EQ(point2.energy, -122.06);
    EXPECT_TRUE(recorder.boxes.empty());

    edit([&] {
        EXPECT_EQ(dialog.edtSample1->text(), "100");
        EXPECT_EQ(dialog.edtEnergy1->text(), "59.5");
        click(dialog.btnOK);
    });
    EXPECT_EQ(point1.channel, 100.0);
}

TEST_F(CalibrateDialog, invalidChannel_warningForThatFieldAndDialogStaysOpen) {
    const struct {
        const char* sample1;
        const char* sample2;
        const char* message;
    } cases[] = {{"4097", "10", "Invalid value in Sample1 field."},
                 {"-1", "10", "Invalid value in Sample1 field."},
                 {"", "10", "Invalid value in Sample1 field."},
                 {"abc", "10", "Invalid value in Sample1 field."},
                 {"10", "4096.5", "Invalid value in Sample2 field."},
                 {"x", "y", "Invalid value in Sample1 field."}};
    for (const auto& c : cases) {
        recorder.boxes.clear();
        edit([&] {
            dialog.edtSample1->setText(c.sample1);
            dialog.edtSample2->setText(c.sample2);
            click(dialog.btnOK);
            EXPECT_TRUE(dialog.isVisible()) << c.sample1 << " " << c.sample2;
            EXPECT_EQ(dialog.edtSample1->text(), c.sample1);
            click(dialog.btnCancel);
        });
        ASSERT_EQ(recorder.boxes.size(), 1u) << c.sample1 << " " << c.sample2;
        EXPECT_EQ(recorder.boxes[0].caption, "Error");
        EXPECT_EQ(recorder.boxes[0].text, c.message);
        EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Warning);
    }
    EXPECT_EQ(point1.channel, 0);
    EXPECT_EQ(point2.channel, 0);
}

TEST_F(CalibrateDialog, energyNotANumber_acceptedAndKeepsPreviousEnergy) {
    point1 = {100, 59.5};
    point2 = {200, 122.06};
    edit([&] {
        dialog.edtEnergy1->setText("lots");
        dialog.edtEnergy2->setText("0");
        click(dialog.btnOK);
    });
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(point1.energy, 59.5);
    EXPECT_EQ(point2.energy, 0.0);
}

TEST_F(CalibrateDialog, cancelOrCloseAfterEdits_pointsExactlyAsBefore) {
    point1 = {100.5, 59.5};
    point2 = {200, 122.06};
    edit([&] {
        dialog.edtSample1->setText("1");
        dialog.edtEnergy2->setText("2");
        click(dialog.btnCancel);
    });
    edit([&] {
        dialog.edtSample1->setText("1");
        dialog.close();
    });
    EXPECT_EQ(point1.channel, 100.5);
    EXPECT_EQ(point1.energy, 59.5);
    EXPECT_EQ(point2.channel, 200);
    EXPECT_EQ(point2.energy, 122.06);
}

TEST_F(CalibrateDialog, commaLocale_energiesAndChannelsUseComma) {
    ScopedLocale comma(ScopedLocale::comma());
    point1 = {100, 59.5};
    edit([&] {
        EXPECT_EQ(dialog.edtEnergy1->text(), "59,5");
        dialog.edtSample2->setText("200,5");
        dialog.edtEnergy2->setText("122,06");
        click(dialog.btnOK);
    });
    EXPECT_EQ(point2.channel, 200.5);
    EXPECT_EQ(point2.energy, 122.06);
    EXPECT_FALSE(TfrmCalibrate::IsValidChannelText("200.5"));
}
