#include "app/ZoomShape.h"

#include "app/ImageView.h"

#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace tarvio {

ZoomShape::ZoomShape(ImageView* image) : QWidget(image), image_(image) {
    // Presses and drags belong to the image underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void ZoomShape::setBand(const BandRect& band) {
    band_ = band;
    const int left = band.width < 0 ? band.left + band.width : band.left;
    const int top = band.height < 0 ? band.top + band.height : band.top;
    // A band of zero extent still shows as a dot where the press was. The band is in image
    // pixels, this widget in the window's.
    const double ratio = image_->pixelRatio();
    auto toLayout = [ratio](int pixels) { return static_cast<int>(std::floor(pixels / ratio)); };
    setGeometry(toLayout(left), toLayout(top), toLayout(std::abs(band.width)) + 1,
                toLayout(std::abs(band.height)) + 1);
}

void ZoomShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

} // namespace tarvio
