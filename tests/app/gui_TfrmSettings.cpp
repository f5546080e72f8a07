#include "app/TfrmSettings.h"

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

class SettingsDialog : public ::testing::Test {
protected:
    ScopedLocale locale{ScopedLocale::point()};
    BoxRecorder recorder;
    AppSettings settings;
    TfrmSettings dialog{settings};

    void open() {
        dialog.show();
        ASSERT_TRUE(dialog.isVisible());
    }
};

} // namespace

TEST_F(SettingsDialog, layout_controlsWhereAndAsTheOperatorKnowsThem) {
    EXPECT_EQ(dialog.windowTitle(), "Settings");
    EXPECT_EQ(dialog.size(), QSize(239, 148));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(QFontInfo(dialog.font()).family(), "DejaVu Sans");
    EXPECT_EQ(dialog.font().pointSize(), 8);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

    const struct {
        const char* name;
        QRect geometry;
        const char* text;
    } fields[] = {
        {"edtMin", {24, 32, 49, 21}, "16"},
        {"edtMax", {120, 32, 41, 21}, "71"},
        {"edtDelay", {58, 81, 41, 21}, "200"},
    };
    for (const auto& f : fields) {
        auto* edit = dialog.findChild<QLineEdit*>(f.name);
        ASSERT_NE(edit, nullptr) << f.name;
        EXPECT_EQ(edit->geometry(), f.geometry) << f.name;
        EXPECT_EQ(edit->text(), f.text) << f.name;
    }
    const struct {
        const char* name;
        QRect geometry;
        const char* text;
    } buttons[] = {{"Button1", {64, 112, 75, 25}, "OK"}, {"Button2", {152, 112, 75, 25}, "Cancel"}};
    for (const auto& b : buttons) {
        auto* button = dialog.findChild<QPushButton*>(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->geometry(), b.geometry) << b.name;
        EXPECT_EQ(button->text(), b.text) << b.name;
    }
    const struct {
        const char* name;
        QPoint position;
        const char* text;
    } labels[] = {{"Label1", {24, 16}, "Bias min voltage"},
                  {"Label2", {120, 16}, "Bias max voltage"},
                  {"Label3", {76, 36}, "V"},
                  {"Label4", {164, 36}, "V"},
                  {"Label7", {24, 64}, "Measurement speed"},
                  {"Label6", {24, 85}, "Delay"},
                  {"Label5", {103, 85}, "ms"}};
    for (const auto& l : labels) {
        auto* label = dialog.findChild<QLabel*>(l.name);
        ASSERT_NE(label, nullptr) << l.name;
        EXPECT_EQ(label->pos(), l.position) << l.name;
        EXPECT_EQ(label->text(), l.text) << l.name;
        // The whole caption fits inside the dialog.
        EXPECT_LE(label->geometry().right(), 239) << l.name;
    }
    // The delay's caption and unit beside its edit box, not under it.
    for (const char* name : {"Label6", "Label5"})
        EXPECT_FALSE(
            dialog.findChild<QLabel*>(name)->geometry().intersects(dialog.edtDelay->geometry()))
            << name;

    EXPECT_EQ(tabChain(dialog.edtMin),
              (std::vector<QWidget*>{dialog.edtMin, dialog.edtMax, dialog.Button1, dialog.Button2,
                                     dialog.edtDelay}));
}

TEST_F(SettingsDialog, shown_centredWithValuesAndFocusOnMinimum) {
    settings = {20, 60, 0.0125};
    open();
    EXPECT_EQ(dialog.edtMin->text(), "20");
    EXPECT_EQ(dialog.edtMax->text(), "60");
    EXPECT_EQ(dialog.edtDelay->text(), "12.5");
    EXPECT_EQ(dialog.focusWidget(), dialog.edtMin);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 2);
    dialog.reject();

    // Each showing reads the values again.
    settings = AppSettings{};
    open();
    EXPECT_EQ(dialog.edtMin->text(), "16");
    EXPECT_EQ(dialog.edtMax->text(), "71");
    EXPECT_EQ(dialog.edtDelay->text(), "200");
}

TEST_F(SettingsDialog, okWithEdits_valuesTakenOverAndClosed) {
    open();
    dialog.edtMin->setText("-5");
    dialog.edtMax->setText("0x64");
    dialog.edtDelay->setText("12.5");
    click(dialog.Button1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.biasMinVolts, -5);
    EXPECT_EQ(settings.biasMaxVolts, 100);
    EXPECT_DOUBLE_EQ(settings.delaySeconds, 0.0125);
    EXPECT_TRUE(recorder.boxes.empty());

    open();
    EXPECT_EQ(dialog.edtDelay->text(), "12.5");
}

TEST_F(SettingsDialog, biasFieldsNotIntegers_becomeZeroWithoutMessage) {
    open();
    dialog.edtMin->setText("");
    dialog.edtMax->setText("70.5");
    click(dialog.Button1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(settings.biasMinVolts, 0);
    EXPECT_EQ(settings.biasMaxVolts, 0);
    EXPECT_TRUE(recorder.boxes.empty());
}

TEST_F(SettingsDialog, delayNotANumber_errorShownDialogOpenBiasAlreadyTaken) {
    open();
    dialog.edtMin->setText("20");
    dialog.edtMax->setText("60");
    dialog.edtDelay->setText("abc");
    click(dialog.Button1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "'abc' is not a valid floating point value");
    EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Critical);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(settings.biasMinVolts, 20);
    EXPECT_EQ(settings.biasMaxVolts, 60);
    EXPECT_DOUBLE_EQ(settings.delaySeconds, 0.2);
}

TEST_F(SettingsDialog, cancelOrEscapeAfterEdits_nothingChanges) {
    open();
    dialog.edtMin->setText("1");
    dialog.edtMax->setText("2");
    dialog.edtDelay->setText("3");
    click(dialog.Button2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    open();
    dialog.edtMin->setText("1");
    QTest::keyClick(dialog.edtMin, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(settings.biasMinVolts, 16);
    EXPECT_EQ(settings.biasMaxVolts, 71);
    EXPECT_DOUBLE_EQ(settings.delaySeconds, 0.2);
}

TEST_F(SettingsDialog, commaLocale_delayShownAndReadWithComma) {
    ScopedLocale comma(ScopedLocale::comma());
    settings.delaySeconds = 0.0125;
    open();
    EXPECT_EQ(dialog.edtDelay->text(), "12,5");
    dialog.edtDelay->setText("7,25");
    click(dialog.Button1);
    EXPECT_DOUBLE_EQ(settings.delaySeconds, 0.00725);

    open();
    dialog.edtDelay->setText("7.25");
    click(dialog.Button1);
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "'7.25' is not a valid floating point value");
}

TEST_F(SettingsDialog, modalRun_okFromInsideExecReturnsAccepted) {
    int result = -1;
    whileModal(
        dialog,
        [&] {
            dialog.edtDelay->setText("150");
            QTest::keyClick(dialog.edtDelay, Qt::Key_Return); // OK is the default button
        },
        [&] { result = dialog.exec(); });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_DOUBLE_EQ(settings.delaySeconds, 0.15);
}
