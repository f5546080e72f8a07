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
    // A black image of the given size; labels in 8 pt DejaVu Sans at 96 dots per inch.
    QtCanvas(int width, int height);

    const QImage& image() const { return image_; }

    int width() const override { return image_.width(); }
    int height() const override { return image_.height(); }

    void setPen(Rgb colour, PenStyle style) override;
    void setBrush(Rgb colour) override { brush_ = colour; }
    void setFontColor(Rgb colour) override { fontColour_ = colour; }
    void fillRect(int left, int top, int right, int bottom) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    TextSize textExtent(std::string_view text) override;
    void textOut(int x, int y, std::string_view text) override;
    void ellipse(int left, int top, int right, int bottom) override;

private:
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
