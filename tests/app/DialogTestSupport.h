#pragma once
// Helpers for driving the modal dialogs in tests: a recorder in place of the message boxes,
// running code while a dialog's exec() loop is open, and the tab chain as a person would
// walk it.

#include "app/MessageBoxes.h"

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tarvio::test {

class BoxRecorder {
public:
    BoxRecorder()
        : scope_([this](const BoxRequest& request) {
              boxes.push_back(request);
              if (request.answer)
                  *request.answer = answerYes;
          }) {}
    std::vector<BoxRequest> boxes;
    bool answerYes = false; // how a question is answered

private:
    ScopedMessageBoxPresenter scope_;
};

// Runs `whileOpen` once the dialog's own loop runs, then `run` (which calls exec()). A
// dialog still open afterwards is cancelled so a faulty test fails instead of hanging.
inline void whileModal(QDialog& dialog, const std::function<void()>& whileOpen,
                       const std::function<void()>& run) {
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        ran = true;
        whileOpen();
        if (dialog.isVisible())
            dialog.reject();
    });
    run();
    if (!ran)
        ADD_FAILURE() << "the dialog was never open";
}

inline void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// The widgets that Tab visits, in order, starting from `first`.
inline std::vector<QWidget*> tabChain(QWidget* first) {
    std::vector<QWidget*> chain{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isWindow())
            chain.push_back(w);
    return chain;
}

} // namespace tarvio::test
