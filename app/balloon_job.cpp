#include "app/balloon_job.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <thread>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "app/arc_walk.h"
#include "app/measure_plan.h"
#include "balloon/balloon_autosave.h"
#include "balloon/replace_file.h"
#include "balloon/balloon_file.h"
#include "balloon/distortion_balloon.h"
#include "mls/measurement_window.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "platform/sim/sim_audio.h"
#include "turntable/port_list.h"

namespace vantrel {

namespace {

using WallClock = std::chrono::steady_clock;

// Watches the event log for message boxes, so that a refusal can be given to the user in the
// system's own words.
class MessageTap final : public std::streambuf {
public:
    std::vector<std::string> messages;

private:
    int overflow(int c) override
    {
        if (c == '\n') {
            inspect();
            line_.clear();
        } else if (c != traits_type::eof()) {
            line_ += static_cast<char>(c);
        }
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        for (std::streamsize i = 0; i < n; ++i)
            overflow(static_cast<unsigned char>(s[i]));
        return n;
    }
    // "<ms> message <window> "<caption>" <icon> "<text>" -> <answer>"
    void inspect()
    {
        const auto at = line_.find(" message ");
        if (at == std::string::npos)
            return;
        std::vector<std::string> quoted;
        std::string current;
        bool inside = false;
        for (std::size_t i = at; i < line_.size(); ++i) {
            const char ch = line_[i];
            if (!inside) {
                if (ch == '"')
                    inside = true;
                continue;
            }
            if (ch == '\\' && i + 1 < line_.size()) {
                const char e = line_[++i];
                current += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
            } else if (ch == '"') {
                quoted.push_back(current);
                current.clear();
                inside = false;
            } else {
                current += ch;
            }
        }
        if (quoted.size() >= 2)
            messages.push_back(quoted[1]);
    }
    std::string line_;
};

BalloonTrailer trailerOf(const MlsSettings& s, AngleGrid grid)
{
    return {s.windowTypeIndex, s.rateIndex, s.smoothingIndex, s.fftWindowPosition, s.fromIndex, s.toIndex,
            angleGridFlag(grid)};
}

int rateIndexFor(int hz)
{
    for (std::size_t i = 0; i < kRateTexts.size(); ++i)
        if (kRateTexts[i] == std::to_string(hz))
            return static_cast<int>(i);
    return -1;
}

std::string joined(const std::vector<std::string>& messages, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < messages.size(); ++i)
        out += (out.empty() ? "" : "\n") + messages[i];
    return out;
}

double levelDb(const ComplexBin& b)
{
    return 10 * std::log10(static_cast<double>(b.re) * b.re + static_cast<double>(b.im) * b.im + 1e-30);
}

// Cells against the loudspeaker model of the simulated rig. Compared wherever the measurement
// can resolve the model: not more than 40 dB under the axis (the microphone's noise) and where
// the model changes by no more than 0.25 dB within half the 1/24 octave of the smoothing (a
// smoothed response cannot follow the notches of the two drivers point by point).
void modelDeviation(MainWindow& main, const SimAudioSystem& audio, BalloonJobResult& result)
{
    const AngleGrid grid = main.angleGrid();
    const int step = gridStepDegrees(grid);
    const FrequencyAxis& axis = main.axis();
    const BalloonMatrix& m = main.matrix();
    const auto modelDb = [&](double hz, int h, int v) { return 20 * std::log10(std::abs(audio.inTransfer(hz, h, v))); };
    int k1 = 0;
    while (k1 < kAxisPoints - 1 && axis[k1] < 1000)
        ++k1;
    const double offset = levelDb(m.cell(0, 0)[static_cast<std::size_t>(k1)]) - modelDb(axis[k1], 0, 90);
    double worst = 0;
    for (int row = 0; row <= lastRow(grid); ++row)
        for (int column = 0; column <= lastColumn(grid); ++column) {
            const int v = 90 - step * row, h = step * column;
            const auto cell = m.cell(row, column);
            for (int i = 0; i < kAxisPoints; ++i) {
                const double f = axis[i];
                if (f < 100 || f > 20000)
                    continue;
                const double model = modelDb(f, h, v);
                const double spread = std::max(std::abs(modelDb(f * std::pow(2.0, 1.0 / 48), h, v) - model),
                                               std::abs(modelDb(f * std::pow(2.0, -1.0 / 48), h, v) - model));
                if (model < modelDb(f, 0, 0) - 40 || spread > 0.25)
                    continue;
                const double error = std::abs(levelDb(cell[static_cast<std::size_t>(i)]) - offset - model);
                if (error > worst) {
                    worst = error;
                    result.deviationAt = "H=" + std::to_string(h) + " V=" + std::to_string(v) + " deg, " +
                                         std::to_string(static_cast<long>(std::lround(f))) + " Hz";
                }
            }
        }
    result.deviationDb = worst;
}

bool writableDirectory(const std::filesystem::path& directory, std::string& why)
{
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) {
        why = "no such directory";
        return false;
    }
    if (::access(directory.c_str(), W_OK | X_OK) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

// Nothing when the walk can start; else why not, naming the option that mends it. windowText
// and frontText come back as the walk will measure with them, note says which window and why.
std::optional<std::string> checkBeforeTheWalk(const BalloonJobOptions& o, const MlsSettings& s, int order, int rateIndex,
                                              AudioSystem& audio, const std::string& autosaveDirectory,
                                              std::string& windowText, std::string& frontText, std::string& note)
{
    const bool resuming = !o.resumeDirectory.empty();
    if (order < 13 || order > 18)
        return "the MLS order " + std::to_string(order) + " is outside 13..18: give --order";
    const int rate = rateIndex >= 0 && rateIndex < static_cast<int>(kRateTexts.size())
                         ? std::atoi(std::string(kRateTexts[static_cast<std::size_t>(rateIndex)]).c_str())
                         : 0;
    if (rate != 48000 && rate != 96000)
        return "the sampling rate " + std::to_string(rate) + " Hz cannot measure (48000 or 96000): give --rate";

    const long longest = (1L << order) - 1;
    const long kept = std::lround(textValue(s.windowWidthText));
    if (o.windowSamples) {
        if (*o.windowSamples < 1 || *o.windowSamples > longest)
            return "--window " + std::to_string(*o.windowSamples) + ": order " + std::to_string(order) +
                   " allows 1.." + std::to_string(longest) + " samples; give a shorter --window or a higher --order";
        windowText = std::to_string(*o.windowSamples);
        note = "time window: " + windowText + " samples (--window)";
    } else if (kept >= 1 && kept <= longest) {
        note = "time window: " + windowText + " samples (" + (o.preferencesFile.empty() ? "the initial setting" : "the preferences") + ")";
    } else if (resuming) {
        return "the interrupted walk's time window of " + s.windowWidthText + " samples does not fit its order " +
               std::to_string(order);
    } else {
        windowText = std::to_string(longest);
        note = "time window: " + windowText + " samples, the longest order " + std::to_string(order) + " allows (" +
               s.windowWidthText + " does not fit it; --window chooses another)";
    }
    if (o.frontSamples) {
        if (*o.frontSamples < 0 || *o.frontSamples >= std::atol(windowText.c_str()))
            return "--front " + std::to_string(*o.frontSamples) + ": the front of the window lies inside it, 0.." +
                   std::to_string(std::atol(windowText.c_str()) - 1) + " samples; give a shorter --front";
        frontText = std::to_string(*o.frontSamples);
    }
    const bool symmetric = s.windowTypeIndex >= 5;
    if (symmetric && s.fftWindowPosition < std::atol(windowText.c_str()) + 1)
        return "the preferences' symmetric time window \"" + std::string(kWindowTypeTexts[static_cast<std::size_t>(s.windowTypeIndex)]) +
               "\" needs a window position past its width: give --window " + std::to_string(std::max(1, s.fftWindowPosition - 1)) +
               " or less, or another window type in --preferences";

    const int input = o.inputDevice >= 0 ? o.inputDevice : s.inputDeviceId;
    const int output = o.outputDevice >= 0 ? o.outputDevice : s.outputDeviceId;
    if (input < 0 || input >= audio.inputDeviceCount())
        return "input device " + std::to_string(input) + " does not exist (" + std::to_string(audio.inputDeviceCount()) +
               " found): give --input";
    if (output < 0 || output >= audio.outputDeviceCount())
        return "output device " + std::to_string(output) + " does not exist (" + std::to_string(audio.outputDeviceCount()) +
               " found): give --output";

    std::string why;
    if (!o.output.empty()) {
        const std::filesystem::path target(o.output);
        const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
        if (!writableDirectory(directory, why))
            return "-o " + o.output + ": cannot write in '" + directory.string() + "' (" + why + "); give -o in a writable directory";
    }
    if (!writableDirectory(autosaveDirectory.empty() ? "." : autosaveDirectory, why))
        return "the autosave directory '" + autosaveDirectory + "' is not writable (" + why +
               "); run the measurement from a writable directory";
    return std::nullopt;
}

} // namespace

int portIndexFor(const std::string& port, int turntable)
{
    for (std::size_t i = 0; i < kPortNames.size(); ++i)
        if (kPortNames[i] == port)
            return static_cast<int>(i);
    const int index = turntable == 1 ? 0 : 1; // "COM1" and "COM2"
    const std::string variable = "VANTREL_PORT_" + std::string(kPortNames[static_cast<std::size_t>(index)]);
    ::setenv(variable.c_str(), port.c_str(), 1);
    return index;
}

BalloonJobResult runBalloonJob(const BalloonJobOptions& options, const std::function<void(const BalloonProgress&)>& progress,
                               const std::atomic<bool>* interrupt, const std::function<void(const std::string&)>& note)
{
    BalloonJobResult result;
    MessageTap tap;
    std::ostream events(&tap);
    HeadlessPlatform platform(events);
    platform.setRealTime(!options.simulate);
    // Nobody sees a headless job's windows: drawing them after every point cost a fifth of the walk.
    platform.setPainting(false);
    DeviceSet devices(options.simulate, platform.clock(), platform.log(), options.faults);
    // No start-up offer of an interrupted run here: only --resume continues one.
    auto main = MainWindow::start(platform, devices.devices(), options.startDirectory, false);
    if (!main) {
        result.message = joined(tap.messages, 0);
        return result;
    }
    const std::size_t startupMessages = tap.messages.size(); // a missing own preferences file is no refusal
    const auto refuse = [&](std::string fallback) {
        result.outcome = BalloonJobResult::Outcome::refused;
        result.message = joined(tap.messages, startupMessages);
        if (result.message.empty())
            result.message = std::move(fallback);
        return result;
    };
    const auto script = [&](const std::string& text) {
        std::istringstream in(text);
        return runSessionScript(platform, in);
    };

    if (!options.preferencesFile.empty()) {
        PreferencesRecord record{};
        std::ifstream in(options.preferencesFile, std::ios::binary);
        in.read(reinterpret_cast<char*>(record.data()), static_cast<std::streamsize>(record.size()));
        if (!in || in.gcount() != static_cast<std::streamsize>(record.size()))
            return refuse("cannot read the preferences file '" + options.preferencesFile + "' (" +
                          std::to_string(kPreferencesSize) + " bytes expected)");
        (void)unpackPreferences(record, main->settings(), main->calibration());
    }

    // An arc walk keeps its own record (app/arc_walk.h) and is resumed with the options it ran with.
    const bool arcWalk = !options.faults.arc.empty() || options.arc;
    const bool resuming = !options.resumeDirectory.empty() && !arcWalk;
    if (resuming)
        if (auto error = main->prepareResume(options.resumeDirectory))
            return refuse(*error);

    MlsSettings& s = main->settings();
    if (options.micCalibration && !resuming) {
        FrequencyAxis micAxis;
        micAxis.buildFromIndexes(s.fromIndex, s.toIndex);
        main->calibration() = micCurve(*options.micCalibration, micAxis);
        s.useCalibration = 1;
    }
    if (!resuming && options.windowType)
        s.windowTypeIndex = *options.windowType;
    if (!resuming && options.windowPosition)
        s.fftWindowPosition = *options.windowPosition;
    if (!resuming) {
        main->excitation().sweep = options.sweep;
        main->excitation().f1Hz = options.sweepF1;
        main->excitation().f2Hz = options.sweepF2;
    }
    // A resumed walk measures with the settings its autosave kept.
    const int order = resuming ? s.mlsOrder() : options.order.value_or(options.preferencesFile.empty() ? 18 : s.mlsOrder());
    const int rateIndex = !resuming && options.rateHz ? rateIndexFor(*options.rateHz) : s.rateIndex;
    std::string windowText = s.windowWidthText, frontText = s.frontWindowText;
    BalloonJobOptions checked = options; // an arc walk resumes with the settings it is given
    if (arcWalk)
        checked.resumeDirectory.clear();
    if (auto refusal = checkBeforeTheWalk(checked, s, order, rateIndex, devices.audio(), main->autosaveDirectory(),
                                          windowText, frontText, result.windowNote))
        return refuse(*refusal);
    if (options.autoGate)
        result.windowNote += "; at the first point cut before the first reflection (--gate auto)";
    else if (options.gateMs)
        result.windowNote += "; at the first point cut " + fixedText(*options.gateMs, 3) + " ms after the direct sound (--gate)";
    if (note)
        note(result.windowNote);
    std::string setup;
    if (!resuming) // a resumed walk keeps its own grid
        setup = std::string("press main ") + (options.grid == AngleGrid::Grid10 ? "1031" : "1030") + "\n";
    if (!options.simulate) {
        setup += "select main 3000 " + std::to_string(portIndexFor(options.tt1Port, 1)) + "\n";
        setup += "select main 3001 " + std::to_string(portIndexFor(options.tt2Port, 2)) + "\n";
    }
    setup += "press main 1004\npress main 1012\n";
    main->pacing() = options.pacing;
    if (auto error = script(setup))
        return refuse(error->message);
    if (!main->turntables().connected(1) || !main->turntables().connected(2))
        return refuse("a turntable could not be connected");

    std::string measure = "press main 1038\n";
    measure += "select measure 10003 " + std::to_string(order - 13) + "\n";
    if (rateIndex >= 0)
        measure += "select measure 10004 " + std::to_string(rateIndex) + "\n";
    if (options.inputDevice >= 0)
        measure += "select measure 20026 " + std::to_string(options.inputDevice) + "\n";
    if (options.outputDevice >= 0)
        measure += "select measure 20027 " + std::to_string(options.outputDevice) + "\n";
    if (windowText != s.windowWidthText)
        measure += "type measure 10012 \"" + windowText + "\"\n";
    if (frontText != s.frontWindowText)
        measure += "type measure 10013 \"" + frontText + "\"\n";
    if (s.useSavedIr == 1)
        measure += "press measure 20030\n";
    if (auto error = script(measure))
        return refuse(error->message);
    if (options.autoGate || options.gateMs) {
        MeasurementWindow* window = main->measurementDialog();
        if (!window)
            return refuse("the measurement window did not open");
        window->requestGate(options.gateMs);
    }

    const auto wallStart = WallClock::now();
    const std::uint64_t rigStart = platform.now();
    const auto report = [&] {
        result.pointsDone = main->sequencer().pointsDone();
        result.rigSeconds = static_cast<double>(platform.now() - rigStart) / 1000.0;
        result.wallSeconds = std::chrono::duration<double>(WallClock::now() - wallStart).count();
        if (progress)
            progress({result.pointsDone, main->sequencer().totalPoints(), main->sequence().currentHAngle,
                      main->sequence().currentVAngle, result.rigSeconds, result.wallSeconds});
    };

    if (arcWalk) {
        ArcWalkOptions arc;
        if (options.arc) {
            arc = arcWalkOptionsOf(*options.arc, main->axis());
        } else {
            for (const SimArcMicrophone& m : options.faults.arc)
                arc.angles.push_back(static_cast<int>(std::lround(m.angleDegrees)));
        }
        arc.realTime = !options.simulate;
        if (options.arcCalibration)
            if (auto error = applyArcCalibration(*options.arcCalibration, s.fromIndex, s.toIndex, arc.angles,
                                                 arc.micCurves))
                return refuse(*error);
        if (!options.arcCalibrationOutput.empty()) {
            ArcCalibrationResult cal = runArcCalibration(platform, *main, devices.audio(), arc, interrupt);
            result.rigSeconds = cal.rigSeconds;
            result.message = cal.message;
            switch (cal.outcome) {
            case ArcCalibrationResult::Outcome::refused: return refuse(cal.message);
            case ArcCalibrationResult::Outcome::interrupted: result.outcome = BalloonJobResult::Outcome::interrupted; break;
            case ArcCalibrationResult::Outcome::halted: result.outcome = BalloonJobResult::Outcome::halted; break;
            case ArcCalibrationResult::Outcome::completed:
                if (auto error = replaceFile(options.arcCalibrationOutput, arcCalibrationText(cal.calibration)))
                    return refuse(*error);
                result.outcome = BalloonJobResult::Outcome::completed;
                result.savedTo = options.arcCalibrationOutput;
                break;
            }
            result.arcCalibration = std::move(cal);
            return result;
        }
        arc.pacing = options.pacing;
        arc.resume = !options.resumeDirectory.empty();
        arc.autosaveDirectory = arc.resume ? options.resumeDirectory : main->autosaveDirectory();
        arc.inputDevice = options.inputDevice >= 0 ? options.inputDevice : s.inputDeviceId;
        arc.outputDevice = options.outputDevice >= 0 ? options.outputDevice : s.outputDeviceId;
        const ArcWalkResult walk = runArcWalk(
            platform, *main, devices.audio(), devices.motors(), arc,
            [&](const ArcWalkProgress& p) {
                if (progress)
                    progress({p.stopsDone, p.stops, p.h, p.v, static_cast<double>(platform.now() - rigStart) / 1000.0,
                              std::chrono::duration<double>(WallClock::now() - wallStart).count()});
            },
            interrupt);
        result.wallSeconds = std::chrono::duration<double>(WallClock::now() - wallStart).count();
        result.pointsDone = walk.record.stopsDone;
        result.pointsKept = walk.stopsKept;
        result.rigSeconds = walk.rigSeconds;
        result.soundAndMotionSeconds = walk.soundSeconds + walk.motionSeconds;
        result.message = walk.message;
        switch (walk.outcome) {
        case ArcWalkResult::Outcome::refused: return refuse(walk.message);
        case ArcWalkResult::Outcome::interrupted: result.outcome = BalloonJobResult::Outcome::interrupted; break;
        case ArcWalkResult::Outcome::halted:
            result.outcome = BalloonJobResult::Outcome::halted;
            result.autosaveDirectory = arc.autosaveDirectory;
            break;
        case ArcWalkResult::Outcome::completed:
            result.outcome = BalloonJobResult::Outcome::completed;
            if (const auto* sim = dynamic_cast<const SimAudioSystem*>(&devices.audio()))
                modelDeviation(*main, *sim, result);
            break;
        }
        result.arc = walk;
    } else {
        if (auto error = script("press main 1024\n"))
            return refuse(error->message);
        if (!main->sequence().sequenceRunning)
            return refuse("the sequence did not start");
        if (resuming)
            result.pointsKept = main->sequencer().pointsDone();
        // Steps of the clock: a virtual second on the simulated rig, short real steps on hardware.
        const std::uint32_t stepMs = options.simulate ? 1000 : 20;
        bool interrupted = false;
        while (main->sequence().sequenceRunning && !main->sequencer().halted()) {
            if (interrupt && interrupt->load()) {
                interrupted = true;
                break;
            }
            platform.advance(stepMs);
            platform.settle();
            if (!options.simulate) {
                const auto due = wallStart + std::chrono::milliseconds(platform.now() - rigStart);
                std::this_thread::sleep_until(due);
            }
            report();
        }
        report();

        if (main->sequencer().halted()) {
            // The walk stays interrupted, not aborted: its autosave can be resumed once the fault
            // is mended.
            result.outcome = BalloonJobResult::Outcome::halted;
            result.message = joined(tap.messages, startupMessages);
            if (result.message.empty())
                result.message = "the sequence halted";
            if (const auto kept = readAutosaveProgress(main->autosaveDirectory());
                kept && kept->state == AutosaveState::running)
                result.autosaveDirectory = main->autosaveDirectory();
        } else if (interrupted) {
            if (options.interruptKeepsResumable) {
                // The tables stop, but the walk is not ended: its autosave stays as a halt leaves it.
                main->turntables().abortAll();
                if (const auto kept = readAutosaveProgress(main->autosaveDirectory());
                    kept && kept->state == AutosaveState::running)
                    result.autosaveDirectory = main->autosaveDirectory();
            } else {
                (void)script("press main 1027\n");
            }
            result.outcome = BalloonJobResult::Outcome::interrupted;
        } else {
            result.outcome = BalloonJobResult::Outcome::completed;
            const WalkTimes& t = main->sequencer().times();
            result.rigSeconds = static_cast<double>(t.walkMs) / 1000.0;
            result.fixedWaitRigSeconds = static_cast<double>(t.fixedWaitRigMs(t.walkMs)) / 1000.0;
            result.pacedRigSeconds = static_cast<double>(t.pacedRigMs(t.walkMs)) / 1000.0;
            if (SimulatedMotors* motors = devices.motors()) {
                const double captureSeconds = static_cast<double>(kCaptureBufferFrames) / s.sampleRate();
                result.soundAndMotionSeconds =
                    t.points * captureSeconds +
                    static_cast<double>(motors->controller(1).motionMs() + motors->controller(2).motionMs()) / 1000.0;
            }
            if (const auto* sim = dynamic_cast<const SimAudioSystem*>(&devices.audio()))
                modelDeviation(*main, *sim, result);
        }
    }

    result.gate = main->measurementRecord().gate;
    // Whatever was measured is kept, also when the walk was cut short.
    if (!options.output.empty() && result.outcome != BalloonJobResult::Outcome::refused && result.pointsDone > 0) {
        if (auto error = saveBalloon(options.output, main->matrix(), trailerOf(s, main->angleGrid()))) {
            result.outcome = BalloonJobResult::Outcome::refused;
            result.message = *error;
            return result;
        }
        result.savedTo = options.output;
        const std::string recordPath = measurementRecordPathFor(options.output);
        if (auto error = saveMeasurementRecord(recordPath, main->measurementRecord())) {
            result.outcome = BalloonJobResult::Outcome::refused;
            result.message = *error;
            return result;
        }
        result.recordSavedTo = recordPath;
        if (main->excitation().sweep && main->distortion()) {
            const std::string path = distortionPathFor(options.output);
            if (auto error = saveDistortion(path, *main->distortion())) {
                result.outcome = BalloonJobResult::Outcome::refused;
                result.message = *error;
                return result;
            }
            result.distortionSavedTo = path;
        }
    }

    if (!options.renderDirectory.empty() && options.render && result.outcome == BalloonJobResult::Outcome::completed) {
        std::string error;
        result.pictures = options.render(main->matrix(), main->axis(), main->angleGrid(), error);
        if (!error.empty()) {
            result.outcome = BalloonJobResult::Outcome::refused;
            result.message = error;
        }
    }
    return result;
}

} // namespace vantrel
