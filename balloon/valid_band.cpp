#include "balloon/valid_band.h"

#include "balloon/sample_rates.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vantrel {

namespace {

// Above: the converters' anti-alias (decimation) filters are flat only up to about 0.45 of the
// rate (their pass band ends near 0.4535 fs and they reach their stop band at fs/2); between
// there and Nyquist the level falls by tens of dB, and at and above Nyquist the processing
// writes no measurement at all (the 1 kHz filler for REF, 0 for IN).
constexpr double kUsableFractionOfRate = 0.45;

// Below: an axis point reads the FFT bins trunc(f[j-1]/df) .. trunc(f[j]/df), df = rate/n.
// While f[j-1] < df that includes bin 0, the DC term, which an AC-coupled measurement does
// not carry; and the time window, never longer than the sequence (E <= n - 1), cannot resolve
// a period longer than itself either. The file does not keep the sequence length, so the
// limit takes the shortest sequence the measurement plays (2^13): its df is the largest, so
// the limit holds whatever length was used (5.9 Hz at 48 kHz, 11.7 Hz at 96 kHz).
constexpr double kShortestSequence = 8192.0;

// The time window: a T-long record holds the frequencies k/T (its bin spacing 1/T); below
// 1/T it holds less than one period, and its level there is the window's leakage, not the
// loudspeaker's. This is the low-frequency limit of the gated ("simulated free field")
// measurement, Struck and Temme, JAES 42 (1994), "Simulated free field measurements". k = 1:
// the band marks what the window resolves at all; the coarse resolution just above it shows
// in the curve, which the smoothing already averages over several points. A near-field merge
// supplies the low end, so a merged balloon's window does not limit it.
constexpr double kWindowPeriods = 1.0;

// The smoothing's half-width in axis points by the trailer's smoothing index ("1/3 oct" 5 ..
// "None" 0): its first and last s points are copies of point s and 749 - s.
int smoothingHalfWidth(int smoothingIndex) { return 5 - std::clamp(smoothingIndex, 0, 5); }

} // namespace

double trailerRateHz(int rateIndex)
{
    const int hz = rateHzAt(rateIndex);
    return hz > 0 ? hz : 48000.0;
}

ValidBand validBand(const BalloonTrailer& trailer, const FrequencyAxis& axis, const MeasuredWith& measured)
{
    ValidBand band;
    band.measured = measured;
    band.rateHz = trailerRateHz(trailer.rateIndex);
    band.lowestHz = band.rateHz / kShortestSequence;
    band.highestHz = kUsableFractionOfRate * band.rateHz;
    // A swept balloon's inverse filter is zero below f1/2 and above f2 plus its fade: its roll-off
    // there is the filter's, not the loudspeaker's.
    if (measured.sweepF1Hz > 0 && measured.sweepF2Hz > measured.sweepF1Hz) {
        if (measured.sweepF1Hz > band.lowestHz) {
            band.lowestHz = measured.sweepF1Hz;
            band.lowReason = LowEdgeReason::sweep;
        }
        if (kSweepUsableTopOfF2 * measured.sweepF2Hz < band.highestHz) {
            band.highestHz = kSweepUsableTopOfF2 * measured.sweepF2Hz;
            band.sweptTop = true;
        }
    }
    if (!measured.merge && measured.windowSeconds > 0 && kWindowPeriods / measured.windowSeconds > band.lowestHz) {
        band.lowestHz = kWindowPeriods / measured.windowSeconds;
        band.lowReason = LowEdgeReason::window;
    }
    const int s = smoothingHalfWidth(trailer.smoothingIndex);

    // Points 0 and 749 are copies of 1 and 748 in every measurement, and the smoothing copies
    // s more at each end.
    int first = std::max(1, s);
    int last = std::min(kDataBins - 2, kDataBins - 1 - s);
    // Every point the smoothing averages into point j (j - s .. j + s) must be measured too.
    auto point = [&](int j) { return static_cast<double>(axis[std::clamp(j, 0, kDataBins - 1)]); };
    while (first < kDataBins - 1 && point(first - s - 1) < band.lowestHz)
        ++first;
    while (last > 0 && point(last + s) > band.highestHz)
        --last;
    if (first > last)
        first = last = std::clamp(first, 0, kDataBins - 1);
    band.first = first;
    band.last = last;
    return band;
}

} // namespace vantrel
