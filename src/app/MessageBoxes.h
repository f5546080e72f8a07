#pragma once
// Every modal message box of the window layer goes through here, so that tests can put a
// recorder in place of the boxes and never block on one.

#include <QString>

#include <functional>

class QWidget;

namespace tarvio {

enum class BoxIcon { Critical, Warning, Information, Question };

struct BoxRequest {
    QWidget* parent = nullptr; // may be none: a box of its own, centred on the screen
    BoxIcon icon = BoxIcon::Critical;
    QString caption;
    QString text;
    bool* answer = nullptr; // a question: Yes sets it to true, No leaves it false
};

using MessageBoxPresenter = std::function<void(const BoxRequest&)>;

// Shows a modal box with an OK button. GUI thread only.
void showMessageBox(QWidget* parent, BoxIcon icon, const QString& caption, const QString& text);

// Asks with Yes (the default) and No; true for Yes. GUI thread only.
bool askQuestion(QWidget* parent, const QString& caption, const QString& text);

// The application's error box: the program's name as caption, the error icon, OK.
void showErrorBox(QWidget* parent, const QString& text);

// The caption of the application's error box.
inline constexpr const char* ApplicationTitle = "Tarvio2";

// Replaces the presenter; an empty one goes back to QMessageBox.
void setMessageBoxPresenter(MessageBoxPresenter presenter);

// Installs a presenter for the lifetime of a scope (tests).
class ScopedMessageBoxPresenter {
public:
    explicit ScopedMessageBoxPresenter(MessageBoxPresenter presenter);
    ~ScopedMessageBoxPresenter();
    ScopedMessageBoxPresenter(const ScopedMessageBoxPresenter&) = delete;
    ScopedMessageBoxPresenter& operator=(const ScopedMessageBoxPresenter&) = delete;
};

} // namespace tarvio
