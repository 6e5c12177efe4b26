#pragma once
// What every export reads: a balloon, the settings of its trailer and the name of its file.

#include <string>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/valid_band.h"

namespace vantrel {

struct ExportSource {
    const BalloonMatrix& matrix;
    BalloonTrailer trailer;  // as read from the matrix's trailer
    std::string sourceName;  // the balloon file's path as the user gave it
    MeasuredWith measured = {}; // its measurement record: what limits the valid band
    bool allPoints = false;     // FRD and SOFA: the whole stored axis, not only the valid band
};

// The balloon file's name without the folders above it: exports are sent out and published.
std::string sourceFileName(const ExportSource& source);

// The frequency axis of the trailer's "From:"/"To:" indexes. Unlike the measurement window,
// an export does not fall back to a default range: a trailer whose indexes lie outside the
// lists, or whose range is empty, has no known axis. Empty on success, else the reason.
[[nodiscard]] std::string exportAxis(const BalloonTrailer& trailer, FrequencyAxis& axis);

AngleGrid exportGrid(const BalloonTrailer& trailer);

// The measurement settings of the trailer in words, for file comments.
std::string settingsSummary(const BalloonTrailer& trailer);

// Level in dB of a stored bin, 20 log10 |z| + 90 (magnitude 1 is 90 dB); a zero bin (never
// measured) reads as the floor of the display rule, 10 log10(1e-13) + 90 = -40 dB.
double binLevelDb(ComplexBin bin);
// Phase of a stored bin in degrees, -180..180.
double binPhaseDegrees(ComplexBin bin);

} // namespace vantrel
