#include "mls/frequency_response.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrel {

namespace {

constexpr std::size_t kLast = kAxisPoints - 1;

// trunc(x) as a bin index, kept inside int range for absurd inputs.
long binIndex(double x)
{
    if (!(x > 0))
        return 0;
    return static_cast<long>(std::min(x, 1e9));
}

// The s points at each end repeat the last full mean.
void repeatEnds(AxisLevelPhase& out, int s)
{
    for (int j = 0; j < s; ++j) {
        out[static_cast<std::size_t>(j)] = out[static_cast<std::size_t>(s)];
        out[kLast - static_cast<std::size_t>(j)] = out[kLast - static_cast<std::size_t>(s)];
    }
}

double wrapDegrees(double p) { return p - 360.0 * std::floor((p + 180.0) / 360.0); }

double angleDegrees(double re, double im) { return std::atan2(im, re == 0 ? 1e-9 : re) * kDegreesPerRadian; }

std::complex<double> polar(double levelDb, double degrees)
{
    const double magnitude = std::pow(10.0, levelDb / 20.0);
    const double radians = degrees / kDegreesPerRadian;
    return {magnitude * std::cos(radians), magnitude * std::sin(radians)};
}

LevelPhase levelPhaseOf(std::complex<double> t, double addDb)
{
    return {static_cast<float>(10.0 * std::log10(std::norm(t) + 1e-13) + addDb), static_cast<float>(angleDegrees(t.real(), t.imag()))};
}

} // namespace

int oneKilohertzIndex(const FrequencyAxis& axis)
{
    for (int j = 0; j < kAxisPoints; ++j)
        if (axis[j] >= 1000.0f)
            return j;
    return -1;
}

void bandAverage(std::span<const float> re, std::span<const float> im, const FrequencyAxis& axis, double binHz, int half,
                 double nyquistHz, bool refFiller, AxisComplex& out)
{
    const int k1k = oneKilohertzIndex(axis);
    const long lastBin = std::min<long>(half, static_cast<long>(std::min(re.size(), im.size())) - 1);
    // Starts from zero: with the axis starting above 1 kHz the filler is point 0, which this
    // pass sets only at the end.
    out.fill({});
    for (int j = 1; j < static_cast<int>(kLast); ++j) {
        const long lo = binIndex(axis[j - 1] / binHz);
        long hi = binIndex(axis[j] / binHz);
        if (hi - lo > 5)
            hi = lo + 5;
        if (hi > lastBin)
            hi = lastBin;
        double sumRe = 0, sumIm = 0;
        long count = 0;
        for (long k = lo; k <= hi; ++k, ++count) {
            sumRe += re[static_cast<std::size_t>(k)];
            sumIm += im[static_cast<std::size_t>(k)];
        }
        auto& value = out[static_cast<std::size_t>(j)];
        if (axis[j] < nyquistHz)
            value = {static_cast<float>(sumRe / (count + 1)), static_cast<float>(sumIm / (count + 1))};
        else if (refFiller && k1k >= 0)
            value = {out[static_cast<std::size_t>(k1k)].real(), 0.0f};
        else
            value = {0.0f, 0.0f};
    }
    out[kLast] = out[kLast - 1];
    out[0] = out[1];
}

void toLevelPhase(const AxisComplex& values, AxisLevelPhase& out)
{
    for (std::size_t j = 0; j < values.size(); ++j)
        out[j] = levelPhaseOf({values[j].real(), values[j].imag()}, 0.0);
}

void unwrapPhase(AxisLevelPhase& response)
{
    double offset = 0;
    double previous = response[0].phase;
    for (std::size_t j = 1; j < response.size(); ++j) {
        double p = response[j].phase + offset;
        if (std::fabs(previous - p) > 260.0) {
            if (previous < p) {
                p -= 360.0;
                offset -= 360.0;
            } else {
                p += 360.0;
                offset += 360.0;
            }
        }
        response[j].phase = static_cast<float>(p);
        previous = p;
    }
    response[0].phase = response[1].phase;
}

void smoothResponse(const AxisLevelPhase& in, int halfWidth, AxisLevelPhase& out)
{
    const int s = std::clamp(halfWidth, 0, static_cast<int>(kLast) / 2);
    for (int j = s; j <= static_cast<int>(kLast) - s; ++j) {
        double level = 0, phase = 0;
        for (int i = j - s; i <= j + s; ++i) {
            level += in[static_cast<std::size_t>(i)].level;
            phase += in[static_cast<std::size_t>(i)].phase;
        }
        out[static_cast<std::size_t>(j)] = {static_cast<float>(level / (2 * s + 1)), static_cast<float>(phase / (2 * s + 1))};
    }
    repeatEnds(out, s);
}

void smoothAboutDelay(AxisLevelPhase& work, const FrequencyAxis& axis, double delaySeconds, int halfWidth,
                      AxisLevelPhase& out)
{
    const int s = std::clamp(halfWidth, 0, static_cast<int>(kLast) / 2);
    if (s == 0) {
        unwrapPhase(work);
        smoothResponse(work, s, out);
        return;
    }
    // What is left of the phase turns slowly: each step is taken as the shorter way round
    // (the 260-degree rule would take a step of 100..180 degrees the long way).
    const double turnRate = 360.0 * delaySeconds; // degrees per hertz
    double previous = work[1].phase + turnRate * axis[1];
    for (std::size_t j = 1; j < work.size(); ++j) {
        const double p = work[j].phase + turnRate * axis[static_cast<int>(j)];
        previous += wrapDegrees(p - previous);
        work[j].phase = static_cast<float>(previous);
    }
    work[0].phase = work[1].phase;
    smoothResponse(work, s, out);
    for (int j = s; j <= static_cast<int>(kLast) - s; ++j) {
        double hz = 0;
        for (int i = j - s; i <= j + s; ++i)
            hz += axis[i];
        // Left unwrapped, as the plain smoothing leaves it: the phase is turned back into an
        // angle by 57.288 degrees per radian, where whole turns are not quite whole.
        auto& phase = out[static_cast<std::size_t>(j)].phase;
        phase = static_cast<float>(phase - turnRate * hz / (2 * s + 1));
    }
    repeatEnds(out, s);
}

void referenceCorrection(const AxisLevelPhase& ref, const FrequencyAxis& axis, double nyquistHz, AxisValues& out)
{
    float largest = 0;
    for (const auto& r : ref)
        largest = std::max(largest, std::fabs(std::max(r.level, 0.0001f)));
    for (std::size_t j = 0; j < out.size(); ++j)
        out[j] = axis[static_cast<int>(j)] >= nyquistHz ? 0.0f : largest - std::max(ref[j].level, 0.0001f);
}

void transferFunction(const AxisLevelPhase& ref, const AxisLevelPhase& in, const AxisValues& correction, double addDb,
                      AxisLevelPhase& out)
{
    for (std::size_t j = 0; j < out.size(); ++j) {
        const std::complex<double> r = polar(correction[j], -ref[j].phase);
        const std::complex<double> i = polar(in[j].level, in[j].phase);
        out[j] = levelPhaseOf(i * r, addDb);
    }
}

bool usableCalibrationLevel(double levelDb)
{
    return std::isfinite(levelDb) &&
           std::pow(10.0, std::fabs(levelDb) / 20.0) <= static_cast<double>(std::numeric_limits<float>::max());
}

bool finiteResponse(const AxisLevelPhase& response)
{
    return std::all_of(response.begin(), response.end(),
                       [](const LevelPhase& p) { return std::isfinite(p.level) && std::isfinite(p.phase); });
}

void applyCalibration(const CalibrationCurve& calibration, AxisLevelPhase& response)
{
    for (std::size_t j = 0; j < response.size(); ++j) {
        const std::complex<double> z = polar(-calibration[j].level, -calibration[j].phase);
        const std::complex<double> t = polar(response[j].level, response[j].phase) * z;
        response[j] = levelPhaseOf(t, 0.0);
    }
}

} // namespace vantrel
