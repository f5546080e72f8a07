#include "analysis/Activity.h"

#include <Eigen/Dense>

#include <cmath>

namespace tarvio {

namespace {

double lambda(double halfLifeSeconds) {
    return halfLifeSeconds > 0.0 ? std::log(2.0) / halfLifeSeconds : 0.0;
}

double square(double x) {
    return x * x;
}

} // namespace

double decayFactor(double halfLifeSeconds, const DecayTiming& timing) {
    const double l = lambda(halfLifeSeconds);
    const double x = l * timing.realSeconds;
    // λT / (1 − e^−λT): the mean over the measurement back to its start; 1 for short runs.
    const double during = x > 1e-9 ? x / -std::expm1(-x) : 1.0;
    return during * std::exp(l * timing.startAfterReferenceSeconds);
}

double EfficiencyCurve::at(double energyKeV) const {
    const double x = std::log(energyKeV / referenceKeV);
    double y = 0.0, power = 1.0;
    for (double c : coefficients) {
        y += c * power;
        power *= x;
    }
    return std::exp(y);
}

double EfficiencyCurve::relativeUncertaintyAt(double energyKeV) const {
    const std::size_t n = coefficients.size();
    const double x = std::log(energyKeV / referenceKeV);
    std::vector<double> g(n);
    double power = 1.0;
    for (std::size_t k = 0; k < n; ++k) {
        g[k] = power;
        power *= x;
    }
    double v = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            v += g[i] * covariance[i * n + j] * g[j];
    return std::sqrt(std::max(v, 0.0));
}

std::vector<EfficiencyPoint> efficiencyPoints(const std::vector<EnergyPeak>& peaks,
                                              const NuclideCandidate& match,
                                              const KnownSource& source, double liveSeconds,
                                              const DecayTiming& timing) {
    std::vector<EfficiencyPoint> points;
    if (!source.nuclide || source.activityBq <= 0.0 || liveSeconds <= 0.0)
        return points;
    const double meanActivity =
        source.activityBq / decayFactor(source.nuclide->halfLifeSeconds, timing);
    for (const LineEvidence& e : match.matched) {
        const EnergyPeak& peak = peaks[*e.peak];
        if (peak.area <= 0.0 || e.emission <= 0.0)
            continue;
        const double efficiency = peak.area / (liveSeconds * meanActivity * e.emission);
        const double relative = std::sqrt(square(peak.areaUncertainty / peak.area) +
                                          square(e.emissionUncertainty / e.emission) +
                                          square(source.activityUncertaintyBq / source.activityBq));
        points.push_back({e.energyKeV, efficiency, efficiency * relative, e.name});
    }
    return points;
}

std::optional<EfficiencyCurve> fitEfficiency(const std::vector<EfficiencyPoint>& points) {
    const auto n = static_cast<Eigen::Index>(points.size());
    if (n < 1)
        return std::nullopt;
    const Eigen::Index terms = n >= 4 ? 3 : (n >= 2 ? 2 : 1);
    EfficiencyCurve curve;
    curve.lowKeV = points.front().energyKeV;
    curve.highKeV = points.front().energyKeV;
    Eigen::MatrixXd a(n, terms);
    Eigen::VectorXd y(n);
    for (Eigen::Index i = 0; i < n; ++i) {
        const EfficiencyPoint& p = points[static_cast<std::size_t>(i)];
        if (!(p.efficiency > 0.0) || !(p.uncertainty > 0.0))
            return std::nullopt;
        const double weight = p.efficiency / p.uncertainty; // 1 / sd of ln ε
        const double x = std::log(p.energyKeV / curve.referenceKeV);
        double power = 1.0;
        for (Eigen::Index k = 0; k < terms; ++k) {
            a(i, k) = power * weight;
            power *= x;
        }
        y[i] = std::log(p.efficiency) * weight;
        curve.lowKeV = std::min(curve.lowKeV, p.energyKeV);
        curve.highKeV = std::max(curve.highKeV, p.energyKeV);
    }
    const Eigen::MatrixXd normal = a.transpose() * a;
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(normal);
    if (qr.rank() < terms)
        return std::nullopt;
    const Eigen::VectorXd c = qr.solve(a.transpose() * y);
    const double chiSquare = (a * c - y).squaredNorm();
    const Eigen::Index dof = n - terms;
    const double widen = dof > 0 ? std::max(1.0, chiSquare / static_cast<double>(dof)) : 1.0;
    const Eigen::MatrixXd covariance = qr.inverse() * widen;
    for (Eigen::Index k = 0; k < terms; ++k)
        curve.coefficients.push_back(c[k]);
    for (Eigen::Index i = 0; i < terms; ++i)
        for (Eigen::Index j = 0; j < terms; ++j)
            curve.covariance.push_back(covariance(i, j));
    return curve;
}

std::optional<NuclideActivity> nuclideActivity(const std::vector<EnergyPeak>& peaks,
                                               const NuclideCandidate& match,
                                               const EfficiencyCurve& curve, double liveSeconds,
                                               const DecayTiming& timing) {
    if (!match.nuclide || liveSeconds <= 0.0)
        return std::nullopt;
    const double factor = decayFactor(match.nuclide->halfLifeSeconds, timing);
    NuclideActivity result;
    result.nuclide = match.nuclide->name;
    double sumW = 0.0, sumWa = 0.0, sumWcurve = 0.0;
    for (const LineEvidence& e : match.matched) {
        const EnergyPeak& peak = peaks[*e.peak];
        const double efficiency = curve.at(e.energyKeV);
        if (peak.area <= 0.0 || e.emission <= 0.0 || !(efficiency > 0.0))
            continue;
        const double activity = peak.area / (liveSeconds * e.emission * efficiency) * factor;
        const double statistical = std::sqrt(square(peak.areaUncertainty / peak.area) +
                                             square(e.emissionUncertainty / e.emission));
        const double curveShare = curve.relativeUncertaintyAt(e.energyKeV);
        const double total = activity * std::sqrt(square(statistical) + square(curveShare));
        result.lines.push_back({e.energyKeV, e.name, activity, total});
        const double w = 1.0 / square(activity * statistical);
        sumW += w;
        sumWa += w * activity;
        sumWcurve += w * curveShare;
    }
    if (sumW <= 0.0)
        return std::nullopt;
    result.activityBq = sumWa / sumW;
    const double curveShare = sumWcurve / sumW;
    result.uncertaintyBq = std::sqrt(1.0 / sumW + square(result.activityBq * curveShare));
    return result;
}

} // namespace tarvio
