#pragma once
// The walk of a microphone arc (sequencer/arc_plan.h) on the main window's rig: the turntables
// go from stop to stop by the same moves and waits as the point walk; at each stop one
// recording holds REF and every microphone, and each microphone's channel becomes its response
// through the same processing as the single microphone's IN, stored in every cell of its
// direction (or, for a direction already kept, compared with it: the arc's repeatability).
// A paced walk records as soon as the motor has turned its step (turntable/motor_commands.h,
// stepMotionMs) plus the settle time; the move's fixed wait and the end of the move it sends
// run out under the recording, and a table takes its next move only after that end. The
// channels of a stop are processed side by side, each engine on its own channels, with the
// same bits as one engine taking them in turn; they are stored in the microphones' order.
// After each stop the balloon ("arc-autosave.BAL") and the progress record ("arc-autosave.run",
// sequencer/arc_record.h) are replaced in the autosave directory, so an interrupted walk
// resumes at its next stop and loses at most the one it was at.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mls/frequency_response.h"
#include "sequencer/arc_record.h"
#include "sequencer/walk_pacing.h"

namespace vantrel {

class AudioSystem;
class JobClock;
class MainWindow;
class SimulatedMotors;

inline constexpr const char* kArcBalloonName = "arc-autosave.BAL";
inline constexpr const char* kArcRecordName = "arc-autosave.run";

struct ArcWalkOptions {
    std::vector<int> angles;       // the arc's microphones, degrees along it
    // Per microphone: its channel in the recording (REF is 0; empty: 1..N in turn), the line of
    // the arc description that gave it (0: none), and its own calibration, applied in place of
    // the run's curve.
    std::vector<int> channels;
    std::vector<int> lines;
    std::vector<std::optional<CalibrationCurve>> micCurves;
    bool realTime = false;         // real hardware: the virtual clock follows the wall
    WalkPacing pacing;
    std::string autosaveDirectory; // where arc-autosave.BAL and arc-autosave.run are kept
    bool resume = false;           // continue the walk kept there (its settings already applied)
    // The tables turn back home (H=0, V=90), where a walk starts and resumes, once it stops
    // unless a fault halted it: the desktop's next walk runs on the same tables.
    bool endAtHome = false;
    int inputDevice = 0, outputDevice = 0;
    // Engines processing a stop's channels at once: 0 one per core, at most kMaxArcWorkers;
    // 1 one channel after the other.
    int workers = 0;
};

// Each engine holds about 30 MB of buffers: eight keep 64 channels at order 18 within 1 GB.
inline constexpr int kMaxArcWorkers = 8;

struct ArcWalkProgress {
    int stopsDone = 0, stops = 0;
    int h = 0, v = 0;
};

struct ArcWalkResult {
    enum class Outcome { completed, interrupted, halted, refused } outcome = Outcome::refused;
    std::string message;
    ArcProgress record;            // as last kept
    int stopsKept = 0;             // stops a resumed walk took from its autosave
    double rigSeconds = 0;         // the virtual clock from the first move to the last store
    double soundSeconds = 0;       // the captures of the stops
    double motionSeconds = 0;      // the motors' turning (simulated rig)
    double standingSeconds = 0;    // a table's fixed wait after its motion, past the recording:
                                   // the protocol's (2 s on every move of turntable 2)
    double processingSeconds = 0;  // wall time turning the channels into responses, summed
                                   // over the channels (each one's own, whichever engine)
    double processingWallSeconds = 0; // wall time of the stops' processing, side by side
    double recordingWallSeconds = 0;  // wall time from each recording's start to its end: on
                                      // the simulated rig mostly its computing of them
    int responses = 0;             // channels processed
    int workers = 1;               // engines that processed them
};

// The walk's checks come first: the arc's angles on the grid, and the input device's channels
// (REF and one per microphone) before any table moves. A resumed walk reads its record and
// balloon from the autosave directory and refuses one of another arc or grid.
ArcWalkResult runArcWalk(JobClock& platform, MainWindow& main, AudioSystem& audio, SimulatedMotors* motors,
                         const ArcWalkOptions& options, const std::function<void(const ArcWalkProgress&)>& progress,
                         const std::atomic<bool>* interrupt);

// The record and balloon an interrupted arc walk left in directory, for --resume: nothing when
// there is none.
std::optional<ArcProgress> readArcProgress(const std::string& directory, std::string& error);

} // namespace vantrel
