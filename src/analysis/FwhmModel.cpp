#include "analysis/FwhmModel.h"

namespace tarvio {

FwhmModel fitFwhmModel(const std::vector<FwhmSample>& samples, FwhmModel fallback) {
    // Var(FWHM²) = (2 FWHM sd)².
    double sw = 0, swx = 0, swy = 0, swxx = 0, swxy = 0;
    for (const FwhmSample& s : samples) {
        const double sd = std::max(2.0 * s.fwhm * s.uncertainty, 1e-6);
        const double w = 1.0 / (sd * sd);
        const double y = s.fwhm * s.fwhm;
        sw += w;
        swx += w * s.channel;
        swy += w * y;
        swxx += w * s.channel * s.channel;
        swxy += w * s.channel * y;
    }
    if (sw <= 0.0)
        return fallback;
    const double mean = swy / sw;
    const double det = sw * swxx - swx * swx;
    double lowest = samples.front().channel, highest = lowest;
    for (const FwhmSample& s : samples) {
        lowest = std::min(lowest, s.channel);
        highest = std::max(highest, s.channel);
    }
    // Widths from a narrow stretch of channels cannot show the slope either.
    if (samples.size() < 2 || highest - lowest < 0.5 * highest || det <= 1e-12 * sw * swxx) {
        // One width cannot show how it grows; a detector's FWHM² is typically about half
        // noise and half charge statistics at a strong peak, growing with the channel.
        const double at = std::max(swx / sw, 1.0);
        return FwhmModel{0.5 * mean, 0.5 * mean / at};
    }
    const double b = (sw * swxy - swx * swy) / det;
    const double a = (swy - b * swx) / sw;
    if (b < 0.0)
        return FwhmModel{mean, 0.0};
    return FwhmModel{a, b};
}

} // namespace tarvio
