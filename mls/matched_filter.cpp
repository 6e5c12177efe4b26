#include "mls/matched_filter.h"

#include <algorithm>
#include <cmath>

#include "mls/numeric_text.h"

namespace vantrel {

namespace {

constexpr double kTwoPi = 6.284;
constexpr double kPi = 3.142;
constexpr double kDbPerNeper = 8.686;
constexpr double kTwoDbPerNeper = 17.372;
constexpr int kLastGrid = kWorkGridPoints - 1;

long binIndex(double x)
{
    if (!(x > 0))
        return 0;
    return static_cast<long>(std::min(x, 1e9));
}

// Index below the first grid frequency above the threshold: 0 when that is the first point,
// the last point when there is none.
int gridIndexBelow(const WorkGrid& grid, double threshold)
{
    for (int k = 0; k < kWorkGridPoints; ++k)
        if (grid.frequency[static_cast<std::size_t>(k)] > threshold)
            return k == 0 ? 0 : k - 1;
    return kLastGrid;
}

} // namespace

MlsStatus readMatchedFilterModel(const MlsSettings& settings, MatchedFilterModel& model)
{
    const double f = textValue(settings.filterF3dbText);
    const double s = textValue(settings.filterSlopeText);
    const double q = textValue(settings.filterQText);
    if (!(f >= 5 && f <= 1000))
        return {kCutOffRangeText};
    if (!(s >= 1 && s <= 6))
        return {kSlopeRangeText};
    if (!(q >= 0.25 && q <= 2))
        return {kQRangeText};
    model = {f, q, s};
    return {};
}

void matchedFilterDb(const FrequencyAxis& axis, const MatchedFilterModel& model, AxisValues& db)
{
    for (int j = 0; j < kAxisPoints; ++j) {
        const double x = axis[j] / model.cutoffHz;
        const double n = std::pow(x, model.slope / 2);
        const double r = 1 - n * n;
        const double p = n / model.q;
        const double u = r * r + p * p;
        const double re = -n * n * r / u;
        const double im = n * n * p / u;
        db[static_cast<std::size_t>(j)] = static_cast<float>(10 * std::log10(re * re + im * im + 1e-10));
    }
}

void minimumPhaseResponse(const AxisValues& db, const FrequencyAxis& axis, const MatchedFilterModel& model, WorkGrid& grid,
                          AxisComplex& out)
{
    const double from = axis.from(), to = axis.to();
    if (!(from > 0 && to > from)) {
        for (std::size_t j = 0; j < out.size(); ++j)
            out[j] = {static_cast<float>(std::pow(10.0, db[j] / 20.0)), 0.0f};
        return;
    }
    auto& g = grid.frequency;
    auto& m = grid.magnitude;
    const double perDecade = kAxisPoints / std::log10(to / from);
    for (int k = 0; k < kWorkGridPoints; ++k)
        g[static_cast<std::size_t>(k)] = from * std::pow(10.0, (k + 1) / perDecade);

    int octaves = 0;
    double v = from;
    while (2 * v <= to) {
        v *= 2;
        ++octaves;
    }
    const double perOctave = kAxisPoints / (octaves + (to - v) / v);

    for (int j = 0; j < kAxisPoints; ++j)
        m[static_cast<std::size_t>(kWorkGridAxisStart + j)] = db[static_cast<std::size_t>(j)];

    // Below the data the magnitude falls by 6 S dB per octave. The extension starts no higher
    // than just below the data, so every grid point under the axis is set on every call.
    const double lowThreshold = std::min(std::max(model.cutoffHz / 2, 1.02 * from), 0.98 * to);
    const int b = std::clamp(gridIndexBelow(grid, lowThreshold), kWorkGridAxisStart - 1, kLastGrid - 1);
    const double fall = 6 * model.slope / perOctave; // dB per grid point
    for (int k = b; k >= 0; --k)
        m[static_cast<std::size_t>(k)] = m[static_cast<std::size_t>(k + 1)] - fall;

    const double highThreshold = std::min(std::max(to, 1.02 * from), 0.98 * to);
    for (int k = std::max(gridIndexBelow(grid, highThreshold), 1); k < kWorkGridPoints; ++k)
        m[static_cast<std::size_t>(k)] = m[static_cast<std::size_t>(k - 1)];

    std::array<double, kWorkGridPoints> w{}, lnW{}, a{};
    for (std::size_t k = 0; k < w.size(); ++k) {
        w[k] = kTwoPi * g[k];
        lnW[k] = std::log(w[k]);
        a[k] = m[k] / kDbPerNeper;
    }
    const double alpha = (a[0] * lnW[44] - a[44] * lnW[0]) / (lnW[44] - lnW[0]);
    const double lambda = alpha + model.slope * (lnW[0] - 1);
    const double alphaHigh = (a[865] * lnW[909] - a[909] * lnW[865]) / (lnW[909] - lnW[865]);

    for (int k = kWorkGridAxisStart; k < kWorkGridAxisStart + kAxisPoints; ++k) {
        const auto uk = static_cast<std::size_t>(k);
        const double wk2 = w[uk] * w[uk];
        const double mk = m[uk];
        const double low = -(2 * w[0] / (kPi * w[uk])) * (lambda - a[uk]);
        const double high = (2 * w[uk] / (kPi * w[kLastGrid])) * (alphaHigh - a[uk]);
        auto q = [&](double wi, double mi) { return (mi - mk) / (wi * wi - wk2); };
        double sum = 0;
        for (int i = 0; i < kLastGrid; ++i) {
            const auto ui = static_cast<std::size_t>(i);
            double wl = w[ui], ml = m[ui], wr = w[ui + 1], mr = m[ui + 1];
            if (i == k) {
                wl = w[ui] + 0.12 * (g[ui + 1] - g[ui]);
                ml = m[ui] + 0.02 * (m[ui + 1] - m[ui]);
            } else if (i == k - 1) {
                wr = w[ui + 1] + 0.12 * (g[ui + 1] - g[ui]);
                mr = m[ui + 1] + 0.02 * (m[ui + 1] - m[ui]);
            }
            sum += (q(wl, ml) + q(wr, mr)) * (wr - wl) / kTwoDbPerNeper;
        }
        const double phase = low + 4 * g[uk] * sum + high; // radians
        const double magnitude = std::pow(10.0, mk / 20);
        out[static_cast<std::size_t>(k - kWorkGridAxisStart)] = {static_cast<float>(magnitude * std::cos(phase)),
                                                                 static_cast<float>(magnitude * std::sin(phase))};
    }
}

void interpolateOntoBins(const AxisComplex& values, const FrequencyAxis& axis, double binHz, int n, std::span<float> re,
                         std::span<float> im)
{
    n = static_cast<int>(std::min({static_cast<std::size_t>(std::max(n, 0)), re.size(), im.size()}));
    std::fill_n(re.begin(), n, 0.0f);
    std::fill_n(im.begin(), n, 0.0f);
    for (int j = 0; j + 1 < kAxisPoints; ++j) {
        const long lo = binIndex(axis[j] / binHz);
        const long hi = std::min(binIndex(axis[j + 1] / binHz), static_cast<long>(n));
        if (lo >= hi)
            continue;
        const std::complex<float> v0 = values[static_cast<std::size_t>(j)];
        const std::complex<float> step = (values[static_cast<std::size_t>(j) + 1] - v0) / static_cast<float>(hi - lo);
        for (long k = lo; k < hi; ++k) {
            const std::complex<float> v = v0 + static_cast<float>(k - lo) * step;
            re[static_cast<std::size_t>(k)] = v.real();
            im[static_cast<std::size_t>(k)] = v.imag();
        }
    }
    const double firstBin = axis[0] / binHz;
    const long first = binIndex(firstBin);
    if (first + 1 >= n || first == 0)
        return;
    const auto uf = static_cast<std::size_t>(first);
    const double slopeRe = (re[uf + 1] - re[uf]) / firstBin;
    const double slopeIm = (im[uf + 1] - im[uf]) / firstBin;
    for (long k = first - 1; k >= 0; --k) {
        re[static_cast<std::size_t>(k)] = static_cast<float>(re[uf] - (first - k) * slopeRe);
        im[static_cast<std::size_t>(k)] = static_cast<float>(im[uf] - (first - k) * slopeIm);
    }
}

MlsStatus matchedFilterSpectrum(const MlsSettings& settings, const FrequencyAxis& axis, double binHz, int n,
                                const MatchedFilterBuffers& buffers, MatchedFilterWork& work, const ComplexFft& fft)
{
    MatchedFilterModel model;
    if (const MlsStatus status = readMatchedFilterModel(settings, model); !status.ok())
        return status;
    const auto un = static_cast<std::size_t>(n);
    float* w = buffers.w.data();
    std::fill_n(w, 2 * un, 0.0f);
    const long position = settings.fftWindowPosition;
    for (std::size_t j = 0; j < un; ++j) {
        const long at = static_cast<long>(j) + position;
        w[2 * j] = at >= 0 && at < static_cast<long>(buffers.inImpulseCopy.size()) ? buffers.inImpulseCopy[static_cast<std::size_t>(at)] : 0.0f;
    }
    (void)fft.fftForward(buffers.w, n);

    matchedFilterDb(axis, model, work.modelDb);
    minimumPhaseResponse(work.modelDb, axis, model, work.grid, work.model);
    interpolateOntoBins(work.model, axis, binHz, n, buffers.spectrumRe, buffers.spectrumIm);
    const float* gr = buffers.spectrumRe.data();
    const float* gi = buffers.spectrumIm.data();

    // W / G, with bins where G vanishes going to 0.
    for (std::size_t j = 0; j < un; ++j) {
        const float d = gr[j] * gr[j] + gi[j] * gi[j] + 1e-9f;
        const std::complex<float> inverse(gr[j] / d, -gi[j] / d);
        const std::complex<float> x = std::complex<float>(w[2 * j], w[2 * j + 1]) * inverse;
        w[2 * j] = x.real();
        w[2 * j + 1] = x.imag();
    }
    std::fill(w + un, w + 2 * un, 0.0f);
    (void)fft.fftInverse(buffers.w, n);

    // Twice the real part restores the amplitude lost with the negative frequencies; d removes
    // the offset the division leaves near 0 Hz.
    float* v = buffers.v.data();
    std::fill_n(v, 2 * un, 0.0f);
    const float d = (w[0] + w[2]) / 2;
    for (std::size_t j = 0; j < un; ++j)
        v[2 * j] = (w[2 * j] - d) * 2 * buffers.refWindow[j];
    (void)fft.fftForward(buffers.v, n);

    // The model is the same as above: G is still in the spectrum arrays.
    for (std::size_t j = 0; j < un; ++j) {
        const std::complex<float> x = std::complex<float>(gr[j], gi[j]) * std::complex<float>(v[2 * j], v[2 * j + 1]);
        buffers.spectrumRe[j] = x.real();
        buffers.spectrumIm[j] = x.imag();
    }
    return {};
}

} // namespace vantrel
