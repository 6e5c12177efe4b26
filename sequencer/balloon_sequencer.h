#pragma once
// The automatic balloon measurement behind "RUN Test" and "ABORT Test": a serpentine walk over
// the angle grid (H the inner loop, up on even phases and down on odd ones, V stepping down
// at the end of each sweep), one measurement per point sent to the measurement window as its
// "Run MLS" command, a measurement wait (timer 7000) and a move after each point, and at the
// end the pole row copied from row 0.
//
// Point:  measurement step -> [measurement outstanding] -> timer 7000 -> advance -> move
//         -> move timer (turntables) -> measurement step ...
// The walk learns when a measurement ends: a timer 7000 that fires while the point's
// recording or processing is still outstanding waits for it, so a result always lands in the
// cell of the angles it was started at and the table never turns under a recording. A failed
// measurement, a move the line would not take, a move whose end could not be sent and a
// recording that never returns (watched by timer 7001) halt the walk at that point until
// "ABORT Test"; the autosave then stays resumable.

#include <functional>
#include <optional>
#include <string>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/selection_state.h"
#include "mls/mls_settings.h"
#include "platform/event_log.h"
#include "platform/window_host.h"
#include "turntable/sequence_state.h"
#include "sequencer/walk_pacing.h"
#include "turntable/turntables.h"

namespace vantrel {

class MeasurementWindow;

inline constexpr int kMeasureTimer = 7000;
// Started when timer 7000 finds the recording still outstanding: a recording or processing
// that has not ended this long after its wait is taken as hung; the time a person spends in
// a dialog of the measurement window does not count.
inline constexpr int kRecordingWatchdogTimer = 7001;
inline constexpr int kRecordingWatchdogMs = 30000;
inline constexpr int kRunMlsCommand = 10007;
// A paced walk's settle time before a recording.
inline constexpr int kSettleTimer = 7002;

// What the point view is asked to draw: clear the view area, or mark (or only redraw) the
// grid of measured positions; vIndex and hIndex are angle / step.
struct PointViewRequest {
    bool clear = false;
    bool mark = false;
    int vIndex = 0;
    int hIndex = 0;
    int cycle = 0; // sequencePhase
};

// What the walk tells its owner (the autosave): a new walk, a result stored in the cell of the
// current angles (before the next move), the completed balloon, an abort.
enum class SequenceEvent { started, stored, completed, aborted };

struct SequencerContext {
    WindowHost& mainWindow;
    Turntables& turntables;
    SequenceState& sequence;
    SelectionState& selection;
    BalloonMatrix& matrix;
    const MlsSettings& settings;
    EventLog& log;
    std::function<AngleGrid()> angleGrid;
    std::function<MeasurementWindow*()> measurementDialog; // nullptr while it is closed
    std::function<void()> showViewModeMarks;                // the radio buttons follow viewMode
    std::function<void(const PointViewRequest&)> drawPoints; // the point view
    // A refusal of a stored point (the autosave could not keep it) halts the walk there.
    std::function<std::optional<std::string>(SequenceEvent)> notify;
    std::function<std::uint32_t()> now;   // the rig's clock in ms, for the walk's times
    std::function<WalkPacing()> pacing;   // read at every point; fixed waits when empty
};

// Where a walk's rig time went, summed over its points since "RUN Test": from each point's
// "Run MLS" to the move after it (span), to its stored result (measured), and what timer 7000
// would have made of it (the longer of its fixed wait and measured); settle waits apart. The
// other pacing's rig time follows exactly: everything outside the points is the same.
struct WalkTimes {
    std::uint64_t spanMs = 0, measuredMs = 0, fixedWaitMs = 0, settleMs = 0;
    std::uint64_t walkMs = 0; // "RUN Test" to "Process Completed"
    int points = 0;
    // The rig time of the walk whose total was totalMs, had it been paced with the fixed waits
    // or with results (without settle time).
    std::uint64_t fixedWaitRigMs(std::uint64_t totalMs) const { return totalMs - spanMs - settleMs + fixedWaitMs; }
    std::uint64_t pacedRigMs(std::uint64_t totalMs) const { return totalMs - spanMs - settleMs + measuredMs; }
};

// The measurement wait of timer 7000 for an MLS length index.
int measurementWaitMs(int mlsLengthIndex);

// The last H of an upward sweep before V steps down: 355 on the 10-degree grid, 360 on the 5.
int walkHLimit(AngleGrid grid);
// The point after (phase, h, v) on the serpentine walk over grid; false at the end of the walk.
bool nextWalkPoint(AngleGrid grid, int& phase, int& h, int& v);

class BalloonSequencer {
public:
    explicit BalloonSequencer(SequencerContext context);

    // "RUN Test" (1024) and "ABORT Test" (1027). "RUN Test" on a halted walk measures the
    // halted point again and goes on, or says why it cannot.
    void run();
    void abort();
    // The checks "RUN Test" makes before a walk starts: no move under way, no walk running,
    // both turntables connected (each missing one is named). False when the walk cannot start.
    bool readyToStart();
    // The program closes: the walk ends without a word and leaves its autosave resumable.
    void endQuietly();
    // Continues an interrupted walk whose last stored point was (hAngle, vAngle) in phase: the
    // operator has put the rig at the home position (H = 0, V = +90); it is driven from there
    // to the next point, and the walk goes on as if never stopped. A walk whose last point was
    // stored is completed at once (pole row, "Process Completed"). False when the turntables
    // are not ready.
    bool resume(int phase, int hAngle, int vAngle, int pointsDone);
    // Entered from "RUN Test" and from each move's timer while the sequence runs.
    void measurementStep();
    // A move's timer ended it but the turntable's line would not take the end of the move: the
    // table may have stopped short, so nothing is measured there.
    void moveEndFailed(int turntable);
    // Timers 7000 and 7001; false for any other id.
    bool timer(int id);
    // The measurement window reports how a measurement it started for the sequence ended.
    void measurementDone(bool ok);

    // True once a fault stopped the walk (until "ABORT Test" or a new run).
    bool halted() const { return halted_; }
    bool measurementOutstanding() const { return outstanding_; }
    // Points at which a measurement was started since "RUN Test".
    int pointsStarted() const { return pointsStarted_; }
    // Points whose result has been stored since "RUN Test".
    int pointsDone() const { return pointsDone_; }
    // Points of the whole walk on the current grid: 667 or 2629.
    int totalPoints() const;
    const WalkTimes& times() const { return times_; }

private:
    void advance();
    void complete();
    void halt(const std::string& reason = "");
    // The walk halts at the point the move was for, before anything is measured there.
    void haltForMove(int turntable);
    void stopWatchdog();
    void stopSettle();
    std::uint32_t now() const { return ctx_.now ? ctx_.now() : 0; }
    WalkPacing pacing() const { return ctx_.pacing ? ctx_.pacing() : WalkPacing{}; }
    void paintBanner(Rgb fill, const std::string& text);
    void paintMotionBoxes();
    void say(const std::string& text);
    int step() const { return gridStepDegrees(grid()); }
    AngleGrid grid() const { return ctx_.angleGrid ? ctx_.angleGrid() : AngleGrid::Grid5; }
    int lastPhase() const { return lastRow(grid()); }

    SequencerContext ctx_;
    bool outstanding_ = false;    // 10007 sent, the window has not reported yet
    bool advancePending_ = false; // timer 7000 fired during the measurement: advance when it ends
    bool halted_ = false;
    bool haltedAtMove_ = false; // the tables may not stand at the point: no retry there
    bool watchdogRunning_ = false;
    int pointsStarted_ = 0;
    int pointsDone_ = 0;
    int resumeVMove_ = 0; // a resumed walk's way from home still to go: V first, then H
    int resumeHMove_ = 0;
    bool settled_ = false;       // the point's settle wait is over
    bool settleRunning_ = false; // timer 7002
    bool pointOpen_ = false;     // 10007 sent, the move after the point not yet
    bool pacedPoint_ = false;    // the point was started by a paced walk
    std::uint32_t sentAt_ = 0;
    std::uint32_t startedAt_ = 0;
    WalkTimes times_;
};

} // namespace vantrel
