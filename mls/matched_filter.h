#pragma once
// The matched filter: the IN spectrum divided by a high-pass model of the device's expected
// low-frequency roll-off (minimum phase), windowed as a shortened impulse response, and
// multiplied by the model again.
//
// Model, x = f/F, N = x^(S/2), R = 1 - N^2, P = N/Q: H = -N^2 / (R + iP), a second-order
// high-pass in N (S = 4: 24 dB/oct); |H| at f = F is Q.
// Phase from the magnitude by the gain-phase relation
//   phi(w) = (2w/pi) int_0^inf (ln|H(u)| - ln|H(w)|) / (u^2 - w^2) du
// on a 910-point log grid (trapezoids), with an S-slope asymptote below and a flat tail above.
// Constants as the measurement has always used them: 6.284 (2 pi), 3.142 (pi), 8.686 dB/Np.

#include <array>
#include <span>
#include <string_view>

#include "balloon/frequency_axis.h"
#include "mls/complex_fft.h"
#include "mls/frequency_response.h"
#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr std::string_view kCutOffRangeText = "Filter Cut-Off Frequency Out Of Range (5-1000Hz)";
inline constexpr std::string_view kSlopeRangeText = "Filter Slope Out Of Range (1.0-6.0)";
inline constexpr std::string_view kQRangeText = "Filter Q-factor Out Of Range (0.25-2.0)";

inline constexpr int kWorkGridPoints = 910;
inline constexpr int kWorkGridAxisStart = 79; // M[79..828] hold the axis magnitudes

struct MatchedFilterModel {
    double cutoffHz = 80; // F
    double q = 0.7;       // Q
    double slope = 4;     // S, multiples of 6 dB/oct
};

// Reads F, Q and S from the settings and checks F in 5..1000, S in 1..6, Q in 0.25..2 (in that
// order, bounds inclusive).
MlsStatus readMatchedFilterModel(const MlsSettings& settings, MatchedFilterModel& model);

// db[j] = 10 log10(|H(f[j])|^2 + 1e-10).
void matchedFilterDb(const FrequencyAxis& axis, const MatchedFilterModel& model, AxisValues& db);

struct WorkGrid {
    std::array<double, kWorkGridPoints> frequency{}; // g[k], Hz
    std::array<double, kWorkGridPoints> magnitude{}; // M[k], dB
};

// Complex minimum-phase response with the magnitudes db on the axis.
void minimumPhaseResponse(const AxisValues& db, const FrequencyAxis& axis, const MatchedFilterModel& model, WorkGrid& grid,
                          AxisComplex& out);

// Linear interpolation of the axis values onto FFT bins 0..n-1 (bins past the axis stay 0; below
// the first axis point the line through its first two bins continues down to bin 0).
void interpolateOntoBins(const AxisComplex& values, const FrequencyAxis& axis, double binHz, int n, std::span<float> re,
                         std::span<float> im);

struct MatchedFilterBuffers {
    std::span<const float> inImpulseCopy; // aligned IN response from index 50
    std::span<const float> refWindow;
    std::span<float> w;                   // 2n floats, complex
    std::span<float> v;                   // 2n floats, complex
    std::span<float> spectrumRe;          // n floats; result
    std::span<float> spectrumIm;
};

struct MatchedFilterWork {
    AxisValues modelDb{};  // matchedFilterDb
    WorkGrid grid;
    AxisComplex model{};   // model response on the axis
};

// The IN spectrum through the matched filter, left in spectrumRe/spectrumIm; fails with the
// range messages above before touching anything.
MlsStatus matchedFilterSpectrum(const MlsSettings& settings, const FrequencyAxis& axis, double binHz, int n,
                                const MatchedFilterBuffers& buffers, MatchedFilterWork& work, const ComplexFft& fft);

} // namespace vantrel
