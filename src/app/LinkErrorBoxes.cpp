#include "app/LinkErrorBoxes.h"

#include "app/LogInbox.h"
#include "app/MessageBoxes.h"
#include "link/Report.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <cstdio>
#include <string_view>

namespace tarvio {

namespace {

// The link layer's texts break lines with carriage returns.
QString displayText(const char* text) {
    QString shown = QString::fromUtf8(text ? text : "");
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showLinkBox(const char* caption, const char* text) {
    const QString shownCaption = QString::fromUtf8(caption ? caption : "");
    const QString shownText = displayText(text);
    QCoreApplication* application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread()) {
        showMessageBox(nullptr, BoxIcon::Critical, shownCaption, shownText);
        return;
    }
    // Another thread must not touch a widget, nor wait for the GUI thread, which may be the
    // one it is waiting for: the message goes to standard error now and into a box as soon
    // as the GUI thread gets to it.
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    if (application) {
        QMetaObject::invokeMethod(
            application,
            [shownCaption, shownText] {
                showMessageBox(nullptr, BoxIcon::Critical, shownCaption, shownText);
            },
            Qt::QueuedConnection);
    }
}

} // namespace

void installLinkErrorBoxes() {
    SetErrorBoxSink(showLinkBox);
}

void removeLinkErrorBoxes() {
    SetErrorBoxSink({});
}

StartupOpenReports::StartupOpenReports(std::shared_ptr<LogInbox> log, const std::string& device) {
    // The caption names the interface a report is about ("Device is not responding -
    // <description> (3)"); only an interface that opened is registered under its name.
    const std::string about = " - " + device + " (";
    auto previous = std::make_shared<ErrorBoxSink>();
    *previous = SetErrorBoxSink([log, about, previous](const char* caption, const char* text) {
        if (caption && std::string_view(caption).find(about) != std::string_view::npos) {
            log->pushLine(text ? text : "");
            return;
        }
        if (*previous)
            (*previous)(caption, text);
        else
            std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    });
    previous_ = *previous;
}

StartupOpenReports::~StartupOpenReports() {
    SetErrorBoxSink(previous_);
}

} // namespace tarvio
