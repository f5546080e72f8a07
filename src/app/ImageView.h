#pragma once
// An image with a raster canvas: the graphs draw on its canvas, the widget shows the canvas's
// picture, and mouse presses, moves and releases come out with the position in image pixels
// and the buttons held at the time (for a press, including the pressed one).
//
// The canvas has the widget's size times the screen's pixel ratio, so a graph is drawn at
// the density it is shown at and stays sharp. When the widget is resized or moves to a screen
// of another density, the canvas starts afresh, black, and canvasResized asks for a redraw.

#include "views/qt/QtCanvas.h"

#include <QWidget>

namespace tarvio {

class ImageView : public QWidget {
    Q_OBJECT

public:
    // The size in the window's layout pixels.
    ImageView(int width, int height, QWidget* parent);

    Canvas& canvas() { return canvas_; }
    const QImage& image() const { return canvas_.image(); }
    // Image pixels per layout pixel.
    double pixelRatio() const { return canvas_.pixelRatio(); }

signals:
    void mouseDown(int x, int y, Qt::MouseButtons buttons);
    void mouseMove(int x, int y, Qt::MouseButtons buttons);
    void mouseUp(int x, int y, Qt::MouseButtons buttons);
    void canvasResized();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Gives the canvas the widget's size at the current pixel ratio, if it has not.
    void fitCanvas();
    QPoint pixelOf(const QMouseEvent* event) const;

    QtCanvas canvas_;
};

} // namespace tarvio
