#include "app/arc_walk.h"

#include "app/arc_calibration.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>

#include "app/main_window.h"
#include "balloon/balloon_file.h"
#include "balloon/replace_file.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/audio_system.h"
#include "platform/headless/headless_platform.h"
#include "platform/number_text.h"
#include "platform/sim/motor_rig.h"
#include "sequencer/arc_plan.h"
#include "sequencer/balloon_sequencer.h"
#include "turntable/motor_commands.h"

namespace vantrel {

namespace {

using WallClock = std::chrono::steady_clock;

constexpr std::uint32_t kStepMs = 5;          // the virtual clock's step while the walk waits
constexpr std::uint32_t kMoveLimitMs = 60000; // a move whose wait has not ended by then is hung
constexpr int kMoveSteps[] = {90, 10, 5, 1};  // the steps a move is made of, largest first
// Repeats compare levels over the band every measurement resolves.
constexpr double kSpreadLowHz = 100, kSpreadHighHz = 10000;
// An arc's stop records the period and this much after it, not the single microphone's fixed
// 5.5 s: the processing reads nothing past the period but the pre-roll, as long as the delay
// (the card's latency and the flight to the microphone). At order 16 a stop then takes 1.9 s of
// sound instead of 5.5 s, and every response stays what the whole recording gives, bit for
// bit. A longer delay halts the walk, naming it.
constexpr double kArcTailSeconds = 0.5;

// One microphone's response at a stop, or why it has none.
struct ChannelResponse {
    std::array<float, kDataBins> levels{}, phases{};
    std::optional<std::string> failure;
};

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

namespace {

// The rig as an arc sees it: the tables' moves, one recording of REF and every microphone, and
// each microphone's channel turned into its response.
class ArcRig {
public:
    ArcRig(JobClock& platform, MainWindow& main, AudioSystem& audio, const ArcWalkOptions& options)
        : platform_(platform), main_(main), audio_(audio), options_(options), channelOf_(options.angles.size()),
          wallStart_(WallClock::now()), clockStart_(platform.now())
    {
        for (std::size_t m = 0; m < channelOf_.size(); ++m) {
            channelOf_[m] = m < options.channels.size() ? static_cast<std::size_t>(options.channels[m]) : m + 1;
            channels_ = std::max(channels_, channelOf_[m] + 1);
        }
        const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        const int wanted = options.workers > 0 ? options.workers : cores;
        workers_ = static_cast<std::size_t>(
            std::clamp(std::min(wanted, static_cast<int>(channelOf_.size())), 1, kMaxArcWorkers));
    }

    // Nothing when the input device records every channel the arc needs; else why not.
    std::optional<std::string> channelProblem()
    {
        AudioDeviceCaps caps;
        if (audio_.inputCaps(options_.inputDevice, caps) != kAudioOk)
            return "input device " + std::to_string(options_.inputDevice) + " does not exist: give --input";
        if (caps.channels >= static_cast<int>(channels_))
            return std::nullopt;
        for (std::size_t m = 0; m < channelOf_.size(); ++m) // a channel the description names
            if (m < options_.lines.size() && options_.lines[m] > 0 &&
                channelOf_[m] + 1 > static_cast<std::size_t>(caps.channels))
                return "the arc description, line " + std::to_string(options_.lines[m]) + ": channel " +
                       std::to_string(channelOf_[m] + 1) + " is beyond the input device \"" + caps.name +
                       "\", which has " + std::to_string(caps.channels) + " channels";
        return "the input device \"" + caps.name + "\" has " + std::to_string(caps.channels) + " channels; the arc needs " +
               std::to_string(channels_) + " (REF and " + std::to_string(channelOf_.size()) + " microphones)";
    }

    template <class Done> bool waitFor(const Done& done, std::uint32_t limitMs)
    {
        const std::uint32_t from = platform_.now();
        while (!done()) {
            if (platform_.now() - from > limitMs)
                return false;
            platform_.advance(kStepMs);
            platform_.settle();
            if (options_.realTime) // the tables and the card keep the wall's time
                std::this_thread::sleep_until(wallStart_ + std::chrono::milliseconds(platform_.now() - clockStart_));
        }
        return true;
    }

    // The tables from where they stand to (h, v): V first, then H, in the protocol's steps.
    // Paced, it returns once the motors have turned; a move's end may still be due.
    std::optional<std::string> moveTo(int h, int v)
    {
        if (auto failed = turn(2, v - atV_))
            return failed;
        atV_ = v;
        if (auto failed = turn(1, h - atH_))
            return failed;
        atH_ = h;
        return std::nullopt;
    }

    // One recording of REF and every microphone into capture_; nothing, or why it failed.
    std::optional<std::string> record()
    {
        const auto wallStart = WallClock::now();
        const MlsSettings& s = main_.settings();
        engine_.clearWorkArrays();
        engine_.buildTimeWindows(s);
        if (const MlsStatus status = engine_.generateMlsForPlayback(s); !status.ok())
            return std::string(status.message);
        tailFrames_ = static_cast<std::size_t>(kArcTailSeconds * s.sampleRate());
        frames_ = std::min(kCaptureBufferFrames, static_cast<std::size_t>(s.mlsLength()) + tailFrames_);
        const std::size_t played = std::min(kPlayBufferFrames, static_cast<std::size_t>(kPlayLead) + frames_);
        play_.assign(engine_.playBuffer().begin(), engine_.playBuffer().begin() + static_cast<std::ptrdiff_t>(2 * played));
        capture_.assign(channels_ * frames_, 0);
        split_ = false;
        Completions done;
        const int rate = s.sampleRate();
        AudioStatus status = audio_.openOutput(options_.outputDevice, rate, main_.host(), done);
        if (status == kAudioOk && !audio_.setInputChannels(static_cast<int>(channels_))) {
            (void)audio_.closeOutput();
            return "the sound card cannot record " + std::to_string(channels_) + " channels in one stream";
        }
        if (status == kAudioOk)
            status = audio_.prepareOutput(play_);
        if (status == kAudioOk)
            status = audio_.openInput(options_.inputDevice, rate, main_.host(), done);
        if (status == kAudioOk)
            status = audio_.prepareInput(capture_);
        if (status == kAudioOk)
            status = audio_.queueInput();
        if (status == kAudioOk)
            status = audio_.startInput();
        if (status == kAudioOk)
            status = audio_.play();
        const bool returned =
            status == kAudioOk && waitFor([&] { return done.output && done.capture; }, kRecordingWatchdogMs);
        (void)audio_.stopInput();
        (void)audio_.resetInput();
        (void)audio_.unprepareInput();
        (void)audio_.closeInput();
        (void)audio_.setInputChannels(2); // the single microphone's recording, as before
        (void)audio_.resetOutput();
        (void)audio_.unprepareOutput();
        (void)audio_.closeOutput();
        recordingWallSeconds += std::chrono::duration<double>(WallClock::now() - wallStart).count();
        if (!returned)
            return status != kAudioOk ? audio_.errorText(status) : std::string("it never returned");
        soundSeconds += static_cast<double>(frames_) / rate;
        return std::nullopt;
    }

    // Microphone m's channel of the last recording, with REF, through the single microphone's
    // processing; its own calibration in place of the run's curve.
    std::optional<std::string> process(std::size_t m, std::array<float, kDataBins>& levels,
                                       std::array<float, kDataBins>& phases)
    {
        const auto processStart = WallClock::now();
        splitChannels();
        ChannelResponse r = processWith(engine_, m);
        const double seconds = std::chrono::duration<double>(WallClock::now() - processStart).count();
        processingSeconds += seconds;
        processingWallSeconds += seconds;
        if (r.failure)
            return r.failure;
        levels = r.levels;
        phases = r.phases;
        ++responses;
        return std::nullopt;
    }

    // Every microphone's channel of the last recording, as process() gives it, into
    // responses[m]. The workers take the next channel from one counter, each with its own
    // engine: which engine takes a channel changes nothing in its bits.
    void processAll(std::vector<ChannelResponse>& responses)
    {
        const auto wallStart = WallClock::now();
        const std::size_t mics = channelOf_.size();
        responses.assign(mics, {});
        splitChannels();
        while (extra_.size() + 1 < workers_) { // made once a walk; the tables as the recording's
            extra_.push_back(std::make_unique<MlsEngine>());
            (void)extra_.back()->generateMlsForPlayback(main_.settings());
        }
        std::atomic<std::size_t> next{0};
        std::vector<double> seconds(workers_, 0.0);
        const auto work = [&](std::size_t w) {
            MlsEngine& engine = w == 0 ? engine_ : *extra_[w - 1];
            for (std::size_t m = next++; m < mics; m = next++) {
                const auto start = WallClock::now();
                responses[m] = processWith(engine, m);
                seconds[w] += std::chrono::duration<double>(WallClock::now() - start).count();
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (std::size_t w = 1; w < workers_; ++w)
                helpers.emplace_back(work, w);
            work(0);
        }
        for (const double t : seconds)
            processingSeconds += t;
        for (const ChannelResponse& r : responses)
            responses_ += r.failure ? 0 : 1;
        processingWallSeconds += std::chrono::duration<double>(WallClock::now() - wallStart).count();
    }

    // The moves the walk sent have ended (their fixed waits and ends), or hung.
    void finishMoves()
    {
        Turntables& tables = main_.turntables();
        (void)waitFor([&] { return !tables.busy(1) && !tables.busy(2); }, kMoveLimitMs);
    }

    std::size_t workers() const { return workers_; }
    int responsesDone() const { return responses + responses_; }

    double soundSeconds = 0, standingSeconds = 0, processingSeconds = 0, processingWallSeconds = 0,
           recordingWallSeconds = 0;
    int responses = 0;

private:
    // The recording channel by channel: taking one channel out of the interleaved frames
    // would read the whole recording for each.
    void splitChannels()
    {
        if (split_)
            return;
        planes_.resize(capture_.size());
        for (std::size_t c = 0; c < frames_; ++c)
            for (std::size_t ch = 0; ch < channels_; ++ch)
                planes_[ch * frames_ + c] = capture_[channels_ * c + ch];
        split_ = true;
    }

    // The engine's own work on channel m: nothing in it is shared with another engine but the
    // read-only settings, axis and curves.
    ChannelResponse processWith(MlsEngine& engine, std::size_t m) const
    {
        ChannelResponse out;
        const MlsSettings& s = main_.settings();
        engine.clearWorkArrays();
        engine.buildTimeWindows(s);
        std::span<std::int32_t> pair = engine.captureCopy();
        const std::int32_t* ref = planes_.data();
        const std::int32_t* in = planes_.data() + channelOf_[m] * frames_;
        for (std::size_t c = 0; c < frames_; ++c) {
            pair[2 * c] = ref[c];
            pair[2 * c + 1] = in[c];
        }
        std::fill(pair.begin() + static_cast<std::ptrdiff_t>(2 * frames_), pair.end(), 0);
        engine.splitCapture(s);
        engine.computeImpulseResponses(s);
        const int delay = std::max(engine.refDelay(), engine.inDelay());
        if (static_cast<std::size_t>(delay) >= tailFrames_ && frames_ < kCaptureBufferFrames) {
            out.failure = "the sound arrived " + cleanFixedText(1000.0 * delay / s.sampleRate(), 1) +
                          " ms after the sequence started; an arc's stop records " +
                          cleanFixedText(1000 * kArcTailSeconds, 0) + " ms after it";
            return out;
        }
        const bool ownCurve = m < options_.micCurves.size() && options_.micCurves[m];
        MlsSettings channelSettings = s;
        if (ownCurve)
            channelSettings.useCalibration = 1;
        const MlsStatus processed =
            engine.computeFrequencyResponse(channelSettings, main_.axis(), ownCurve ? *options_.micCurves[m] : main_.calibration());
        if (!processed.ok()) {
            out.failure = std::string(processed.message);
            return out;
        }
        const AxisLevelPhase& r = engine.response();
        for (std::size_t j = 0; j < out.levels.size(); ++j) {
            out.levels[j] = r[j].level;
            out.phases[j] = r[j].phase;
        }
        return out;
    }

    std::optional<std::string> turn(int turntable, int delta)
    {
        Turntables& tables = main_.turntables();
        const int direction = delta < 0 ? -1 : 1;
        int left = std::abs(delta);
        const auto hung = [&] { return "turntable " + std::to_string(turntable) + " did not complete its move"; };
        for (const int step : kMoveSteps)
            while (left >= step) {
                // A paced move's end may still be due: the table takes no move before it.
                const std::uint32_t standing = platform_.now();
                if (!waitFor([&] { return !tables.busy(turntable); }, kMoveLimitMs))
                    return hung();
                standingSeconds += static_cast<double>(platform_.now() - standing) / 1000.0;
                const int failed =
                    turntable == 1 ? tables.moveTurntable1(step, direction) : tables.moveTurntable2(step, direction);
                if (failed != 0)
                    return hung();
                if (options_.pacing.paced) {
                    const std::uint32_t turned = platform_.now() + static_cast<std::uint32_t>(*stepMotionMs(step));
                    (void)waitFor([&] { return platform_.now() >= turned; }, kMoveLimitMs);
                } else if (!waitFor([&] { return !tables.busy(turntable); }, kMoveLimitMs)) {
                    return hung();
                }
                left -= step;
            }
        return std::nullopt;
    }

    JobClock& platform_;
    MainWindow& main_;
    AudioSystem& audio_;
    const ArcWalkOptions& options_;
    std::vector<std::size_t> channelOf_; // per microphone its channel in the recording
    std::size_t channels_ = 1;           // channels recorded: REF and up to the highest microphone's
    WallClock::time_point wallStart_;
    std::uint32_t clockStart_;
    int atH_ = 0, atV_ = 90;             // the rig stands at home as a walk starts and resumes
    MlsEngine engine_;                          // the recording's, and the first worker's
    std::vector<std::unique_ptr<MlsEngine>> extra_; // the further workers'
    std::size_t workers_ = 1;
    int responses_ = 0;                         // channels processAll turned into responses
    std::vector<std::int32_t> play_;
    std::size_t frames_ = 0, tailFrames_ = 0; // recorded per stop, and of them after the period
    std::vector<std::int32_t> capture_;
    std::vector<std::int32_t> planes_; // capture_ channel after channel, once split_
    bool split_ = false;
};

} // namespace

ArcWalkResult runArcWalk(JobClock& platform, MainWindow& main, AudioSystem& audio, SimulatedMotors* motors,
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
    ArcRig rig(platform, main, audio, options);
    if (auto problem = rig.channelProblem())
        return refuse(*problem);

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

    const std::uint64_t motionAtStart =
        motors ? motors->controller(1).motionMs() + motors->controller(2).motionMs() : 0;
    const std::uint32_t rigStart = platform.now();
    const auto halt = [&](std::string message) {
        result.outcome = ArcWalkResult::Outcome::halted;
        result.message = std::move(message);
    };

    result.outcome = ArcWalkResult::Outcome::completed;
    std::vector<ChannelResponse> responses;
    for (int k = record.stopsDone; k < record.stops; ++k) {
        if (interrupt && interrupt->load()) {
            result.outcome = ArcWalkResult::Outcome::interrupted;
            break;
        }
        const ArcStop& stop = plan.stops[static_cast<std::size_t>(k)];
        if (auto failed = rig.moveTo(stop.h, stop.v)) {
            halt(*failed + " to " + stopText(stop));
            break;
        }
        if (options.pacing.paced && options.pacing.settleMs > 0) {
            platform.advance(static_cast<std::uint32_t>(options.pacing.settleMs));
            platform.settle();
        }
        const std::uint32_t startedAt = platform.now();
        if (auto failed = rig.record()) {
            halt("the recording at " + stopText(stop) + " failed: " + *failed);
            break;
        }

        std::optional<std::string> failure;
        rig.processAll(responses);
        for (std::size_t m = 0; m < mics && !failure; ++m) {
            if ((failure = responses[m].failure))
                break;
            const std::array<float, kDataBins>& levels = responses[m].levels;
            const std::array<float, kDataBins>& phases = responses[m].phases;
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
        if (failure) {
            halt("the response at " + stopText(stop) + ": " + *failure);
            break;
        }
        if (!options.pacing.paced) { // the fixed wait of every point
            const std::uint32_t due = startedAt + static_cast<std::uint32_t>(measurementWaitMs(s.mlsLengthIndex));
            (void)rig.waitFor([&] { return platform.now() >= due; }, kMoveLimitMs);
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
    if (options.endAtHome && result.outcome != ArcWalkResult::Outcome::halted)
        if (auto failed = rig.moveTo(0, 90))
            halt(*failed + " back to H=0, V=90 deg");
    result.record = record;
    result.rigSeconds = static_cast<double>(platform.now() - rigStart) / 1000.0;
    rig.finishMoves();
    result.soundSeconds = rig.soundSeconds;
    result.standingSeconds = rig.standingSeconds;
    result.processingSeconds = rig.processingSeconds;
    result.processingWallSeconds = rig.processingWallSeconds;
    result.recordingWallSeconds = rig.recordingWallSeconds;
    result.responses = rig.responsesDone();
    result.workers = static_cast<int>(rig.workers());
    if (motors)
        result.motionSeconds =
            static_cast<double>(motors->controller(1).motionMs() + motors->controller(2).motionMs() - motionAtStart) /
            1000.0;
    return result;
}

} // namespace vantrel

namespace vantrel {

namespace {

// The slope of the unwrapped phase (degrees) against frequency over lowHz..highHz, as a delay:
// tau = -(d phase / d f) / 360, in microseconds.
double arrivalUs(const CalibrationCurve& ratio, const FrequencyAxis& axis, double lowHz, double highHz)
{
    double sf = 0, sp = 0, sff = 0, sfp = 0, previous = 0, turns = 0;
    int n = 0;
    for (int j = 0; j < kAxisPoints; ++j) {
        const double f = axis[j];
        if (f < lowHz || f > highHz)
            continue;
        double p = ratio[static_cast<std::size_t>(j)].phase + turns;
        while (n > 0 && p - previous > 180) {
            p -= 360;
            turns -= 360;
        }
        while (n > 0 && p - previous < -180) {
            p += 360;
            turns += 360;
        }
        previous = p;
        sf += f;
        sp += p;
        sff += f * f;
        sfp += f * p;
        ++n;
    }
    if (n < 2)
        return 0;
    const double slope = (n * sfp - sf * sp) / (n * sff - sf * sf);
    return -slope / 360.0 * 1e6;
}

double wrapDegrees(double d)
{
    while (d > 180)
        d -= 360;
    while (d <= -180)
        d += 360;
    return d;
}

} // namespace

ArcCalibrationResult runArcCalibration(JobClock& platform, MainWindow& main, AudioSystem& audio,
                                       const ArcWalkOptions& options, const std::atomic<bool>* interrupt)
{
    ArcCalibrationResult result;
    const AngleGrid grid = main.angleGrid();
    if (auto problem = arcAnglesProblem(options.angles, grid)) {
        result.message = "the arc: " + *problem;
        return result;
    }
    ArcRig rig(platform, main, audio, options);
    if (auto problem = rig.channelProblem()) {
        result.message = *problem;
        return result;
    }
    const MlsSettings& s = main.settings();
    result.calibration.fromIndex = s.fromIndex;
    result.calibration.toIndex = s.toIndex;
    const std::uint32_t rigStart = platform.now();
    result.outcome = ArcCalibrationResult::Outcome::completed;
    std::array<float, kDataBins> firstLevels{}, firstPhases{};
    for (std::size_t m = 0; m < options.angles.size(); ++m) {
        if (interrupt && interrupt->load()) {
            result.outcome = ArcCalibrationResult::Outcome::interrupted;
            break;
        }
        // The axis at microphone m: H + a = 0.
        const int h = -options.angles[m];
        std::optional<std::string> failed = rig.moveTo(h, 90);
        if (!failed)
            failed = rig.record();
        std::array<float, kDataBins> levels{}, phases{};
        if (!failed)
            failed = rig.process(m, levels, phases);
        if (failed) {
            result.outcome = ArcCalibrationResult::Outcome::halted;
            result.message = "the microphone at " + std::to_string(options.angles[m]) + " degrees: " + *failed;
            break;
        }
        if (m == 0) {
            firstLevels = levels;
            firstPhases = phases;
        }
        ArcMicrophoneCalibration c;
        c.angle = options.angles[m];
        for (std::size_t j = 0; j < c.ratio.size(); ++j)
            c.ratio[j] = {levels[j] - firstLevels[j], static_cast<float>(wrapDegrees(phases[j] - firstPhases[j]))};
        c.arrivalUs = arrivalUs(c.ratio, main.axis(), 300, 1500);
        result.calibration.microphones.push_back(c);
    }
    // Back home, where a walk starts.
    if (result.outcome == ArcCalibrationResult::Outcome::completed)
        if (auto failed = rig.moveTo(0, 90)) {
            result.outcome = ArcCalibrationResult::Outcome::halted;
            result.message = *failed + " back to H=0, V=90 deg";
        }
    result.rigSeconds = static_cast<double>(platform.now() - rigStart) / 1000.0;
    return result;
}

} // namespace vantrel
