#include "app/MessageBoxes.h"

#include <QMessageBox>

#include <utility>

namespace tarvio {

namespace {

MessageBoxPresenter& presenter() {
    static MessageBoxPresenter instance;
    return instance;
}

QMessageBox::Icon toQt(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Warning:
        return QMessageBox::Warning;
    case BoxIcon::Information:
        return QMessageBox::Information;
    case BoxIcon::Critical:
        break;
    }
    return QMessageBox::Critical;
}

void showQtBox(const BoxRequest& request) {
    QMessageBox box(toQt(request.icon), request.caption, request.text, QMessageBox::Ok,
                    request.parent);
    box.exec();
}

} // namespace

void showMessageBox(QWidget* parent, BoxIcon icon, const QString& caption, const QString& text) {
    const BoxRequest request{parent, icon, caption, text};
    if (presenter())
        presenter()(request);
    else
        showQtBox(request);
}

void showErrorBox(QWidget* parent, const QString& text) {
    showMessageBox(parent, BoxIcon::Critical, QString::fromLatin1(ApplicationTitle), text);
}

void setMessageBoxPresenter(MessageBoxPresenter replacement) {
    presenter() = std::move(replacement);
}

ScopedMessageBoxPresenter::ScopedMessageBoxPresenter(MessageBoxPresenter replacement) {
    setMessageBoxPresenter(std::move(replacement));
}

ScopedMessageBoxPresenter::~ScopedMessageBoxPresenter() {
    setMessageBoxPresenter({});
}

} // namespace tarvio
