#pragma once
// The main job without a window: a whole balloon measured by the same main-window and
// measurement-window logic as the desktop, driven through their controls (connect both
// turntables, open the measurement window with "Saved IR" off, choose the grid, "RUN Test",
// wait for "Process Completed"), then saved. On the simulated rig it runs on the virtual
// clock; on real hardware the virtual clock is paced to the real one.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/arc_calibration.h"
#include "app/arc_file.h"
#include "app/arc_walk.h"
#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/measurement_record.h"
#include "calibration/mic_file.h"
#include "sequencer/walk_pacing.h"
#include "platform/sim/sim_faults.h"

namespace vantrel {

struct BalloonJobOptions {
    bool simulate = true;
    std::string tt1Port, tt2Port;            // a port list name ("COM5") or a device path
    int inputDevice = -1, outputDevice = -1; // -1: as the preferences have them
    AngleGrid grid = AngleGrid::Grid10;
    std::optional<int> order;      // 13..18; else the preferences', else 18
    std::optional<int> rateHz;     // 48000 or 96000; else the preferences'
    // The time window in samples and its front; without them the preferences' width where it
    // fits the order, else the longest the order allows.
    std::optional<int> windowSamples, frontSamples;
    std::optional<int> windowType;     // index on the "Window Type" list; default the preferences'
    std::optional<int> windowPosition; // the FFT window position, samples 0..400; default the preferences'
    std::string preferencesFile;   // a "Pellant.pre" record: settings and calibration curve
    std::string output;            // *.BAL, saved safely; empty: not saved
    std::string renderDirectory;   // point view and "Fine Mode" at 1 kHz and 8 kHz as PNG
    // Draws the views of the finished balloon into renderDirectory (the caller owns the
    // pictures' format); returns the files written, or the reason none could be.
    std::function<std::vector<std::string>(const BalloonMatrix&, const FrequencyAxis&, AngleGrid, std::string& error)>
        render;
    std::string startDirectory;    // where the program keeps its own preferences
    // The directory of an interrupted run's autosave to continue (grid and settings from it);
    // empty: a new walk, autosaved in startDirectory.
    std::string resumeDirectory;
    SimFaults faults;              // rehearsed by the simulated rig
    // A microphone's calibration file: it replaces the calibration curve and "Use It" is set, so
    // every response is corrected by it (not for a resumed walk, which keeps its own curve).
    std::optional<MicCalibration> micCalibration;
    // The swept sine instead of the MLS (a resumed walk keeps its own excitation); its
    // harmonics are saved beside the balloon file (distortionPathFor(output)).
    bool sweep = false;
    double sweepF1 = 10, sweepF2 = 0; // Hz; 0: the Nyquist frequency
    WalkPacing pacing;             // fixed waits unless paced
    // The time window cut before the first reflection, found at the walk's first point and kept
    // for the whole balloon: automatically, or gateMs after the direct sound.
    bool autoGate = false;
    std::optional<double> gateMs;
    // An interrupt stops the tables and leaves the autosave resumable (autosaveDirectory), in
    // place of "ABORT Test", which ends the walk for good.
    bool interruptKeepsResumable = false;
    // A microphone arc (app/arc_file.h): the walk stops only where it covers the grid. On the
    // simulated rig the arc of faults.arc stands in for it.
    std::optional<ArcDescription> arc;
    // The arc's self-calibration applied to every microphone (after its own file).
    std::optional<ArcCalibration> arcCalibration;
    // Instead of a walk: the arc's self-calibration, its set written here.
    std::string arcCalibrationOutput;
};

struct BalloonProgress {
    int done = 0, total = 0;
    int hAngle = 0, vAngle = 0;
    double rigSeconds = 0, wallSeconds = 0;
};

struct BalloonJobResult {
    // halted: a fault stopped the walk at a point (message says which); what was measured is
    // saved and the autosave stays resumable.
    enum class Outcome { completed, interrupted, halted, refused } outcome = Outcome::refused;
    std::string message; // the system's own message when refused or halted
    std::string windowNote; // which time window the walk measures with, and why
    std::string autosaveDirectory; // when halted (or interrupted, kept resumable): the autosave to resume
    int pointsDone = 0;
    int pointsKept = 0; // of pointsDone, those a resumed walk took from its autosave
    double rigSeconds = 0, wallSeconds = 0;
    // The same walk's rig time under the other pacing, derived exactly from this one's point
    // times (everything between the points is the same): fixed waits, and paced without settle.
    double fixedWaitRigSeconds = 0, pacedRigSeconds = 0;
    // What the path itself needs: the capture of every point and the motion of every move.
    double soundAndMotionSeconds = 0;
    std::string savedTo;           // the balloon file written, if any
    std::string distortionSavedTo; // the distortion file beside it, if the walk had one
    std::string recordSavedTo;     // the measurement record beside it (NAME.MSR)
    std::optional<GateRecord> gate; // the gate the walk measured with
    std::vector<std::string> pictures;
    // A microphone arc's walk (the simulated rig's --sim-arc): its stops, repeats and times;
    // pointsDone and pointsKept then count stops.
    std::optional<ArcWalkResult> arc;
    std::optional<ArcCalibrationResult> arcCalibration; // the self-calibration that ran instead
    // Simulated rig only: the largest level deviation of a measured cell from the rig's model
    // over 100 Hz..20 kHz (one offset for the whole balloon, taken on the axis at 1 kHz),
    // where the model is resolvable (see modelDeviation), and where it lies.
    std::optional<double> deviationDb;
    std::string deviationAt;
};

// The port list index for a turntable's port given by its list name or, for any other device, a
// list name pointed at the device (turntable 1: "COM1", 2: "COM2").
int portIndexFor(const std::string& port, int turntable);

// Everything the walk would refuse at its first point is refused before a turntable is
// connected: the order against the time window, the rate, the sound-card devices, and that the
// balloon file's and the autosave's directories are writable. Each refusal names the option
// that mends it.
// Runs the job. progress is called after every step of the clock; interrupt, when it turns
// true, aborts the walk as "ABORT Test" does and saves what was measured.
// note hears, before the walk starts, which time window it measures with.
BalloonJobResult runBalloonJob(const BalloonJobOptions& options, const std::function<void(const BalloonProgress&)>& progress,
                               const std::atomic<bool>* interrupt,
                               const std::function<void(const std::string&)>& note = {});

} // namespace vantrel
