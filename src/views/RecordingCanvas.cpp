#include "views/RecordingCanvas.h"

namespace tarvio {

using Kind = CanvasOp::Kind;

void RecordingCanvas::setPen(Rgb colour, PenStyle style) {
    pen_ = colour;
    penStyle_ = style;
    ops_.push_back({Kind::Pen, 0, 0, 0, 0, colour, style, {}});
}

void RecordingCanvas::setBrush(Rgb colour) {
    brush_ = colour;
    ops_.push_back({Kind::Brush, 0, 0, 0, 0, colour, PenStyle::Solid, {}});
}

void RecordingCanvas::setFontColor(Rgb colour) {
    ops_.push_back({Kind::FontColor, 0, 0, 0, 0, colour, PenStyle::Solid, {}});
}

void RecordingCanvas::fillRect(int left, int top, int right, int bottom) {
    ops_.push_back({Kind::FillRect, left, top, right, bottom, brush_, PenStyle::Solid, {}});
}

void RecordingCanvas::moveTo(int x, int y) {
    x_ = x;
    y_ = y;
    ops_.push_back({Kind::MoveTo, x, y, x, y, pen_, penStyle_, {}});
}

void RecordingCanvas::lineTo(int x, int y) {
    ops_.push_back({Kind::LineTo, x_, y_, x, y, pen_, penStyle_, {}});
    x_ = x;
    y_ = y;
}

TextSize RecordingCanvas::textExtent(std::string_view text) {
    return {static_cast<int>(text.size()) * charWidth_, textHeight_};
}

void RecordingCanvas::textOut(int x, int y, std::string_view text) {
    ops_.push_back({Kind::TextOut, x, y, x, y, brush_, PenStyle::Solid, std::string(text)});
}

void RecordingCanvas::ellipse(int left, int top, int right, int bottom) {
    ops_.push_back({Kind::Ellipse, left, top, right, bottom, pen_, PenStyle::Solid, {}});
}

std::vector<CanvasOp> RecordingCanvas::lines() const {
    std::vector<CanvasOp> out;
    for (const CanvasOp& op : ops_)
        if (op.kind == Kind::LineTo)
            out.push_back(op);
    return out;
}

std::vector<CanvasOp> RecordingCanvas::linesOf(Rgb colour) const {
    std::vector<CanvasOp> out;
    for (const CanvasOp& op : ops_)
        if (op.kind == Kind::LineTo && op.colour == colour)
            out.push_back(op);
    return out;
}

std::vector<CanvasOp> RecordingCanvas::texts() const {
    std::vector<CanvasOp> out;
    for (const CanvasOp& op : ops_)
        if (op.kind == Kind::TextOut)
            out.push_back(op);
    return out;
}

const CanvasOp* RecordingCanvas::findText(std::string_view text) const {
    for (const CanvasOp& op : ops_)
        if (op.kind == Kind::TextOut && op.text == text)
            return &op;
    return nullptr;
}

} // namespace tarvio
