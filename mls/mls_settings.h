#pragma once
// The measurement engine's process-wide records: the settings the measurement window edits
// (they outlive the window), the 27 plot curves, their colours and the calibration curve.

#include <array>
#include <string>
#include <string_view>

#include "balloon/frequency_axis.h"
#include "balloon/sample_rates.h"

namespace vantrel {

inline constexpr std::array<std::string_view, 6> kMlsLengthTexts{"8191", "16383", "32767", "65535", "131071", "262143"};
inline constexpr std::array<std::string_view, 10> kWindowTypeTexts{
    "Blackmann-Harris", "Hanning", "Rectangular", "Kaiser-Bessel", "Semi-Rectangular",
    "Blackmann-Harris Symm", "Hanning Symm", "Kaiser-Bessel Symm", "Semi-Rectangular Symm", "Rectangular Symm"};
inline constexpr std::array<std::string_view, 6> kSmoothingTexts{"1/3 oct", "1/6 oct", "1/12 oct", "1/24 oct", "1/48 oct", "None"};
inline constexpr std::array<std::string_view, 10> kFromTexts{"1.0 Hz", "2.0 Hz", "5.0 Hz", "10.0 Hz", "20.0 Hz", "50.0 Hz", "100.0 Hz", "200.0 Hz", "500.0 Hz", "1000.0 Hz"};
inline constexpr std::array<std::string_view, 8> kToTexts{"500.0 Hz", "1000.0 Hz", "2000.0 Hz", "5000.0 Hz", "10000.0 Hz", "20000.0 Hz", "50000.0 Hz", "100000.0 Hz"};

struct MlsSettings {
    int mlsLengthIndex = 5;       // list 10003; order = index + 13
    int rateIndex = 5;            // list 10004; 48000
    int windowTypeIndex = 0;      // list 10005
    int outputVolume = 10;        // scroll bar 10006, percent 0..100
    std::string addDbText = "0.0";       // edit 10010, dB added to the result
    int smoothingIndex = 3;       // list 10011; "1/24 oct"
    std::string windowWidthText = "30000"; // edit 10012, samples
    std::string frontWindowText = "6";     // edit 10013, samples
    int frontWindowOn = 0;        // check 10014
    std::string windowTimeText;   // edit 10015, ms; derived from the width by the window
    int showWindow = 1;           // check 10016
    int fftWindowPosition = 0;    // scroll bar 10021, samples 0..400
    std::string preEmphasisText = "0.0";   // edit 10022, Hz
    int twoChannels = 1;          // check 20023
    int fromIndex = 3;            // list 20024; 10 Hz
    int toIndex = 6;              // list 20025; 50 kHz
    int inputDeviceId = 0;        // list 20026
    int outputDeviceId = 0;       // list 20027
    int showPhase = 1;            // check 20029
    int useSavedIr = 1;           // check 20030
    std::string filterF3dbText = "80.0";   // edit 20031, Hz
    std::string filterQText = "0.70";      // edit 20032
    std::string filterSlopeText = "4.0";   // edit 20033, multiples of 6 dB/oct
    int useMatchedFilter = 0;     // check 20034
    int useCalibration = 0;       // check 20035
    int inPolarity = 1;           // check 20038 "Invert IN" gives -1
    int refPolarity = 1;          // check 20039 "Invert REF" gives -1
    int slotColours = 1;          // every curve slot its own colour
    int splSlot = 0;              // slot the next SPL result fills, 0..9
    int phaseSlot = 0;            // slot the next phase result fills, 0..9

    int mlsOrder() const { return mlsLengthIndex + 13; }
    int mlsLength() const { return (1 << mlsOrder()) - 1; }
    int transformSize() const { return 1 << mlsOrder(); }
    // The numeric value of the selected rate text; 0 when the index is off the list.
    int sampleRate() const;
    // 2^(5 - index) / 2: 16, 8, 4, 2, 1, 0 for the six smoothing entries.
    int smoothingValue() const;
    // Half-width in axis points on each side: 5, 4, 3, 2, 1, 0.
    int smoothingHalfWidth() const;
};

// Curve slots of the curve set.
inline constexpr int kCurveCount = 27;
inline constexpr int kCurveLength = 760;
inline constexpr int kSplCurve0 = 0;      // 0..9: level in dB minus 90
inline constexpr int kPhaseCurve0 = 10;   // 10..19: phase in degrees
inline constexpr int kRefImpulseCurve = 20;
inline constexpr int kInImpulseCurve = 21;
inline constexpr int kTimeWindowCurve = 22;
inline constexpr int kCalibrationLevelCurve = 25;
inline constexpr int kCalibrationPhaseCurve = 26;

using Curve = std::array<float, kCurveLength>;
using CurveSet = std::array<Curve, kCurveCount>;

// Where a curve keeps its in-use flag and attributes: the impulse and time-window curves
// (20..22) hold 752 points and their flag at 752; every other curve its flag at 750.
inline constexpr int curveFlagIndex(int curve)
{
    return curve >= kRefImpulseCurve && curve <= kTimeWindowCurve ? 752 : 750;
}

struct LineStyle {
    int red, green, blue;
    int width;
    int style; // 1 or 0 solid, 2 dotted, 3 dashed
};

inline constexpr std::array<LineStyle, 18> kLineStyleTable{{
    {196, 0, 0, 2, 1}, {0, 164, 0, 1, 1}, {0, 0, 196, 1, 1}, {196, 0, 196, 1, 1},
    {96, 0, 0, 1, 1}, {128, 128, 0, 1, 1}, {0, 196, 255, 1, 1}, {228, 128, 0, 1, 1},
    {0, 128, 128, 1, 1}, {128, 128, 128, 1, 1}, {128, 228, 0, 1, 1}, {76, 154, 255, 1, 1},
    {196, 196, 196, 1, 1}, {0, 0, 0, 1, 1}, {0, 164, 0, 1, 1}, {164, 0, 0, 1, 1},
    {164, 0, 0, 1, 1}, {0, 0, 164, 1, 1},
}};

struct LevelPhase {
    float level = 0; // dB
    float phase = 0; // degrees
};
using CalibrationCurve = std::array<LevelPhase, kAxisPoints>;

} // namespace vantrel
