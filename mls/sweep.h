#pragma once
// The synchronized exponential swept sine beside the MLS: its plan for a rate and a length
// from the MLS length list, the play samples, and the analysis of one recording into the
// linear impulse responses (laid out exactly as the MLS correlation leaves them, so the same
// frequency-response pipeline runs on them) and the responses of harmonics 2..5.
//
// Method: A. Novak, P. Lotton, L. Simon, "Synchronized Swept-Sine: Theory, Application, and
// Implementation", J. Audio Eng. Soc. 63(10), 2015.
//   x(t) = sin(2 pi f1 L (e^(t/L) - 1)),  L = round(f1 T / ln(f2/f1)) / f1
// With f1 L a whole number, the n-th harmonic of x is x advanced by dt_n = L ln n, so after
// deconvolution harmonic n lies as an impulse response of its own dt_n ahead of the linear
// one. The deconvolution is a product with the analytic inverse filter
//   X~(f) = 2 sqrt(f / L) e^(-j 2 pi f L (1 - ln(f/f1)) + j pi/4)
// (the spectrum of the time-reversed sweep, amplitude-compensated), refined by the residue of
// the sweep as played (its fades), over one circular transform of 2^order points: the harmonics ahead of the linear response wrap to the end of
// the transform, behind the loudspeaker's ring-out.

#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "balloon/distortion_balloon.h"
#include "mls/complex_fft.h"
#include "mls/frequency_response.h"
#include "mls/impulse_response.h"
#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr int kHarmonicCount = 4; // harmonics 2..5

// The excitation of a measurement; kept beside the settings record, whose layout is fixed.
struct ExcitationSettings {
    bool sweep = false; // false: MLS
    double f1Hz = 10;
    double f2Hz = 0;    // 0: the Nyquist frequency
};

struct SweepPlan {
    int rate = 0;
    int order = 0;             // transform 2^order, as the MLS of that length
    int points = 0;            // 2^order
    int sweepSamples = 0;      // played sweep, from play frame kPlayLead
    double f1 = 0, f2 = 0;     // Hz
    double lSeconds = 0;       // the sweep's rate constant L, in seconds
    std::array<int, kHarmonicCount + 2> delay{}; // dt_n in samples, n = 0..5 (0 and 1: 0)
    int ringOut = 0;           // samples kept for the ring-out of the linear response
};

// The plan for the settings' rate and length, or the reason this sweep cannot be played: f1
// not below f2, f2 above Nyquist, or a sweep whose harmonics and ring-out do not fit the
// buffers. The message names the value.
struct SweepPlanResult {
    SweepPlan plan;
    std::string error;
    bool ok() const { return error.empty(); }
};
SweepPlanResult planSweep(const MlsSettings& settings, const ExcitationSettings& excitation);

// Caption of the measurement window while a sweep plays.
std::string sweepCaptionText(const SweepPlan& plan);

// Harmonic n relative to the fundamental at the excitation frequency of each axis point, in dB;
// noiseDb is the noise of the deconvolution the same way; a value is measured when it lies
// kBelowNoiseMarginDb above the noise, the margin the distortion file's readers apply.
// Harmonics the sweep cannot show (n f outside its band before the fade-out, at or above
// Nyquist, and every harmonic below twice f1 or within the fade-in) read -200 dB and count as
// below; smoothing never carries a value onto them.
struct HarmonicResponses {
    std::array<AxisValues, kHarmonicCount> harmonicDb{}; // H2..H5
    AxisValues thdDb{};
    AxisValues noiseDb{};
    bool measured(const AxisValues& values, std::size_t j) const { return values[j] >= noiseDb[j] + kBelowNoiseMarginDb; }
};

inline constexpr float kNoHarmonicDb = -200.0f;

// Percent of a level relative to the fundamental.
double harmonicPercent(double db);

// The deconvolution and the harmonic analysis; every buffer allocated once for order 18.
class SweepAnalyser {
public:
    SweepAnalyser();

    // REF and IN converted samples in; the aligned linear responses out in the same arrays
    // (peak at kResponseStart + alignLead, doubled, as the MLS correlation gives them), with
    // the harmonics' part of the transform silenced; the copy for the matched filter too.
    // The recording carries the played amplitude, so the responses come out in the MLS's
    // units without a volume factor.
    ImpulseDelays deconvolve(const SweepPlan& plan, const ImpulseBuffers& buffers, std::string_view frontWindowText,
                             const ComplexFft& fft);
    // The play buffer (see generateSweepForPlayback); pre-emphasis uses this analyser's work.
    void generate(const SweepPlan& plan, const MlsSettings& settings, std::span<std::int32_t> playBuffer,
                  const ComplexFft& fft);
    // Harmonics 2..5 and THD of the last deconvolution on the axis, smoothed over halfWidth
    // axis points on each side. With a calibration curve (the microphone's, on the axis) each
    // harmonic is corrected at its own frequency and the fundamental at its own.
    void harmonics(const FrequencyAxis& axis, int smoothingHalfWidth, HarmonicResponses& out, const ComplexFft& fft,
                   const CalibrationCurve* calibration = nullptr);

private:
    void buildInverse(const SweepPlan& plan, std::span<const float> sweep);
    using Powers = std::array<double, kAxisPoints>;
    // Fills pairs_ with two tapered windows of the deconvolved IN (a real, b imaginary) and
    // transforms them; returns the transform size.
    int transformPair(int startA, int lengthA, int startB, int lengthB, const ComplexFft& fft);
    // Mean power of the window at frequency factor x f over each axis point's band.
    void bandPower(int m, bool second, int factor, const FrequencyAxis& axis, Powers& out) const;

    SweepPlan plan_;
    bool inverseValid_ = false;
    std::vector<std::complex<float>> inverse_; // X~ at the bins 0..N/2, scaled
    AlignedFloats work_;                       // 2 x 2^18: REF + j IN, deconvolved
    AlignedFloats pairs_;                      // harmonic windows, two per transform
    Powers fundamental_{}, noise_{}, smoothed_{};
    std::array<Powers, kHarmonicCount> harmonic_{};
    int inOnset_ = 0; // first IN sample at a tenth of its peak
    double lowestHz_ = 0;  // lowest excitation frequency whose harmonics are read
    double highestHz_ = 0; // highest frequency a harmonic is read at (below the fade-out)
};

} // namespace vantrel
