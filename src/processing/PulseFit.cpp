#include "processing/PulseFit.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

constexpr int Lead = PulseTemplate::LeadSamples;
constexpr int Iterations = 4;
// Onset shifts larger than this per step are not trusted to the linearisation.
constexpr double MaxStep = 2.0;

// Dot product in eight independent lanes, which the compiler turns into vector instructions.
template <int N> inline float dot(const float* a, const float* b) {
    static_assert(N % 8 == 0);
    float lane[8] = {};
    for (int j = 0; j < N; j += 8) {
        for (int l = 0; l < 8; ++l) {
            lane[l] += a[j + l] * b[j + l];
        }
    }
    return ((lane[0] + lane[1]) + (lane[2] + lane[3])) +
           ((lane[4] + lane[5]) + (lane[6] + lane[7]));
}

} // namespace

PulseFit::PulseFit(const PulseTemplate& shape) : shape_(shape), tables_(Phases) {
    const double h = 1e-3;
    for (int p = 0; p < Phases; ++p) {
        PhaseTable& table = tables_[p];
        double tt = 0, td = 0, dd = 0;
        for (int j = 0; j < Window; ++j) {
            // Window sample j lies at j - Lead - p/Phases samples after the onset.
            const double s = j - Lead - static_cast<double>(p) / Phases;
            const double value = shape_.at(s);
            // A later onset moves the pulse right: the slope against the onset is -dT/ds.
            const double slope = -(shape_.at(s + h) - shape_.at(s - h)) / (2 * h);
            table.value[j] = static_cast<float>(value);
            table.slope[j] = static_cast<float>(slope);
            tt += value * value;
            td += value * slope;
            dd += slope * slope;
        }
        const double det = tt * dd - td * td;
        for (int j = 0; j < Window; ++j) {
            const double v = table.value[j], d = table.slope[j];
            table.amplitudeRow[j] = static_cast<float>((dd * v - td * d) / det);
            table.shiftRow[j] = static_cast<float>((tt * d - td * v) / det);
        }
    }
}

PulseFitResult PulseFit::fit(const std::uint16_t* samples, std::uint32_t count) const {
    PulseFitResult r;
    count = std::min<std::uint32_t>(count, MaxSamples);
    if (!samples || count == 0) {
        return r;
    }
    std::uint16_t largest = 0;
    std::uint32_t largestAt = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        if (samples[k] > largest) {
            largest = samples[k];
            largestAt = k;
        }
    }
    r.largest = largest;
    r.largestAt = largestAt;
    r.saturated = largest >= 4095;

    // The coarse onset from the largest sample; the baseline from the samples before the
    // window it gives.
    double onset = largestAt - shape_.peakPosition();
    const int firstStart = static_cast<int>(std::floor(onset)) - Lead;
    const int baselineCount = std::min(MaxBaselineSamples, firstStart);
    if (baselineCount < MinBaselineSamples) {
        return r;
    }
    double sum = 0, squares = 0;
    for (int k = 0; k < baselineCount; ++k) {
        sum += samples[k];
        squares += static_cast<double>(samples[k]) * samples[k];
    }
    const double baseline = sum / baselineCount;
    r.baseline = baseline;
    r.baselineSamples = baselineCount;
    r.baselineVariance = std::max(0.0, (squares - sum * baseline) / std::max(1, baselineCount - 1));

    alignas(32) float y[Window];
    int start = 0;
    int phase = 0;
    double amplitude = 0, shift = 0;
    int loadedStart = -1;
    for (int i = 0; i < Iterations; ++i) {
        int whole = static_cast<int>(std::floor(onset));
        phase = static_cast<int>(std::lround((onset - whole) * Phases));
        if (phase == Phases) {
            phase = 0;
            ++whole;
        }
        start = whole - Lead;
        if (start < baselineCount - 1 || start + Window > static_cast<int>(count)) {
            return r;
        }
        if (start != loadedStart) {
            for (int j = 0; j < Window; ++j) {
                y[j] = static_cast<float>(samples[start + j] - baseline);
            }
            loadedStart = start;
        }
        const PhaseTable& table = tables_[phase];
        amplitude = dot<Window>(table.amplitudeRow.data(), y);
        shift = dot<Window>(table.shiftRow.data(), y);
        if (!(amplitude > 0)) {
            shift = 0;
            break;
        }
        const double step = std::clamp(shift / amplitude, -MaxStep, MaxStep);
        const double next = whole + static_cast<double>(phase) / Phases + step;
        const bool settled = std::abs(next - onset) < 0.5 / Phases;
        onset = next;
        if (settled) {
            break;
        }
    }
    const PhaseTable& table = tables_[phase];
    r.fitted = true;
    r.amplitude = amplitude;
    r.onset = start + Lead + static_cast<double>(phase) / Phases +
              (amplitude > 0 ? shift / amplitude : 0.0);

    // Residuals: the fitted (linearised) template inside the window, the bare baseline
    // outside. The running sum over ResidualRun samples finds a second photon anywhere.
    const auto a = static_cast<float>(amplitude), c = static_cast<float>(shift);
    const auto b = static_cast<float>(baseline);
    float run = 0, largestRun = -1e30f, smallestRun = 1e30f, windowSquares = 0;
    float recent[ResidualRun] = {};
    const int end = start + Window;
    for (int k = 0; k < static_cast<int>(count); ++k) {
        float residual = static_cast<float>(samples[k]) - b;
        if (k >= start && k < end) {
            const int j = k - start;
            residual -= a * table.value[j] + c * table.slope[j];
            windowSquares += residual * residual;
        }
        run += residual - recent[k % ResidualRun];
        recent[k % ResidualRun] = residual;
        if (k + 1 >= ResidualRun) {
            largestRun = std::max(largestRun, run);
            smallestRun = std::min(smallestRun, run);
        }
    }
    r.residualSquares = windowSquares;
    r.windowSamples = Window;
    r.largestRun = count >= ResidualRun ? largestRun : 0.0;
    r.smallestRun = count >= ResidualRun ? smallestRun : 0.0;
    return r;
}

void PulseFit::curve(const std::uint16_t* samples, std::uint32_t count,
                     std::vector<double>& curve) const {
    curve.clear();
    const PulseFitResult result = fit(samples, count);
    if (!result.fitted) {
        return;
    }
    curve.resize(count);
    for (std::uint32_t k = 0; k < count; ++k) {
        curve[k] = model(result, k);
    }
}

double PulseFit::model(const PulseFitResult& result, double k) const {
    if (!result.fitted) {
        return result.baseline;
    }
    return result.baseline + result.amplitude * shape_.at(k - result.onset);
}

} // namespace tarvio
