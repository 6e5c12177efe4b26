#include "mls/sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "mls/mls_generator.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kReserve = 1024;      // samples for the capture's lead-in, the loop-back and the flight time
constexpr int kHarmonicLead = 64;   // samples kept ahead of each response's peak
constexpr int kMinWindow = 16;      // shortest window a harmonic may have
constexpr int kMinPairSize = 4096;
constexpr int kOnsetSearch = 4096;      // samples ahead of the IN peak searched for its onset
constexpr float kOnsetFraction = 0.1f;  // of the peak: where the IN response begins
constexpr double kUsableBand = 0.97;  // of f2: the most of the band a harmonic is read in
constexpr double kRegularisation = 1e-4; // of the residue's power, about 1 in the band
constexpr int kMinNoiseWindow = 1024;    // shortest stretch free of harmonics the noise is read from
constexpr double kUnreadable = -1;       // band power of an axis point the harmonic cannot be read at

std::string hzText(double hz) { return cleanFixedText(hz, hz == std::floor(hz) ? 0 : 1) + " Hz"; }

std::int32_t toSample(double value)
{
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (!(value == value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

int wrap(long index, int n) { return static_cast<int>(((index % n) + n) % n); }

// Half-Hann taper of width w at both ends of a window of length len.
double taper(int i, int len, int w)
{
    if (w <= 0)
        return 1;
    if (i < w)
        return 0.5 - 0.5 * std::cos(kPi * (i + 0.5) / w);
    if (i >= len - w)
        return 0.5 - 0.5 * std::cos(kPi * (len - i - 0.5) / w);
    return 1;
}

// Raised-cosine weight of the inverse filter: 1 over f1..f2, falling to 0 at f1/2 and at
// f2 + (f2 - f1)/50, so that nothing outside the sweep's band is amplified.
double bandWeight(double f, double f1, double f2)
{
    if (f <= f1 / 2)
        return 0;
    if (f < f1)
        return 0.5 - 0.5 * std::cos(kPi * (f - f1 / 2) / (f1 / 2));
    if (f <= f2)
        return 1;
    const double edge = (f2 - f1) / 50;
    if (f >= f2 + edge)
        return 0;
    return 0.5 + 0.5 * std::cos(kPi * (f - f2) / edge);
}

// One period of f1, at most a tenth of the sweep.
int fadeInSamples(const SweepPlan& plan, int count) { return std::min(count / 10, static_cast<int>(plan.rate / plan.f1)); }
// Twenty periods of f2, at most a twentieth of the sweep.
int fadeOutSamples(const SweepPlan& plan, int count) { return std::min(count / 20, static_cast<int>(20.0 * plan.rate / plan.f2)); }

// The calibration level at hz: linear in log frequency between the axis points, held beyond them.
double calibrationLevelAt(const CalibrationCurve& calibration, const FrequencyAxis& axis, double hz)
{
    const auto f = axis.values();
    if (!(hz > f.front()))
        return calibration.front().level;
    if (hz >= f.back())
        return calibration.back().level;
    const auto above = static_cast<std::size_t>(std::upper_bound(f.begin(), f.end(), hz, [](double x, float y) { return x < y; }) - f.begin());
    const double t = std::log(hz / f[above - 1]) / std::log(static_cast<double>(f[above]) / f[above - 1]);
    return calibration[above - 1].level + t * (calibration[above].level - calibration[above - 1].level);
}

} // namespace

double harmonicPercent(double db) { return 100.0 * std::pow(10.0, db / 20.0); }

SweepPlanResult planSweep(const MlsSettings& settings, const ExcitationSettings& excitation)
{
    SweepPlanResult r;
    if (settings.mlsLengthIndex < 0 || settings.mlsLengthIndex >= static_cast<int>(kMlsLengthTexts.size())) {
        r.error = "Sweep length index " + std::to_string(settings.mlsLengthIndex) + " is not on the length list";
        return r;
    }
    const int rate = settings.sampleRate();
    const double nyquist = rate / 2.0;
    const double f1 = excitation.f1Hz;
    const double f2 = excitation.f2Hz > 0 ? excitation.f2Hz : nyquist;
    if (!(excitation.f2Hz >= 0)) {
        r.error = "Sweep end f2 = " + hzText(excitation.f2Hz) + " must lie above 0 Hz (0: the Nyquist frequency)";
        return r;
    }
    if (!(f1 > 0) || !std::isfinite(f1)) {
        r.error = "Sweep start f1 = " + hzText(f1) + " must lie above 0 Hz";
        return r;
    }
    if (!(f1 < f2)) {
        r.error = "Sweep start f1 = " + hzText(f1) + " must lie below its end f2 = " + hzText(f2);
        return r;
    }
    if (rate <= 0 || f2 > nyquist) {
        r.error = "Sweep end f2 = " + hzText(f2) + " lies above the Nyquist frequency " + hzText(nyquist);
        return r;
    }
    SweepPlan& p = r.plan;
    p.rate = rate;
    p.order = settings.mlsOrder();
    p.points = 1 << p.order;
    p.f1 = f1;
    p.f2 = f2;
    p.ringOut = p.points / 8;
    const int room = p.points - p.ringOut - kReserve - kPlayLead;
    const double ln = std::log(f2 / f1);
    // f1 L a whole number of cycles: the harmonics then stay in phase with the sweep.
    const double cycles = std::floor(f1 * room / rate / ln);
    if (cycles < 1) {
        r.error = "Sweep " + hzText(f1) + " .. " + hzText(f2) + " does not fit the length " +
                  std::string(kMlsLengthTexts[static_cast<std::size_t>(settings.mlsLengthIndex)]) +
                  ": f1 needs a longer sweep";
        return r;
    }
    p.lSeconds = cycles / f1;
    p.sweepSamples = std::min(room, static_cast<int>(std::floor(p.lSeconds * ln * rate)));
    for (int n = 2; n <= kHarmonicCount + 1; ++n)
        p.delay[static_cast<std::size_t>(n)] = static_cast<int>(std::lround(p.lSeconds * std::log(n) * rate));
    const int last = p.delay[kHarmonicCount + 1];
    const int shortest = last - p.delay[kHarmonicCount];
    if (last + p.ringOut + 2 * kHarmonicLead > p.points || shortest < kMinWindow) {
        r.error = "Sweep " + hzText(f1) + " .. " + hzText(f2) + " does not fit the length " +
                  std::string(kMlsLengthTexts[static_cast<std::size_t>(settings.mlsLengthIndex)]) +
                  ": its harmonics need " + std::to_string(last + p.ringOut + 2 * kHarmonicLead) + " samples of " +
                  std::to_string(p.points);
        return r;
    }
    return r;
}

std::string sweepCaptionText(const SweepPlan& plan)
{
    return "Log Sweep " + hzText(plan.f1) + " .. " + hzText(plan.f2) + ",  Length = " + std::to_string(plan.sweepSamples) +
           "   ";
}

SweepAnalyser::SweepAnalyser()
    : inverse_((std::size_t{1} << (kMaxMlsOrder - 1)) + 1), work_(std::size_t{2} << kMaxMlsOrder),
      pairs_(std::size_t{2} << kMaxMlsOrder)
{
}

void SweepAnalyser::generate(const SweepPlan& plan, const MlsSettings& settings, std::span<std::int32_t> playBuffer,
                             const ComplexFft& fft)
{
    std::fill(playBuffer.begin(), playBuffer.begin() + std::min<std::size_t>(playBuffer.size(), 2 * kPlayFrames), 0);
    const double gain = static_cast<double>(settings.outputVolume) * kLevelStep * 256.0;
    const int count = std::min(plan.sweepSamples, kPlayFrames - kPlayLead);
    const double rate = plan.rate;
    // Fades against the spectral splatter of a hard start and stop.
    const int fadeIn = fadeInSamples(plan, count);
    const int fadeOut = fadeOutSamples(plan, count);
    // Sample j of the faded unit sweep.
    const auto sweep = [&](int j) {
        double v = std::sin(2 * kPi * plan.f1 * plan.lSeconds * std::expm1(j / rate / plan.lSeconds));
        if (j < fadeIn)
            v *= 0.5 - 0.5 * std::cos(kPi * j / fadeIn);
        if (j >= count - fadeOut)
            v *= 0.5 - 0.5 * std::cos(kPi * (count - 1 - j) / fadeOut);
        return v;
    };
    float* x = work_.data();
    const auto n = static_cast<std::size_t>(plan.points);
    std::fill(x, x + 2 * n, 0.0f);
    for (int j = 0; j < count; ++j)
        x[2 * static_cast<std::size_t>(j)] = static_cast<float>(sweep(j));
    (void)fft.fftForward(work_.span(), plan.points);
    buildInverse(plan, work_.span());
    (void)fft.fftInverse(work_.span(), plan.points);
    const double cornerHz = textValue(settings.preEmphasisText);
    std::int32_t* frame = playBuffer.data() + 2 * kPlayLead;
    if (cornerHz > 0) {
        // The MLS's first-order high-pass j x / (1 + j x), x = f / fc, on the real sweep: the
        // plain sweep goes to x's imaginary part first, the shaped one comes back in the real.
        for (std::size_t j = 0; j < n; ++j)
            x[2 * j + 1] = x[2 * j];
        (void)fft.fftForward(work_.span(), plan.points);
        // Both parts of x are the same real signal, so X[k] = (1 + j) S[k]; filter S only.
        for (std::size_t k = 0; k < n; ++k) {
            const double f = static_cast<double>(k <= n / 2 ? k : n - k) * rate / plan.points;
            const double r = f / cornerHz;
            const double d = r * r + 1;
            const double hi = k <= n / 2 ? r / d : -r / d;
            const std::complex<double> h(r * r / d, hi);
            const std::complex<double> s = std::complex<double>(x[2 * k], x[2 * k + 1]) / std::complex<double>(1, 1);
            const std::complex<double> y = s * h;
            x[2 * k] = static_cast<float>(y.real());
            x[2 * k + 1] = static_cast<float>(y.imag());
        }
        (void)fft.fftInverse(work_.span(), plan.points);
        // x now holds the shaped sweep in the real parts; the plain one is rebuilt below.
        for (int j = 0; j < count; ++j) {
            const std::int32_t shaped = toSample(x[2 * static_cast<std::size_t>(j)] * gain);
            frame[2 * j] = settings.twoChannels == 1 ? shaped : toSample(sweep(j) * gain);
            frame[2 * j + 1] = shaped;
        }
        return;
    }
    for (int j = 0; j < count; ++j) {
        const std::int32_t v = toSample(x[2 * static_cast<std::size_t>(j)] * gain);
        frame[2 * j] = v;
        frame[2 * j + 1] = v;
    }
}

// sweep: the transform of the unit sweep as played (2 x points floats).
void SweepAnalyser::buildInverse(const SweepPlan& plan, std::span<const float> sweep)
{
    plan_ = plan;
    const int half = plan.points / 2;
    const double binHz = static_cast<double>(plan.rate) / plan.points;
    const double l = plan.lSeconds;
    for (int k = 0; k <= half; ++k) {
        const double f = k * binHz;
        if (bandWeight(f, plan.f1, plan.f2) == 0) {
            inverse_[static_cast<std::size_t>(k)] = 0;
            continue;
        }
        // X~(f) / rate: the transform of the sampled sweep is rate times its spectrum.
        const double magnitude = 2 * std::sqrt(f / l) / plan.rate;
        const double phase = -2 * kPi * f * l * (1 - std::log(f / plan.f1)) + kPi / 4;
        const std::complex<double> analytic = std::polar(magnitude, phase);
        // The analytic filter inverts the endless sweep; the played one has fades and a
        // Fresnel ripple of a few tenths of a dB, which would stay in the response. Its own
        // residue X X~ is divided out (regularised where the band edges make it small).
        const std::complex<double> residue =
            std::complex<double>(sweep[2 * static_cast<std::size_t>(k)], sweep[2 * static_cast<std::size_t>(k) + 1]) *
            analytic;
        const std::complex<double> correction = std::conj(residue) / (std::norm(residue) + kRegularisation);
        const std::complex<double> w = analytic * correction * bandWeight(f, plan.f1, plan.f2);
        inverse_[static_cast<std::size_t>(k)] = {static_cast<float>(w.real()), static_cast<float>(w.imag())};
    }
    // Below twice f1, and within the sweep's fade-in, the linear response rings ahead of
    // itself (the band edge of the filter) into harmonic 2's window: no harmonic is read there.
    const int count = std::min(plan.sweepSamples, kPlayFrames - kPlayLead);
    const double fadeInHz = plan.f1 * std::exp(fadeInSamples(plan, count) / (plan.rate * plan.lSeconds));
    lowestHz_ = std::max(2 * plan.f1, fadeInHz);
    // The residue's correction lifts the filter where the fade-out lowers the sweep and shapes
    // it by the end's ripple; a harmonic there has neither and would read high. The sweep's
    // spectrum at f gathers about sqrt(L / f) seconds around its passage through f, so the fade
    // reaches one resolution sqrt(f / L) below its start. On short sweeps that lies well below f2.
    const double fadeOutHz = plan.f1 * std::exp((count - fadeOutSamples(plan, count)) / (plan.rate * plan.lSeconds));
    highestHz_ = std::min(kUsableBand * plan.f2, fadeOutHz - std::sqrt(fadeOutHz / plan.lSeconds));
    // The Nyquist bin stays real so both channels stay real.
    inverse_[static_cast<std::size_t>(half)] = std::abs(inverse_[static_cast<std::size_t>(half)]);
    inverseValid_ = true;
}

ImpulseDelays SweepAnalyser::deconvolve(const SweepPlan& plan, const ImpulseBuffers& b, std::string_view frontWindowText,
                                        const ComplexFft& fft)
{
    // The filter belongs to the sweep last generated; another plan has nothing to deconvolve.
    if (!inverseValid_ || plan_.rate != plan.rate || plan_.points != plan.points || plan_.f1 != plan.f1 ||
        plan_.f2 != plan.f2 || plan_.lSeconds != plan.lSeconds)
        return {};
    const int n = plan.points;
    const auto un = static_cast<std::size_t>(n);
    float* z = work_.data();
    // REF in the real, IN in the imaginary part: one transform deconvolves both, since the
    // filter is the spectrum of a real signal.
    for (std::size_t j = 0; j < un; ++j) {
        z[2 * j] = b.refSignal[j];
        z[2 * j + 1] = b.inSignal[j];
    }
    (void)fft.fftForward(work_.span(), n);
    for (std::size_t k = 0; k < un; ++k) {
        const std::complex<float> w = k <= un / 2 ? inverse_[k] : std::conj(inverse_[un - k]);
        const std::complex<float> y = std::complex<float>(z[2 * k], z[2 * k + 1]) * w;
        z[2 * k] = y.real();
        z[2 * k + 1] = y.imag();
    }
    (void)fft.fftInverse(work_.span(), n);

    // The peaks are looked for ahead of the harmonics' part of the transform.
    const int linearEnd = n - plan.delay[kHarmonicCount + 1] - kHarmonicLead;
    const int search = std::min(linearEnd, kDelaySearch);
    ImpulseDelays d;
    float refBest = 0, inBest = 0;
    for (int j = 0; j < search; ++j) {
        const float r = std::abs(z[2 * j]), i = std::abs(z[2 * j + 1]);
        if (r > refBest) {
            refBest = r;
            d.refDelay = j;
        }
        if (i > inBest) {
            inBest = i;
            d.inDelay = j;
        }
    }
    // The harmonics' windows start at the onset of the IN response, not at its peak: off axis
    // the peak can lie well inside the response, and the part before it would be counted as a
    // harmonic.
    inOnset_ = d.inDelay;
    for (int j = std::max(0, d.inDelay - kOnsetSearch); j < d.inDelay; ++j)
        if (std::abs(z[2 * j + 1]) >= kOnsetFraction * inBest) {
            inOnset_ = j;
            break;
        }
    d.alignLead = alignLeadFor(frontWindowText, d.refDelay);
    const std::size_t total = std::min({b.refSignal.size(), b.inSignal.size(), b.inImpulseCopy.size()});
    const auto clearAll = [&](std::size_t from) {
        for (std::span<float> v : {b.refSignal, b.inSignal, b.inImpulseCopy})
            std::fill(v.begin() + static_cast<long>(from), v.begin() + static_cast<long>(total), 0.0f);
    };
    if (d.refDelay == 0 || d.inDelay == 0) {
        clearAll(0);
        return d;
    }
    // Only the linear part is kept: a window reaching into the harmonics would count them as
    // the loudspeaker's own response. REF is silent before 10 samples ahead of its peak, as
    // the MLS has it.
    const long from = d.refDelay - d.alignLead;
    const int keep = std::max(0, std::min<int>(linearEnd, static_cast<int>(total) - kResponseStart));
    for (int i = 0; i < kResponseStart; ++i)
        b.refSignal[static_cast<std::size_t>(i)] = b.inSignal[static_cast<std::size_t>(i)] =
            b.inImpulseCopy[static_cast<std::size_t>(i)] = 0.0f;
    for (int i = 0; i < keep; ++i) {
        const auto at = static_cast<std::size_t>(from + i < n ? from + i : from + i - n);
        const auto out = static_cast<std::size_t>(kResponseStart + i);
        const float in = 2 * z[2 * at + 1];
        b.refSignal[out] = from + i >= d.refDelay - 10 ? 2 * z[2 * at] : 0.0f;
        b.inSignal[out] = in;
        b.inImpulseCopy[out] = in;
    }
    clearAll(static_cast<std::size_t>(kResponseStart + keep));
    return d;
}

int SweepAnalyser::transformPair(int startA, int lengthA, int startB, int lengthB, const ComplexFft& fft)
{
    const int n = plan_.points;
    const int longest = std::max(lengthA, lengthB);
    int m = kMinPairSize;
    while (m < longest && m < n)
        m *= 2;
    float* p = pairs_.data();
    std::fill(p, p + 2 * static_cast<std::size_t>(m), 0.0f);
    const float* z = work_.data();
    const int taperA = std::min(kHarmonicLead, lengthA / 4), taperB = std::min(kHarmonicLead, lengthB / 4);
    for (int i = 0; i < std::min(lengthA, m); ++i)
        p[2 * i] = static_cast<float>(z[2 * wrap(startA + i, n) + 1] * taper(i, lengthA, taperA));
    for (int i = 0; i < std::min(lengthB, m); ++i)
        p[2 * i + 1] = static_cast<float>(z[2 * wrap(startB + i, n) + 1] * taper(i, lengthB, taperB));
    (void)fft.fftForward(pairs_.span(), m);
    return m;
}

void SweepAnalyser::bandPower(int m, bool second, int factor, const FrequencyAxis& axis,
                              std::array<double, kAxisPoints>& out) const
{
    const float* p = pairs_.span().data();
    const double binHz = static_cast<double>(plan_.rate) / m;
    const double nyquist = plan_.rate / 2.0;
    // The two real windows from one transform: A = (Z[k] + conj Z[m-k]) / 2,
    // B = (Z[k] - conj Z[m-k]) / 2j.
    const float sign = second ? -1.0f : 1.0f;
    const auto power = [&](int k) {
        const int mk = (m - k) & (m - 1);
        const float re = p[2 * k] + sign * p[2 * mk], im = p[2 * k + 1] - sign * p[2 * mk + 1];
        return 0.25 * (static_cast<double>(re) * re + static_cast<double>(im) * im);
    };
    for (int j = 0; j < kAxisPoints; ++j) {
        const double f = factor * static_cast<double>(axis[j]);
        // Outside the sweep's band (its fade-out included) the filter has nothing to invert:
        // a harmonic there would be the noise it amplifies.
        if (f >= nyquist || f > highestHz_ || axis[j] < lowestHz_) {
            out[static_cast<std::size_t>(j)] = kUnreadable;
            continue;
        }
        const double below = j > 0 ? static_cast<double>(axis[j - 1]) / axis[j] : static_cast<double>(axis[j]) / axis[j + 1];
        const double above = j + 1 < kAxisPoints ? static_cast<double>(axis[j + 1]) / axis[j] : static_cast<double>(axis[j]) / axis[j - 1];
        const int lo = static_cast<int>(std::ceil(f * std::sqrt(below) / binHz));
        const int hi = std::min(m / 2, static_cast<int>(std::floor(f * std::sqrt(above) / binHz)));
        double sum = 0;
        int count = 0;
        for (int k = std::max(lo, 0); k <= hi; ++k, ++count)
            sum += power(k);
        if (count == 0) {
            sum = power(std::min(m / 2, static_cast<int>(std::lround(f / binHz))));
            count = 1;
        }
        out[static_cast<std::size_t>(j)] = sum / count;
    }
}

void SweepAnalyser::harmonics(const FrequencyAxis& axis, int smoothingHalfWidth, HarmonicResponses& out,
                              const ComplexFft& fft, const CalibrationCurve* calibration)
{
    const SweepPlan& p = plan_;
    const int n = p.points;
    const auto& dt = p.delay;
    const int start = inOnset_ - kHarmonicLead;
    // Harmonic k (2..5) from dt_k ahead of the linear response up to harmonic k - 1; the
    // fundamental over the same length as harmonic 2.
    const int linearLength = std::min(dt[2], n - dt[kHarmonicCount + 1] - 2 * kHarmonicLead);
    // The noise from the stretch behind the linear response that no harmonic reaches. Harmonics
    // of every order lie ahead of it, order k at L ln k (rub and buzz or clipping fill the gap
    // behind harmonic 5 with them), up to the highest the filter passes: (f2 + its edge) / f1.
    // Where the sweep's band is too narrow to leave such a stretch, the one right behind the
    // linear response, where only the highest orders of the lowest frequencies lie.
    const double topOrder = std::min(p.f2 + (p.f2 - p.f1) / 50, p.rate / 2.0) / p.f1;
    const int topDelay = static_cast<int>(std::ceil(p.lSeconds * std::log(topOrder) * p.rate));
    const int gapFrom = start + linearLength;
    const int freeTo = start + n - std::max(topDelay, dt[kHarmonicCount + 1]);
    const int noiseTo = freeTo - gapFrom >= kMinNoiseWindow
                            ? freeTo
                            : std::min(start + n - dt[kHarmonicCount + 1], gapFrom + dt[2]);
    const int noiseLength = std::max(0, std::min(dt[2], noiseTo - gapFrom));
    const int noiseStart = noiseTo - noiseLength;

    Powers& fundamental = fundamental_;
    Powers& noise = noise_;
    auto& harmonic = harmonic_;
    int m = transformPair(start, linearLength, start - dt[2], dt[2], fft);
    bandPower(m, false, 1, axis, fundamental);
    bandPower(m, true, 2, axis, harmonic[0]);
    m = transformPair(start - dt[3], dt[3] - dt[2], start - dt[4], dt[4] - dt[3], fft);
    bandPower(m, false, 3, axis, harmonic[1]);
    bandPower(m, true, 4, axis, harmonic[2]);
    m = transformPair(start - dt[5], dt[5] - dt[4], noiseStart, noiseLength, fft);
    bandPower(m, false, 5, axis, harmonic[3]);
    bandPower(m, true, 2, axis, noise);
    // The noise window is as long as harmonic 2's; it stands for every harmonic.
    if (noiseLength > 0 && noiseLength != dt[2])
        for (double& v : noise)
            if (v > 0)
                v *= static_cast<double>(dt[2]) / noiseLength;

    // The microphone's deviation at n f relative to f (the SPL takes it at f); the noise is read
    // at 2 f.
    if (calibration) {
        const auto correct = [&](Powers& v, int factor) {
            for (int j = 0; j < kAxisPoints; ++j) {
                double& power = v[static_cast<std::size_t>(j)];
                if (power == kUnreadable)
                    continue;
                const double f = axis[j];
                power *= std::pow(10.0, (calibrationLevelAt(*calibration, axis, f) -
                                         calibrationLevelAt(*calibration, axis, factor * f)) / 10);
            }
        };
        for (int h = 0; h < kHarmonicCount; ++h)
            correct(harmonic[static_cast<std::size_t>(h)], h + 2);
        correct(noise, 2);
    }

    // Averages over the readable points only: an unreadable one is no reading of 0, and stays
    // unreadable.
    const int s = std::max(0, smoothingHalfWidth);
    const auto smooth = [&](Powers& v) {
        if (s == 0)
            return;
        Powers& copy = smoothed_;
        copy = v;
        for (int j = 0; j < kAxisPoints; ++j) {
            if (copy[static_cast<std::size_t>(j)] == kUnreadable)
                continue;
            double sum = 0;
            int count = 0;
            for (int i = std::max(0, j - s); i <= std::min(kAxisPoints - 1, j + s); ++i)
                if (const double c = copy[static_cast<std::size_t>(i)]; c != kUnreadable) {
                    sum += c;
                    ++count;
                }
            v[static_cast<std::size_t>(j)] = sum / count;
        }
    };
    smooth(fundamental);
    smooth(noise);
    for (Powers& h : harmonic)
        smooth(h);

    const auto relative = [](double power, double reference) {
        if (!(power > 0) || !(reference > 0))
            return kNoHarmonicDb;
        return static_cast<float>(std::max(static_cast<double>(kNoHarmonicDb), 10 * std::log10(power / reference)));
    };
    for (std::size_t j = 0; j < kAxisPoints; ++j) {
        out.noiseDb[j] = relative(noise[j], fundamental[j]);
        double thd = 0;
        for (std::size_t h = 0; h < kHarmonicCount; ++h) {
            out.harmonicDb[h][j] = relative(harmonic[h][j], fundamental[j]);
            if (out.measured(out.harmonicDb[h], j))
                thd += harmonic[h][j];
        }
        out.thdDb[j] = relative(thd, fundamental[j]);
    }
}

} // namespace vantrel
