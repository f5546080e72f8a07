#include "views/qt/QtCanvas.h"

#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace tarvio {

namespace {

constexpr int DotsPerMeter96Dpi = 3780;

QRgb toQRgb(Rgb c) {
    return qRgb(c.r, c.g, c.b);
}

QColor toQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QImage blackImage(int width, int height, double pixelRatio) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    // The text's size in pixels follows the resolution the image claims.
    const int dotsPerMeter = static_cast<int>(std::lround(DotsPerMeter96Dpi * pixelRatio));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::black);
    return image;
}

double validRatio(double pixelRatio) {
    return pixelRatio >= 0.25 && pixelRatio <= 16.0 ? pixelRatio : 1.0;
}

QFont labelFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// Rounds a / b half up for b > 0, in whole numbers.
std::int64_t roundedRatio(std::int64_t a, std::int64_t b) {
    const std::int64_t n = 2 * a + b;
    const std::int64_t d = 2 * b;
    return n >= 0 ? n / d : -((-n + d - 1) / d);
}

} // namespace

QtCanvas::QtCanvas(int width, int height, double pixelRatio)
    : pixelRatio_(validRatio(pixelRatio)), image_(blackImage(width, height, pixelRatio_)),
      font_(labelFont()), metrics_(font_, &image_) {}

void QtCanvas::resize(int width, int height, double pixelRatio) {
    pixelRatio_ = validRatio(pixelRatio);
    image_ = blackImage(width, height, pixelRatio_);
    metrics_ = QFontMetrics(font_, &image_);
}

void QtCanvas::setPen(Rgb colour, PenStyle style) {
    pen_ = colour;
    penStyle_ = style;
}

void QtCanvas::fillRect(int left, int top, int right, int bottom) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image_.width());
    bottom = std::min(bottom, image_.height());
    if (left >= right || top >= bottom)
        return;
    const QRgb c = toQRgb(brush_);
    if (left == 0 && top == 0 && right == image_.width() && bottom == image_.height()) {
        image_.fill(c); // every draw starts so; Qt's own fill is the fastest way
        return;
    }
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int y = top; y < bottom; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + y * stride);
        std::fill(row + left, row + right, c);
    }
}

void QtCanvas::moveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

// Walks the line one step along its major axis per pixel, from the current point up to but
// not including the end point, visiting only the steps that fall inside the image. A dotted
// pen paints every other step, starting with the first.
void QtCanvas::lineTo(int x, int y) {
    const std::int64_t x0 = x_, y0 = y_;
    x_ = x;
    y_ = y;
    const std::int64_t dx = x - x0, dy = y - y0;
    const std::int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const std::int64_t steps = std::max(adx, ady);
    if (steps == 0)
        return;
    const std::int64_t W = image_.width(), H = image_.height();
    const bool xMajor = adx >= ady;
    const std::int64_t major0 = xMajor ? x0 : y0;
    const std::int64_t sign = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t limit = xMajor ? W : H;
    // Steps t with major0 + sign * t inside [0, limit).
    std::int64_t tBegin, tEnd;
    if (sign > 0) {
        tBegin = std::max<std::int64_t>(0, -major0);
        tEnd = std::min(steps, limit - major0);
    } else {
        tBegin = std::max<std::int64_t>(0, major0 - limit + 1);
        tEnd = std::min(steps, major0 + 1);
    }
    if (tBegin >= tEnd)
        return;

    const QRgb c = toQRgb(pen_);
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    const bool dotted = penStyle_ == PenStyle::Dotted;
    const std::int64_t tStep = dotted ? 2 : 1;
    // The bars and the grid are upright or level: no minor axis to work out per pixel. The
    // first step painted keeps its parity, so dots stay where the general walk puts them.
    if (dx == 0 || dy == 0) {
        const std::int64_t minor = xMajor ? y0 : x0;
        if (minor < 0 || minor >= (xMajor ? H : W))
            return;
        const std::int64_t first = dotted ? tBegin + (tBegin & 1) : tBegin;
        if (xMajor) {
            auto* row = reinterpret_cast<QRgb*>(bits + minor * stride);
            for (std::int64_t t = first; t < tEnd; t += tStep)
                row[major0 + sign * t] = c;
        } else {
            uchar* column = bits + minor * static_cast<qsizetype>(sizeof(QRgb));
            for (std::int64_t t = first; t < tEnd; t += tStep)
                *reinterpret_cast<QRgb*>(column + (major0 + sign * t) * stride) = c;
        }
        return;
    }
    const std::int64_t minorDelta = xMajor ? dy : dx;
    for (std::int64_t t = tBegin; t < tEnd; ++t) {
        if (dotted && (t & 1))
            continue;
        const std::int64_t major = major0 + sign * t;
        const std::int64_t minor = (xMajor ? y0 : x0) + roundedRatio(minorDelta * t, steps);
        const std::int64_t px = xMajor ? major : minor;
        const std::int64_t py = xMajor ? minor : major;
        if (px < 0 || px >= W || py < 0 || py >= H)
            continue;
        reinterpret_cast<QRgb*>(bits + py * stride)[px] = c;
    }
}

// The bars in bands of 32 rows (a quarter of a megabyte on a 1920-pixel-wide image), so that
// neighbouring bars find the cache lines the one before them brought in; painting bar by bar
// down the whole image costs a cache miss per pixel once bars are tall. Same pixels as the
// lines, end points excluded.
void QtCanvas::bars(const Bar* bars, std::size_t count, int base) {
    if (penStyle_ != PenStyle::Solid || count == 0) {
        Canvas::bars(bars, count, base);
        return;
    }
    const int W = image_.width(), H = image_.height();
    // Each bar's rows, both ends included, within the image; empty ones dropped.
    struct Span {
        int x, first, last;
    };
    std::vector<Span> spans;
    spans.reserve(count);
    int top = H, bottom = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const Bar& b = bars[i];
        if (b.x < 0 || b.x >= W || b.top == base)
            continue;
        const int first = std::max(b.top < base ? b.top : base + 1, 0);
        const int last = std::min(b.top < base ? base - 1 : b.top, H - 1);
        if (first > last)
            continue;
        spans.push_back({b.x, first, last});
        top = std::min(top, first);
        bottom = std::max(bottom, last);
    }
    x_ = bars[count - 1].x;
    y_ = base;

    constexpr int BandRows = 32;
    const QRgb c = toQRgb(pen_);
    uchar* bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    for (int band = top; band <= bottom; band += BandRows) {
        const int bandLast = std::min(band + BandRows - 1, bottom);
        for (const Span& s : spans) {
            const int first = std::max(s.first, band);
            const int last = std::min(s.last, bandLast);
            uchar* pixel = bits + static_cast<qsizetype>(s.x) * static_cast<qsizetype>(sizeof(QRgb));
            for (int y = first; y <= last; ++y)
                *reinterpret_cast<QRgb*>(pixel + y * stride) = c;
        }
    }
}

TextSize QtCanvas::textExtent(std::string_view text) {
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return {metrics_.horizontalAdvance(s), metrics_.height()};
}

void QtCanvas::textOut(int x, int y, std::string_view text) {
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.fillRect(QRect(x, y, metrics_.horizontalAdvance(s), metrics_.height()),
                     toQColor(brush_));
    painter.setPen(toQColor(fontColour_));
    painter.drawText(x, y + metrics_.ascent(), s);
}

void QtCanvas::ellipse(int left, int top, int right, int bottom) {
    if (right - left < 1 || bottom - top < 1)
        return;
    QPainter painter(&image_);
    painter.setPen(QPen(toQColor(pen_), 1));
    painter.setBrush(toQColor(brush_));
    // A one-pixel outline spans one pixel beyond the rectangle's size; the box excludes its
    // right and bottom edges.
    painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
}

} // namespace tarvio
