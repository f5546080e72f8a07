#include "processing/PulseTemplate.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tarvio {

PulseTemplate PulseTemplate::builtIn() {
    return PulseTemplate();
}

std::optional<PulseTemplate> PulseTemplate::learned(const std::vector<double>& gridValues,
                                                    int pulses) {
    if (gridValues.size() != static_cast<std::size_t>(GridNodes) || pulses <= 0) {
        return std::nullopt;
    }
    const double top = *std::max_element(gridValues.begin(), gridValues.end());
    if (!(top > 0) || !std::isfinite(top)) {
        return std::nullopt;
    }
    PulseTemplate shape;
    shape.grid_.resize(gridValues.size());
    for (std::size_t i = 0; i < gridValues.size(); ++i) {
        if (!std::isfinite(gridValues[i])) {
            return std::nullopt;
        }
        shape.grid_[i] = gridValues[i] / top;
    }
    shape.learnedFrom_ = pulses;
    const double peak = shape.findPeak();
    if (peak > 0) {
        for (double& v : shape.grid_) {
            v /= peak;
        }
    }
    return shape;
}

double PulseTemplate::at(double s) const {
    if (grid_.empty()) {
        if (s <= 0 || s >= TailSamples) {
            return 0.0;
        }
        const double x = s / BuiltInShapingSamples;
        return x * std::exp(1.0 - x);
    }
    // Catmull-Rom between the grid nodes: smooth, and through every node.
    const double u = (s + LeadSamples) * GridPerSample;
    if (u <= 0 || u >= GridNodes - 1) {
        return 0.0;
    }
    const int i = static_cast<int>(u);
    const double f = u - i;
    auto node = [&](int n) { return (n < 0 || n >= GridNodes) ? 0.0 : grid_[n]; };
    const double p0 = node(i - 1), p1 = node(i), p2 = node(i + 1), p3 = node(i + 2);
    return p1 + 0.5 * f *
                    (p2 - p0 +
                     f * (2.0 * p0 - 5.0 * p1 + 4.0 * p2 - p3 + f * (3.0 * (p1 - p2) + p3 - p0)));
}

double PulseTemplate::findPeak() {
    // A parabola fitted by least squares to the nodes within a sample of the highest: the
    // highest node alone would pick the noise's largest excursion on a flat top.
    const int top = static_cast<int>(std::max_element(grid_.begin(), grid_.end()) - grid_.begin());
    const int reach = GridPerSample;
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0, t0 = 0, t1 = 0, t2 = 0;
    for (int i = std::max(0, top - reach); i <= std::min(GridNodes - 1, top + reach); ++i) {
        const double x = static_cast<double>(i - top) / GridPerSample, y = grid_[i];
        s0 += 1;
        s1 += x;
        s2 += x * x;
        s3 += x * x * x;
        s4 += x * x * x * x;
        t0 += y;
        t1 += x * y;
        t2 += x * x * y;
    }
    // Normal equations of y = a + b x + c x^2, by Cramer's rule.
    const double det =
        s0 * (s2 * s4 - s3 * s3) - s1 * (s1 * s4 - s3 * s2) + s2 * (s1 * s3 - s2 * s2);
    const double node = static_cast<double>(top) / GridPerSample - LeadSamples;
    peak_ = node;
    if (std::abs(det) < 1e-12) {
        return grid_[top];
    }
    const double a =
        (t0 * (s2 * s4 - s3 * s3) - s1 * (t1 * s4 - s3 * t2) + s2 * (t1 * s3 - s2 * t2)) / det;
    const double b =
        (s0 * (t1 * s4 - t2 * s3) - t0 * (s1 * s4 - s3 * s2) + s2 * (s1 * t2 - t1 * s2)) / det;
    const double c =
        (s0 * (s2 * t2 - s3 * t1) - s1 * (s1 * t2 - s3 * t0) + t0 * (s1 * s3 - s2 * s2)) / det;
    if (!(c < 0)) {
        return grid_[top];
    }
    const double x = std::clamp(-b / (2 * c), -1.0, 1.0);
    peak_ = node + x;
    return a + b * x + c * x * x;
}

std::string PulseTemplate::toText() const {
    if (grid_.empty()) {
        return "builtin";
    }
    // Whole numbers in units of TextScale of the peak: short enough for one settings line.
    std::string text = std::to_string(learnedFrom_);
    for (double v : grid_) {
        text += ' ';
        text += std::to_string(std::lround(v * TextScale));
    }
    return text;
}

std::optional<PulseTemplate> PulseTemplate::fromText(std::string_view text) {
    std::vector<double> values;
    long pulses = -1;
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        while (p < end && (*p == ' ' || *p == '\t')) {
            ++p;
        }
        if (p == end) {
            break;
        }
        long number = 0;
        const auto [next, ec] = std::from_chars(p, end, number);
        if (ec != std::errc() || (next < end && *next != ' ' && *next != '\t')) {
            return std::nullopt;
        }
        if (pulses < 0) {
            pulses = number;
        } else {
            values.push_back(static_cast<double>(number) / TextScale);
        }
        p = next;
    }
    if (pulses <= 0 || pulses > 1000000000) {
        return std::nullopt;
    }
    return learned(values, static_cast<int>(pulses));
}

} // namespace tarvio
