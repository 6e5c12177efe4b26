// The arc walk as `measure --sim-arc` runs it: a walk interrupted and resumed gives the same
// balloon as one never stopped, the balloon agrees with the rig's model, and what the walk
// refuses is refused before a table turns.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/arc_walk.h"
#include "app/balloon_job.h"
#include "app/main_window.h"
#include "devices/device_set.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "platform/sim/loudspeaker.h"
#include "platform/sim/motor_rig.h"
#include "platform/sim/sim_arc.h"
#include "platform/sim/sim_audio.h"
#include "app/arc_calibration.h"
#include "balloon/frequency_axis.h"
#include <cmath>
#include "sequencer/arc_record.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

std::string bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

BalloonJobOptions arcJob(const TempDir& dir, const std::string& output)
{
    BalloonJobOptions o;
    o.grid = AngleGrid::Grid10;
    o.order = 13;
    o.pacing.paced = true;
    o.faults.arc = simulatedArc(19, 10);
    o.startDirectory = dir.path().string();
    o.output = (dir.path() / output).string();
    return o;
}

TEST(ArcWalk, AResumedWalkEqualsAnUninterruptedOne)
{
    TempDir whole, cut;
    // A balloon of the user's called arc.BAL is not the autosave's to replace.
    std::ofstream(whole.path() / "arc.BAL") << "the user's own";
    const BalloonJobResult a = runBalloonJob(arcJob(whole, "whole.BAL"), {}, nullptr);
    EXPECT_EQ(bytesOf(whole.path() / "arc.BAL"), "the user's own");
    ASSERT_EQ(a.outcome, BalloonJobResult::Outcome::completed) << a.message;
    ASSERT_TRUE(a.arc);
    EXPECT_EQ(a.arc->record.stops, 36);
    EXPECT_EQ(a.arc->responses, 36 * 19);
    EXPECT_GT(a.arc->record.repeats, 0);
    // The single microphone's walk of the same rig comes within 2.04 dB of the model (its
    // resolvable band; the residue is the rig's own noise and smoothing).
    ASSERT_TRUE(a.deviationDb);
    EXPECT_LT(*a.deviationDb, 2.1) << a.deviationAt;
    EXPECT_GT(a.soundAndMotionSeconds, 0);
    EXPECT_LE(a.rigSeconds, 1.10 * (a.soundAndMotionSeconds + a.arc->standingSeconds));

    std::atomic<bool> stop{false};
    const BalloonJobResult b = runBalloonJob(
        arcJob(cut, "part.BAL"), [&](const BalloonProgress& p) { stop = stop || p.done >= 5; }, &stop);
    ASSERT_EQ(b.outcome, BalloonJobResult::Outcome::interrupted) << b.message;
    EXPECT_EQ(b.pointsDone, 5);
    std::string error;
    const auto kept = readArcProgress(cut.path().string(), error);
    ASSERT_TRUE(kept) << error;
    EXPECT_EQ(kept->stopsDone, 5);

    BalloonJobOptions again = arcJob(cut, "resumed.BAL");
    again.resumeDirectory = cut.path().string();
    const BalloonJobResult c = runBalloonJob(again, {}, nullptr);
    ASSERT_EQ(c.outcome, BalloonJobResult::Outcome::completed) << c.message;
    EXPECT_EQ(c.pointsKept, 5);
    EXPECT_EQ(c.arc->responses, 31 * 19);
    // The repeats' spread goes on from the record, whose sum is kept to 1e-6 dB^2.
    ArcProgress resumed = c.arc->record;
    EXPECT_NEAR(resumed.spreadSumSquares, a.arc->record.spreadSumSquares, 1e-5);
    resumed.spreadSumSquares = a.arc->record.spreadSumSquares;
    EXPECT_EQ(resumed, a.arc->record);
    EXPECT_TRUE(bytesOf(whole.path() / "whole.BAL") == bytesOf(cut.path() / "resumed.BAL"));
}

// The simulated sound card, watched: a recording that starts or ends while either table turns
// is counted.
class WatchedAudio final : public AudioSystem, AudioCompletion {
public:
    WatchedAudio(AudioSystem& card, const SimulatedMotors& motors) : card_(card), motors_(motors) {}
    int recordings = 0, whileTurning = 0;

    int inputDeviceCount() override { return card_.inputDeviceCount(); }
    int outputDeviceCount() override { return card_.outputDeviceCount(); }
    AudioStatus inputCaps(int id, AudioDeviceCaps& caps) override { return card_.inputCaps(id, caps); }
    AudioStatus outputCaps(int id, AudioDeviceCaps& caps) override { return card_.outputCaps(id, caps); }
    std::string errorText(AudioStatus status) override { return card_.errorText(status); }
    bool setInputChannels(int channels) override { return card_.setInputChannels(channels); }
    AudioStatus openOutput(int id, int rate, WindowHost& window, AudioCompletion& completion) override
    {
        return card_.openOutput(id, rate, window, completion);
    }
    // lateFrames > 0: the sound comes that much later, as through a card of that latency.
    AudioStatus prepareOutput(std::span<const std::int32_t> samples) override
    {
        if (lateFrames == 0)
            return card_.prepareOutput(samples);
        late_.assign(samples.size(), 0);
        std::copy(samples.begin(), samples.end() - 2 * lateFrames, late_.begin() + 2 * lateFrames);
        return card_.prepareOutput(late_);
    }
    int lateFrames = 0;
    AudioStatus openInput(int id, int rate, WindowHost& window, AudioCompletion& completion) override
    {
        walk_ = &completion;
        return card_.openInput(id, rate, window, *this);
    }
    AudioStatus prepareInput(std::span<std::int32_t> samples) override { return card_.prepareInput(samples); }
    AudioStatus queueInput() override { return card_.queueInput(); }
    AudioStatus startInput() override { return card_.startInput(); }
    AudioStatus play() override
    {
        ++recordings;
        watch();
        return card_.play();
    }
    AudioStatus resetOutput() override { return card_.resetOutput(); }
    AudioStatus unprepareOutput() override { return card_.unprepareOutput(); }
    AudioStatus closeOutput() override { return card_.closeOutput(); }
    AudioStatus stopInput() override { return card_.stopInput(); }
    AudioStatus resetInput() override { return card_.resetInput(); }
    AudioStatus unprepareInput() override { return card_.unprepareInput(); }
    AudioStatus closeInput() override { return card_.closeInput(); }

    void outputDone() override { walk_->outputDone(); }
    void captureDone(std::size_t bytes) override
    {
        watch();
        walk_->captureDone(bytes);
    }

private:
    std::vector<std::int32_t> late_;
    void watch() { whileTurning += motors_.controller(1).turning() || motors_.controller(2).turning() ? 1 : 0; }

    AudioSystem& card_;
    const SimulatedMotors& motors_;
    AudioCompletion* walk_ = nullptr;
};

// Paced by the motors' own motion, the walk never records while a table turns (the simulated
// controllers say when they do) and comes within 1.10 x its sound and motion; its channels
// processed side by side give the bytes of one engine taking them in turn.
TEST(ArcWalk, PacedByTheMotorsItRecordsOnlyStandingAndSideBySideEqualsInTurn)
{
    struct Walk {
        ArcWalkResult result;
        std::string balloon;
        int recordings = 0, whileTurning = 0;
    };
    const auto walk = [](int workers, int lateFrames = 0, int order = 13) {
        TempDir dir;
        std::ostringstream events;
        HeadlessPlatform platform(events);
        platform.setPainting(false);
        SimFaults faults;
        faults.arc = simulatedArc(10, 20);
        DeviceSet devices(true, platform.clock(), platform.log(), faults);
        auto main = MainWindow::start(platform, devices.devices(), dir.path().string(), false);
        EXPECT_TRUE(main);
        std::istringstream setup("press main 1031\npress main 1004\npress main 1012\npress main 1038\n"
                                 "select measure 10003 " + std::to_string(order - 13) + "\ntype measure 10012 \"8000\"\n");
        EXPECT_FALSE(runSessionScript(platform, setup));
        WatchedAudio audio(devices.audio(), *devices.motors());
        audio.lateFrames = lateFrames;
        ArcWalkOptions o;
        for (const SimArcMicrophone& m : faults.arc)
            o.angles.push_back(static_cast<int>(std::lround(m.angleDegrees)));
        o.pacing.paced = true;
        o.autosaveDirectory = dir.path().string();
        o.workers = workers;
        // The first 20 stops: the first sweep of V and the long turn of H after it.
        std::atomic<bool> enough{false};
        Walk w;
        w.result = runArcWalk(
            platform, *main, audio, devices.motors(), o,
            [&](const ArcWalkProgress& p) { enough = p.stopsDone >= 20; }, &enough);
        w.balloon = bytesOf(dir.path() / kArcBalloonName);
        w.recordings = audio.recordings;
        w.whileTurning = audio.whileTurning;
        return w;
    };
    const Walk inTurn = walk(1), sideBySide = walk(2);
    for (const Walk* w : {&inTurn, &sideBySide}) {
        ASSERT_EQ(w->result.outcome, ArcWalkResult::Outcome::interrupted) << w->result.message;
        EXPECT_EQ(w->recordings, 20);
        EXPECT_EQ(w->whileTurning, 0);
        EXPECT_GT(w->result.motionSeconds, 0);
        EXPECT_LE(w->result.rigSeconds,
                  1.10 * (w->result.soundSeconds + w->result.motionSeconds + w->result.standingSeconds));
    }
    EXPECT_EQ(inTurn.result.workers, 1);
    EXPECT_EQ(sideBySide.result.workers, 2);
    EXPECT_EQ(sideBySide.result.responses, inTurn.result.responses);
    EXPECT_EQ(sideBySide.result.record, inTurn.result.record);
    EXPECT_FALSE(inTurn.balloon.empty());
    EXPECT_TRUE(sideBySide.balloon == inTurn.balloon);

    // A stop records 0.5 s past the period: a card whose sound comes later halts the walk.
    const Walk late = walk(1, 25000, 15);
    EXPECT_EQ(late.result.outcome, ArcWalkResult::Outcome::halted);
    EXPECT_NE(late.result.message.find("ms after the sequence started; an arc's stop records 500 ms after it"),
              std::string::npos)
        << late.result.message;
    EXPECT_EQ(late.recordings, 1);
}

TEST(ArcWalk, RefusalsComeBeforeAnyMove)
{
    struct Case {
        const char* name;
        std::vector<int> angles;
        int simulatedMicrophones; // the rig's arc
        bool resume;
        const char* says;
        std::vector<int> channels = {}, lines = {}; // as an arc description gives them
    };
    const Case cases[] = {
        {"too few channels", {0, 10, 20}, 2, false,
         "the input device \"Simulated Rig\" has 3 channels; the arc needs 4 (REF and 3 microphones)"},
        {"off the grid", {0, 5}, 2, false, "the arc: the angle 5 is not on the 10-degree grid"},
        {"nothing to resume", {0, 10}, 2, true, "no interrupted arc walk in"},
        {"a described channel beyond the device", {0, 10}, 2, false,
         "the arc description, line 4: channel 5 is beyond the input device \"Simulated Rig\", which has 3 channels",
         {1, 4}, {3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::ostringstream events;
        HeadlessPlatform platform(events);
        platform.setPainting(false);
        SimFaults faults;
        faults.arc = simulatedArc(c.simulatedMicrophones, 10);
        DeviceSet devices(true, platform.clock(), platform.log(), faults);
        auto main = MainWindow::start(platform, devices.devices(), dir.path().string(), false);
        ASSERT_TRUE(main);
        std::istringstream setup("press main 1031\npress main 1004\npress main 1012\n");
        ASSERT_FALSE(runSessionScript(platform, setup));
        ArcWalkOptions o;
        o.angles = c.angles;
        o.autosaveDirectory = dir.path().string();
        o.resume = c.resume;
        o.channels = c.channels;
        o.lines = c.lines;
        const ArcWalkResult r = runArcWalk(platform, *main, devices.audio(), devices.motors(), o, {}, nullptr);
        EXPECT_EQ(r.outcome, ArcWalkResult::Outcome::refused);
        EXPECT_EQ(r.message.rfind(c.says, 0), 0u) << r.message;
        EXPECT_EQ(devices.motors()->controller(1).motionMs() + devices.motors()->controller(2).motionMs(), 0u);
    }
}

TEST(ArcWalk, ProgressRecordReadsBackAndRefusesByLine)
{
    ArcProgress p;
    p.grid = AngleGrid::Grid5;
    p.mlsLengthIndex = 3;
    p.rateIndex = 6;
    p.angles = {-90, 0, 45, 90};
    p.stopsDone = 17;
    p.stops = 144;
    p.repeats = 40;
    p.spreadSumSquares = 3.25;
    p.spreadCount = 12000;
    p.worstDb = 0.8437;
    p.worstH = 20;
    p.worstV = -30;
    p.worstHz = 9850;
    const std::string text = arcProgressText(p);
    std::string error;
    const auto back = parseArcProgress(text, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, p);

    struct Case {
        std::string from, to;
        const char* says;
    };
    const Case cases[] = {
        {"Vantrel arc walk 1", "Vantrel arc walk 2", "line 1: not an arc walk's record"},
        {"grid 5", "grid 7", "line 2: its values cannot be read"},
        {"mls-length 3", "mls-length 6", "line 3: its values cannot be read"},
        {"rate 6", "speed 6", "line 4: \"rate\" expected"},
        {"angles -90", "angles -190", "line 5: its values cannot be read"},
        {"stops 17 of 144", "stops 145 of 144", "line 6: its values cannot be read"},
        {"repeats 40 3.250000", "repeats 40 3,25", "line 7: its values cannot be read"},
        {"worst 0.8437", "worst -1", "line 8: its values cannot be read"},
        {"9850\n", "9850\nmore\n", "line 9: more lines than the record has"},
        {"worst 0.8437 20 -30 9850\n", "", "line 8: the record ends early"},
    };
    for (const Case& c : cases) {
        std::string changed = text;
        const auto at = changed.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        changed.replace(at, c.from.size(), c.to);
        EXPECT_FALSE(parseArcProgress(changed, error)) << c.says;
        EXPECT_EQ(error, c.says);
    }
}

// The arc's self-calibration finds the errors planted in the simulated microphones: their
// ratios to the first at 1 kHz against the closed form of the rig's microphone model.
TEST(ArcCalibration, RecoversThePlantedErrorsAtOneKilohertz)
{
    TempDir dir;
    BalloonJobOptions o;
    o.grid = AngleGrid::Grid10;
    o.order = 15;
    o.faults.arc = simulatedArc(8, 20);
    plantMicErrors(o.faults.arc, 1);
    o.startDirectory = dir.path().string();
    o.arcCalibrationOutput = (dir.path() / "arc.cal").string();
    const BalloonJobResult r = runBalloonJob(o, {}, nullptr);
    ASSERT_EQ(r.outcome, BalloonJobResult::Outcome::completed) << r.message;
    ASSERT_TRUE(r.arcCalibration);
    std::string error;
    const auto kept = readArcCalibration(o.arcCalibrationOutput, error);
    ASSERT_TRUE(kept) << error;
    const ArcCalibration& c = *kept;
    ASSERT_EQ(c.microphones.size(), 8u);

    FrequencyAxis axis;
    axis.buildFromIndexes(c.fromIndex, c.toIndex);
    int k = 0;
    while (axis[k] < 1000)
        ++k;
    const double f = axis[k], r0 = SimAudioOptions{}.distance, sound = LoudspeakerDesign{}.speedOfSound;
    const SimArcMicrophone& first = o.faults.arc[0];
    for (std::size_t m = 0; m < 8; ++m) {
        const SimArcMicrophone& mic = o.faults.arc[m];
        const double truthDb = mic.levelDb - first.levelDb + 20 * std::log10((r0 + first.radiusError) / (r0 + mic.radiusError));
        const double truthDegrees =
            -360 * f * ((mic.radiusError - first.radiusError) / sound + mic.delaySeconds - first.delaySeconds);
        const LevelPhase got = c.microphones[m].ratio[static_cast<std::size_t>(k)];
        EXPECT_EQ(c.microphones[m].angle, 20 * static_cast<int>(m));
        EXPECT_NEAR(got.level, truthDb, 0.1) << "microphone " << m;
        EXPECT_NEAR(got.phase, truthDegrees, 1.0) << "microphone " << m;
        // The planted phase errors are small, so that a miss would show: up to 10 degrees at 10 kHz.
        EXPECT_NEAR(c.microphones[m].arrivalUs,
                    1e6 * ((mic.radiusError - first.radiusError) / sound + mic.delaySeconds - first.delaySeconds), 2.0)
            << "microphone " << m;
    }
}

TEST(ArcCalibration, SetReadsBackAppliesByAngleAndRefusesByLine)
{
    ArcCalibration c;
    c.fromIndex = 3;
    c.toIndex = 6;
    c.microphones.resize(2);
    c.microphones[1].angle = 20;
    c.microphones[1].arrivalUs = -1.5;
    for (std::size_t j = 0; j < kAxisPoints; ++j)
        c.microphones[1].ratio[j] = {0.5f, -2.25f};
    const std::string text = arcCalibrationText(c);
    std::string error;
    const auto back = parseArcCalibration(text, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->microphones[1].ratio[749].phase, -2.25f);
    EXPECT_EQ(back->microphones[1].arrivalUs, -1.5);

    // Added to a microphone's own curve; another axis or an angle the set lacks refused.
    std::vector<std::optional<CalibrationCurve>> curves(2);
    curves[1] = CalibrationCurve{};
    (*curves[1])[0] = {1.0f, 10.0f};
    EXPECT_FALSE(applyArcCalibration(*back, 3, 6, {0, 20}, curves));
    EXPECT_EQ((*curves[1])[0].level, 1.5f);
    EXPECT_EQ((*curves[1])[0].phase, 7.75f);
    EXPECT_EQ((*curves[0])[0].level, 0.0f);
    EXPECT_TRUE(applyArcCalibration(*back, 3, 7, {0, 20}, curves));
    EXPECT_EQ(applyArcCalibration(*back, 3, 6, {0, 40}, curves).value_or(""),
              "the arc calibration has no microphone at 40 degrees");

    struct Case {
        std::string from, to;
        const char* says;
    };
    const Case cases[] = {
        {"Vantrel arc calibration 1", "Vantrel arc calibration", "line 1: not an arc calibration"},
        {"axis 3 6", "axis 3", "line 2: \"axis FROM TO\" expected"},
        {"microphone 20 -1.500", "microphone 0 -1.500", "line 754: the angle 0 comes twice"},
        {"microphone 20 -1.500", "microphone 200 -1.500", "line 754: \"microphone ANGLE ARRIVAL_US\" expected"},
        {"0.5000 -2.2500\n", "0.5000 x\n", "line 755: a level (dB, within 200) and a phase (degrees, within 360) expected"},
    };
    for (const Case& k : cases) {
        std::string changed = text;
        changed.replace(changed.find(k.from), k.from.size(), k.to);
        EXPECT_FALSE(parseArcCalibration(changed, error)) << k.says;
        EXPECT_EQ(error, k.says);
    }
    EXPECT_FALSE(parseArcCalibration(text.substr(0, text.size() - 15), error));
    EXPECT_EQ(error, "line 1504: the calibration ends early");
}

} // namespace
} // namespace vantrel
