#pragma once
// What `vantrel-cli measure` and a walk started through the HTTP interface have in common: the
// options of a walk as given, and their check and translation into the balloon job's options.
// Both entry points run the same job from the same plan, so a walk measures alike from either.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/arc_calibration.h"
#include "app/arc_file.h"
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

// The microphone arc as either program's command line gives it: the simulated rig's --sim-arc
// N,STEP or --arc FILE, with --sim-mic-errors SEED and --arc-calibration FILE.
struct ArcOptions {
    std::string simArc, arcFile, arcCalibration;
    std::optional<std::uint32_t> micErrorsSeed;
};

struct ArcSetup {
    std::optional<ArcDescription> arc;         // read from --arc
    std::optional<ArcCalibration> calibration; // read from --arc-calibration
    std::string note;                          // what --arc holds, for the user
};

// Empty when the options go together; else why not, naming the option.
std::string arcOptionsProblem(const ArcOptions& o);
// --sim-arc with its microphones' errors planted into the simulated rig's faults; empty, or
// why not naming the option.
std::string readSimArcOption(const ArcOptions& o, SimFaults& faults);
// --arc, its angles checked on grid (and on the simulated rig wired into faults as the file
// says), and --arc-calibration; empty, or why not naming the option and the line.
std::string readArcFileOptions(const ArcOptions& o, AngleGrid grid, bool simulate, SimFaults& faults, ArcSetup& setup);

// The arc options of a program that walks on the main window (the desktop, `session`): checked
// and read as above on the finer grid (the walk checks the grid it walks), the simulated rig's
// arc wired into faults; setup stays empty without an arc option, else its arc is the one the
// walk uses (the simulated rig's when no file is given). Empty, or why not naming the option.
std::string readArcOptions(const ArcOptions& o, bool simulate, SimFaults& faults, std::optional<ArcSetup>& setup);

// The walk's microphones as an arc description names them: angle, channel, line and own file's
// curve on axis.
ArcWalkOptions arcWalkOptionsOf(const ArcDescription& arc, const FrequencyAxis& axis);
// The simulated rig's arc as a description: microphone m on channel m + 2, no files.
ArcDescription simulatedArcDescription(const SimFaults& faults);

// "h:mm:ss" of whole seconds.
std::string clockText(double seconds);
// measure's plain progress line: "V=<v> deg: <done> of <total> points, rig <t>, wall <t>".
std::string progressLine(const BalloonProgress& progress);

} // namespace vantrel
