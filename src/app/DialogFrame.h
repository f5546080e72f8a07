#pragma once
// What the two dialogs share: a fixed client area, the program's 8 pt font, a frame with a
// caption and a close button only, and a place in the middle of the screen when shown.

#include <QDialog>

#include <initializer_list>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvio {

// Sets the caption, font, fixed client size and frame of a dialog.
void setUpDialogFrame(QDialog& dialog, const QString& caption, int clientWidth, int clientHeight);

// Moves a top-level window so that its frame is centred on the screen it is on.
void centreOnScreen(QWidget& window);

// Controls at a position in client pixels; labels size themselves to their text.
QLabel* addLabel(QDialog& dialog, const char* name, const QString& text, int left, int top);
QLineEdit* addEdit(QDialog& dialog, const char* name, int left, int top, int width, int height);
QPushButton* addButton(QDialog& dialog, const char* name, const QString& text, int left, int top,
                       int width, int height);

// Keyboard focus moves through the widgets in the order given.
void setTabChain(std::initializer_list<QWidget*> widgets);

} // namespace tarvio
