#include "sequencer/balloon_sequencer.h"

#include <algorithm>

#include "mls/measurement_window.h"

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "Karvell";
constexpr Rgb kOrange{255, 201, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Pen kBluePen{{0, 0, 255}, 1, PenStyle::Solid};

struct Box {
    int left, top, right, bottom;
};
constexpr Box kHBox{5, 65, 205, 88};
constexpr Box kVBox{5, 485, 205, 510};
constexpr Box kBanner{215, 65, 392, 88};

void paintBox(Canvas& canvas, const Box& box, Rgb fill)
{
    const Pen oldPen = canvas.setPen(kBluePen);
    const Brush oldBrush = canvas.setBrush(Brush{fill, false});
    canvas.rectangle(box.left, box.top, box.right, box.bottom);
    canvas.setBrush(oldBrush);
    canvas.setPen(oldPen);
}

void boxText(Canvas& canvas, int x, int y, const std::string& text)
{
    const Font oldFont = canvas.setFont(Font::System);
    canvas.setTextColour({0, 0, 0});
    canvas.setTextBackground(false);
    canvas.textOut(x, y, text);
    canvas.setFont(oldFont);
}

constexpr std::string_view kNoDialogText = "Measurement Dialoge Not Active";

std::string angleText(std::string_view prefix, int h, int v)
{
    return std::string(prefix) + "H=" + std::to_string(h) + ", V=" + std::to_string(v) + " deg";
}

} // namespace

// The capture always lasts 263,500 frames (5.49 s at 48 kHz) whatever the sequence length;
// the length changes only the processing (correlation, windows, transforms), which roughly
// doubles with each longer sequence. The two longest lengths fix the rule 6000 ms plus
// 2000 ms x 2^(index - 4): 8000 and 10000 ms for indexes 4 and 5, 7000, 6500, 6250 and
// 6125 ms for 3..0, each still past the capture with a second or more for processing and
// store. A measurement that takes longer is waited for anyway.
int measurementWaitMs(int mlsLengthIndex)
{
    const int index = std::clamp(mlsLengthIndex, 0, 5);
    return 6000 + (8000 << index) / 64;
}

BalloonSequencer::BalloonSequencer(SequencerContext context) : ctx_(std::move(context)) {}

int BalloonSequencer::totalPoints() const
{
    const int phases = lastPhase();
    const int perSweep = lastColumn(grid()) + 1;
    return phases * perSweep + 1;
}

bool BalloonSequencer::readyToStart()
{
    Turntables& tt = ctx_.turntables;
    // A walk under way has not necessarily moved a table yet; a second start would send a
    // second measurement into the first one's recording.
    if (tt.busy(1) || tt.busy(2) || ctx_.sequence.sequenceRunning)
        return false;
    const bool tt1 = tt.everOpened(1), tt2 = tt.everOpened(2);
    if (!tt1)
        say("TT 1 Not Connected");
    if (!tt2)
        say("TT 2 Not Connected");
    return tt1 && tt2;
}

void BalloonSequencer::run()
{
    const SequenceState& halted = ctx_.sequence;
    if (halted.sequenceRunning && halted_) {
        if (haltedAtMove_) {
            say("The turntables may not stand at " + angleText("", halted.currentHAngle, halted.currentVAngle) +
                ": the move there did not complete.\n\n\"ABORT Test\" ends the walk; \"RUN Test\" then offers to "
                "resume it from its autosave once the turntables are at the home position.");
            return;
        }
        // The tables stand at the halted point: it is measured again and the walk goes on.
        halted_ = false;
        ctx_.log.record("sequence", angleText("retry at ", halted.currentHAngle, halted.currentVAngle));
        measurementStep();
        return;
    }
    if (!readyToStart())
        return;

    ctx_.selection.viewMode = kMeasurementMode;
    if (ctx_.showViewModeMarks)
        ctx_.showViewModeMarks();

    SequenceState& s = ctx_.sequence;
    s.currentHAngle = 0;
    s.currentVAngle = 90;
    s.sequencePhase = 0;
    s.sequenceRunning = 1;
    s.hLimit = walkHLimit(grid());
    outstanding_ = advancePending_ = halted_ = haltedAtMove_ = false;
    stopWatchdog();
    pointsStarted_ = pointsDone_ = 0;
    times_ = {};
    startedAt_ = now();
    ctx_.log.record("sequence", std::string("start grid ") + std::to_string(step()) + (pacing().paced ? " paced" : ""));

    if (ctx_.drawPoints)
        ctx_.drawPoints({.clear = true});
    if (ctx_.notify)
        if (auto warning = ctx_.notify(SequenceEvent::started))
            say(*warning); // the walk runs on without its autosave
    measurementStep();
}

int walkHLimit(AngleGrid grid) { return grid == AngleGrid::Grid10 ? 355 : 360; }

bool nextWalkPoint(AngleGrid grid, int& phase, int& h, int& v)
{
    const int d = gridStepDegrees(grid);
    if (phase >= lastRow(grid))
        return false;
    const bool upward = phase % 2 == 0;
    if (upward ? h < walkHLimit(grid) : h > 0) {
        h += upward ? d : -d;
    } else {
        h = upward ? 360 : 0;
        v -= d;
        ++phase;
    }
    return true;
}

bool BalloonSequencer::resume(int phase, int hAngle, int vAngle, int pointsDone)
{
    if (!readyToStart())
        return false;
    // Checked before the tables turn to the resume point: without the window they would get
    // there only to halt.
    if (!ctx_.measurementDialog || !ctx_.measurementDialog()) {
        say(std::string(kNoDialogText) + "\n\n\"Measurements\" opens it; \"RUN Test\" then resumes the walk.");
        return false;
    }
    SequenceState& s = ctx_.sequence;
    s.hLimit = walkHLimit(grid());
    int p = phase, h = hAngle, v = vAngle;
    ctx_.selection.viewMode = kMeasurementMode;
    if (ctx_.showViewModeMarks)
        ctx_.showViewModeMarks();
    outstanding_ = advancePending_ = halted_ = haltedAtMove_ = false;
    pointsStarted_ = pointsDone_ = pointsDone;
    times_ = {};
    startedAt_ = now();
    if (!nextWalkPoint(grid(), p, h, v)) {
        // Stopped between the last store and the end: only the end is left to do.
        s.sequencePhase = phase;
        s.currentHAngle = hAngle;
        s.currentVAngle = vAngle;
        s.sequenceRunning = 1;
        ctx_.log.record("sequence", "resume at the end");
        complete();
        return true;
    }
    s.currentHAngle = h;
    s.currentVAngle = v;
    s.sequencePhase = p;
    s.sequenceRunning = 1;
    ctx_.log.record("sequence", angleText("resume at ", h, v));
    // The motor protocol cannot read back where the tables stopped.
    ctx_.mainWindow.message("Put the turntables at the home position of the sequence, H = 0, V = +90, then press OK.",
                            kCaption, MessageIcon::Information);
    // V first, then H, in the steps the motors take (90, 10, 5 degrees); each move's timer
    // hands over to measurementStep, which sends the next one.
    resumeVMove_ = 90 - v;
    resumeHMove_ = h;
    measurementStep();
    return s.sequenceRunning != 0;
}

void BalloonSequencer::measurementStep()
{
    const SequenceState& s = ctx_.sequence;
    if (!s.sequenceRunning || halted_)
        return;
    if (resumeVMove_ > 0 || resumeHMove_ > 0) {
        const bool vertical = resumeVMove_ > 0;
        int& left = vertical ? resumeVMove_ : resumeHMove_;
        const int degrees = left >= 90 ? 90 : left >= 10 ? 10 : 5;
        left -= degrees;
        const int failed = vertical ? ctx_.turntables.moveTurntable2(degrees, -1)
                                    : ctx_.turntables.moveTurntable1(degrees, 1);
        if (failed)
            haltForMove(vertical ? 2 : 1);
        return;
    }
    const WalkPacing pace = pacing();
    if (pace.paced && pace.settleMs > 0 && !settled_) {
        // The table has stopped; whatever still swings dies down before the recording.
        settled_ = true;
        settleRunning_ = true;
        ctx_.mainWindow.startTimer(kSettleTimer, std::clamp(pace.settleMs, 0, kMaxSettleMs));
        return;
    }
    settled_ = false;
    if (ctx_.drawPoints)
        ctx_.drawPoints({.mark = true, .vIndex = s.currentVAngle / step(), .hIndex = s.currentHAngle / step(),
                         .cycle = s.sequencePhase});
    paintMotionBoxes();

    MeasurementWindow* dialog = ctx_.measurementDialog ? ctx_.measurementDialog() : nullptr;
    if (!dialog) {
        say(std::string(kNoDialogText) + "\n\n\"Measurements\" opens it; \"RUN Test\" then measures the point.");
        // Nothing will ever report a measurement here: the walk stands until "ABORT Test".
        halted_ = true;
        ctx_.log.record("sequence", angleText("halted at ", s.currentHAngle, s.currentVAngle));
        return;
    }
    // A paced walk keeps timer 7000 as the point's deadline for the watchdog; its result ends it.
    ctx_.mainWindow.startTimer(kMeasureTimer, measurementWaitMs(ctx_.settings.mlsLengthIndex));
    outstanding_ = true;
    advancePending_ = false;
    pacedPoint_ = pace.paced;
    pointOpen_ = true;
    sentAt_ = now();
    ++pointsStarted_;
    ctx_.log.record("sequence", angleText("point ", s.currentHAngle, s.currentVAngle));
    const int h = s.currentHAngle, v = s.currentVAngle;
    dialog->runSequencedMls(); // command 10007; a refusal is reported before it returns
    // A stored recording is measured at once: a paced walk may already be turning on.
    if (s.currentHAngle == h && s.currentVAngle == v)
        paintBanner(kRed, angleText("MLS ", h, v));
}

bool BalloonSequencer::timer(int id)
{
    if (id == kSettleTimer) {
        const bool due = settleRunning_;
        stopSettle();
        if (due) {
            times_.settleMs += static_cast<std::uint64_t>(std::clamp(pacing().settleMs, 0, kMaxSettleMs));
            measurementStep();
        }
        return true;
    }
    if (id == kRecordingWatchdogTimer) {
        stopWatchdog();
        MeasurementWindow* window = ctx_.measurementDialog ? ctx_.measurementDialog() : nullptr;
        if (ctx_.sequence.sequenceRunning && !halted_ && outstanding_ && window && window->waitingForPerson()) {
            // A person is choosing a file or reading a message: the watch starts again after.
            ctx_.mainWindow.startTimer(kRecordingWatchdogTimer, kRecordingWatchdogMs);
            watchdogRunning_ = true;
            return true;
        }
        if (ctx_.sequence.sequenceRunning && !halted_ && outstanding_) {
            // Whatever the recording delivers later belongs to no cell.
            if (MeasurementWindow* dialog = ctx_.measurementDialog ? ctx_.measurementDialog() : nullptr)
                dialog->abandonSequencedMeasurement();
            outstanding_ = false;
            halt("The recording did not complete within " + std::to_string(kRecordingWatchdogMs / 1000) +
                 " s of its wait");
        }
        return true;
    }
    if (id != kMeasureTimer)
        return false;
    ctx_.mainWindow.killTimer(kMeasureTimer);
    if (!ctx_.sequence.sequenceRunning || halted_)
        return true;
    if (outstanding_) {
        // The result belongs to these angles: the table stays until it is stored.
        advancePending_ = true;
        ctx_.log.record("sequence", "waits for the measurement");
        ctx_.mainWindow.startTimer(kRecordingWatchdogTimer, kRecordingWatchdogMs);
        watchdogRunning_ = true;
        return true;
    }
    advance();
    return true;
}

void BalloonSequencer::stopSettle()
{
    if (settleRunning_)
        ctx_.mainWindow.killTimer(kSettleTimer);
    settleRunning_ = false;
}

void BalloonSequencer::stopWatchdog()
{
    if (watchdogRunning_)
        ctx_.mainWindow.killTimer(kRecordingWatchdogTimer);
    watchdogRunning_ = false;
}

void BalloonSequencer::moveEndFailed(int turntable)
{
    if (ctx_.sequence.sequenceRunning && !halted_) {
        haltedAtMove_ = true;
        halt("Turntable " + std::to_string(turntable) +
             " could not be told that its move ended; the table may have stopped short of the point");
    }
}

void BalloonSequencer::haltForMove(int turntable)
{
    haltedAtMove_ = true;
    halt("Turntable " + std::to_string(turntable) + " did not take the move to the point");
}

void BalloonSequencer::measurementDone(bool ok)
{
    if (!outstanding_)
        return;
    outstanding_ = false;
    stopWatchdog();
    if (!ok) {
        halt();
        return;
    }
    ++pointsDone_;
    const std::uint32_t measured = now() - sentAt_;
    times_.measuredMs += measured;
    times_.fixedWaitMs += std::max<std::uint64_t>(measured, static_cast<std::uint64_t>(
                                                                measurementWaitMs(ctx_.settings.mlsLengthIndex)));
    if (ctx_.notify)
        if (auto error = ctx_.notify(SequenceEvent::stored)) {
            halt(*error);
            return;
        }
    if (pacedPoint_) { // stored and autosaved: the table may turn now
        ctx_.mainWindow.killTimer(kMeasureTimer);
        advancePending_ = false;
        advance();
        return;
    }
    if (advancePending_) {
        advancePending_ = false;
        advance();
    }
}

void BalloonSequencer::advance()
{
    if (pointOpen_) {
        pointOpen_ = false;
        times_.spanMs += now() - sentAt_;
        ++times_.points;
    }
    SequenceState& s = ctx_.sequence;
    int phase = s.sequencePhase, h = s.currentHAngle, v = s.currentVAngle;
    if (!nextWalkPoint(grid(), phase, h, v)) {
        complete();
        paintBanner(kGreen, angleText("Rotating ", s.currentHAngle, s.currentVAngle));
        return;
    }
    // Along the sweep turntable 1 turns one step its way; at the sweep's end turntable 2 steps V down.
    const int turntable = v == s.currentVAngle ? 1 : 2;
    const int direction = h > s.currentHAngle ? 1 : -1;
    s.sequencePhase = phase;
    s.currentHAngle = h;
    s.currentVAngle = v;
    const int failed = turntable == 1 ? ctx_.turntables.moveTurntable1(step(), direction)
                                      : ctx_.turntables.moveTurntable2(step(), -1);
    paintBanner(kGreen, angleText("Rotating ", s.currentHAngle, s.currentVAngle));
    if (failed) // the move has said why; no timer runs
        haltForMove(turntable);
}

void BalloonSequencer::complete()
{
    SequenceState& s = ctx_.sequence;
    s.currentHAngle = 0;
    s.currentVAngle = 0;
    times_.walkMs = now() - startedAt_;
    ctx_.matrix.fillPoleRow(grid());
    // Redrawn without marking a position: the walk has left the grid.
    if (ctx_.drawPoints)
        ctx_.drawPoints({.mark = false, .cycle = s.sequencePhase});
    s.sequenceRunning = 0;
    ctx_.turntables.setBusy(2, false);
    ctx_.turntables.setBusy(1, false);
    ctx_.log.record("sequence", "complete");
    if (ctx_.notify)
        if (auto error = ctx_.notify(SequenceEvent::completed))
            say(*error);
    say("Process Completed");
}

void BalloonSequencer::halt(const std::string& reason)
{
    const SequenceState& s = ctx_.sequence;
    ctx_.mainWindow.killTimer(kMeasureTimer);
    stopWatchdog();
    stopSettle();
    settled_ = pointOpen_ = false;
    advancePending_ = false;
    halted_ = true;
    ctx_.log.record("sequence", angleText("halted at ", s.currentHAngle, s.currentVAngle));
    say((reason.empty() ? "Measurement failed at " : reason + "\n\nat ") + angleText("", s.currentHAngle, s.currentVAngle) +
        (haltedAtMove_ ? "\n\nThe sequence is halted here; \"ABORT Test\" ends it."
                       : "\n\nThe sequence is halted here; \"RUN Test\" measures the point again, \"ABORT Test\" "
                         "ends it."));
}

void BalloonSequencer::abort()
{
    ctx_.mainWindow.killTimer(kMeasureTimer);
    SequenceState& s = ctx_.sequence;
    s.sequenceRunning = 0;
    s.currentHAngle = 0;
    s.currentVAngle = 0;
    // A recording still in flight belongs to no cell any more.
    if (MeasurementWindow* dialog = ctx_.measurementDialog ? ctx_.measurementDialog() : nullptr)
        dialog->abandonSequencedMeasurement();
    stopWatchdog();
    stopSettle();
    settled_ = pointOpen_ = false;
    // A walk a fault halted is interrupted, not given up: its autosave stays resumable.
    const bool givenUp = !halted_ && (outstanding_ || pointsStarted_ > 0);
    outstanding_ = advancePending_ = halted_ = haltedAtMove_ = false;
    resumeHMove_ = resumeVMove_ = 0;
    ctx_.turntables.abortAll();
    ctx_.log.record("sequence", "aborted");
    if (givenUp && ctx_.notify)
        (void)ctx_.notify(SequenceEvent::aborted);
}

void BalloonSequencer::endQuietly()
{
    if (!ctx_.sequence.sequenceRunning)
        return;
    ctx_.mainWindow.killTimer(kMeasureTimer);
    stopWatchdog();
    stopSettle();
    settled_ = pointOpen_ = false;
    if (MeasurementWindow* dialog = ctx_.measurementDialog ? ctx_.measurementDialog() : nullptr)
        dialog->abandonSequencedMeasurement();
    ctx_.sequence.sequenceRunning = 0;
    outstanding_ = advancePending_ = halted_ = haltedAtMove_ = false;
    resumeHMove_ = resumeVMove_ = 0;
    ctx_.log.record("sequence", "ended by the close");
}

void BalloonSequencer::paintMotionBoxes()
{
    const SequenceState& s = ctx_.sequence;
    Canvas& c = ctx_.mainWindow.surface();
    paintBox(c, kHBox, kOrange);
    boxText(c, 10, 70, "Current H-Angle = " + std::to_string(s.currentHAngle) + " deg");
    paintBox(c, kVBox, kOrange);
    boxText(c, 10, 488, "Current V-Angle = " + std::to_string(s.currentVAngle) + " deg");
}

void BalloonSequencer::paintBanner(Rgb fill, const std::string& text)
{
    Canvas& c = ctx_.mainWindow.surface();
    paintBox(c, kBanner, fill);
    boxText(c, 218, 68, text);
}

void BalloonSequencer::say(const std::string& text)
{
    ctx_.mainWindow.message(text, kCaption, MessageIcon::Information);
}

} // namespace vantrel
