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
#include "platform/sim/sim_arc.h"
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
    const BalloonJobResult a = runBalloonJob(arcJob(whole, "whole.BAL"), {}, nullptr);
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
    EXPECT_LE(a.rigSeconds, 1.3 * a.soundAndMotionSeconds);

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

} // namespace
} // namespace vantrel
