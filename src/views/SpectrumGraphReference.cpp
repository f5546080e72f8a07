// The reference spectrum over (or taken off) the live bars.

#include "views/SpectrumGraph.h"

#include "views/GraphColours.h"
#include "views/Pixel.h"
#include "views/ReferenceOverlay.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

namespace tarvio {

void SpectrumGraph::setReference(std::vector<double> scaled, bool subtract) {
    reference_ = std::move(scaled);
    reference_.resize(reference_.empty() ? 0 : SpectrumChannels, 0.0);
    subtractReference_ = subtract;
}

const Spectrum& SpectrumGraph::shownSpectrum(const Spectrum& live, Spectrum& scratch) const {
    if (reference_.empty() || !subtractReference_)
        return live;
    scratch.copyFrom(live);
    subtractReference(scratch, reference_);
    return scratch;
}

std::uint32_t SpectrumGraph::autoTop(const Spectrum& shown) const {
    if (reference_.empty() || subtractReference_)
        return shown.maxCount;
    const double referenceTop = std::ceil(*std::max_element(reference_.begin(), reference_.end()));
    const double limit = static_cast<double>(AutoCount - 1);
    return std::max(shown.maxCount,
                    static_cast<std::uint32_t>(std::clamp(referenceTop, 0.0, limit)));
}

void SpectrumGraph::drawReference(std::uint32_t first, std::uint32_t width, std::uint32_t low) {
    if (reference_.empty() || subtractReference_ || width == 0)
        return;
    const int left = static_cast<int>(leftMargin_);
    const int base = image_.height() - static_cast<int>(bottomMargin_);
    // One point per pixel column, at the tallest value of the channels it covers, as the bars
    // do; a value below the count window sits on the base line. Rows as the count axis has
    // them, linear or logarithmic.
    auto y = [&](double v) { return v <= low ? base : countAxis_.rowOfCount(v); };
    image_.setPen(graph_colours::Reference, PenStyle::Solid);
    bool started = false;
    int column = 0;
    double tallest = 0.0;
    auto point = [&](int x, double v) {
        if (started) {
            image_.lineTo(x, y(v));
        } else {
            image_.moveTo(x, y(v));
            started = true;
        }
    };
    for (std::uint32_t i = 0; i < width; ++i) {
        const int x = toPixel(left + i * xScale_);
        const double v = reference_[first + i];
        if (i > 0 && x == column) {
            tallest = std::max(tallest, v);
            continue;
        }
        if (i > 0)
            point(column, tallest);
        column = x;
        tallest = v;
    }
    point(column, tallest);
    // lineTo leaves out its end point; draw it.
    image_.lineTo(column + 1, y(tallest));
}

void SpectrumGraph::drawDifferenceMark() {
    if (reference_.empty() || !subtractReference_)
        return;
    // What the bars show is not what was measured: say so where the eye starts, in the
    // reference's colour.
    constexpr std::string_view mark = "difference: live - reference";
    const TextSize size = image_.textExtent(mark);
    const int gap = scaled(4);
    image_.setFontColor(graph_colours::Reference);
    image_.setBrush(graph_colours::Background);
    image_.textOut(std::max(image_.width() - gap - size.width, static_cast<int>(leftMargin_)),
                   static_cast<int>(topMargin_) + gap, mark);
}

} // namespace tarvio
