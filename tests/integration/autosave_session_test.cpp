// The autosave of a running balloon walk and its resume, driven through the main window's
// controls on the simulated rig: an interrupted walk resumed equals an uninterrupted one cell
// for cell, a rehearsed fault halts naming the point with every earlier cell kept in memory and
// on disk, and an autosave that cannot be written only warns.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"
#include "session_fixture.h"
#include "walk_cells.h"

namespace vantrel::testing {
namespace {

// Order 13 and a window that fits it: short recordings, same path.
const std::string kPrepare = "press main 1004\npress main 1012\npress main 1038\n"
                             "select measure 10003 0\ntype measure 10012 \"4000\"\n";

class Walk {
public:
    explicit Walk(const std::filesystem::path& dir, const SimFaults& faults = {}) : session_(dir, true, faults) {}

    SessionRun run(const std::string& script)
    {
        SessionRun r = session_.run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    void prepare(bool chooseGrid)
    {
        run((chooseGrid ? "press main 1031\n" : "") + kPrepare);
        if (main().settings().useSavedIr == 1)
            run("press measure 20030\n");
    }
    // The clock runs until `points` results are stored (or the walk stops), then "ABORT Test"
    // unless abort is false. Everything that happened.
    std::string walkUntil(int points, bool abort = true)
    {
        std::string events = run("press main 1024\n").events;
        // A point takes about 11 s of rig time; a walk that stalls ends the loop too.
        for (int second = 0; second < 20 * (points + 2) && main().sequencer().pointsDone() < points &&
                             main().sequence().sequenceRunning && !main().sequencer().halted();
             ++second)
            events += run("wait 1000\n").events;
        if (abort)
            events += run("press main 1027\n").events;
        return events;
    }
    MainWindow& main() { return session_.main(); }
    Session& session() { return session_; }

private:
    Session session_;
};

// The autosave file as a matrix.
BalloonMatrix loadAutosave(const std::filesystem::path& dir)
{
    BalloonMatrix m = *BalloonMatrix::create();
    const BalloonLoadResult loaded = loadBalloon((dir / kAutosaveBalloonName).string(), m);
    EXPECT_TRUE(loaded) << loaded.error;
    return m;
}

TEST(Autosave, AnInterruptedWalkResumedEqualsAnUninterruptedOneCellForCell)
{
    // Past the first sweep and into the downward second one; interrupted inside the first.
    constexpr int kPoints = 50;
    constexpr int kInterruptAt = 20;

    TempDir whole;
    Walk reference(whole.path());
    reference.prepare(true);
    reference.walkUntil(kPoints);
    ASSERT_GE(reference.main().sequencer().pointsDone(), kPoints);

    TempDir dir;
    {
        Walk first(dir.path());
        first.prepare(true);
        first.walkUntil(kInterruptAt, false);
        // The process ends here as a crash would: nothing tells the autosave.
    }
    const auto record = readAutosaveProgress(dir.path().string());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->state, AutosaveState::running);
    ASSERT_GE(record->pointsDone, kInterruptAt);
    const auto [lastRow, lastColumn] = firstPoints(record->pointsDone).back();
    EXPECT_EQ(record->hAngle, lastColumn * 10);
    EXPECT_EQ(record->vAngle, 90 - lastRow * 10);
    const auto [nextRow, nextColumn] = firstPoints(record->pointsDone + 1).back();

    Walk resumed(dir.path());
    const std::string question = "Resume the interrupted balloon measurement at H=" + std::to_string(nextColumn * 10) +
                                 ", V=" + std::to_string(90 - nextRow * 10) + " ?";
    ASSERT_NE(resumed.session().startupEvents().find(question + "\" -> yes"), std::string::npos)
        << resumed.session().startupEvents();
    EXPECT_EQ(resumed.main().angleGrid(), AngleGrid::Grid10);
    // The run's settings came back with it: the shortest sequence and its window.
    EXPECT_EQ(resumed.main().settings().mlsLengthIndex, 0);
    EXPECT_EQ(resumed.main().settings().windowWidthText, "4000");
    resumed.prepare(false);
    const std::string events = resumed.walkUntil(kPoints);
    EXPECT_NE(events.find("H = 0, V = +90"), std::string::npos) << "the operator is asked for the home position";
    // Driven from home straight to the next point, measured there first.
    const auto firstPoint = events.find("sequence point ");
    ASSERT_NE(firstPoint, std::string::npos) << events.substr(0, 3000);
    EXPECT_EQ(events.substr(firstPoint, 40).find("sequence point H=" + std::to_string(nextColumn * 10) +
                                                 ", V=" + std::to_string(90 - nextRow * 10) + " deg"),
              0u);

    const BalloonMatrix& a = reference.main().matrix();
    const BalloonMatrix& b = resumed.main().matrix();
    const BalloonMatrix onDisk = loadAutosave(dir.path());
    for (const auto& [row, column] : firstPoints(kPoints)) {
        ASSERT_FALSE(cellIsZero(a, row, column)) << row << "," << column;
        EXPECT_TRUE(sameCell(a, b, row, column)) << "cell " << row << "," << column;
        EXPECT_TRUE(sameCell(b, onDisk, row, column)) << "autosaved cell " << row << "," << column;
    }
    // The abort is recorded; the file stays for the user.
    const auto after = readAutosaveProgress(dir.path().string());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->state, AutosaveState::aborted);
}

TEST(Autosave, NoKeepsTheInterruptedAutosaveAndStartsAsUsual)
{
    TempDir dir;
    {
        Walk first(dir.path());
        first.prepare(true);
        first.walkUntil(2, false);
    }
    const auto before = readAutosaveProgress(dir.path().string());
    ASSERT_TRUE(before);
    {
        std::ostringstream out;
        HeadlessPlatform platform(out);
        DeviceSet devices(true, platform.clock(), platform.log());
        platform.queueAnswer(MessageAnswer::Ok); // no preferences file yet
        platform.queueAnswer(MessageAnswer::No);
        auto main = MainWindow::start(platform, devices.devices(), dir.path().string());
        ASSERT_TRUE(main);
        EXPECT_NE(out.str().find("Resume the interrupted balloon measurement at H=20, V=90 ?\" -> no"), std::string::npos)
            << out.str();
        EXPECT_TRUE(cellIsZero(main->matrix(), 0, 0)) << "nothing loaded";
    }
    EXPECT_EQ(readAutosaveProgress(dir.path().string()), before);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / kAutosaveBalloonName));
}

TEST(Autosave, EachRehearsedFaultHaltsNamingThePointAndKeepsEveryEarlierCell)
{
    struct Case {
        const char* fault;
        const char* said; // part of the halt's message
    };
    // The third measurement fails or never returns; the third move stalls; the autosave has
    // room for the whole file, the settings and two cells; the line to turntable 1 dies a few
    // moves in.
    const Case cases[] = {{"audio-error=3", "Measurement failed at H=20, V=90 deg"},
                          {"hang=3", "The recording did not complete within 30 s of its wait\\n\\nat H=20, V=90 deg"},
                          {"stall=3", "Turntable 1 could not be told that its move ended"},
                          {"serial-dies=150", "Turntable 1 "},
                          {"disk-full=16666000", "The autosave could not keep the point"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        SimFaults faults;
        ASSERT_EQ(addSimFault(c.fault, faults), "");
        TempDir dir;
        Walk walk(dir.path(), faults);
        walk.prepare(true);
        const std::string events = walk.walkUntil(6, false);
        EXPECT_TRUE(walk.main().sequencer().halted()) << events;
        EXPECT_NE(events.find(c.said), std::string::npos) << events;
        const int h = walk.main().sequence().currentHAngle, v = walk.main().sequence().currentVAngle;
        EXPECT_NE(events.find("H=" + std::to_string(h) + ", V=" + std::to_string(v) + " deg\\n\\nThe sequence is halted"),
                  std::string::npos)
            << "the point is named";
        const auto path = firstPoints(40);
        std::size_t halted = 0;
        while (halted < path.size() && path[halted] != std::pair(rowForAngle(v, AngleGrid::Grid10), h / 10))
            ++halted;
        ASSERT_GE(halted, 2u);
        ASSERT_LT(halted, 6u);
        const BalloonMatrix onDisk = loadAutosave(dir.path());
        for (std::size_t i = 0; i < halted; ++i) {
            const auto [row, column] = path[i];
            EXPECT_FALSE(cellIsZero(walk.main().matrix(), row, column));
            EXPECT_TRUE(sameCell(walk.main().matrix(), onDisk, row, column)) << row << "," << column;
        }
        // Nothing after the halt was measured.
        EXPECT_TRUE(cellIsZero(onDisk, path[halted + 1].first, path[halted + 1].second));
        EXPECT_TRUE(cellIsZero(walk.main().matrix(), path[halted + 1].first, path[halted + 1].second));
        // The clock runs on: a halted walk stays where it is.
        const int done = walk.main().sequencer().pointsDone();
        walk.run("wait 60000\n");
        EXPECT_EQ(walk.main().sequencer().pointsDone(), done);
        // Ended by hand, the interrupted walk stays resumable from the last point kept.
        walk.run("press main 1027\n");
        const auto record = readAutosaveProgress(dir.path().string());
        ASSERT_TRUE(record);
        EXPECT_EQ(record->state, AutosaveState::running);
        EXPECT_EQ(std::pair(rowForAngle(record->vAngle, AngleGrid::Grid10), record->hAngle / 10),
                  path[halted - 1]) << "the last point kept";
    }
}

TEST(Autosave, AHaltedWalkIsOfferedAgainBeforeANewWalkOverwritesItsAutosave)
{
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        SimFaults faults;
        ASSERT_EQ(addSimFault("audio-error=3", faults), ""); // only the third recording fails
        TempDir dir;
        Walk walk(dir.path(), faults);
        walk.prepare(true);
        walk.walkUntil(6, false);
        ASSERT_TRUE(walk.main().sequencer().halted());
        walk.run("press main 1027\n");
        const std::string events =
            // Declined, the new walk asks before it overwrites the unsaved balloon: discarded.
            walk.run(std::string(yes ? "answer yes" : "answer no\nanswer no") + "\npress main 1024\nwait 30000\n").events;
        EXPECT_NE(events.find("Resume the interrupted balloon measurement at H=20, V=90 ?\" -> " +
                              std::string(yes ? "yes" : "no")),
                  std::string::npos)
            << events;
        if (yes) {
            // On from the point that failed, the two before it kept.
            EXPECT_NE(events.find("sequence resume at H=20, V=90 deg"), std::string::npos) << events;
            EXPECT_GE(walk.main().sequencer().pointsDone(), 3);
            EXPECT_FALSE(cellIsZero(walk.main().matrix(), 0, 2));
        } else {
            EXPECT_NE(events.find("sequence start grid 10"), std::string::npos) << events;
            EXPECT_EQ(readAutosaveProgress(dir.path().string())->hAngle / 10 + 1,
                      walk.main().sequencer().pointsDone());
        }
    }
}

TEST(Autosave, AnUnwritableAutosaveWarnsOnceAndTheWalkRunsOn)
{
    TempDir dir;
    // A directory where the file belongs: no write can succeed, whoever runs the test.
    std::filesystem::create_directory(dir.path() / kAutosaveBalloonName);
    Walk walk(dir.path());
    walk.prepare(true);
    const SessionRun r{walk.walkUntil(4, false), {}};
    int warnings = 0;
    for (const std::string& line : r.lines())
        warnings += line.find("without its autosave") != std::string::npos;
    EXPECT_EQ(warnings, 1) << r.events;
    EXPECT_GE(walk.main().sequencer().pointsDone(), 4);
    EXPECT_FALSE(walk.main().sequencer().halted());
    EXPECT_FALSE(cellIsZero(walk.main().matrix(), 0, 3));
}

} // namespace
} // namespace vantrel::testing
