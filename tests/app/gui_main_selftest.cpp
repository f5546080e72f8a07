// Help > Interface Self-Test...: on the interface open in the window, after a yes, the report
// the command line prints, in a window of its own; the interface is open again afterwards.

#include "MainWindowTestSupport.h"

#include "app/SelfTestDialog.h"
#include "app/SelfTestMenu.h"

#include <QAction>

using namespace tarvio;
using namespace tarvio::test;

TEST_F(MainWindowTest, selfTestFromTheHelpMenu_showsEveryStepPassedAndReopensTheInterface) {
    addSimulator();
    createWindow();
    setSelfTestCountingSeconds(0.1);
    ASSERT_TRUE(window->deviceOpened());
    boxes.answerYes = true;

    control<QAction>("miInterfaceSelfTest")->trigger();

    ASSERT_EQ(boxes.boxes.size(), 1u) << "one question before the interface is taken";
    auto* dialog = window->findChild<SelfTestDialog*>(QStringLiteral("frmSelfTest"));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    const QString text = control<QPlainTextEdit>("memReport")->toPlainText();
    EXPECT_TRUE(text.contains("Interface: Medipix2 ver 2.0 simulated: *****01"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Verdict: every step passed.")) << text.toStdString();
    EXPECT_EQ(dialog->report().steps.size(), 6u);
    EXPECT_TRUE(window->deviceOpened()) << "the interface open before is open again";
}
