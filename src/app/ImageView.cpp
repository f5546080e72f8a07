#include "app/ImageView.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace tarvio {

ImageView::ImageView(int width, int height, QWidget* parent)
    : QWidget(parent), canvas_(width, height) {
    resize(width, height);
    // The picture covers every pixel; nothing behind it needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    fitCanvas();
}

void ImageView::fitCanvas() {
    const double ratio = devicePixelRatioF();
    const int w = static_cast<int>(std::lround(width() * ratio));
    const int h = static_cast<int>(std::lround(height() * ratio));
    if (w == canvas_.width() && h == canvas_.height() && ratio == canvas_.pixelRatio())
        return;
    canvas_.resize(w, h, ratio);
    emit canvasResized();
}

bool ImageView::event(QEvent* event) {
    // Moved to a screen of another density.
    if (event->type() == QEvent::ScreenChangeInternal)
        fitCanvas();
    return QWidget::event(event);
}

void ImageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitCanvas();
}

void ImageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Image pixels map one to one onto the screen's pixels.
    const QRectF target(event->rect());
    const double ratio = canvas_.pixelRatio();
    const QRectF source(target.x() * ratio, target.y() * ratio, target.width() * ratio,
                        target.height() * ratio);
    painter.drawImage(target, canvas_.image(), source);
}

QPoint ImageView::pixelOf(const QMouseEvent* event) const {
    return (event->position() * canvas_.pixelRatio()).toPoint();
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
