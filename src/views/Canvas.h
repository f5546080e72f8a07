#pragma once
// The drawing surface of the graphs: the few raster operations they use, so that the graphs
// build and are tested without a window toolkit. Coordinates are image pixels, (0, 0) at the
// top left; everything outside the image is clipped.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvio {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

enum class PenStyle { Solid, Dotted };

// An upright one-pixel bar from `top` towards a common base line.
struct Bar {
    int x = 0;
    int top = 0;
};

struct TextSize {
    int width = 0;
    int height = 0;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    // Image pixels per pixel of the window's layout: 2 on a screen of double density. Margins,
    // grid spacing and marks grow with it, so the picture looks as on a standard screen, only
    // sharper.
    virtual double pixelRatio() const { return 1.0; }

    virtual void setPen(Rgb colour, PenStyle style) = 0;
    virtual void setBrush(Rgb colour) = 0;
    virtual void setFontColor(Rgb colour) = 0;

    // Fills [left, right) x [top, bottom) with the brush colour.
    virtual void fillRect(int left, int top, int right, int bottom) = 0;
    virtual void moveTo(int x, int y) = 0;
    // A one-pixel line in the pen from the current point up to, not including, (x, y),
    // which then becomes the current point.
    virtual void lineTo(int x, int y) = 0;
    // Each bar exactly as moveTo(x, top) then lineTo(x, base) draws it, in order. A canvas
    // that holds its pixels may paint them all at once, which a full spectrum of tall bars
    // (a logarithmic axis on a large screen) needs to stay cheap.
    virtual void bars(const Bar* bars, std::size_t count, int base) {
        for (std::size_t i = 0; i < count; ++i) {
            moveTo(bars[i].x, bars[i].top);
            lineTo(bars[i].x, base);
        }
    }
    virtual TextSize textExtent(std::string_view text) = 0;
    // Text in the font colour with its top-left corner at (x, y), on a background of the
    // brush colour.
    virtual void textOut(int x, int y, std::string_view text) = 0;
    // Outlined with the pen and filled with the brush, within [left, right) x [top, bottom).
    virtual void ellipse(int left, int top, int right, int bottom) = 0;
};

} // namespace tarvio
