#include "platform/sim/sim_paths.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

namespace {

constexpr std::size_t kResync = 1024; // bins between exact phases
constexpr double kTableStep = 1.0 / 256; // linear interpolation error <= step^2 / 8 x max|f''| < 1e-6

} // namespace

PathSpectrum::PathSpectrum(const VirtualLoudspeaker& loudspeaker, std::span<const SimPath> paths, double binHz,
                           std::size_t bins)
    : loudspeaker_(loudspeaker), paths_(paths.begin(), paths.end()), binHz_(binHz),
      dk_(loudspeaker.wavenumber(binHz)), tableStep_(kTableStep)
{
    if (paths_.empty())
        return;
    const LoudspeakerDesign& d = loudspeaker.design();
    const double xMax = dk_ * static_cast<double>(bins) * std::max(d.woofer.radius, d.tweeter.radius) + 2 * tableStep_;
    piston_.resize(static_cast<std::size_t>(xMax / tableStep_) + 2);
    for (std::size_t i = 0; i < piston_.size(); ++i)
        piston_[i] = pistonDirectivity(static_cast<double>(i) * tableStep_);
}

double PathSpectrum::directivity(double x) const
{
    const double at = x / tableStep_;
    const auto i = std::min(static_cast<std::size_t>(at), piston_.size() - 2);
    const double frac = at - static_cast<double>(i);
    return piston_[i] + frac * (piston_[i + 1] - piston_[i]);
}

// Per path: gain / r x rear(f) x (woofer(f) D_w e^{j k (h_w u_y - r)} + tweeter(f) D_t e^{j k (h_t u_y - r)}),
// the model's combine() times its distance factor, with the phase of the distance folded into
// the drivers' rotations.
void PathSpectrum::sum(std::size_t begin, std::size_t end, std::span<const VirtualLoudspeaker::Filters> filters,
                       std::span<std::complex<double>> out) const
{
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(end - begin), std::complex<double>{});
    const LoudspeakerDesign& d = loudspeaker_.design();
    for (const SimPath& p : paths_) {
        const VirtualLoudspeaker::Geometry& g = p.geometry;
        const double wooferDelay = d.woofer.heightY * g.uy - p.distance; // m of path, as a phase k x this
        const double tweeterDelay = d.tweeter.heightY * g.uy - p.distance;
        const std::complex<double> wooferStep = std::polar(1.0, dk_ * wooferDelay);
        const std::complex<double> tweeterStep = std::polar(1.0, dk_ * tweeterDelay);
        const double back = g.cosT < 0 ? -g.cosT : 0.0;
        const double scale = p.gain / p.distance;
        std::complex<double> woofer, tweeter;
        for (std::size_t k = begin; k < end; ++k) {
            if (k == begin || k % kResync == 0) {
                const double kk = dk_ * static_cast<double>(k);
                woofer = std::polar(1.0, kk * wooferDelay);
                tweeter = std::polar(1.0, kk * tweeterDelay);
            }
            const double kk = dk_ * static_cast<double>(k);
            const double hz = binHz_ * static_cast<double>(k);
            const double rear = back > 0 ? 1.0 / (1.0 + back * back * hz / d.baffleHz) : 1.0;
            const VirtualLoudspeaker::Filters& f = filters[k];
            out[k - begin] += scale * rear *
                              (f.woofer * directivity(kk * d.woofer.radius * g.sinT) * woofer +
                               f.tweeter * directivity(kk * d.tweeter.radius * g.sinT) * tweeter);
            woofer *= wooferStep;
            tweeter *= tweeterStep;
        }
    }
}

} // namespace vantrel
