#pragma once
// The steps that turn two channel spectra into the IN/REF response on the 750-point axis:
// band averaging of FFT bins, level and phase, phase unwrapping, smoothing over axis points,
// the REF correction, the transfer function and the calibration. Angles convert with
// 57.288 degrees per radian throughout.

#include <array>
#include <complex>
#include <span>
#include <string_view>

#include "balloon/frequency_axis.h"
#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr double kDegreesPerRadian = 57.288;

using AxisComplex = std::array<std::complex<float>, kAxisPoints>;
using AxisLevelPhase = std::array<LevelPhase, kAxisPoints>; // dB, degrees
using AxisValues = std::array<float, kAxisPoints>;

// A failure carries the system's own message text; an empty message is success.
struct [[nodiscard]] MlsStatus {
    std::string_view message;
    bool ok() const { return message.empty(); }
};

inline constexpr std::string_view kNoImpulseResponseText = "Please Generate Impulse Response First";
inline constexpr std::string_view kWindowTooLongText = "Please reduce Timw Window Length";
inline constexpr std::string_view kRepositionWindowText = "Please reduce Time Window Length\n OR Re-position the Time Window";
inline constexpr std::string_view kResponseRangeText = "Response Out Of Range: a level or phase is not a finite number";

// First axis index at or above 1 kHz; -1 when the axis stays below.
int oneKilohertzIndex(const FrequencyAxis& axis);

// For j = 1..748: bins lo = trunc(f[j-1]/df) .. hi = min(trunc(f[j]/df), lo + 5, half),
// inclusive; out[j] = (sum re, sum im) / (bins + 1). Points at or above Nyquist get
// (Re out[k1k], 0) with refFiller (0 when k1k is 0), 0 otherwise. out[0] = out[1],
// out[749] = out[748].
void bandAverage(std::span<const float> re, std::span<const float> im, const FrequencyAxis& axis, double binHz, int half,
                 double nyquistHz, bool refFiller, AxisComplex& out);

// level = 10 log10(re^2 + im^2 + 1e-13) dB, phase = atan2(im, re) x 57.288 (re 0 read as 1e-9).
void toLevelPhase(const AxisComplex& values, AxisLevelPhase& out);

// Removes 360-degree jumps larger than 260 degrees between neighbours; U[0] := U[1].
void unwrapPhase(AxisLevelPhase& response);

// Mean of level and phase over 2s + 1 axis points; the s points at each end repeat the last
// full mean. s = 0 copies.
void smoothResponse(const AxisLevelPhase& in, int halfWidth, AxisLevelPhase& out);

// A channel's response smoothed over 2s + 1 points as smoothResponse does it after
// unwrapPhase, but with the phase unwrapped about the channel's bulk delay. A delay of a few
// milliseconds turns the phase by more than half a turn between axis points at a few
// kilohertz; the plain unwrapping's choice of turn there follows the noise, and a mean over
// 2s + 1 points that takes one point a turn off lands 360/(2s + 1) degrees off. The delay's
// own phase, 360 f delaySeconds, is taken out, the slow rest unwrapped the shorter way round,
// and the delay's mean phase over the same points put back after the smoothing: wherever the
// plain unwrapping follows the phase, the result is the same up to rounding. s = 0 is the
// plain unwrapping and copy.
void smoothAboutDelay(AxisLevelPhase& work, const FrequencyAxis& axis, double delaySeconds, int halfWidth,
                      AxisLevelPhase& out);

// v = max(REF level, 0.0001), M = max |v|, correction = M - v (0 at and above Nyquist).
void referenceCorrection(const AxisLevelPhase& ref, const FrequencyAxis& axis, double nyquistHz, AxisValues& out);

// T = 10^(LI/20) e^(i phiI) x 10^(corr/20) e^(-i phiR); level = 10 log10(|T|^2 + 1e-13) + addDb.
void transferFunction(const AxisLevelPhase& ref, const AxisLevelPhase& in, const AxisValues& correction, double addDb,
                      AxisLevelPhase& out);

// Divides the response by the calibration curve (level and phase).
void applyCalibration(const CalibrationCurve& calibration, AxisLevelPhase& response);

// A calibration level is usable when its linear value and the reciprocal both fit a float: a
// response is divided by that value, and -10000 dB would make it infinite.
bool usableCalibrationLevel(double levelDb);
// True when every level and phase is a finite number.
bool finiteResponse(const AxisLevelPhase& response);

} // namespace vantrel
