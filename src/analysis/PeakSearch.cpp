#include "analysis/PeakSearch.h"

#include "analysis/Snip.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tarvio {

namespace {

constexpr double KernelHalfWidth = 1.5;    // FWHM each side
constexpr double JoinDistance = 2.5;       // FWHM between candidates fitted together
constexpr double FitHalfWidth = 2.0;       // FWHM of background each side of a fit
constexpr double NeighbourClear = 1.2;     // FWHM kept clear of a peak outside the fit
constexpr double WidthFactor = 1.6;        // an unresolved doublet may be this much wider
constexpr double RoughWidthFactor = 3.0;   // while the expected width is a first guess
constexpr double ClearPeak = 10.0;         // significance of a peak whose width is trusted
constexpr std::size_t MaxCandidates = 100; // far more peaks than this detector resolves
constexpr int MaxFits = 250;               // per search: a bound on noise and hostile files
constexpr std::size_t MinChannels = 16;    // fewer hold no peak with background around it
constexpr double UnknownWidth = 6.0;       // least FWHM assumed while no peak shows the width

struct Candidate {
    double channel;
    double z;
    double area;
    double fwhm;
};

// A zero-area Gaussian filter of one width, rebuilt only when the width changes by a percent.
class Filter {
public:
    void prepare(double fwhm) {
        if (std::abs(fwhm - fwhm_) < 0.01 * fwhm_)
            return;
        fwhm_ = fwhm;
        const double sigma = fwhm / FwhmPerSigma;
        half_ = std::max(2, static_cast<int>(std::lround(KernelHalfWidth * fwhm)));
        taps_.assign(static_cast<std::size_t>(2 * half_ + 1), 0.0);
        std::vector<double> shape(taps_.size());
        for (int j = -half_; j <= half_; ++j)
            shape[static_cast<std::size_t>(j + half_)] = std::exp(-0.5 * j * j / (sigma * sigma));
        const double mean =
            std::accumulate(shape.begin(), shape.end(), 0.0) / static_cast<double>(shape.size());
        // The response to a peak of unit area, for a first guess of a candidate's area.
        unitResponse_ = 0.0;
        for (std::size_t k = 0; k < shape.size(); ++k) {
            taps_[k] = shape[k] - mean;
            unitResponse_ += taps_[k] * shape[k] / (sigma * 2.5066282746310002);
        }
    }
    int half() const { return half_; }
    const std::vector<double>& taps() const { return taps_; }
    double unitResponse() const { return unitResponse_; }

private:
    double fwhm_ = -1.0;
    int half_ = 0;
    std::vector<double> taps_;
    double unitResponse_ = 1.0;
};

// The filter's response at channel i over its standard deviation, the variance of each
// channel given; nullopt where the filter does not fit inside the channels.
struct Response {
    double z;
    double area;
};
std::optional<Response> filterAt(std::span<const double> values, std::span<const double> variance,
                                 int i, const Filter& filter) {
    const int m = filter.half();
    if (i < m || i + m >= static_cast<int>(values.size()))
        return std::nullopt;
    double s = 0.0, v = 0.0;
    const auto& taps = filter.taps();
    for (int j = -m; j <= m; ++j) {
        const double k = taps[static_cast<std::size_t>(j + m)];
        s += k * values[static_cast<std::size_t>(i + j)];
        v += k * k * std::max(variance[static_cast<std::size_t>(i + j)], 1.0);
    }
    return Response{s / std::sqrt(v), s / filter.unitResponse()};
}

std::vector<Candidate> findCandidates(std::span<const double> counts,
                                      const std::vector<double>& background, const FwhmModel& model,
                                      double threshold) {
    const auto n = static_cast<int>(counts.size());
    std::vector<double> z(counts.size(), 0.0), response(counts.size(), 0.0);
    Filter filter;
    for (int i = 0; i < n; ++i) {
        filter.prepare(model.at(i));
        if (const auto r = filterAt(counts, background, i, filter)) {
            z[static_cast<std::size_t>(i)] = r->z;
            response[static_cast<std::size_t>(i)] = r->area;
        }
    }
    std::vector<Candidate> found;
    for (int i = 1; i + 1 < n; ++i) {
        const auto u = static_cast<std::size_t>(i);
        if (z[u] < threshold || z[u] < z[u - 1] || z[u] <= z[u + 1])
            continue;
        // The summit between channels: a parabola through the three responses.
        const double l = z[u - 1], c = z[u], r = z[u + 1];
        const double curvature = l - 2.0 * c + r;
        const double shift =
            curvature < 0.0 ? std::clamp(0.5 * (l - r) / curvature, -0.5, 0.5) : 0.0;
        const double channel = i + shift;
        const double fwhm = model.at(channel);
        if (!found.empty() && channel - found.back().channel < 0.5 * fwhm) {
            if (c > found.back().z)
                found.back() = {channel, c, response[u], fwhm};
            continue;
        }
        found.push_back({channel, c, response[u], fwhm});
    }
    return found;
}

// The width of the tallest peak above a broad continuum, read at half its height: the first
// guess of the width everywhere.
double tallestPeakWidth(std::span<const double> counts) {
    const std::vector<int> halves(counts.size(), 40);
    const auto background = snipBackground(counts, halves);
    std::vector<double> net(counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i)
        net[i] = counts[i] - background[i];
    // Three channels summed, so that a single noisy channel is not taken for the summit.
    std::size_t top = 1;
    double best = -1.0;
    for (std::size_t i = 1; i + 1 < net.size(); ++i) {
        const double sum = net[i - 1] + net[i] + net[i + 1];
        if (sum > best) {
            best = sum;
            top = i;
        }
    }
    const double half = 0.5 * std::max({net[top - 1], net[top], net[top + 1]});
    if (!(half > 0.0))
        return 5.0;
    auto crossing = [&](int direction) {
        for (int k = 1; k < 200; ++k) {
            const auto i = static_cast<std::ptrdiff_t>(top) + direction * k;
            if (i < 0 || i >= static_cast<std::ptrdiff_t>(net.size()))
                return static_cast<double>(k);
            const double here = net[static_cast<std::size_t>(i)];
            if (here < half) {
                const double before = net[static_cast<std::size_t>(i - direction)];
                return k - 1 + (before - half) / std::max(before - here, 1e-9);
            }
        }
        return 200.0;
    };
    return std::clamp(crossing(-1) + crossing(+1), FwhmModel::MinFwhm, 200.0);
}

struct Judged {
    std::optional<MultipletFit> fit;
    std::vector<bool> kept;
};

// How far a fitted width may stray from the expected: a factor `factor` where widths were
// measured (channels `lowest`..`highest`), more beyond, where the expected width is an
// extrapolation (at most as far as the square root of the channel ratio, as a width
// growing with the square root of the energy would).
struct WidthTolerance {
    double factor = 2.0; // the width may be this much wider, or narrower by its square
    double lowest = 0.0;
    double highest = 1e9;

    bool allows(double ratio, double channel) const {
        double low = 1.0 / std::sqrt(factor), high = factor;
        if (channel > highest && highest > 0.0)
            high *= std::sqrt(channel / highest);
        if (channel < lowest && channel > 0.0)
            low *= std::sqrt(channel / lowest);
        return ratio >= low && ratio <= high;
    }
};

bool acceptable(const MultipletPeak& peak, const MultipletFit& fit, const FwhmModel& model,
                double threshold, const WidthTolerance& widthTolerance) {
    if (!(peak.area.value > 0.0) || !(peak.area.uncertainty > 0.0))
        return false;
    if (peak.area.value < threshold * peak.area.uncertainty)
        return false;
    const double c = peak.centroid.value;
    if (c < fit.region.first || c > fit.region.last)
        return false;
    const double ratio = peak.fwhm.value / model.at(c);
    return widthTolerance.allows(ratio, c);
}

// The region of a group: FitHalfWidth FWHM of background each side, within the bounds its
// neighbours leave, and never less than a fit needs.
Region groupRegion(const std::vector<Candidate>& group, double minLo, double maxHi,
                   double lastChannel) {
    double lo = std::max(group.front().channel - FitHalfWidth * group.front().fwhm, minLo);
    double hi = std::min(group.back().channel + FitHalfWidth * group.back().fwhm, maxHi);
    lo = std::clamp(std::floor(lo), 0.0, lastChannel);
    hi = std::clamp(std::ceil(hi), 0.0, lastChannel);
    const double least = 2.0 * (3.0 + 2.0 * static_cast<double>(group.size()));
    if (hi - lo + 1 < least) {
        const double mid = 0.5 * (lo + hi);
        lo = std::clamp(std::floor(mid - least / 2), 0.0, lastChannel);
        hi = std::clamp(std::ceil(mid + least / 2), 0.0, lastChannel);
    }
    return Region::between(static_cast<std::uint32_t>(lo), static_cast<std::uint32_t>(hi));
}

// The most significant peak-like excess in the counts less a fit's peaks, clear of the
// fitted peaks by a FWHM; it must stand a standard deviation above the threshold, as it
// was looked for after the fact.
std::optional<Candidate> hiddenPeak(std::span<const double> counts, const MultipletFit& fit,
                                    const std::vector<Candidate>& group, const FwhmModel& model,
                                    double threshold) {
    std::vector<double> rest(counts.begin(), counts.end());
    std::vector<double> variance(counts.size(), 1.0);
    const Region r = fit.region;
    for (std::uint32_t c = r.first; c <= r.last; ++c) {
        const double model_ = fit.countsAt(c);
        rest[c] = counts[c] - (model_ - fit.backgroundAt(c));
        variance[c] = model_;
    }
    std::optional<Candidate> best;
    Filter filter;
    for (std::uint32_t c = r.first; c <= r.last; ++c) {
        const double fwhm = model.at(c);
        const bool clear = std::all_of(group.begin(), group.end(), [&](const Candidate& g) {
            return std::abs(g.channel - c) > fwhm;
        });
        if (!clear)
            continue;
        filter.prepare(fwhm);
        const auto response = filterAt(rest, variance, static_cast<int>(c), filter);
        if (response && response->z >= threshold + 1.0 && (!best || response->z > best->z))
            best = Candidate{static_cast<double>(c), response->z, response->area, fwhm};
    }
    return best;
}

// Fits a group, dropping members that do not stand as peaks until all that remain do. A
// fit that comes out much wider than expected is repeated over a region as wide as it
// found, so that it has its background on both sides.
std::optional<MultipletFit> fitGroup(std::span<const double> counts, std::vector<Candidate> group,
                                     double minLo, double maxHi, const FwhmModel& model,
                                     double threshold, const WidthTolerance& widthTolerance,
                                     int& fitsLeft, bool hiddenTried = false) {
    const double lastChannel = static_cast<double>(counts.size()) - 1.0;
    bool widened = false;
    const auto dropWeakest = [&group] {
        group.erase(std::min_element(group.begin(), group.end(),
                                     [](const auto& a, const auto& b) { return a.z < b.z; }));
    };
    while (!group.empty()) {
        const Region region = groupRegion(group, minLo, maxHi, lastChannel);
        std::vector<MultipletStart> starts;
        for (const Candidate& c : group)
            starts.push_back({c.channel, std::max(c.area, 1.0), c.fwhm / FwhmPerSigma});
        if (fitsLeft <= 0)
            return std::nullopt;
        --fitsLeft;
        const auto fit = fitMultiplet(counts, region, starts);
        if (!fit) {
            dropWeakest();
            continue;
        }
        const double stretch =
            fit->peaks.front().fwhm.value / model.at(fit->peaks.front().centroid.value);
        if (!widened && group.size() == 1 && stretch > 1.3) {
            widened = true;
            for (Candidate& c : group)
                c.fwhm *= stretch;
            continue;
        }
        const bool allStand = std::all_of(fit->peaks.begin(), fit->peaks.end(), [&](const auto& p) {
            return acceptable(p, *fit, model, threshold, widthTolerance);
        });
        if (!allStand) {
            // Fit the others again from their own starts without the least significant
            // candidate: a fit with a spurious member can wander anywhere.
            dropWeakest();
            continue;
        }
        // A weaker peak on the flank of a strong one gives no summit of its own in the
        // filter: look for it in what the fit leaves.
        if (group.size() < MaxMultipletPeaks && !hiddenTried) {
            if (auto hidden = hiddenPeak(counts, *fit, group, model, threshold)) {
                auto more = group;
                more.push_back(*hidden);
                std::sort(more.begin(), more.end(),
                          [](const auto& a, const auto& b) { return a.channel < b.channel; });
                auto better = fitGroup(counts, more, minLo, maxHi, model, threshold, widthTolerance,
                                       fitsLeft, true);
                if (better && better->peaks.size() == more.size())
                    return better;
            }
        }
        return fit;
    }
    return std::nullopt;
}

void fitCandidates(std::span<const double> counts, const std::vector<Candidate>& candidates,
                   const FwhmModel& model, double threshold, const WidthTolerance& widthTolerance,
                   double edge, PeakSearchResult& result) {
    // Groups of candidates close enough to share counts, at most MaxMultipletPeaks each
    // (a longer chain is cut at its widest gaps).
    std::vector<std::vector<Candidate>> groups;
    for (const Candidate& c : candidates) {
        if (!groups.empty()) {
            const Candidate& last = groups.back().back();
            if (c.channel - last.channel < JoinDistance * 0.5 * (c.fwhm + last.fwhm)) {
                groups.back().push_back(c);
                continue;
            }
        }
        groups.push_back({c});
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        while (groups[g].size() > MaxMultipletPeaks) {
            auto& group = groups[g];
            std::size_t cut = 1;
            double widest = -1.0;
            for (std::size_t k = 1; k < group.size(); ++k) {
                const double gap = (group[k].channel - group[k - 1].channel) /
                                   (0.5 * (group[k].fwhm + group[k - 1].fwhm));
                if (gap > widest) {
                    widest = gap;
                    cut = k;
                }
            }
            std::vector<Candidate> rest(group.begin() + static_cast<std::ptrdiff_t>(cut),
                                        group.end());
            group.resize(cut);
            groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(g) + 1, std::move(rest));
        }
    }

    int fitsLeft = MaxFits;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const auto& group = groups[g];
        double minLo = edge;
        double maxHi = static_cast<double>(counts.size()) - 1.0;
        if (g > 0) {
            const Candidate& left = groups[g - 1].back();
            minLo = left.channel + NeighbourClear * left.fwhm;
        }
        if (g + 1 < groups.size()) {
            const Candidate& right = groups[g + 1].front();
            maxHi = right.channel - NeighbourClear * right.fwhm;
        }
        auto fit =
            fitGroup(counts, group, minLo, maxHi, model, threshold, widthTolerance, fitsLeft);
        if (!fit)
            continue;
        const std::size_t index = result.fits.size();
        for (const MultipletPeak& peak : fit->peaks) {
            FoundPeak found;
            found.centroid = peak.centroid;
            found.fwhm = peak.fwhm;
            found.area = peak.area;
            found.significance = peak.area.value / peak.area.uncertainty;
            found.background = fit->backgroundAt(peak.centroid.value);
            found.fit = index;
            result.peaks.push_back(found);
        }
        result.fits.push_back(std::move(*fit));
    }
    std::sort(result.peaks.begin(), result.peaks.end(),
              [](const auto& a, const auto& b) { return a.centroid.value < b.centroid.value; });
}

// The first channel of the measured range: where counts begin, not a lone stray count.
double lowEdge(std::span<const double> counts, const FwhmModel& model) {
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] <= 0.0)
            continue;
        const auto width = static_cast<std::size_t>(std::ceil(model.at(static_cast<double>(i))));
        double sum = 0.0;
        for (std::size_t k = i; k < std::min(counts.size(), i + width); ++k)
            sum += counts[k];
        if (sum >= 3.0)
            return static_cast<double>(i);
    }
    return 0.0;
}

PeakSearchResult search(std::span<const double> counts, const FwhmModel& model, double threshold,
                        const WidthTolerance& widthTolerance) {
    PeakSearchResult result;
    result.fwhm = model;
    std::vector<int> halves(counts.size());
    for (std::size_t i = 0; i < counts.size(); ++i)
        halves[i] = std::max(1, static_cast<int>(std::ceil(model.at(static_cast<double>(i)))));
    result.background = snipBackground(counts, halves);
    auto candidates = findCandidates(counts, result.background, model, threshold);
    // The discriminator cuts the spectrum off below its threshold; the step looks like a
    // peak's flank to the filter, so the search starts a FWHM above it.
    const double edge = lowEdge(counts, model);
    std::erase_if(candidates,
                  [&](const Candidate& c) { return c.channel < edge + model.at(edge); });
    fitCandidates(counts, candidates, model, threshold, widthTolerance, edge, result);
    return result;
}

// The widths of the clear peaks a search found, to follow with the next.
std::vector<FwhmSample> widthSamples(const PeakSearchResult& result) {
    std::vector<FwhmSample> samples;
    for (const FoundPeak& peak : result.peaks)
        if (peak.significance >= ClearPeak && peak.fwhm.uncertainty < 0.2 * peak.fwhm.value)
            samples.push_back({peak.centroid.value, peak.fwhm.value, peak.fwhm.uncertainty});
    return samples;
}

WidthTolerance toleranceAround(const std::vector<FwhmSample>& samples) {
    WidthTolerance tolerance{WidthFactor, 0.0, 1e9};
    if (samples.empty())
        return tolerance;
    tolerance.lowest = samples.front().channel;
    tolerance.highest = samples.front().channel;
    for (const FwhmSample& s : samples) {
        tolerance.lowest = std::min(tolerance.lowest, s.channel);
        tolerance.highest = std::max(tolerance.highest, s.channel);
    }
    return tolerance;
}

} // namespace

PeakSearchResult searchPeaks(std::span<const double> counts, const PeakSearchOptions& options) {
    const double threshold = std::max(options.threshold, 0.5);
    if (counts.size() < MinChannels)
        return PeakSearchResult{{},
                                {},
                                std::vector<double>(counts.begin(), counts.end()),
                                options.fwhm.value_or(FwhmModel{}),
                                false};
    if (options.fwhm) {
        PeakSearchResult given =
            search(counts, *options.fwhm, threshold, WidthTolerance{WidthFactor, 0.0, 1e9});
        given.threshold = threshold;
        return given;
    }

    // A first search at the width of the tallest peak; the clear peaks it fits give the
    // width's course over the channels for the next, and those of the next, when they reach
    // further, for a last.
    const double width = tallestPeakWidth(counts);
    FwhmModel model{width * width, 0.0};
    PeakSearchResult result =
        search(counts, model, std::max(threshold, 5.0), WidthTolerance{RoughWidthFactor, 0.0, 1e9});
    std::size_t sampled = 0;
    for (int pass = 0; pass < 2; ++pass) {
        const auto samples = widthSamples(result);
        if (samples.empty()) {
            // No clear peak to learn the width from: the tallest bump may be noise a few
            // channels wide, and a filter that narrow finds many more bumps of chance.
            model = FwhmModel{std::max(model.a, UnknownWidth * UnknownWidth), 0.0};
        }
        if (pass > 0 && samples.size() <= sampled)
            break;
        sampled = samples.size();
        model = fitFwhmModel(samples, model);
        result = search(counts, model, threshold, toleranceAround(samples));
    }
    result.fwhmFromSpectrum = true;
    result.threshold = threshold;
    return result;
}

PeakSearchResult searchPeaks(const Spectrum& spectrum, const PeakSearchOptions& options) {
    const std::uint32_t n = spectrum.validChannels();
    std::vector<double> counts(spectrum.counts.begin(), spectrum.counts.begin() + n);
    return searchPeaks(std::span<const double>(counts), options);
}

PeakEnergy peakEnergy(const FoundPeak& peak, const EnergyCalibration& calibration) {
    const double c = peak.centroid.value;
    const double slope = calibration.coefficients[1] + 2.0 * calibration.coefficients[2] * c;
    return PeakEnergy{{calibration.energy(c), std::abs(slope) * peak.centroid.uncertainty},
                      {std::abs(slope) * peak.fwhm.value, std::abs(slope) * peak.fwhm.uncertainty}};
}

} // namespace tarvio
