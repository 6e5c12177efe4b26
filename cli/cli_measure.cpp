// vantrel-cli measure: the main job. A whole balloon measured unattended on the simulated rig
// (--simulate, virtual clock) or on real turntables and a sound card (--tt1, --tt2, real
// clock), with progress on standard error, saved as a balloon file.

#include <unistd.h>

#include <QImage>
#include <QString>
#include <atomic>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/arc_file.h"
#include "app/balloon_job.h"
#include "app/measure_plan.h"
#include "cli/cli_command.h"
#include "balloon/balloon_autosave.h"
#include "balloon/sample_rates.h"
#include "platform/number_text.h"
#include "platform/sim/room.h"
#include "platform/sim/sim_arc.h"
#include "platform/sim/sim_audio.h"
#include "cli/sim_fault_option.h"
#include "mls/sweep.h"
#include "app/main_window_controls.h"
#include "platform/qt/image_canvas.h"
#include "views/balloon_display.h"
#include "views/view_area.h"

namespace vantrel {
namespace {

constexpr int kExitInterrupted = 130;
constexpr std::string_view kName = "measure";

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true); }

// The command line's options, with the one only measure has.
struct MeasureOptions : MeasureRequest {
    std::string render;
};

class ProgressDisplay {
public:
    ProgressDisplay() : terminal_(::isatty(STDERR_FILENO) == 1) {}

    void show(const BalloonProgress& p)
    {
        if (!terminal_) {
            // One plain line per V angle.
            if (!finalShown_ && (p.vAngle != lastV_ || p.done == p.total)) {
                lastV_ = p.vAngle;
                finalShown_ = p.done == p.total;
                std::fprintf(stderr, "%s\n", progressLine(p).c_str());
            }
            return;
        }
        if (p.wallSeconds - lastDrawn_ < 0.1 && p.done != p.total)
            return;
        lastDrawn_ = p.wallSeconds;
        constexpr int kWidth = 30;
        const int filled = p.total > 0 ? p.done * kWidth / p.total : 0;
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.resize(kWidth, '.');
        std::string left = "--";
        std::string leftWall = "--";
        if (p.done > 0) {
            const double share = static_cast<double>(p.total - p.done) / p.done;
            left = clockText(p.rigSeconds * share);
            leftWall = clockText(p.wallSeconds * share);
        }
        std::fprintf(stderr, "\r[%s] %d/%d  H=%d V=%d  elapsed %s  left: rig %s, wall %s \x1b[K", bar.c_str(), p.done,
                     p.total, p.hAngle, p.vAngle, clockText(p.wallSeconds).c_str(), left.c_str(), leftWall.c_str());
    }
    void finish()
    {
        if (terminal_)
            std::fputc('\n', stderr);
    }

private:
    bool terminal_;
    int lastV_ = 1000;
    bool finalShown_ = false;
    double lastDrawn_ = -1;
};

int nearestBin(const FrequencyAxis& axis, double hz)
{
    int best = 0;
    for (int i = 1; i < kAxisPoints; ++i)
        if (std::abs(axis[i] - hz) < std::abs(axis[best] - hz))
            best = i;
    return best;
}

// The views as `vantrel-cli render` draws them: the main window's own display on a window-sized
// image, cut to the view area.
std::vector<std::string> renderViews(const std::string& directory, const BalloonMatrix& matrix,
                                     const FrequencyAxis& axis, AngleGrid grid, std::string& error)
{
    struct View {
        const char* file;
        int mode;
        double hz; // 0: the selection's own frequency
    };
    constexpr View kViews[] = {{"points.png", kMeasurementMode, 0},
                               {"fine-1000Hz.png", kFineMode, 1000},
                               {"fine-8000Hz.png", kFineMode, 8000}};
    ensureGuiApplication();
    std::vector<std::string> written;
    for (const View& v : kViews) {
        SelectionState selection;
        selection.viewMode = v.mode;
        if (v.hz > 0)
            selection.selectedBin = nearestBin(axis, v.hz);
        QImage image(kMainWidth, kMainHeight, QImage::Format_RGB32);
        ImageCanvas canvas(image);
        canvas.erase(kMainBackground);
        const int sequencePhase = 0;
        BalloonDisplay display(matrix, selection, axis, grid, sequencePhase);
        display.paint(canvas, false, false);
        const QImage view = image.copy(kViewArea.left, kViewArea.top, kViewArea.right - kViewArea.left,
                                       kViewArea.bottom - kViewArea.top);
        const std::string path = (std::filesystem::path(directory) / v.file).string();
        if (!view.save(QString::fromStdString(path), "PNG")) {
            error = "cannot write '" + path + "'";
            return written;
        }
        written.push_back(path);
    }
    return written;
}

int run(MeasureOptions o)
{
    if (!o.render.empty() && !std::filesystem::is_directory(o.render))
        return cliUsageError(kName, "--render: '" + o.render + "' is not a directory");
    std::error_code ec;
    MeasurePlan plan = planMeasure(o, std::filesystem::current_path(ec).string());
    if (!plan.error.empty())
        return plan.usage ? cliUsageError(kName, plan.error) : cliRefusal(kName, plan.error);
    for (const std::string& note : plan.notes)
        std::printf("%s\n", note.c_str());
    BalloonJobOptions& job = plan.job;
    job.renderDirectory = o.render;
    job.render = [dir = o.render](const BalloonMatrix& matrix, const FrequencyAxis& axis, AngleGrid grid,
                                  std::string& error) { return renderViews(dir, matrix, axis, grid, error); };

    interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ::sigaction(SIGINT, &action, &previous);

    ProgressDisplay display;
    const BalloonJobResult r = runBalloonJob(job, [&](const BalloonProgress& p) { display.show(p); }, &interrupted,
                                             [&](const std::string& note) {
                                                 std::fprintf(stderr, "vantrel-cli measure: %s\n", note.c_str());
                                             });
    display.finish();
    ::sigaction(SIGINT, &previous, nullptr);

    switch (r.outcome) {
    case BalloonJobResult::Outcome::refused:
        return cliRefusal(kName, r.message);
    case BalloonJobResult::Outcome::interrupted:
        std::fprintf(stderr, "vantrel-cli measure: interrupted after %d %s (\"ABORT Test\")", r.pointsDone,
                     r.arc ? "stops" : "points");
        if (!r.savedTo.empty())
            std::fprintf(stderr, "; what was measured is saved in %s", r.savedTo.c_str());
        std::fputc('\n', stderr);
        return kExitInterrupted;
    case BalloonJobResult::Outcome::halted:
        std::fprintf(stderr, "vantrel-cli measure: %s\n", r.message.c_str());
        std::fprintf(stderr, "vantrel-cli measure: halted after %d %s", r.pointsDone, r.arc ? "stops" : "points");
        if (!r.savedTo.empty())
            std::fprintf(stderr, "; what was measured is saved in %s", r.savedTo.c_str());
        std::fputc('\n', stderr);
        if (!r.autosaveDirectory.empty())
            std::fprintf(stderr, "vantrel-cli measure: once the fault is mended, 'vantrel-cli measure --resume %s'%s "
                                 "continues the walk\n", r.autosaveDirectory.c_str(),
                         r.arc ? " with the same arc options" : "");
        return 1;
    case BalloonJobResult::Outcome::completed:
        break;
    }
    std::printf("Process Completed\n");
    if (r.arc) {
        const ArcProgress& a = r.arc->record;
        std::printf("arc: %zu microphones, %d stops, %d responses processed\n", a.angles.size(), a.stops,
                    r.arc->responses);
        if (r.pointsKept > 0)
            std::printf("stops kept from the autosave: %d\n", r.pointsKept);
        if (a.spreadCount > 0)
            std::printf("repeats: %d, level spread %s dB rms, worst %s dB at H=%d V=%d deg, %d Hz (100 Hz..10 kHz)\n",
                        a.repeats, fixedText(std::sqrt(a.spreadSumSquares / static_cast<double>(a.spreadCount)), 3).c_str(),
                        fixedText(a.worstDb, 2).c_str(), a.worstH, a.worstV, a.worstHz);
        std::printf("rig time: %s (%s)\nsound and motion of the path: %s (rig time %s x it)\n",
                    clockText(r.rigSeconds).c_str(), o.paced ? "paced" : "fixed waits",
                    clockText(r.soundAndMotionSeconds).c_str(),
                    fixedText(r.rigSeconds / r.soundAndMotionSeconds, 2).c_str());
        if (r.arc->standingSeconds > 0)
            std::printf("the turntables' fixed waits past their motion and the recording: %s\n",
                        clockText(r.arc->standingSeconds).c_str());
        std::printf("wall time: %s s, of it processing %s s (%s ms a response, %d side by side)\n",
                    fixedText(r.wallSeconds, 1).c_str(), fixedText(r.arc->processingWallSeconds, 1).c_str(),
                    fixedText(1000 * r.arc->processingSeconds / std::max(1, r.arc->responses), 1).c_str(),
                    r.arc->workers);
    } else {
    std::printf("points measured: %d\n", r.pointsDone);
    if (r.pointsKept > 0)
        std::printf("points kept from the autosave: %d\n", r.pointsKept);
    std::printf("rig time: %s (%s)\nwall time: %s\n", clockText(r.rigSeconds).c_str(),
                o.paced ? "paced" : "fixed waits", fixedText(r.wallSeconds, 1).c_str());
    if (r.soundAndMotionSeconds > 0) {
        // The other pacing's time follows exactly from this walk's point times.
        const double fixed = r.fixedWaitRigSeconds, paced = r.pacedRigSeconds, path = r.soundAndMotionSeconds;
        std::printf("rig time with fixed waits: %s (%s x the path's sound and motion)\n", clockText(fixed).c_str(),
                    fixedText(fixed / path, 2).c_str());
        std::printf("rig time paced%s: %s (%s x the path's sound and motion)\n", o.settle > 0 ? " without settle" : "",
                    clockText(paced).c_str(), fixedText(paced / path, 2).c_str());
        std::printf("sound and motion of the path: %s\n", clockText(path).c_str());
    }
    }
    if (r.deviationDb)
        std::printf("largest deviation from the rig's model, 100 Hz..20 kHz: %s dB (%s)\n",
                    fixedText(*r.deviationDb, 2).c_str(), r.deviationAt.c_str());
    if (!r.savedTo.empty())
        std::printf("saved: %s\n", r.savedTo.c_str());
    if (!r.distortionSavedTo.empty())
        std::printf("distortion saved: %s\n", r.distortionSavedTo.c_str());
    if (r.gate)
        std::printf("gate: %s %s ms after the direct sound\n", r.gate->automatic ? "auto" : "fixed",
                    fixedText(r.gate->ms, 3).c_str());
    if (!r.recordSavedTo.empty())
        std::printf("measurement record saved: %s\n", r.recordSavedTo.c_str());
    for (const std::string& picture : r.pictures)
        std::printf("rendered: %s\n", picture.c_str());
    return 0;
}

std::function<int()> setupMeasure(CLI::App& app)
{
    auto o = std::make_shared<MeasureOptions>();
    app.add_flag("--simulate", o->simulate, "measure on the built-in simulated rig (virtual clock)");
    app.add_option("--tt1", o->tt1, "turntable 1 (H): a port list name such as COM5, or a device path");
    app.add_option("--tt2", o->tt2, "turntable 2 (V): a port list name or a device path");
    app.add_option("--input", o->input, "input device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--output", o->output, "output device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--grid", o->grid, "angle step in degrees: 5 or 10")->capture_default_str()->check(CLI::IsMember({5, 10}));
    app.add_option("--order", o->order, "MLS order, 13..18")->capture_default_str()->check(CLI::Range(13, 18));
    app.add_option("--rate", o->rate, "sampling rate in Hz: 48000 or 96000")->capture_default_str()
        ->check(CLI::IsMember({48000, 96000}));
    app.add_option("--preferences", o->preferences, "measurement settings and calibration curve from a preferences file")
        ->check(CLI::ExistingFile);
    app.add_option("--window", o->window,
                   "time window in samples (at most 2^order - 1); default: the preferences' where it fits the order, "
                   "else the longest the order allows")
        ->check(CLI::Range(1, 262143));
    app.add_option("--window-type", o->windowType, "time window type, 0..9 as the measurement window lists them "
                                                   "(4: Semi-Rectangular); default the preferences'")
        ->check(CLI::Range(0, static_cast<int>(kWindowTypeTexts.size()) - 1));
    app.add_option("--window-position", o->windowPosition,
                   "where the time window starts in the aligned impulse response, samples 0..400 (the direct "
                   "sound at 2 m arrives near sample 335 at 48 kHz); default the preferences'")
        ->check(CLI::Range(0, 400));
    app.add_option("--front", o->front, "front of the time window in samples")->check(CLI::Range(0, 262142));
    app.add_flag("--paced", o->paced,
                 "pace the walk by its results: the move after a point starts once the point is stored "
                 "(default: the fixed 8 or 10 s measurement wait)");
    app.add_option("--settle", o->settle, "a paced walk's wait before each recording, in ms")
        ->capture_default_str()
        ->check(CLI::Range(0, kMaxSettleMs))
        ->needs("--paced");
    app.add_option("-o", o->balloon, "the balloon file to write (*.BAL)");
    app.add_option("--resume", o->resume,
                   "continue the interrupted measurement of this autosave (autosave.BAL, or its directory), "
                   "with the grid and settings it kept")
        ->check(CLI::ExistingPath)
        ->excludes("--grid")
        ->excludes("--order")
        ->excludes("--rate")
        ->excludes("--window")
        ->excludes("--front")
        ->excludes("--window-type")
        ->excludes("--window-position")
        ->excludes("--preferences");
    app.add_option("--mic-file", o->micFile,
                   "correct every response by this measurement microphone's calibration file (Hz, dB and "
                   "optionally phase per line); it replaces the calibration curve of --preferences")
        ->check(CLI::ExistingFile)
        ->excludes("--resume");
    addSimFaultOption(app, o->faults)->needs("--simulate");
    app.add_option("--excitation", o->excitation, "mls, or sweep: a synchronized exponential sweep, whose harmonics "
                                                  "(H2, H3, THD) are saved beside the balloon (*.DST)")
        ->capture_default_str()
        ->check(CLI::IsMember({"mls", "sweep"}))
        ->excludes("--resume");
    app.add_option("--f1", o->f1, "sweep start, Hz")->capture_default_str()->excludes("--resume");
    app.add_option("--f2", o->f2, "sweep end, Hz (default: the Nyquist frequency)")->excludes("--resume");
    app.add_option("--gate", o->gate,
                   "cut the time window before the first reflection: auto finds it at the walk's first point, "
                   "MS ends the window MS after the direct sound; either is kept for the whole balloon, and a "
                   "point whose reflection comes earlier halts the walk")
        ->type_name("auto|MS")
        ->excludes("--resume")
        ->excludes("--window");
    addSimRigOptions(app, *o);
    app.add_option("--arc-calibration", o->arcCalibration,
                   "divide every microphone's responses by its ratio to the first from this calibration set "
                   "(written by arc-calibrate), after its own file")
        ->check(CLI::ExistingFile);
    app.add_option("--arc", o->arcFile,
                   "measure with the microphone arc this file describes (radius, then per microphone its input "
                   "channel, angle and optionally calibration file): the walk stops only where it covers the grid")
        ->check(CLI::ExistingFile);
    app.add_option("--render", o->render, "directory for the point view and the Fine Mode views at 1 kHz and 8 kHz (PNG)");
    return [o] { return run(*o); };
}

const CliRegistration registration({"measure",
                                    "Measure a whole balloon unattended and save it, with a sweep's distortion file "
                                    "beside it, autosaving so a halted walk resumes, and the views as PNG pictures",
                                    setupMeasure});

} // namespace
} // namespace vantrel
