#include "app/ImageView.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvio {

namespace {

QPoint pixelOf(const QMouseEvent* event) {
    return event->position().toPoint();
}

} // namespace

ImageView::ImageView(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height) {
    setFixedSize(width, height);
    // The picture covers every pixel; nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), canvas_.image(), event->rect());
}

void ImageView::mousePressEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit mouseDown(p.x(), p.y(), event->buttons() | event->button());
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit mouseMove(p.x(), p.y(), event->buttons());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = pixelOf(event);
    emit mouseUp(p.x(), p.y(), event->buttons());
}

} // namespace tarvio
