#include "app/LayoutWidgets.h"

#include <algorithm>

namespace tarvio::layout {

QLabel* label(QWidget* parent, const char* name, int left, int top, const char* text) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(left, top);
    l->adjustSize();
    return l;
}

QGroupBox* group(QWidget* parent, const char* name, int left, int top, int width, int height,
                 const char* caption) {
    return place(new QGroupBox(QString::fromLatin1(caption), parent), name, left, top, width,
                 height);
}

QPushButton* button(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const char* caption) {
    auto* b = place(new QPushButton(QString::fromLatin1(caption), parent), name, left, top, width,
                    height);
    b->setAutoDefault(false);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const char* caption, Qt::LayoutDirection direction) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setLayoutDirection(direction);
    const int needed = std::max(width, box->sizeHint().width());
    if (direction == Qt::RightToLeft)
        left -= needed - width;
    return place(box, name, left, top, needed, height);
}

QSlider* trackBar(QWidget* parent, const char* name, int left, int top, int width, int height,
                  int minimum, int maximum, int tickInterval) {
    auto* t = place(new QSlider(Qt::Horizontal, parent), name, left, top, width, height);
    t->setRange(minimum, maximum);
    t->setValue(minimum);
    t->setSingleStep(1);
    if (tickInterval > 0) {
        t->setTickPosition(QSlider::TicksBelow);
        t->setTickInterval(tickInterval);
    } else {
        t->setTickPosition(QSlider::NoTicks);
    }
    return t;
}

QScrollBar* scrollBar(QWidget* parent, const char* name, Qt::Orientation orientation, int left,
                      int top, int width, int height) {
    auto* s = place(new QScrollBar(orientation, parent), name, left, top, width, height);
    s->setRange(0, 1);
    s->setPageStep(1);
    s->setSingleStep(1);
    s->setFocusPolicy(Qt::StrongFocus);
    s->hide();
    return s;
}

QToolButton* flatButton(QWidget* parent, const char* name, int left, int top, int width, int height,
                        const char* caption) {
    auto* b = place(new QToolButton(parent), name, left, top, width, height);
    b->setText(QString::fromLatin1(caption));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

} // namespace tarvio::layout
