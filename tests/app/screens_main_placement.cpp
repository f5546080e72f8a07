// The window's place between runs, through settings.ini, on two offscreen screens side by
// side (1920 x 1080, then 1280 x 1024, without window frames): nothing is written for a
// window left where it opened; a moved, resized or maximised one reopens so, on whichever
// screen it was; a place on a screen that is gone opens centred on the first.

#include "MainWindowTestSupport.h"
#include "QtTestApplication.h"

#include <QScreen>

using namespace tarvio;
using namespace tarvio::test;

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtTestApplication(
        [] { qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" TARVIO_TWO_SCREENS_CONFIG); }));

class MainWindowPlacement : public MainWindowTest {
protected:
    // The window as the next run of the program opens it.
    void reopen() {
        closeWindow();
        createWindow();
    }

    std::string windowSection() const {
        const std::string text = readText(settingsFile());
        const auto at = text.find("[Window]");
        if (at == std::string::npos)
            return {};
        const auto next = text.find("\n[", at);
        return text.substr(at, next == std::string::npos ? std::string::npos : next + 1 - at);
    }

    static std::string section(const QRect& r, bool maximised) {
        return "[Window]\nLeft=" + std::to_string(r.left()) + "\nTop=" + std::to_string(r.top()) +
               "\nWidth=" + std::to_string(r.width()) + "\nHeight=" + std::to_string(r.height()) +
               "\nMaximised=" + (maximised ? "1" : "0") + "\n";
    }

    void moveTo(const QRect& r) {
        window->setGeometry(r);
        ASSERT_TRUE(eventually([&] { return window->geometry() == r; }));
    }
};

TEST_F(MainWindowPlacement, twoScreens_asConfigured) {
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    EXPECT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
}

TEST_F(MainWindowPlacement, leftAlone_nothingWrittenMovedOrResized_reopenedThere) {
    createWindow();
    const QRect opened = window->geometry();
    reopen();
    EXPECT_EQ(windowSection(), "");
    EXPECT_EQ(window->geometry(), opened);

    // Moved a little, as a window manager's frame might: still nothing of its own.
    moveTo(opened.translated(20, -20));
    reopen();
    EXPECT_EQ(windowSection(), "");

    for (const QRect& place :
         {QRect(100, 80, 1200, 700),   // moved and resized
          QRect(2000, 100, 1000, 600), // on the second screen
          QRect(opened.topLeft(), QSize(opened.width() + 1, opened.height()))}) {
        moveTo(place);
        reopen();
        EXPECT_EQ(windowSection(), section(place, false));
        EXPECT_EQ(window->geometry(), place);
        EXPECT_FALSE(window->isMaximized());
    }
}

TEST_F(MainWindowPlacement, maximised_reopenedMaximisedReturningToItsGeometry) {
    createWindow();
    const QRect place(2000, 100, 1000, 600);
    moveTo(place);
    window->showMaximized();
    ASSERT_TRUE(eventually([&] { return window->isMaximized(); }));
    reopen();
    EXPECT_EQ(windowSection(), section(place, true));
    EXPECT_TRUE(window->isMaximized());
    // Maximised on the screen it was on, still returning to where it was.
    EXPECT_EQ(window->screen()->geometry().left(), 1920);
    EXPECT_EQ(window->normalGeometry(), place);
    reopen();
    EXPECT_EQ(windowSection(), section(place, true));
}

TEST_F(MainWindowPlacement, onAScreenThatIsGone_centredOnTheFirstAtTheRememberedSize) {
    // As if a third screen had stood right of the second.
    writeText(settingsFile(), "[Window]\nLeft=3500\nTop=200\nWidth=1000\nHeight=600\n");
    createWindow();
    EXPECT_EQ(window->geometry(), QRect(460, 240, 1000, 600));
    // A section already there stays the window's to keep up to date.
    reopen();
    EXPECT_EQ(windowSection(), section(QRect(460, 240, 1000, 600), false));
}

} // namespace
