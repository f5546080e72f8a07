#include "analysis/CalibrationFit.h"

#include "records/Spectrum.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

CalibrationFitResult refuse(std::string why) {
    return CalibrationFitResult{std::nullopt, std::move(why)};
}

// Groups of channels at least MinChannelSeparation from the next group.
int distinctChannels(const std::vector<CalibrationPoint>& pairs) {
    std::vector<double> channels;
    for (const auto& p : pairs)
        channels.push_back(p.channel);
    std::sort(channels.begin(), channels.end());
    int groups = 1;
    for (std::size_t i = 1; i < channels.size(); ++i)
        if (channels[i] - channels[i - 1] >= MinChannelSeparation)
            ++groups;
    return groups;
}

std::string pairName(std::size_t index) {
    return "Pair " + std::to_string(index + 1);
}

} // namespace

CalibrationFitResult fitCalibration(const std::vector<CalibrationPoint>& pairs,
                                    CalibrationModel model) {
    const int terms = model == CalibrationModel::Line ? 2 : 3;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const auto& p = pairs[i];
        if (!std::isfinite(p.channel) || !std::isfinite(p.energy))
            return refuse(pairName(i) + " is not a number.");
        if (p.channel < 0.0 || p.channel > SpectrumChannels)
            return refuse(pairName(i) + ": the channel must lie between 0 and 4096.");
    }
    if (pairs.size() < 2)
        return refuse("A calibration needs at least two pairs.");
    const int distinct = distinctChannels(pairs);
    if (distinct < 2)
        return refuse("All pairs lie in one channel: a calibration needs pairs at least one "
                      "channel apart.");
    if (distinct < terms)
        return refuse("A quadratic needs pairs in at least three channels, each at least one "
                      "channel apart; use a line.");
    const bool sameEnergy = std::all_of(pairs.begin(), pairs.end(), [&](const CalibrationPoint& p) {
        return p.energy == pairs.front().energy;
    });
    if (sameEnergy)
        return refuse("All pairs have the same energy: the axis would not rise.");

    // Least squares in a centred and scaled channel keeps the quadratic well conditioned.
    double mean = 0.0;
    for (const auto& p : pairs)
        mean += p.channel;
    mean /= static_cast<double>(pairs.size());
    double scale = 0.0;
    for (const auto& p : pairs)
        scale = std::max(scale, std::fabs(p.channel - mean));
    const auto n = static_cast<Eigen::Index>(pairs.size());
    Eigen::MatrixXd design(n, terms);
    Eigen::VectorXd energies(n);
    for (Eigen::Index i = 0; i < n; ++i) {
        const double x = (pairs[static_cast<std::size_t>(i)].channel - mean) / scale;
        design(i, 0) = 1.0;
        design(i, 1) = x;
        if (terms == 3)
            design(i, 2) = x * x;
        energies[i] = pairs[static_cast<std::size_t>(i)].energy;
    }
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(design);
    if (qr.rank() < terms)
        return refuse("The pairs do not determine the calibration.");
    const Eigen::VectorXd a = qr.solve(energies);
    const double a2 = terms == 3 ? a[2] : 0.0;
    // Back from the scaled channel x = (c - mean) / scale.
    const double c0 = a[0] - a[1] * mean / scale + a2 * mean * mean / (scale * scale);
    const double c1 = a[1] / scale - 2.0 * a2 * mean / (scale * scale);
    const double c2 = a2 / (scale * scale);
    const auto calibration = EnergyCalibration::fromCoefficients(c0, c1, c2);
    if (!calibration)
        return refuse("The pairs do not determine the calibration.");

    // The axis must rise over every channel; the slope of a quadratic changes linearly, so
    // both ends of the spectrum tell.
    const double top = SpectrumChannels - 1;
    const double slopeLow = c1;
    const double slopeHigh = c1 + 2.0 * c2 * top;
    if (model == CalibrationModel::Line && !(c1 > 0.0))
        return refuse("The energies fall as the channels rise: check the pairs.");
    if (!(slopeLow > 0.0) || !(slopeHigh > 0.0)) {
        if (!(slopeLow > 0.0) && !(slopeHigh > 0.0))
            return refuse("The energies fall as the channels rise: check the pairs.");
        const double turn = -c1 / (2.0 * c2);
        return refuse("The quadratic turns back at channel " +
                      std::to_string(static_cast<long>(std::lround(turn))) +
                      ", inside the spectrum: use a line or add pairs.");
    }

    CalibrationFit fit;
    fit.calibration = *calibration;
    fit.model = model;
    double sumSquares = 0.0;
    for (const auto& p : pairs) {
        const double r = p.energy - calibration->energy(p.channel);
        fit.residuals.push_back(r);
        sumSquares += r * r;
    }
    const auto dof = static_cast<int>(pairs.size()) - terms;
    if (dof > 0)
        fit.residualSpread = std::sqrt(sumSquares / dof);
    return CalibrationFitResult{fit, {}};
}

} // namespace tarvio
