#pragma once
// Single-number figures of a balloon that a horizontal and a vertical orbit alone cannot give:
// the flattest listening axis, the preference-model numbers, the slopes of the directivity
// indexes and the coverage angles at the one-third-octave centres.

#include <optional>
#include <span>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity.h"

namespace vantrel {

// Narrow-band deviation, Olive 2004 (AES 117th Convention, preprint 6190; see below):
//   NBD = (1/N) sum over bands n of [ mean over the points i of band n of |y_i - mean_n(y)| ]
// over the half-octave bands centred on 1290 * 2^(k/2) Hz from 100 Hz to 12 kHz (the
// centres the open CTA-2034 community tooling uses: 114 Hz .. 10.3 kHz, 14 bands), each band
// from centre / 2^(1/4) to centre * 2^(1/4). dB in, dB out; bands without points are left out.
// Nothing when no band holds a point.
std::optional<double> narrowBandDeviation(std::span<const double> hz, std::span<const double> db);

// Smoothness, Olive 2004: r^2 of the least-squares line of dB against ln(f) over
// 100 Hz .. 16 kHz; 0 .. 1, 1 for a straight line (on a log frequency scale).
std::optional<double> smoothness(std::span<const double> hz, std::span<const double> db);

// Slope in dB per octave of the least-squares line of dB against log2(f) over lo .. hi Hz.
std::optional<double> slopePerOctave(std::span<const double> hz, std::span<const double> db, double lo, double hi);

// Low-frequency extension, Olive 2004: the first frequency below 300 Hz where the sound
// power falls 6 dB under the mean listening-window level of 300 Hz .. 10 kHz. As the community
// tooling reads it: the highest point of the lowest run of points at or under that level; the
// lowest frequency of the curve when none is. In Hz (LFX itself is its log10).
std::optional<double> lowFrequencyExtensionHz(std::span<const double> hz, std::span<const double> listeningWindow,
                                              std::span<const double> soundPower);

// Olive 2004, "A Multiple Regression Model for Predicting Loudspeaker Preference Using
// Objective Measurements: Part II", the predicted preference rating:
//   rating = 12.69 - 2.49 NBD_ON - 2.99 NBD_PIR - 4.31 LFX + 2.32 SM_PIR
// and, as the community tooling has it, the same with an ideal subwoofer: LFX = log10(14.5 Hz).
inline constexpr double kIdealSubwooferHz = 14.5;
double predictedPreference(double nbdOnAxis, double nbdPredictedInRoom, double lfxLog10, double smPredictedInRoom);

struct PreferenceNumbers {
    std::optional<double> nbdOnAxis;          // dB
    std::optional<double> nbdPredictedInRoom; // dB
    std::optional<double> lfxHz;
    std::optional<double> smPredictedInRoom;
    std::optional<double> rating;
    std::optional<double> ratingWithSubwoofer;
    std::optional<double> soundPowerDiSlope;        // dB per octave
    std::optional<double> earlyReflectionsDiSlope;  // dB per octave
};

// Every number from the curves (already limited to the valid band); the DI slopes over
// 200 Hz .. 16 kHz.
PreferenceNumbers preferenceNumbers(const std::vector<Cta2034Row>& rows);

// The flattest listening axis: of the measured directions (the grid's cells) within +-30
// degrees horizontally and +-20 vertically as a listener sees them, the one whose response has
// the smallest NBD over 100 Hz .. 12 kHz (inside the valid band); a direction must be flatter
// by more than 0.005 dB to beat one nearer the axis. Directions between the cells are left
// out: interpolated in dB they blend the ripple of their cells away and would win by that
// alone. Off the two planes a cell's listener angles are not whole degrees (H 20, V 30 is
// h 17.5, v -9.8).
inline constexpr double kBestAxisHDegrees = 30.0;
inline constexpr double kBestAxisVDegrees = 20.0;
struct BestAxis {
    ListenerAxis axis;
    double nbd = 0;        // dB
    double nbdOnAxis = 0;  // dB
};
std::optional<BestAxis> bestListeningAxis(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                          const ValidBand& band);
// The same search over every listener direction stepDegrees apart within the window, each read
// from levels that hold between the cells what they hold on them (a sound-field expansion): all
// candidates alike, none favoured by blending.
class DirectionLevels;
std::optional<BestAxis> bestListeningAxis(const DirectionLevels& levels, const FrequencyAxis& axis,
                                          const ValidBand& band, double stepDegrees);

// The -6 dB beamwidth of both planes at the one-third-octave centres (1000 * 10^(k/10) Hz,
// shown as their nominal values) inside the valid band, each at its nearest axis point.
struct CoverageRow {
    double centreHz = 0;
    double axisHz = 0;
    std::optional<double> horizontal; // degrees
    std::optional<double> vertical;
};
std::vector<CoverageRow> coverageAngles(const OrbitLevels& horizontal, const OrbitLevels& vertical,
                                        const FrequencyAxis& axis, const ValidBand& band);

// The nominal one-third-octave centre of 1000 * 10^(k/10) Hz: "20", "25", "31.5", ...
double nominalThirdOctaveHz(int k);

} // namespace vantrel
