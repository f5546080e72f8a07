#pragma once
// A canvas that remembers every operation instead of drawing, for tests of the graphs. Text
// is measured with a fixed width per character and a fixed height, so that label positions
// are predictable.

#include "views/Canvas.h"

#include <string>
#include <vector>

namespace tarvio {

struct CanvasOp {
    enum class Kind { Pen, Brush, FontColor, FillRect, MoveTo, LineTo, TextOut, Ellipse };
    Kind kind;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0; // LineTo: from (x1, y1) to (x2, y2)
    Rgb colour{};                       // Pen, Brush, FontColor; for drawing: pen or brush
    PenStyle style = PenStyle::Solid;   // the pen of a LineTo
    std::string text;                   // TextOut
};

class RecordingCanvas final : public Canvas {
public:
    RecordingCanvas(int width, int height, int charWidth = 6, int textHeight = 13)
        : width_(width), height_(height), charWidth_(charWidth), textHeight_(textHeight) {}

    int width() const override { return width_; }
    int height() const override { return height_; }

    void setPen(Rgb colour, PenStyle style) override;
    void setBrush(Rgb colour) override;
    void setFontColor(Rgb colour) override;
    void fillRect(int left, int top, int right, int bottom) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    TextSize textExtent(std::string_view text) override;
    void textOut(int x, int y, std::string_view text) override;
    void ellipse(int left, int top, int right, int bottom) override;

    const std::vector<CanvasOp>& ops() const { return ops_; }
    void clear() { ops_.clear(); }

    // Conveniences for assertions.
    std::vector<CanvasOp> lines() const;
    std::vector<CanvasOp> linesOf(Rgb colour) const;
    std::vector<CanvasOp> texts() const;
    const CanvasOp* findText(std::string_view text) const;

private:
    int width_, height_, charWidth_, textHeight_;
    int x_ = 0, y_ = 0;
    Rgb pen_{}, brush_{};
    PenStyle penStyle_ = PenStyle::Solid;
    std::vector<CanvasOp> ops_;
};

} // namespace tarvio
