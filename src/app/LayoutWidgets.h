#pragma once
// The widget makers of the window's fixed layout: each control gets its object name (which
// is how tests find it), its parent and its geometry in pixels of the default layout.

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

namespace tarvio::layout {

template <class Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, int left, int top, const char* text);
QGroupBox* group(QWidget* parent, const char* name, int left, int top, int width, int height,
                 const char* caption);
QPushButton* button(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const char* caption);
// The window's font is wider than the one the layout was drawn for: a caption that would be
// cut widens its check box, away from the side the box is on.
QCheckBox* checkBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const char* caption, Qt::LayoutDirection direction = Qt::LeftToRight);
QSlider* trackBar(QWidget* parent, const char* name, int left, int top, int width, int height,
                  int minimum, int maximum, int tickInterval);
QScrollBar* scrollBar(QWidget* parent, const char* name, Qt::Orientation orientation, int left,
                      int top, int width, int height);
QToolButton* flatButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const char* caption);

} // namespace tarvio::layout
