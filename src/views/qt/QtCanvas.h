#pragma once
// The graphs' canvas on a QImage, for the window to show. Lines and fills are rasterised
// here, straight into the image's pixels: that keeps the one-pixel, end-point-excluded lines
// exact and a full spectrum redraw cheap. Text and ellipses go through QPainter. Needs a
// QGuiApplication (fonts).

#include "views/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>

namespace tarvio {

class QtCanvas final : public Canvas {
public:
    // A black image of the given size in pixels; labels in 8 pt DejaVu Sans at 96 dots per
    // inch times the pixel ratio, so that they keep their size on the screen.
    QtCanvas(int width, int height, double pixelRatio = 1.0);

    // A new black image of the given size; the graphs drawing on this canvas keep it.
    void resize(int width, int height, double pixelRatio);

    const QImage& image() const { return image_; }

    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }
    double pixelRatio() const override { return pixelRatio_; }

    void setPen(Rgb colour, PenStyle style) override;
    void setBrush(Rgb colour) override { brush_ = colour; }
    void setFontColor(Rgb colour) override { fontColour_ = colour; }
    void fillRect(int left, int top, int right, int bottom) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void bars(const Bar* bars, std::size_t count, int base) override;
    TextSize textExtent(std::string_view text) override;
    void textOut(int x, int y, std::string_view text) override;
    void ellipse(int left, int top, int right, int bottom) override;

private:
    double pixelRatio_;
    QImage image_;
    QFont font_;
    QFontMetrics metrics_;
    Rgb pen_{};
    PenStyle penStyle_ = PenStyle::Solid;
    Rgb brush_{};
    Rgb fontColour_{};
    int x_ = 0, y_ = 0;
};

} // namespace tarvio
