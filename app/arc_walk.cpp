#include "app/arc_walk.h"

#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "app/main_window.h"
#include "balloon/balloon_file.h"
#include "balloon/replace_file.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/audio_system.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/motor_rig.h"
#include "sequencer/arc_plan.h"
#include "sequencer/balloon_sequencer.h"

namespace vantrel {

namespace {

using WallClock = std::chrono::steady_clock;

constexpr std::uint32_t kStepMs = 5;          // the virtual clock's step while the walk waits
constexpr std::uint32_t kMoveLimitMs = 60000; // a move whose wait has not ended by then is hung
constexpr int kMoveSteps[] = {90, 10, 5, 1};  // the steps a move is made of, largest first
// Repeats compare levels over the band every measurement resolves.
constexpr double kSpreadLowHz = 100, kSpreadHighHz = 10000;

struct Completions final : AudioCompletion {
    bool output = false, capture = false;
    void outputDone() override { output = true; }
    void captureDone(std::size_t) override { capture = true; }
};

double levelOf(const ComplexBin& b)
{
    return 10 * std::log10(static_cast<double>(b.re) * b.re + static_cast<double>(b.im) * b.im + 1e-30);
}

std::string stopText(const ArcStop& stop)
{
    return "H=" + std::to_string(stop.h) + ", V=" + std::to_string(stop.v) + " deg";
}

std::string pathIn(const std::string& directory, const char* name)
{
    return (std::filesystem::path(directory.empty() ? "." : directory) / name).string();
}

} // namespace

std::optional<ArcProgress> readArcProgress(const std::string& directory, std::string& error)
{
    const std::string path = pathIn(directory, kArcRecordName);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "no interrupted arc walk in '" + (directory.empty() ? std::string(".") : directory) + "' (" +
                kArcRecordName + " is missing)";
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string why;
    auto p = parseArcProgress(text, why);
    if (!p)
        error = path + ": " + why;
    return p;
}

ArcWalkResult runArcWalk(HeadlessPlatform& platform, MainWindow& main, AudioSystem& audio, SimulatedMotors* motors,
                         const ArcWalkOptions& options, const std::function<void(const ArcWalkProgress&)>& progress,
                         const std::atomic<bool>* interrupt)
{
    ArcWalkResult result;
    const auto refuse = [&](std::string message) {
        result.outcome = ArcWalkResult::Outcome::refused;
        result.message = std::move(message);
        return result;
    };
    const AngleGrid grid = main.angleGrid();
    MlsSettings& s = main.settings();
    if (auto problem = arcAnglesProblem(options.angles, grid))
        return refuse("the arc: " + *problem);
    const std::size_t mics = options.angles.size();
    std::vector<std::size_t> channelOf(mics);
    std::size_t channels = 1;
    for (std::size_t m = 0; m < mics; ++m) {
        channelOf[m] = m < options.channels.size() ? static_cast<std::size_t>(options.channels[m]) : m + 1;
        channels = std::max(channels, channelOf[m] + 1);
    }
    AudioDeviceCaps caps;
    if (audio.inputCaps(options.inputDevice, caps) != kAudioOk)
        return refuse("input device " + std::to_string(options.inputDevice) + " does not exist: give --input");
    if (caps.channels < static_cast<int>(channels)) {
        for (std::size_t m = 0; m < mics; ++m) // a channel the description names
            if (m < options.lines.size() && options.lines[m] > 0 && channelOf[m] + 1 > static_cast<std::size_t>(caps.channels))
                return refuse("the arc description, line " + std::to_string(options.lines[m]) + ": channel " +
                              std::to_string(channelOf[m] + 1) + " is beyond the input device \"" + caps.name +
                              "\", which has " + std::to_string(caps.channels) + " channels");
        return refuse("the input device \"" + caps.name + "\" has " + std::to_string(caps.channels) +
                      " channels; the arc needs " + std::to_string(channels) + " (REF and " + std::to_string(mics) +
                      " microphones)");
    }

    const ArcPlan plan = planArcWalk(options.angles, grid);
    ArcProgress record;
    record.grid = grid;
    record.mlsLengthIndex = s.mlsLengthIndex;
    record.rateIndex = s.rateIndex;
    record.angles = options.angles;
    record.stops = static_cast<int>(plan.stops.size());
    const std::string balloonPath = pathIn(options.autosaveDirectory, kArcBalloonName);
    const std::string recordPath = pathIn(options.autosaveDirectory, kArcRecordName);
    if (options.resume) {
        std::string error;
        const auto kept = readArcProgress(options.autosaveDirectory, error);
        if (!kept)
            return refuse(error);
        if (kept->angles != record.angles || kept->grid != grid || kept->stops != record.stops ||
            kept->mlsLengthIndex != record.mlsLengthIndex || kept->rateIndex != record.rateIndex)
            return refuse(recordPath + ": the interrupted walk was measured with another arc, grid or settings");
        if (const auto loaded = loadBalloon(balloonPath, main.matrix()); !loaded)
            return refuse(loaded.error);
        record = *kept;
        result.stopsKept = kept->stopsDone;
    }
    result.record = record;

    Turntables& tables = main.turntables();
    const auto wallStart = WallClock::now();
    const std::uint32_t clockStart = platform.now();
    const auto waitFor = [&](const auto& done, std::uint32_t limitMs) {
        const std::uint32_t from = platform.now();
        while (!done()) {
            if (platform.now() - from > limitMs)
                return false;
            platform.advance(kStepMs);
            platform.settle();
            if (options.realTime) // the tables and the card keep the wall's time
                std::this_thread::sleep_until(wallStart + std::chrono::milliseconds(platform.now() - clockStart));
        }
        return true;
    };
    // The rig stands at home (H = 0, V = +90), as a walk starts and resumes.
    int atH = 0, atV = 90;
    const auto turn = [&](int turntable, int delta) -> std::optional<std::string> {
        const int direction = delta < 0 ? -1 : 1;
        int left = std::abs(delta);
        for (const int step : kMoveSteps)
            while (left >= step) {
                const int failed = turntable == 1 ? tables.moveTurntable1(step, direction)
                                                  : tables.moveTurntable2(step, direction);
                if (failed != 0 || !waitFor([&] { return !tables.busy(turntable); }, kMoveLimitMs))
                    return "turntable " + std::to_string(turntable) + " did not complete its move";
                left -= step;
            }
        return std::nullopt;
    };

    MlsEngine engine;
    std::vector<std::int32_t> play(2 * kPlayBufferFrames);
    std::vector<std::int32_t> capture(channels * kCaptureBufferFrames);
    const std::uint64_t motionAtStart =
        motors ? motors->controller(1).motionMs() + motors->controller(2).motionMs() : 0;
    const std::uint32_t rigStart = platform.now();
    const double captureSeconds = static_cast<double>(kCaptureBufferFrames) / s.sampleRate();
    const auto halt = [&](std::string message) {
        result.outcome = ArcWalkResult::Outcome::halted;
        result.message = std::move(message);
    };

    result.outcome = ArcWalkResult::Outcome::completed;
    for (int k = record.stopsDone; k < record.stops; ++k) {
        if (interrupt && interrupt->load()) {
            result.outcome = ArcWalkResult::Outcome::interrupted;
            break;
        }
        const ArcStop& stop = plan.stops[static_cast<std::size_t>(k)];
        if (auto failed = turn(2, stop.v - atV)) {
            halt(*failed + " to " + stopText(stop));
            break;
        }
        atV = stop.v;
        if (auto failed = turn(1, stop.h - atH)) {
            halt(*failed + " to " + stopText(stop));
            break;
        }
        atH = stop.h;
        if (options.pacing.paced && options.pacing.settleMs > 0) {
            platform.advance(static_cast<std::uint32_t>(options.pacing.settleMs));
            platform.settle();
        }

        // One recording of REF and every microphone.
        const std::uint32_t startedAt = platform.now();
        engine.clearWorkArrays();
        engine.buildTimeWindows(s);
        if (const MlsStatus status = engine.generateMlsForPlayback(s); !status.ok()) {
            halt(std::string(status.message));
            break;
        }
        std::copy(engine.playBuffer().begin(), engine.playBuffer().end(), play.begin());
        Completions done;
        const int rate = s.sampleRate();
        AudioStatus status = audio.openOutput(options.outputDevice, rate, main.host(), done);
        if (status == kAudioOk && !audio.setInputChannels(static_cast<int>(channels))) {
            (void)audio.closeOutput();
            halt("the sound card cannot record " + std::to_string(channels) + " channels in one stream");
            break;
        }
        if (status == kAudioOk)
            status = audio.prepareOutput(play);
        if (status == kAudioOk)
            status = audio.openInput(options.inputDevice, rate, main.host(), done);
        if (status == kAudioOk)
            status = audio.prepareInput(capture);
        if (status == kAudioOk)
            status = audio.queueInput();
        if (status == kAudioOk)
            status = audio.startInput();
        if (status == kAudioOk)
            status = audio.play();
        const bool returned =
            status == kAudioOk && waitFor([&] { return done.output && done.capture; }, kRecordingWatchdogMs);
        (void)audio.stopInput();
        (void)audio.resetInput();
        (void)audio.unprepareInput();
        (void)audio.closeInput();
        (void)audio.setInputChannels(2); // the single microphone's recording, as before
        (void)audio.resetOutput();
        (void)audio.unprepareOutput();
        (void)audio.closeOutput();
        if (!returned) {
            halt("the recording at " + stopText(stop) + " failed: " +
                 (status != kAudioOk ? audio.errorText(status) : std::string("it never returned")));
            break;
        }
        result.soundSeconds += captureSeconds;

        // Each microphone's channel as the single microphone's IN.
        const auto processStart = WallClock::now();
        std::optional<std::string> failure;
        for (std::size_t m = 0; m < mics && !failure; ++m) {
            engine.clearWorkArrays();
            engine.buildTimeWindows(s);
            std::span<std::int32_t> pair = engine.captureCopy();
            for (std::size_t c = 0; c < kCaptureBufferFrames; ++c) {
                pair[2 * c] = capture[channels * c];
                pair[2 * c + 1] = capture[channels * c + channelOf[m]];
            }
            engine.splitCapture(s);
            engine.computeImpulseResponses(s);
            // The microphone's own file replaces the run's curve for its channel.
            const bool ownCurve = m < options.micCurves.size() && options.micCurves[m];
            MlsSettings channelSettings = s;
            if (ownCurve)
                channelSettings.useCalibration = 1;
            if (const MlsStatus processed = engine.computeFrequencyResponse(
                    channelSettings, main.axis(), ownCurve ? *options.micCurves[m] : main.calibration());
                !processed.ok()) {
                failure = std::string(processed.message);
                break;
            }
            std::array<float, kDataBins> levels{}, phases{};
            const AxisLevelPhase& r = engine.response();
            for (std::size_t j = 0; j < levels.size(); ++j) {
                levels[j] = r[j].level;
                phases[j] = r[j].phase;
            }
            ++result.responses;
            const ArcReach& reach = stop.reaches[m];
            const CellIndex own = reach.cells.front();
            const int step = gridStepDegrees(grid);
            if (reach.keeps) {
                if (!main.matrix().storeMeasurement(own.column * step, 90 - own.row * step, grid, levels, phases)) {
                    failure = std::string(kResponseRangeText);
                    break;
                }
                for (std::size_t c = 1; c < reach.cells.size(); ++c)
                    (void)main.matrix().copyCell(own, reach.cells[c]);
                continue;
            }
            // A repeat: how far it lies from the kept value.
            ++record.repeats;
            const auto kept = main.matrix().cell(own.row, own.column);
            for (int j = 0; j < kDataBins; ++j) {
                const double hz = main.axis()[j];
                if (hz < kSpreadLowHz || hz > kSpreadHighHz)
                    continue;
                const auto jj = static_cast<std::size_t>(j);
                const double d = levelOf(encodeBin(levels[jj], phases[jj])) - levelOf(kept[jj]);
                if (!std::isfinite(d))
                    continue;
                record.spreadSumSquares += d * d;
                ++record.spreadCount;
                if (std::abs(d) > record.worstDb) {
                    record.worstDb = std::abs(d);
                    record.worstH = own.column * step;
                    record.worstV = 90 - own.row * step;
                    record.worstHz = static_cast<int>(std::lround(hz));
                }
            }
        }
        result.processingSeconds += std::chrono::duration<double>(WallClock::now() - processStart).count();
        if (failure) {
            halt("the response at " + stopText(stop) + ": " + *failure);
            break;
        }
        if (!options.pacing.paced) { // the fixed wait of every point
            const std::uint32_t due = startedAt + static_cast<std::uint32_t>(measurementWaitMs(s.mlsLengthIndex));
            (void)waitFor([&] { return platform.now() >= due; }, kMoveLimitMs);
        }

        record.stopsDone = k + 1;
        const BalloonTrailer trailer{s.windowTypeIndex, s.rateIndex,  s.smoothingIndex,    s.fftWindowPosition,
                                     s.fromIndex,       s.toIndex,    angleGridFlag(grid)};
        std::optional<std::string> kept = saveBalloon(balloonPath, main.matrix(), trailer);
        if (!kept)
            kept = replaceFile(recordPath, arcProgressText(record));
        if (kept) {
            record.stopsDone = k; // the autosave holds the stop before
            halt("the autosave: " + *kept);
            break;
        }
        result.record = record;
        if (progress)
            progress({record.stopsDone, record.stops, stop.h, stop.v});
    }
    result.record = record;
    result.rigSeconds = static_cast<double>(platform.now() - rigStart) / 1000.0;
    if (motors)
        result.motionSeconds =
            static_cast<double>(motors->controller(1).motionMs() + motors->controller(2).motionMs() - motionAtStart) /
            1000.0;
    return result;
}

} // namespace vantrel
