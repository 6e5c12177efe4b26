// The main window's microphone arc: "Arc..." and "Arc Calibrate" of the measurement window, and
// "RUN Test" walking the arc's stops (app/arc_walk.h) while an arc is chosen. The walk runs
// inside the command on the platform's job clock, so the windows stay live and "ABORT Test"
// is heard between its stops.

#include <algorithm>

#include "app/arc_calibration.h"
#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "app/measure_plan.h"
#include "balloon/replace_file.h"
#include "mls/measurement_window.h"
#include "platform/number_text.h"
#include "sequencer/arc_plan.h"

namespace vantrel {

namespace {

constexpr std::string_view kArcCaption = "Arc";
constexpr std::string_view kWalkCaption = "Karvell";

std::string stopsText(int done, int of)
{
    return std::to_string(done) + " of " + std::to_string(of) + " stops";
}

std::string arcChannelsText(const ArcDescription& arc, const std::string& path, bool calibrated)
{
    std::string text = (path.empty() ? std::string("The simulated rig's arc") : path) + ": ";
    if (arc.radius > 0)
        text += "radius " + fixedText(arc.radius, 3) + " m, ";
    text += std::to_string(arc.microphones.size()) + " microphones\n";
    for (const ArcMicrophone& m : arc.microphones)
        text += "\nchannel " + std::to_string(m.channel) + ": " + std::to_string(m.angle) + " deg" +
                (m.micFile.empty() ? "" : ", " + m.micFile);
    text += calibrated ? "\n\n\"RUN Test\" walks the arc, corrected by its self-calibration."
                       : "\n\n\"RUN Test\" walks the arc.";
    return text;
}

} // namespace

void MainWindow::useArc(ArcDescription arc, std::string path, std::optional<ArcCalibration> calibration)
{
    if (devices_.simulatedRig) // its microphones stand where the start put them
        rigArc_ = arc;
    arc_ = std::move(arc);
    arcPath_ = std::move(path);
    arcCalibration_ = std::move(calibration);
}

bool MainWindow::arcBusy() const
{
    return arcRunning_;
}

void MainWindow::chooseArc(WindowHost& owner)
{
    if (arcRunning_)
        return;
    FileDialogSpec dialog;
    dialog.filterName = "Arc Descriptions (*.txt)";
    dialog.filterPattern = "*.txt";
    dialog.moreFilters = "All Files (*)";
    dialog.initialPath = arcPath_;
    const std::optional<std::string> path = owner.fileDialog(dialog);
    if (!path) { // no new file: the arc in use, if any
        if (arc_)
            owner.message(arcChannelsText(*arc_, arcPath_, arcCalibration_.has_value()), kArcCaption,
                          MessageIcon::Information);
        return;
    }
    // The channels the input device records now: a microphone beyond them is refused.
    int channels = kMaxInputChannels;
    AudioDeviceCaps caps;
    if (devices_.audio && devices_.audio->inputCaps(settings_.inputDeviceId, caps) == kAudioOk)
        channels = std::clamp(caps.channels, 1, kMaxInputChannels);
    std::string error;
    std::optional<ArcDescription> arc = readArcDescription(*path, angleGrid_, channels, error);
    if (arc && devices_.simulatedRig) {
        // The simulated rig cannot be rewired: a description of other microphones would store
        // each response under a direction it was not measured at.
        const std::vector<ArcMicrophone> wired =
            rigArc_ ? rigArc_->microphones : std::vector<ArcMicrophone>{{0, 2, 0, {}, std::nullopt}};
        for (const ArcMicrophone& m : arc->microphones) {
            const auto at = std::find_if(wired.begin(), wired.end(),
                                         [&](const ArcMicrophone& w) { return w.channel == m.channel; });
            if (at == wired.end() || at->angle != m.angle) {
                error = "line " + std::to_string(m.line) + ": the simulated rig has " +
                        (at == wired.end() ? "no microphone on channel " + std::to_string(m.channel)
                                           : "its microphone on channel " + std::to_string(m.channel) + " at " +
                                                 std::to_string(at->angle) + " degrees") +
                        " (--sim-arc or --arc at start wires it)";
                arc.reset();
                break;
            }
        }
    }
    if (!arc) {
        owner.message(*path + ": " + error, kArcCaption, MessageIcon::Warning);
        return;
    }
    // A self-calibration belongs to the microphones it was measured on.
    const auto anglesOf = [](const ArcDescription& a) {
        std::vector<int> angles;
        for (const ArcMicrophone& m : a.microphones)
            angles.push_back(m.angle);
        return angles;
    };
    if (!arc_ || anglesOf(*arc_) != anglesOf(*arc))
        arcCalibration_.reset();
    arc_ = std::move(arc);
    arcPath_ = *path;
    platform_.log().record("arc", arcPath_ + " " + std::to_string(arc_->microphones.size()) + " microphones");
    owner.message(arcChannelsText(*arc_, arcPath_, arcCalibration_.has_value()), kArcCaption, MessageIcon::Information);
}

std::optional<ArcWalkOptions> MainWindow::arcWalkOptions(WindowHost& owner, bool calibrated)
{
    if (!arc_) {
        owner.message("Choose the microphone arc first: \"Arc...\" in the measurement window.", kArcCaption,
                      MessageIcon::Information);
        return std::nullopt;
    }
    if (!devices_.audio) {
        owner.message("No sound card: the arc is recorded through one.", kArcCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    if (!sequencer_->readyToStart())
        return std::nullopt;
    ArcWalkOptions o = arcWalkOptionsOf(*arc_, axis_);
    o.pacing = pacing_;
    o.endAtHome = true;
    o.autosaveDirectory = autosaveDirectory_;
    o.inputDevice = settings_.inputDeviceId;
    o.outputDevice = settings_.outputDeviceId;
    if (calibrated && arcCalibration_)
        if (auto error = applyArcCalibration(*arcCalibration_, settings_.fromIndex, settings_.toIndex, o.angles, o.micCurves)) {
            owner.message("The arc's self-calibration: " + *error, kArcCaption, MessageIcon::Warning);
            return std::nullopt;
        }
    return o;
}

// The walk holds the window: only its abort is heard, between the stops; a button or menu entry
// pressed meanwhile is refused with a beep, as the measurement window refuses its settings.
bool MainWindow::arcCommand(int id, int code)
{
    if (arcRunning_) {
        if (id == main_ids::kAbortTest) {
            arcInterrupt_ = true;
            platform_.log().record("arc", "abort");
        } else if (code == kNotifyClicked) {
            host_->beep(BeepKind::Exclamation);
        }
        return true;
    }
    if (id != main_ids::kRunTest || !arc_ || sequence_.sequenceRunning)
        return false;
    walkArc();
    return true;
}

void MainWindow::walkArc()
{
    std::optional<ArcWalkOptions> o = arcWalkOptions(*host_, true);
    if (!o)
        return;
    // An interrupted walk of this arc, grid and settings is offered first, as a single
    // microphone's is; it goes on with the balloon its autosave keeps.
    std::string why;
    if (const auto kept = readArcProgress(autosaveDirectory_, why);
        kept && kept->stopsDone < kept->stops && kept->angles == o->angles && kept->grid == angleGrid_ &&
        kept->mlsLengthIndex == settings_.mlsLengthIndex && kept->rateIndex == settings_.rateIndex)
        o->resume = host_->message("Resume the interrupted arc walk after " + stopsText(kept->stopsDone, kept->stops) +
                                       " ?",
                                   kWalkCaption, MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
    if (!o->resume && !mayOverwriteBalloon())
        return;

    const ArcPlan plan = planArcWalk(o->angles, angleGrid_);
    const int step = gridStepDegrees(angleGrid_);
    selection_.viewMode = kMeasurementMode;
    showRadioMarks();
    if (!o->resume)
        drawPointView({.clear = true});
    loadedSource_.reset();
    arcRunning_ = true;
    arcInterrupt_ = false;
    refreshMenus();
    platform_.log().record("arc", "start " + std::to_string(plan.stops.size()) + " stops" + (o->resume ? " resumed" : ""));
    const auto progress = [&](const ArcWalkProgress& p) {
            if (p.stopsDone >= 1 && p.stopsDone <= static_cast<int>(plan.stops.size()))
            for (const ArcReach& reach : plan.stops[static_cast<std::size_t>(p.stopsDone - 1)].reaches)
                if (reach.keeps)
                    drawBalloonPoints(0, 90 / step - reach.cells.front().row, reach.cells.front().column, 1);
        // The balloon so far, as the point walk draws it at the end of each row.
        drawBalloonPoints(0, p.v / step, p.h / step, 0);
        host_->showDrawing();
        host_->setTitle("Arc walk: " + stopsText(p.stopsDone, p.stops) + ", H=" + std::to_string(p.h) +
                        ", V=" + std::to_string(p.v) + " deg");
        platform_.log().record("arc", "stop " + std::to_string(p.stopsDone) + " of " + std::to_string(p.stops));
    };
    const ArcWalkResult walk =
        runArcWalk(platform_.jobClock(), *this, *devices_.audio, nullptr, *o, progress, &arcInterrupt_);
    arcRunning_ = false;
    if (walk.outcome != ArcWalkResult::Outcome::refused && walk.record.stopsDone > 0)
        balloonUnsaved_ = true;
    host_->setTitle(std::string(kMainWindowSpec.title) + (balloonFileName_.empty() ? "" : " - " + balloonFileName_));
    drawCurrentView();
    refreshMenus();
    const std::string resumable = "\n\nIts autosave keeps it: \"RUN Test\" offers to go on after " +
                                  stopsText(walk.record.stopsDone, walk.record.stops) + ".";
    switch (walk.outcome) {
    case ArcWalkResult::Outcome::refused:
        host_->message(walk.message, kWalkCaption, MessageIcon::Warning);
        return;
    case ArcWalkResult::Outcome::interrupted:
        platform_.log().record("arc", "aborted");
        host_->message("The arc walk was aborted." + resumable, kWalkCaption, MessageIcon::Information);
        return;
    case ArcWalkResult::Outcome::halted:
        platform_.log().record("arc", "halted");
        host_->message(walk.message + resumable.substr(0, resumable.size() - 1) +
                           " once the turntables stand at home, H=0 and V=90 deg.",
                       kWalkCaption, MessageIcon::Warning);
        return;
    case ArcWalkResult::Outcome::completed:
        platform_.log().record("arc", "completed");
        host_->message("Process Completed", kWalkCaption, MessageIcon::Information);
        return;
    }
}

void MainWindow::calibrateArc(WindowHost& owner)
{
    if (arcRunning_ || sequence_.sequenceRunning)
        return;
    std::optional<ArcWalkOptions> o = arcWalkOptions(owner, false);
    if (!o)
        return;
    arcRunning_ = true;
    arcInterrupt_ = false;
    refreshMenus();
    platform_.log().record("arc", "calibrate " + std::to_string(o->angles.size()) + " microphones");
    const ArcCalibrationResult cal = runArcCalibration(platform_.jobClock(), *this, *devices_.audio, *o, &arcInterrupt_);
    arcRunning_ = false;
    refreshMenus();
    switch (cal.outcome) {
    case ArcCalibrationResult::Outcome::refused:
    case ArcCalibrationResult::Outcome::halted:
        owner.message(cal.message, kArcCaption, MessageIcon::Warning);
        return;
    case ArcCalibrationResult::Outcome::interrupted:
        owner.message("The arc's self-calibration was aborted: nothing was kept.", kArcCaption, MessageIcon::Information);
        return;
    case ArcCalibrationResult::Outcome::completed: break;
    }
    FileDialogSpec dialog;
    dialog.save = true;
    dialog.filterName = "Arc Calibrations (*.cal)";
    dialog.filterPattern = "*.cal";
    dialog.initialPath = arcCalibrationPath_.empty() ? std::string("arc.cal") : arcCalibrationPath_;
    std::optional<std::string> path = owner.fileDialog(dialog);
    // The walks of this arc are corrected by it from now on, saved or not.
    arcCalibration_ = cal.calibration;
    const std::string applied = "\n\nThe arc's walks are corrected by it from now on.";
    if (!path) {
        owner.message("The self-calibration of " + std::to_string(cal.calibration.microphones.size()) +
                          " microphones was not saved." + applied,
                      kArcCaption, MessageIcon::Information);
        return;
    }
    if (auto error = replaceFile(*path, arcCalibrationText(cal.calibration))) {
        owner.message("Unable To SAVE " + *path + ": " + *error + applied, kArcCaption, MessageIcon::Warning);
        return;
    }
    arcCalibrationPath_ = *path;
    platform_.log().record("arc", "calibration saved " + *path);
    owner.message("The self-calibration of " + std::to_string(cal.calibration.microphones.size()) +
                      " microphones is saved in " + *path + " (--arc-calibration reads it)." + applied,
                  kArcCaption, MessageIcon::Information);
}

} // namespace vantrel
