#include "platform/sim/sim_paths.h"

#include <algorithm>
#include <cmath>

#include "mls/complex_fft.h"

namespace vantrel {

namespace {

constexpr std::size_t kResync = 1024; // bins between exact phases
constexpr double kTableStep = 1.0 / 256; // linear interpolation error <= step^2 / 8 x max|f''| < 1e-6

// Behind the baffle the model's loss is the real factor 1 / (1 + x), x = c^2 f / baffleHz: zero
// phase, which would spread a reflection leaving backwards ahead of its own arrival, into a
// gate no real room's reflection enters. A path takes the same magnitude with its minimum
// phase instead, R(x) = e^{j theta(x)} / (1 + x), causal as a real baffle's loss. theta scales
// with x alone, so one table serves every direction: the folded cepstrum of ln|R| on
// x = k / kRearPerUnit, 2^20 points (x up to 512, beyond any bin at 192 kHz).
constexpr int kRearOrder = 20;
constexpr double kRearPerUnit = 1024;

const std::vector<std::complex<float>>& rearTable()
{
    static const std::vector<std::complex<float>> table = [] {
        const std::size_t n = std::size_t{1} << kRearOrder;
        std::vector<float> data(2 * n, 0.0f);
        for (std::size_t k = 0; k < n; ++k)
            data[2 * k] = static_cast<float>(-std::log1p(static_cast<double>(std::min(k, n - k)) / kRearPerUnit));
        const ComplexFft fft(kRearOrder, kRearOrder);
        fft.fftInverse(data, static_cast<int>(n)); // the real cepstrum
        for (std::size_t k = 1; k < n; ++k) {
            const float fold = k < n / 2 ? 2.0f : k == n / 2 ? 1.0f : 0.0f;
            data[2 * k] *= fold;
            data[2 * k + 1] = 0.0f;
        }
        data[1] = 0.0f;
        fft.fftForward(data, static_cast<int>(n)); // ln|R| + j theta
        std::vector<std::complex<float>> out(n / 2 + 1);
        for (std::size_t k = 0; k < out.size(); ++k) {
            const double x = static_cast<double>(k) / kRearPerUnit;
            out[k] = std::complex<float>(std::polar(1.0 / (1.0 + x), static_cast<double>(data[2 * k + 1])));
        }
        return out;
    }();
    return table;
}

std::complex<double> rearLoss(const std::vector<std::complex<float>>& table, double x)
{
    const double at = std::min(x * kRearPerUnit, static_cast<double>(table.size() - 2));
    const auto i = static_cast<std::size_t>(at);
    const double frac = at - static_cast<double>(i);
    return std::complex<double>(table[i]) + frac * (std::complex<double>(table[i + 1]) - std::complex<double>(table[i]));
}

} // namespace

PathSpectrum::PathSpectrum(const VirtualLoudspeaker& loudspeaker, std::span<const SimPath> paths, double binHz,
                           std::size_t bins)
    : loudspeaker_(loudspeaker), paths_(paths.begin(), paths.end()), binHz_(binHz),
      dk_(loudspeaker.wavenumber(binHz)), tableStep_(kTableStep)
{
    if (paths_.empty())
        return;
    (void)rearTable();
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

// Per path: gain / r x R(f) x (woofer(f) D_w e^{j k (h_w u_y - r)} + tweeter(f) D_t e^{j k (h_t u_y - r)}),
// the model's combine() times its distance factor (its rear loss with the minimum phase, above),
// with the phase of the distance folded into the drivers' rotations.
void PathSpectrum::sum(std::size_t begin, std::size_t end, std::span<const VirtualLoudspeaker::Filters> filters,
                       std::span<std::complex<double>> out) const
{
    std::fill(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(end - begin), std::complex<double>{});
    const LoudspeakerDesign& d = loudspeaker_.design();
    const std::vector<std::complex<float>>& rearFactors = rearTable();
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
            const std::complex<double> rear = back > 0 ? rearLoss(rearFactors, back * back * hz / d.baffleHz) : 1.0;
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
