#include "analysis/RegionFigures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvio {

namespace {

// The straight background line of a region, in positions counted from its first channel.
struct BackgroundLine {
    std::uint32_t edge = 1; // channels averaged at each end
    double xLeft = 0.0;     // centre of the left edge window
    double xRight = 0.0;    // centre of the right edge window
    double left = 0.0;      // mean counts of the left edge window
    double right = 0.0;     // mean counts of the right edge window

    // Share of the right edge's mean in the line at position x (0 at the left window's
    // centre, 1 at the right one's). A one-channel region has both windows on the same
    // channel: each counts half.
    double rightShare(double x) const {
        return xRight > xLeft ? (x - xLeft) / (xRight - xLeft) : 0.5;
    }
    double at(double x) const {
        const double t = rightShare(x);
        return left * (1.0 - t) + right * t;
    }
};

BackgroundLine backgroundLine(const Spectrum& spectrum, Region region) {
    BackgroundLine line;
    const std::uint32_t n = region.width();
    line.edge = std::clamp<std::uint32_t>(n / 2, 1, 3);
    const std::uint32_t k = line.edge;
    line.xLeft = (k - 1) / 2.0;
    line.xRight = (n - 1) - (k - 1) / 2.0;
    double sumLeft = 0.0;
    double sumRight = 0.0;
    for (std::uint32_t i = 0; i < k; ++i) {
        sumLeft += spectrum.counts[region.first + i];
        sumRight += spectrum.counts[region.last - i];
    }
    line.left = sumLeft / k;
    line.right = sumRight / k;
    return line;
}

Region heldWithin(Region region) {
    return Region::between(region.first, region.last);
}

bool isFinite(std::optional<double> v) {
    return v && std::isfinite(*v);
}

// Where the net counts fall to `level` walking outward from the peak channel, interpolated
// between the last channel above the level and the first at or below it; nullopt when the
// region ends first.
std::optional<double> crossing(const std::vector<double>& net, std::size_t peak, double level,
                               int direction) {
    std::size_t inside = peak;
    while (true) {
        if (direction < 0 ? inside == 0 : inside + 1 == net.size())
            return std::nullopt;
        const std::size_t next = direction < 0 ? inside - 1 : inside + 1;
        if (net[next] <= level) {
            const double share = (net[inside] - level) / (net[inside] - net[next]);
            return static_cast<double>(inside) + direction * share;
        }
        inside = next;
    }
}

// The net peak's maximum: the vertex of the parabola through the highest channel and its two
// neighbours where they bend downward, else the highest channel itself. A peak a few
// channels wide rarely has its top in the middle of a channel; the highest channel alone
// would put half maximum too low and the width too wide.
double peakMaximum(const std::vector<double>& net, std::size_t peak) {
    if (peak == 0 || peak + 1 == net.size())
        return net[peak];
    const double a = net[peak - 1], b = net[peak], c = net[peak + 1];
    const double bend = a - 2.0 * b + c;
    if (!(bend < 0.0))
        return b;
    return b - (c - a) * (c - a) / (8.0 * bend);
}

void appendRemark(std::string& remark, const char* text) {
    if (!remark.empty())
        remark += ' ';
    remark += text;
}

} // namespace

double regionGrossCounts(const Spectrum& spectrum, Region region) {
    region = heldWithin(region);
    double gross = 0.0;
    for (std::uint32_t c = region.first; c <= region.last; ++c)
        gross += spectrum.counts[c];
    return gross;
}

double regionNetCounts(const Spectrum& spectrum, Region region) {
    region = heldWithin(region);
    const BackgroundLine line = backgroundLine(spectrum, region);
    // The edge windows lie symmetrically about the region's middle, so the line's mean over
    // the region is the mean of its two ends.
    return regionGrossCounts(spectrum, region) - region.width() * (line.left + line.right) / 2.0;
}

RegionFigures regionFigures(const Spectrum& spectrum, Region region,
                            std::optional<double> liveSeconds) {
    region = heldWithin(region);
    RegionFigures f;
    f.region = region;
    const std::uint32_t n = region.width();
    const BackgroundLine line = backgroundLine(spectrum, region);
    const double k = line.edge;
    f.backgroundAtFirst = line.at(0.0);
    f.backgroundAtLast = line.at(n - 1.0);

    // Net and the first moment are sums of counts with fixed weights: a channel's own count,
    // less its share through the edge means of the line under every channel. With Poisson
    // counts the variance of such a sum is the sum of weight squared times count, which
    // keeps the correlation between the edges and the gross exact.
    double leftShareSum = 0.0, rightShareSum = 0.0;   // sum over channels of (1 - t), t
    double leftMomentSum = 0.0, rightMomentSum = 0.0; // the same times the position
    std::vector<double> net(n);
    double sumNet = 0.0, sumMoment = 0.0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double t = line.rightShare(i);
        leftShareSum += 1.0 - t;
        rightShareSum += t;
        leftMomentSum += i * (1.0 - t);
        rightMomentSum += i * t;
        const double y = spectrum.counts[region.first + i];
        f.gross += y;
        net[i] = y - line.at(i);
        sumNet += net[i];
        sumMoment += i * net[i];
    }
    f.background = line.left * leftShareSum + line.right * rightShareSum;
    f.net = f.gross - f.background;

    const auto weightOfNet = [&](std::uint32_t i) {
        double w = 1.0;
        if (i < line.edge)
            w -= leftShareSum / k;
        if (i + line.edge >= n)
            w -= rightShareSum / k;
        return w;
    };
    const auto weightOfMoment = [&](std::uint32_t i) {
        double w = i;
        if (i < line.edge)
            w -= leftMomentSum / k;
        if (i + line.edge >= n)
            w -= rightMomentSum / k;
        return w;
    };

    double netVariance = 0.0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double w = weightOfNet(i);
        netVariance += w * w * spectrum.counts[region.first + i];
    }
    f.netUncertainty = std::sqrt(netVariance);

    if (liveSeconds && std::isfinite(*liveSeconds) && *liveSeconds > 0.0) {
        f.netRate = f.net / *liveSeconds;
        f.netRateUncertainty = f.netUncertainty / *liveSeconds;
    }

    // The centroid of a sum that is not a positive peak would land anywhere, even outside
    // the region: it is left out rather than shown as if it meant something. Net counts of
    // rounding size (a background that is exactly straight) are no peak either.
    const bool peaked = sumNet > 1e-9 * std::max(f.gross, 1.0);
    const double position = peaked ? sumMoment / sumNet : -1.0;
    if (peaked && position >= 0.0 && position <= n - 1.0) {
        f.centroid = region.first + position;
        double variance = 0.0;
        for (std::uint32_t i = 0; i < n; ++i) {
            const double g = (weightOfMoment(i) - position * weightOfNet(i)) / sumNet;
            variance += g * g * spectrum.counts[region.first + i];
        }
        f.centroidUncertainty = std::sqrt(variance);
    } else {
        appendRemark(f.remark, "No net peak above the background.");
    }

    const auto peak =
        static_cast<std::size_t>(std::max_element(net.begin(), net.end()) - net.begin());
    if (f.centroid && net[peak] > 0.0) {
        const double half = peakMaximum(net, peak) / 2.0;
        const auto left = crossing(net, peak, half, -1);
        const auto right = crossing(net, peak, half, +1);
        // A net peak wider than half the region is the top of a peak that fills it, its
        // flanks taken for background: its width would mean nothing.
        if (left && right && *right - *left <= n / 2.0) {
            f.halfMaximumLeft = region.first + *left;
            f.halfMaximumRight = region.first + *right;
            f.fwhm = *right - *left;
            f.resolutionPercent = resolutionPercent(f.fwhm, f.centroid);
        } else {
            appendRemark(f.remark, "The peak fills the region: widen it so that background "
                                   "shows on both sides.");
        }
    }
    return f;
}

std::optional<double> resolutionPercent(std::optional<double> fwhm,
                                        std::optional<double> position) {
    if (!isFinite(fwhm) || !isFinite(position) || *position <= 0.0)
        return std::nullopt;
    const double r = *fwhm / *position * 100.0;
    return std::isfinite(r) ? std::optional<double>(r) : std::nullopt;
}

RegionEnergyFigures regionEnergyFigures(const RegionFigures& figures,
                                        const EnergyCalibration& calibration) {
    RegionEnergyFigures e;
    const auto finite = [](double v) {
        return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    };
    if (figures.centroid)
        e.centroidKeV = finite(calibration.energy(*figures.centroid));
    if (figures.halfMaximumLeft && figures.halfMaximumRight)
        e.fwhmKeV = finite(calibration.energy(*figures.halfMaximumRight) -
                           calibration.energy(*figures.halfMaximumLeft));
    e.resolutionPercent = resolutionPercent(e.fwhmKeV, e.centroidKeV);
    return e;
}

} // namespace tarvio
