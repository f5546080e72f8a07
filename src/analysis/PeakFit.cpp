#include "analysis/PeakFit.h"

#include "analysis/GaussianShare.h"
#include "analysis/RegionFigures.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvio {

namespace {

enum Parameter { Area, Mean, Sigma, Level, Slope, ParameterCount };

using gaussian::density;
using gaussian::share;

// Counts of the model in one channel and their derivatives by the five parameters.
struct ModelPoint {
    double value;
    Eigen::Matrix<double, ParameterCount, 1> gradient;
};

class PeakModel {
public:
    PeakModel(std::vector<double> channels, std::vector<double> counts, double middle)
        : channels_(std::move(channels)), counts_(std::move(counts)), middle_(middle),
          sd_(counts_.size(), 1.0) {}

    ModelPoint at(const Eigen::VectorXd& p, std::size_t i) const {
        const double c = channels_[i];
        const double s = p[Sigma];
        const double lo = (c - 0.5 - p[Mean]) / s;
        const double hi = (c + 0.5 - p[Mean]) / s;
        const double g = share(lo, hi);
        const double dLo = density(lo);
        const double dHi = density(hi);
        ModelPoint m;
        m.value = p[Area] * g + p[Level] + p[Slope] * (c - middle_);
        m.gradient[Area] = g;
        m.gradient[Mean] = p[Area] * (dLo - dHi) / s;
        m.gradient[Sigma] = p[Area] * (lo * dLo - hi * dHi) / s;
        m.gradient[Level] = 1.0;
        m.gradient[Slope] = c - middle_;
        return m;
    }

    // Standard deviation of each channel's count in the residuals: sqrt of the count (or of
    // a model's value), at least 1 so that empty channels still count.
    void weightByCounts() {
        for (std::size_t i = 0; i < counts_.size(); ++i)
            sd_[i] = std::sqrt(std::max(counts_[i], 1.0));
    }
    void weightByModel(const Eigen::VectorXd& p) {
        for (std::size_t i = 0; i < counts_.size(); ++i)
            sd_[i] = std::sqrt(std::max(at(p, i).value, 1.0));
    }

    std::size_t size() const { return counts_.size(); }
    double residual(const Eigen::VectorXd& p, std::size_t i) const {
        return (at(p, i).value - counts_[i]) / sd_[i];
    }
    Eigen::Matrix<double, 1, ParameterCount> jacobianRow(const Eigen::VectorXd& p,
                                                         std::size_t i) const {
        return at(p, i).gradient.transpose() / sd_[i];
    }

private:
    std::vector<double> channels_;
    std::vector<double> counts_;
    double middle_;
    std::vector<double> sd_;
};

// The functor shape Eigen's minimiser asks for.
struct Residuals : Eigen::DenseFunctor<double> {
    explicit Residuals(const PeakModel& model)
        : Eigen::DenseFunctor<double>(ParameterCount, static_cast<int>(model.size())),
          model_(model) {}

    int operator()(const InputType& p, ValueType& r) const {
        for (std::size_t i = 0; i < model_.size(); ++i)
            r[static_cast<Eigen::Index>(i)] = model_.residual(p, i);
        return 0;
    }
    int df(const InputType& p, JacobianType& j) const {
        for (std::size_t i = 0; i < model_.size(); ++i)
            j.row(static_cast<Eigen::Index>(i)) = model_.jacobianRow(p, i);
        return 0;
    }

    const PeakModel& model_;
};

bool converged(Eigen::LevenbergMarquardtSpace::Status status) {
    using namespace Eigen::LevenbergMarquardtSpace;
    return status == RelativeReductionTooSmall || status == RelativeErrorTooSmall ||
           status == RelativeErrorAndReductionTooSmall || status == CosinusTooSmall ||
           status == XtolTooSmall || status == FtolTooSmall || status == GtolTooSmall;
}

bool minimise(const PeakModel& model, Eigen::VectorXd& p) {
    Residuals residuals(model);
    Eigen::LevenbergMarquardt<Residuals> lm(residuals);
    lm.setMaxfev(2000);
    const auto status = lm.minimize(p);
    // The model is the same under (area, sigma) and (-area, -sigma).
    if (p[Sigma] < 0.0) {
        p[Sigma] = -p[Sigma];
        p[Area] = -p[Area];
    }
    return converged(status) && p.allFinite();
}

PeakFitResult refuse(std::string why) {
    return PeakFitResult{std::nullopt, std::move(why)};
}

} // namespace

PeakFitResult fitGaussianPeak(const Spectrum& spectrum, Region region) {
    region = Region::between(region.first, region.last);
    const std::uint32_t n = region.width();
    if (n < MinFitChannels)
        return refuse("A fit needs a region of at least " + std::to_string(MinFitChannels) +
                      " channels.");

    const RegionFigures start = regionFigures(spectrum, region);
    if (!start.centroid || start.net <= 0.0)
        return refuse("No peak to fit: the region holds no net counts above the background.");

    std::vector<double> channels(n), counts(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        channels[i] = region.first + i;
        counts[i] = spectrum.counts[region.first + i];
    }
    const double middle = (region.first + region.last) / 2.0;
    PeakModel model(std::move(channels), std::move(counts), middle);

    // Start from what the counts say directly.
    Eigen::VectorXd p(ParameterCount);
    p[Area] = start.net;
    p[Mean] = *start.centroid;
    p[Sigma] = start.fwhm ? std::max(*start.fwhm / FwhmPerSigma, 0.3) : n / 6.0;
    p[Slope] = (start.backgroundAtLast - start.backgroundAtFirst) / std::max(n - 1.0, 1.0);
    p[Level] = start.backgroundAtFirst + p[Slope] * (middle - region.first);

    model.weightByCounts();
    if (!minimise(model, p))
        return refuse("The fit did not converge.");
    model.weightByModel(p);
    if (!minimise(model, p))
        return refuse("The fit did not converge.");

    if (!(p[Area] > 0.0))
        return refuse("The fit found no peak above the background.");
    if (p[Mean] < region.first || p[Mean] > region.last)
        return refuse("The fitted centroid lies outside the region.");
    if (p[Sigma] * FwhmPerSigma > n)
        return refuse("The fitted peak is wider than the region.");

    // Covariance: the inverse of J^T J of the weighted residuals at the minimum.
    Eigen::MatrixXd jacobian(model.size(), static_cast<Eigen::Index>(ParameterCount));
    double chiSquare = 0.0;
    for (std::size_t i = 0; i < model.size(); ++i) {
        jacobian.row(static_cast<Eigen::Index>(i)) = model.jacobianRow(p, i);
        const double r = model.residual(p, i);
        chiSquare += r * r;
    }
    const Eigen::MatrixXd normal = jacobian.transpose() * jacobian;
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(normal);
    if (qr.rank() < ParameterCount)
        return refuse("The fit cannot tell the peak from the background in this region.");
    const int dof = static_cast<int>(n) - ParameterCount;
    const double widen = std::max(1.0, chiSquare / dof);
    const Eigen::MatrixXd covariance = qr.inverse() * widen;
    if (!covariance.allFinite() || (covariance.diagonal().array() < 0.0).any())
        return refuse("The fit cannot tell the peak from the background in this region.");

    const auto sd = [&](Parameter k) { return std::sqrt(covariance(k, k)); };
    PeakFit fit;
    fit.region = region;
    fit.centroid = {p[Mean], sd(Mean)};
    fit.sigma = {p[Sigma], sd(Sigma)};
    fit.fwhm = {p[Sigma] * FwhmPerSigma, sd(Sigma) * FwhmPerSigma};
    fit.area = {p[Area], sd(Area)};
    fit.backgroundSlope = p[Slope];
    fit.backgroundAtCentroid = p[Level] + p[Slope] * (p[Mean] - middle);
    fit.chiSquare = chiSquare;
    fit.degreesOfFreedom = dof;
    return PeakFitResult{fit, {}};
}

double fittedCounts(const PeakFit& fit, double channel) {
    const double s = fit.sigma.value;
    const double mean = fit.centroid.value;
    const double background = fit.backgroundAtCentroid + fit.backgroundSlope * (channel - mean);
    if (!(s > 0.0))
        return background;
    return fit.area.value * share((channel - 0.5 - mean) / s, (channel + 0.5 - mean) / s) +
           background;
}

} // namespace tarvio
