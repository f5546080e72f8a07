#pragma once
// An image of fixed size with a raster canvas: the graphs draw on its canvas, the widget
// shows the canvas's picture, and mouse presses, moves and releases come out with the position in
// image pixels and the buttons held at the time (for a press, including the pressed one).

#include "views/qt/QtCanvas.h"

#include <QWidget>

namespace tarvio {

class ImageView : public QWidget {
    Q_OBJECT

public:
    ImageView(int width, int height, QWidget* parent);

    Canvas& canvas() { return canvas_; }
    const QImage& image() const { return canvas_.image(); }

signals:
    void mouseDown(int x, int y, Qt::MouseButtons buttons);
    void mouseMove(int x, int y, Qt::MouseButtons buttons);
    void mouseUp(int x, int y, Qt::MouseButtons buttons);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QtCanvas canvas_;
};

} // namespace tarvio
