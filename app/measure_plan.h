#pragma once
// What `vantrel-cli measure` and a walk started through the HTTP interface have in common: the
// options of a walk as given, and their check and translation into the balloon job's options.
// Both entry points run the same job from the same plan, so a walk measures alike from either.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/balloon_job.h"
#include "platform/sim/sim_faults.h"

namespace vantrel {

inline constexpr double kLongestGateMs = 1000;

// The options of a walk as the user gave them (the command line's, or a request's fields).
struct MeasureRequest {
    bool simulate = false;
    std::string tt1, tt2;
    int input = -1, output = -1;
    int grid = 10;
    int order = 18, rate = 48000;
    std::optional<int> window, front, windowType, windowPosition;
    bool paced = false;
    int settle = 0;
    std::string preferences, balloon, resume, micFile;
    SimFaults faults;
    std::string excitation = "mls";
    double f1 = 10, f2 = 0;
    std::vector<double> nonlinearity;
    std::string simRoom, rigHeight;
    std::string simOffset;
    std::string gate;
    std::string simArc, arcFile, arcCalibration;
    std::optional<std::uint32_t> micErrorsSeed;
};

struct MeasurePlan {
    // Empty when the walk may start; else why not, naming the option.
    std::string error;
    bool usage = false;       // the error is bad input (else the system refuses)
    BalloonJobOptions job;
    std::vector<std::string> notes; // for the user before the walk (the microphone's file)
};

// Checks the request as the walk would refuse it before a turntable is connected and fills the
// job's options; startDirectory is where a new walk autosaves.
MeasurePlan planMeasure(MeasureRequest request, const std::string& startDirectory);

// "h:mm:ss" of whole seconds.
std::string clockText(double seconds);
// measure's plain progress line: "V=<v> deg: <done> of <total> points, rig <t>, wall <t>".
std::string progressLine(const BalloonProgress& progress);

} // namespace vantrel
