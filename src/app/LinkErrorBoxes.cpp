#include "app/LinkErrorBoxes.h"

#include "app/MessageBoxes.h"
#include "link/Report.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <cstdio>

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

} // namespace tarvio
