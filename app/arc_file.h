#pragma once
// The arc description: the radius of a microphone arc and, one line per microphone, the input
// channel it is wired to, its angle along the arc and optionally its own calibration file
// (calibration/mic_file.h). A text file:
//
//   # anything after a "#" at the start of a line is a comment; blank lines are skipped
//   radius 2.0            metres, first
//   2 0                   input channel (REF is channel 1), angle in degrees
//   3 5 capsule-3.txt     ... and the microphone's file, relative to the arc file's folder
//
// Every refusal names its line.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "balloon/angle_grid.h"
#include "calibration/mic_file.h"

namespace vantrel {

inline constexpr double kArcRadiusMin = 0.1, kArcRadiusMax = 20; // m

struct ArcMicrophone {
    int line = 0;    // where the file describes it
    int channel = 0; // input channel, 2.. (1 is REF)
    int angle = 0;   // degrees along the arc
    std::string micFile;                   // as written, empty when none
    std::optional<MicCalibration> calibration;
};

struct ArcDescription {
    double radius = 0; // m
    std::vector<ArcMicrophone> microphones; // in the file's order
};

// Reads a microphone's calibration file named on a line (the arc file's folder applied).
using MicFileReader = std::function<MicReadResult(const std::string& path)>;

// The description, or nothing with "line N: why" in error. deviceChannels: the input channels
// the device has (a channel beyond them is refused), at most kMaxInputChannels.
std::optional<ArcDescription> parseArcDescription(std::string_view text, AngleGrid grid, int deviceChannels,
                                                  const MicFileReader& readMic, std::string& error);

// The file at path, its microphones' files read from its folder.
std::optional<ArcDescription> readArcDescription(const std::string& path, AngleGrid grid, int deviceChannels,
                                                 std::string& error);

} // namespace vantrel
