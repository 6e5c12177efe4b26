#pragma once
// Measurement-microphone calibration files as their makers ship them: lines of frequency (Hz)
// and level (dB), optionally phase (degrees), separated by blanks, TABs, commas or semicolons,
// plus comment and header lines and, in some files, a sensitivity line ("Sens Factor =-1.4dB",
// "Sensitivity 12.3 mV/Pa"). A comma between digits is a decimal comma where semicolons, blanks
// or TABs separate the columns ("1000;0,25", "1000\t0,25"); a line whose commas could be
// either ("1000, 0,25", "1,000\t0.5"), or that reads its commas otherwise than the lines
// before, is refused.
//
// The level says how much the microphone reads above the truth, so it becomes the calibration
// curve as it stands: the measurement divides by the curve, and a microphone that is +3 dB at
// 1 kHz lowers the measured level there by 3 dB. Between the file's points the curve is linear
// in log frequency; below its first point and above its last it is held flat at that point's
// value. The sensitivity is reported, never applied: absolute levels come from the "Add" offset.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "balloon/frequency_axis.h"
#include "mls/mls_settings.h"

namespace vantrel {

struct MicPoint {
    double hz = 0;
    double db = 0;
    double phase = 0; // degrees; 0 when the file has no phase column
};

struct MicCalibration {
    std::vector<MicPoint> points; // at least two, strictly rising in frequency
    bool hasPhase = false;
    std::string sensitivityLine;  // the file's sensitivity line as written, empty when none
};

// Limits that keep a foreign file from taking the memory: longer lines and more points are
// refused.
inline constexpr std::size_t kMicLineLimit = 4096;
inline constexpr std::size_t kMicPointLimit = 100000;

struct MicReadResult {
    std::optional<MicCalibration> calibration;
    std::string error; // names the line at fault; empty on success
};

// Feeds a file line by line, so that a file is never held whole and a runaway line is refused
// as soon as it passes the limit.
class MicFileParser {
public:
    // One line without its end (a trailing CR is dropped). False once the text is refused.
    bool line(std::string_view text);
    // The outcome after the last line.
    MicReadResult finish();

private:
    bool refuse(std::string message);

    MicCalibration calibration_;
    int lineNumber_ = 0;
    int columns_ = 0; // of the first data line: 2 or 3
    std::optional<bool> decimalCommas_; // as the first data line with a comma reads them
    std::string error_;
};

MicReadResult parseMicText(std::string_view text);
// Reads the file in blocks; a line longer than kMicLineLimit is refused without reading on.
MicReadResult readMicFile(const std::string& path);

// The calibration on the axis: level and phase interpolated linearly in log frequency (phase
// unwrapped between points, wrapped to -180..180 after), held flat beyond the file's range.
CalibrationCurve micCurve(const MicCalibration& calibration, const FrequencyAxis& axis);

// One line for the user: points, range, phase, sensitivity.
std::string micSummary(const MicCalibration& calibration);

} // namespace vantrel
