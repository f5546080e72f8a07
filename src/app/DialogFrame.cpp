#include "app/DialogFrame.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace tarvio {

void setUpDialogFrame(QDialog& dialog, const QString& caption, int clientWidth, int clientHeight) {
    dialog.setWindowTitle(caption);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    dialog.setFont(font);
    dialog.setFixedSize(clientWidth, clientHeight);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint);
    dialog.setModal(true);
    dialog.setSizeGripEnabled(false);
}

void centreOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

QLabel* addLabel(QDialog& dialog, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, &dialog);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* addEdit(QDialog& dialog, const char* name, int left, int top, int width, int height) {
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(left, top, width, height);
    return edit;
}

QPushButton* addButton(QDialog& dialog, const char* name, const QString& text, int left, int top,
                       int width, int height) {
    auto* button = new QPushButton(text, &dialog);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, width, height);
    // Only the button made default answers Enter; focus alone makes none the default.
    button->setAutoDefault(false);
    return button;
}

void setTabChain(std::initializer_list<QWidget*> widgets) {
    QWidget* previous = nullptr;
    for (QWidget* widget : widgets) {
        if (previous) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

} // namespace tarvio
