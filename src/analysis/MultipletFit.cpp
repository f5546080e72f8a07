#include "analysis/MultipletFit.h"

#include "analysis/GaussianShare.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// Parameters: background level and slope, the common width factor, then area and centroid
// of each peak.
enum : int { Level, Slope, Scale, FirstPeak };
constexpr int PerPeak = 2;

using gaussian::density;
using gaussian::share;

class Model : public Eigen::DenseFunctor<double> {
public:
    Model(std::vector<double> channels, std::vector<double> counts, std::vector<double> sigmas,
          double middle)
        : Eigen::DenseFunctor<double>(FirstPeak + PerPeak * static_cast<int>(sigmas.size()),
                                      static_cast<int>(channels.size())),
          channels_(std::move(channels)), counts_(std::move(counts)), sigmas_(std::move(sigmas)),
          middle_(middle), sd_(counts_.size(), 1.0) {}

    // Model counts in point i; with `row`, also their derivatives by the parameters.
    double value(const InputType& p, std::size_t i, double* row) const {
        const double c = channels_[i];
        double v = p[Level] + p[Slope] * (c - middle_);
        if (row) {
            std::fill(row, row + inputs(), 0.0);
            row[Level] = 1.0;
            row[Slope] = c - middle_;
        }
        for (std::size_t k = 0; k < sigmas_.size(); ++k) {
            const int a = FirstPeak + PerPeak * static_cast<int>(k);
            const double s = p[Scale] * sigmas_[k];
            const double lo = (c - 0.5 - p[a + 1]) / s;
            const double hi = (c + 0.5 - p[a + 1]) / s;
            if (lo > 8.0 || hi < -8.0)
                continue; // no share worth a rounding error
            const double g = share(lo, hi);
            v += p[a] * g;
            if (row) {
                const double dLo = density(lo);
                const double dHi = density(hi);
                row[a] = g;
                row[a + 1] = p[a] * (dLo - dHi) / s;
                row[Scale] += p[a] * (lo * dLo - hi * dHi) / s * sigmas_[k];
            }
        }
        return v;
    }

    int operator()(const InputType& p, ValueType& r) const {
        for (std::size_t i = 0; i < counts_.size(); ++i)
            r[static_cast<Eigen::Index>(i)] = (value(p, i, nullptr) - counts_[i]) / sd_[i];
        return 0;
    }
    int df(const InputType& p, JacobianType& j) const {
        std::vector<double> row(static_cast<std::size_t>(inputs()));
        for (std::size_t i = 0; i < counts_.size(); ++i) {
            value(p, i, row.data());
            for (int k = 0; k < inputs(); ++k)
                j(static_cast<Eigen::Index>(i), k) = row[static_cast<std::size_t>(k)] / sd_[i];
        }
        return 0;
    }

    void weightByCounts() {
        for (std::size_t i = 0; i < counts_.size(); ++i)
            sd_[i] = std::sqrt(std::max(counts_[i], 1.0));
    }
    void weightByModel(const InputType& p) {
        for (std::size_t i = 0; i < counts_.size(); ++i)
            sd_[i] = std::sqrt(std::max(value(p, i, nullptr), 1.0));
    }

    std::size_t size() const { return counts_.size(); }
    double middle() const { return middle_; }
    const std::vector<double>& sigmas() const { return sigmas_; }

private:
    std::vector<double> channels_;
    std::vector<double> counts_;
    std::vector<double> sigmas_;
    double middle_;
    std::vector<double> sd_;
};

bool converged(Eigen::LevenbergMarquardtSpace::Status status) {
    using namespace Eigen::LevenbergMarquardtSpace;
    return status == RelativeReductionTooSmall || status == RelativeErrorTooSmall ||
           status == RelativeErrorAndReductionTooSmall || status == CosinusTooSmall ||
           status == XtolTooSmall || status == FtolTooSmall || status == GtolTooSmall;
}

bool minimise(Model& model, Eigen::VectorXd& p) {
    Eigen::LevenbergMarquardt<Model> lm(model);
    lm.setMaxfev(200);
    const auto status = lm.minimize(p);
    p[Scale] = std::abs(p[Scale]); // the model is even in the width
    return converged(status) && p.allFinite() && p[Scale] > 1e-3;
}

} // namespace

double MultipletFit::countsAt(double channel) const {
    double v = backgroundAt(channel);
    for (const MultipletPeak& peak : peaks) {
        const double lo = (channel - 0.5 - peak.centroid.value) / peak.sigma;
        const double hi = (channel + 0.5 - peak.centroid.value) / peak.sigma;
        v += peak.area.value * share(lo, hi);
    }
    return v;
}

std::optional<MultipletFit> fitMultiplet(std::span<const double> counts, Region region,
                                         const std::vector<MultipletStart>& starts) {
    if (starts.empty() || starts.size() > MaxMultipletPeaks || region.last >= counts.size())
        return std::nullopt;
    const std::uint32_t n = region.width();
    const int parameters = FirstPeak + PerPeak * static_cast<int>(starts.size());
    if (static_cast<int>(n) < parameters + 2)
        return std::nullopt;

    std::vector<double> channels(n), values(n), sigmas;
    for (std::uint32_t i = 0; i < n; ++i) {
        channels[i] = region.first + i;
        values[i] = counts[region.first + i];
    }
    for (const MultipletStart& s : starts)
        sigmas.push_back(std::max(s.sigma, 0.3));
    const double middle = 0.5 * (region.first + region.last);

    // The background starts as the line through the means of three channels at each edge.
    auto edgeMean = [&](std::uint32_t from) {
        double sum = 0;
        for (std::uint32_t k = 0; k < 3; ++k)
            sum += values[std::min(from + k, n - 1)];
        return sum / 3.0;
    };
    const double left = edgeMean(0);
    const double right = edgeMean(n - 3);
    Eigen::VectorXd p(parameters);
    p[Slope] = (right - left) / std::max(n - 3.0, 1.0);
    p[Level] = 0.5 * (left + right);
    p[Scale] = 1.0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        p[FirstPeak + PerPeak * static_cast<int>(k)] = std::max(starts[k].area, 1.0);
        p[FirstPeak + PerPeak * static_cast<int>(k) + 1] = starts[k].centroid;
    }

    Model model(std::move(channels), std::move(values), std::move(sigmas), middle);
    model.weightByCounts();
    if (!minimise(model, p))
        return std::nullopt;
    model.weightByModel(p);
    if (!minimise(model, p))
        return std::nullopt;

    Eigen::MatrixXd jacobian(static_cast<Eigen::Index>(model.size()), parameters);
    Eigen::VectorXd residuals(static_cast<Eigen::Index>(model.size()));
    model.df(p, jacobian);
    model(p, residuals);
    const double chiSquare = residuals.squaredNorm();
    const int dof = static_cast<int>(n) - parameters;
    const Eigen::MatrixXd normal = jacobian.transpose() * jacobian;
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(normal);
    if (qr.rank() < parameters)
        return std::nullopt;
    const Eigen::MatrixXd covariance = qr.inverse() * std::max(1.0, chiSquare / dof);
    if (!covariance.allFinite() || (covariance.diagonal().array() < 0.0).any())
        return std::nullopt;
    const auto sd = [&](int k) { return std::sqrt(covariance(k, k)); };

    MultipletFit fit;
    fit.region = region;
    fit.level = p[Level];
    fit.slope = p[Slope];
    fit.middle = middle;
    fit.chiSquare = chiSquare;
    fit.degreesOfFreedom = dof;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const int a = FirstPeak + PerPeak * static_cast<int>(k);
        const double sigma0 = model.sigmas()[k];
        MultipletPeak peak;
        peak.sigma = p[Scale] * sigma0;
        peak.area = {p[a], sd(a)};
        peak.centroid = {p[a + 1], sd(a + 1)};
        peak.fwhm = {peak.sigma * FwhmPerSigma, sd(Scale) * sigma0 * FwhmPerSigma};
        fit.peaks.push_back(peak);
    }
    std::sort(fit.peaks.begin(), fit.peaks.end(),
              [](const auto& x, const auto& y) { return x.centroid.value < y.centroid.value; });
    return fit;
}

} // namespace tarvio
