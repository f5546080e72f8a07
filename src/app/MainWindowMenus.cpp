// The menus after Save Spectrum and Settings, and the keyboard: every shortcut has a menu
// entry that shows it. Keys: Start F5, Stop F6, Single F7, Save Spectrum Ctrl+S, Save Spectrum
// As Ctrl+Shift+S, Open Spectrum Ctrl+O, Log scale Ctrl+L, reset zoom Ctrl+0, cursor by one
// channel Ctrl+Left/Right, by ten Ctrl+Shift+Left/Right.

#include "app/AboutBox.h"
#include "app/HandlerGuard.h"
#include "app/MainWindow.h"
#include "app/SelfTestMenu.h"
#include "views/PulseGraph.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <array>
#include <iterator>

namespace tarvio {

namespace {

// Top-level menus in the order they appear, after the two top-level entries.
constexpr std::array<const char*, 5> MenuOrder = {"File", "Measurement", "View", "Analysis",
                                                  "Help"};

int orderOf(const QString& title) {
    const auto found = std::find_if(MenuOrder.begin(), MenuOrder.end(),
                                    [&](const char* t) { return title == QLatin1String(t); });
    return static_cast<int>(std::distance(MenuOrder.begin(), found));
}

} // namespace

QMenu* TfrmMain::topMenu(const QString& title) {
    QAction* before = nullptr;
    for (QAction* action : MainMenu1->actions()) {
        QMenu* menu = action->menu();
        if (!menu)
            continue;
        if (menu->title() == title)
            return menu;
        if (!before && orderOf(menu->title()) > orderOf(title))
            before = action;
    }
    auto* menu = new QMenu(title, MainMenu1);
    menu->setObjectName(QStringLiteral("mi") + title);
    menu->menuAction()->setObjectName(menu->objectName());
    MainMenu1->insertMenu(before, menu);
    return menu;
}

QAction* TfrmMain::addMenuEntry(QMenu* menu, const char* name, const QString& text,
                                const QKeySequence& keys, std::function<void()> handler) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    connect(action, &QAction::triggered, this,
            [this, handler = std::move(handler)] { runGuarded(this, handler); });
    return action;
}

void TfrmMain::createMenus() {
    // Save Spectrum stays first in the menu bar; the File menu holds the same entry, with its
    // key.
    miSaveSpectrum->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    topMenu(QStringLiteral("File"))->addAction(miSaveSpectrum);
    // Quit last in the File menu, whatever the other parts add to it later.
    QMenu* file = topMenu(QStringLiteral("File"));
    QAction* quit = new QAction(QStringLiteral("Quit"), this);
    quit->setObjectName(QStringLiteral("miQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, [this] { close(); });
    connect(file, &QMenu::aboutToShow, file, [file, quit] {
        file->removeAction(quit);
        file->addAction(quit);
    });
    file->addAction(quit);
    addAction(quit); // its key works while the menu is closed

    QMenu* measurement = topMenu(QStringLiteral("Measurement"));
    addMenuEntry(measurement, "miStart", QStringLiteral("Start"), QKeySequence(Qt::Key_F5),
                 [this] { btnStartClick(); });
    addMenuEntry(measurement, "miStop", QStringLiteral("Stop"), QKeySequence(Qt::Key_F6),
                 [this] { btnStopClick(); });
    addMenuEntry(measurement, "miSingle", QStringLiteral("Single"), QKeySequence(Qt::Key_F7),
                 [this] { Button1Click(); });

    QMenu* view = topMenu(QStringLiteral("View"));
    addMenuEntry(view, "miResetZoom", QStringLiteral("Reset Zoom"),
                 QKeySequence(Qt::CTRL | Qt::Key_0), [this] { resetZoom(); });
    miReadableAxes =
        addMenuEntry(view, "miReadableAxes", QStringLiteral("Readable Axes"), QKeySequence(),
                     [this] { setReadableAxes(miReadableAxes->isChecked()); });
    miReadableAxes->setCheckable(true);
    miReadableAxes->setToolTip(
        QStringLiteral("Round tick values, labels beside the axes and axis titles with units"));
    view->addSeparator();
    const struct {
        const char* name;
        const char* text;
        QKeyCombination keys;
        int channels;
    } cursorSteps[] = {
        {"miCursorLeft", "Cursor One Channel Left", Qt::CTRL | Qt::Key_Left, -1},
        {"miCursorRight", "Cursor One Channel Right", Qt::CTRL | Qt::Key_Right, 1},
        {"miCursorLeftTen", "Cursor Ten Channels Left", Qt::CTRL | Qt::SHIFT | Qt::Key_Left, -10},
        {"miCursorRightTen", "Cursor Ten Channels Right", Qt::CTRL | Qt::SHIFT | Qt::Key_Right, 10},
    };
    for (const auto& step : cursorSteps)
        addMenuEntry(view, step.name, QString::fromLatin1(step.text), QKeySequence(step.keys),
                     [this, channels = step.channels] { moveCursorBy(channels); });

    QMenu* help = topMenu(QStringLiteral("Help"));
    addMenuEntry(help, "miInterfaceSelfTest", QStringLiteral("Interface Self-Test..."),
                 QKeySequence(), [this] { runInterfaceSelfTest(*this); });
    addMenuEntry(help, "miAbout", QStringLiteral("About Tarvio2"), QKeySequence(),
                 [this] { showAboutBox(this, settingsFile_, autosaveFolder()); });
}

void TfrmMain::setReadableAxes(bool readable) {
    if (miReadableAxes->isChecked() != readable)
        miReadableAxes->setChecked(readable);
    if (view_.readableAxes == readable)
        return;
    view_.readableAxes = readable;
    viewChanged_ = true; // from now on settings.ini keeps the choice
    spectrumGraph_->setReadableAxes(readable);
    pulseGraph_->readableAxes = readable;
    redrawGraphs();
    settingsChanged();
}

} // namespace tarvio
