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
    case BoxIcon::Question:
        return QMessageBox::Question;
    case BoxIcon::Critical:
        break;
    }
    return QMessageBox::Critical;
}

void showQtBox(const BoxRequest& request) {
    const bool question = request.answer != nullptr;
    QMessageBox box(toQt(request.icon), request.caption, request.text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    request.parent);
    if (question)
        box.setDefaultButton(QMessageBox::Yes);
    const int result = box.exec();
    if (question)
        *request.answer = result == QMessageBox::Yes;
}

void present(const BoxRequest& request) {
    if (presenter())
        presenter()(request);
    else
        showQtBox(request);
}

} // namespace

void showMessageBox(QWidget* parent, BoxIcon icon, const QString& caption, const QString& text) {
    present(BoxRequest{parent, icon, caption, text});
}

bool askQuestion(QWidget* parent, const QString& caption, const QString& text) {
    bool yes = false;
    present(BoxRequest{parent, BoxIcon::Question, caption, text, &yes});
    return yes;
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
