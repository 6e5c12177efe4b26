// The walk an operator leaves alone, through the session harness on the simulated rig: a
// sound card whose playback ends after its capture, dialogs that wait for a person, halts that
// "RUN Test" picks up again, settings and grids held while a walk runs, and the paced walk.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "app/simulated_recording.h"
#include "app/walk_pacing_file.h"
#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"
#include "integration/session_fixture.h"
#include "walk_cells.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

constexpr const char* kWholeWalk = "wait 40000000\n";

std::string messageLine(const std::string& text)
{
    return "message main \"Karvell\" information \"" + text + "\" -> ok";
}

// (row, column) -> how often a result was stored there.
std::map<std::pair<int, int>, int> storedCells(const SessionRun& run)
{
    std::map<std::pair<int, int>, int> stored;
    for (const std::string& l : run.lines()) {
        int row = 0, column = 0;
        if (std::sscanf(l.c_str(), "%*u stored %d %d", &row, &column) == 2)
            ++stored[{row, column}];
    }
    return stored;
}

class Walk : public ::testing::Test {
protected:
    void start(const SimFaults& faults = {}) { session_ = std::make_unique<Session>(dir_.path(), true, faults); }

    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    // Both turntables connected, the 10-degree grid, the measurement window open at order 13
    // with a window that fits it; "Saved IR" as asked.
    void prepare(bool savedIr = false)
    {
        run("press main 1031\npress main 1004\npress main 1012\npress main 1038\n"
            "select measure 10003 0\ntype measure 10012 \"4000\"\n");
        if ((main().settings().useSavedIr == 1) != savedIr)
            run("press measure 20030\n");
    }
    MainWindow& main() { return session_->main(); }

    TempDir dir_;
    std::unique_ptr<Session> session_;
};

} // namespace

TEST_F(Walk, APlaybackThatEndsLongAfterItsCaptureHoldsTheNextPointUntilItEnds)
{
    SimFaults faults;
    faults.playbackLagMs = 6000; // past the measurement wait of order 13 (6125 ms)
    start(faults);
    prepare();
    const SessionRun r = run(std::string("press main 1024\n") + kWholeWalk);
    ASSERT_NE(r.find(messageLine("Process Completed")), -1) << r.events.substr(0, 4000);
    EXPECT_EQ(r.find("Measurement still running"), -1);
    const auto stored = storedCells(r);
    for (int row = 0; row <= 17; ++row)
        for (int column = 0; column <= 36; ++column)
            EXPECT_EQ(stored.count({row, column}) ? stored.at({row, column}) : 0, 1) << row << " " << column;
    // No recording starts before the previous playback has ended.
    int outputs = 0, starts = 0;
    for (const std::string& l : r.lines()) {
        if (l.find("audio start") != std::string::npos) {
            EXPECT_EQ(starts, outputs) << l;
            ++starts;
        } else if (l.find("audio output-done") != std::string::npos) {
            ++outputs;
        }
    }
    EXPECT_EQ(starts, 667);
}

TEST_F(Walk, AFileDialogLeftOpenForTwoMinutesHaltsNothing)
{
    start();
    const std::string recording = (dir_.path() / "axis.RES").string();
    ASSERT_FALSE(recordOnSimulatedRig({0, 0, 13, 5}, recording));
    prepare(true);
    session_->platform().queueFile(recording, 120000); // the operator looks for the file
    for (int i = 0; i < 4; ++i)
        session_->platform().queueFile(recording);
    const SessionRun r = run("press main 1024\nwait 30000\n");
    EXPECT_FALSE(main().sequencer().halted()) << r.events;
    EXPECT_EQ(r.find("did not complete"), -1);
    const auto stored = storedCells(r);
    EXPECT_EQ(stored.count({0, 0}), 1u) << r.events;
    EXPECT_EQ(stored.count({0, 1}), 1u);
}

TEST_F(Walk, RunTestOnAHaltedWalkMeasuresThePointAgainOrSaysWhyNot)
{
    // Halted because the measurement window was closed: opened again, the point is measured.
    start();
    prepare();
    run("close measure\npress main 1024\nwait 20000\n");
    ASSERT_TRUE(main().sequencer().halted());
    const SessionRun again = run("press main 1038\npress main 1024\nwait 20000\n");
    EXPECT_NE(again.find("sequence retry at H=0, V=90 deg"), -1) << again.events;
    EXPECT_NE(again.find("stored 0 0"), -1);
    EXPECT_NE(again.find("stored 0 1"), -1) << "and the walk goes on";
    EXPECT_FALSE(main().sequencer().halted());

    // Halted by a move that stalled: the tables may stand anywhere, and the press says so.
    SimFaults faults;
    faults.stallAtMove = 2;
    start(faults);
    prepare();
    run("press main 1024\nwait 30000\n");
    ASSERT_TRUE(main().sequencer().halted());
    const SessionRun refused = run("press main 1024\nwait 20000\n");
    EXPECT_NE(refused.find("The turntables may not stand at H=20, V=90 deg"), -1) << refused.events;
    EXPECT_EQ(refused.find("audio start"), -1);
}

TEST_F(Walk, TheResumeOfferComesAfterTheChecksAndRestoresTheAxisAndTheWindow)
{
    SimFaults faults;
    faults.audioErrorAtMeasurement = 3;
    start(faults);
    prepare();
    run("press main 1024\nwait 40000\n");
    ASSERT_TRUE(main().sequencer().halted());
    run("press main 1027\n");
    const int from = main().settings().fromIndex;
    const float firstHz = main().axis()[0];
    // A 500 Hz axis chosen after the interruption, then a start while turntable 1 still turns.
    run("dblclick measure 20024 8\npress main 1040\n");
    ASSERT_EQ(main().settings().fromIndex, 8);
    main().matrix().cell(5, 5)[0] = ComplexBin{1.0f, 2.0f};
    const SessionRun busy = run("answer yes\npress main 1024\n");
    EXPECT_EQ(busy.find("Resume the interrupted"), -1) << busy.events;
    EXPECT_EQ(main().settings().fromIndex, 8) << "nothing in memory changes";
    EXPECT_EQ(main().matrix().cell(5, 5)[0].re, 1.0f);

    const SessionRun resumed = run("wait 5000\nanswer yes\npress main 1024\n");
    EXPECT_NE(resumed.find("sequence resume at H=20, V=90 deg"), -1) << resumed.events;
    // Until the next point is stored, the record names the last one kept.
    EXPECT_EQ(readAutosaveProgress(dir_.path().string())->hAngle, 10);
    run("wait 30000\n");
    EXPECT_EQ(main().settings().fromIndex, from);
    EXPECT_EQ(main().axis()[0], firstHz) << "the rest is measured on the axis of the cells kept";
    EXPECT_EQ(session_->platform().window("measure")->control(20024)->selection, from);
}

TEST_F(Walk, AnAutosaveStoppedAfterItsLastPointCompletesAtRunTest)
{
    {
        BalloonMatrix m = *BalloonMatrix::create();
        m.cell(0, 36)[0] = ComplexBin{3.0f, 4.0f};
        AutosaveProgress last;
        last.phase = 18;
        last.hAngle = 0;
        last.vAngle = -90;
        last.pointsDone = 667;
        last.simulatedRig = true;
        BalloonAutosave autosave(dir_.path().string());
        ASSERT_FALSE(autosave.start(m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}, {}, last));
    }
    start(); // the offer at start-up is answered yes
    const SessionRun r = run("press main 1004\npress main 1012\npress main 1038\npress main 1024\nwait 10000\n");
    EXPECT_NE(r.find(messageLine("Process Completed")), -1) << r.events;
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
    EXPECT_EQ(main().matrix().cell(18, 0)[0].re, 3.0f) << "the pole row is filled from row 0";
    const auto record = readAutosaveProgress(dir_.path().string());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->state, AutosaveState::finished);
}

TEST_F(Walk, WhileAWalkRunsItsGridAxisAndBalloonAreHeld)
{
    start();
    prepare();
    const int from = main().settings().fromIndex, position = main().settings().fftWindowPosition;
    const SessionRun r = run("press main 1024\nwait 3000\npress main 1030\ndblclick measure 20024 0\n"
                             "scroll measure 10021 pagedown\npress main 1037\nwait 15000\n");
    EXPECT_EQ(main().angleGrid(), AngleGrid::Grid10);
    EXPECT_TRUE(session_->platform().window("main")->control(1031)->checked);
    EXPECT_EQ(main().settings().fromIndex, from);
    EXPECT_EQ(main().settings().fftWindowPosition, position);
    EXPECT_EQ(r.find("file-dialog"), -1) << "no balloon is loaded under the walk";
    EXPECT_NE(r.find("A balloon measurement is running"), -1);
    EXPECT_NE(r.find("stored 0 1"), -1) << r.events;
}

TEST_F(Walk, AResponseTheBalloonRefusesHaltsTheWalkAtItsPoint)
{
    start();
    prepare();
    run("type measure 10010 \"900\"\n"); // +900 dB: no cell can hold it
    const SessionRun r = run("press main 1024\nwait 30000\n");
    EXPECT_NE(r.find("Response Out Of Range"), -1) << r.events;
    EXPECT_NE(r.find("Measurement failed at H=0, V=90 deg"), -1);
    EXPECT_EQ(r.find("stored"), -1);
    EXPECT_EQ(r.find("timer main 4000 start"), -1);
    EXPECT_TRUE(main().sequencer().halted());
    EXPECT_EQ(main().sequencer().pointsDone(), 0);
}

TEST_F(Walk, ClosingDuringARecordingEndsTheWalkQuietly)
{
    start();
    prepare();
    run("press main 1024\nwait 14000\n"); // the second point is recording
    const SessionRun r = run("answer yes\nclose main\nwait 20000\n");
    const int exit = r.find("DO YOU WISH TO EXIT");
    ASSERT_NE(exit, -1) << r.events;
    const auto lines = r.lines();
    for (std::size_t i = static_cast<std::size_t>(exit) + 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].find(" message "), std::string::npos) << lines[i];
    const auto record = readAutosaveProgress(dir_.path().string());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->state, AutosaveState::running) << "the walk can be resumed next time";
}

namespace {

struct Interval {
    std::uint64_t from, to;
};

// The rig's moves ("motor N turns MS ms") and recordings ("audio start" until both its
// capture and its playback have ended), in rig time.
void rigIntervals(const SessionRun& run, std::vector<Interval>& moves, std::vector<Interval>& recordings)
{
    std::uint64_t capture = 0, output = 0, started = 0;
    bool open = false;
    const auto close = [&] {
        if (open && capture && output)
            recordings.push_back({started, std::max(capture, output)}), open = false;
    };
    for (const std::string& l : run.lines()) {
        unsigned long at = 0, ms = 0;
        int turntable = 0, used = 0;
        char what[32] = {};
        if (std::sscanf(l.c_str(), "%lu motor %d turns %lu ms", &at, &turntable, &ms) == 3) {
            moves.push_back({at, at + ms});
        } else if (std::sscanf(l.c_str(), "%lu audio %31s%n", &at, what, &used) == 2) {
            const std::string_view event(what);
            if (event == "start")
                started = at, capture = output = 0, open = true;
            else if (event == "capture-done")
                capture = at, close();
            else if (event == "output-done")
                output = at, close();
        }
    }
}

} // namespace

TEST_F(Walk, APacedWalkNeverRecordsWhileATableTurnsAndMeasuresAsTheFixedWalkDoes)
{
    constexpr int kPoints = 40; // past the first V move
    const auto walk = [&](const char* setup) {
        start();
        prepare();
        std::string events = run(std::string(setup) + "press main 1024\n").events;
        while (main().sequencer().pointsDone() < kPoints && !main().sequencer().halted())
            events += run("wait 1000\n").events;
        run("press main 1027\n");
        return SessionRun{events, {}};
    };
    const SessionRun fixed = walk("");
    const std::unique_ptr<Session> first = std::move(session_);
    const BalloonMatrix& reference = first->main().matrix();
    const WalkTimes fixedTimes = first->main().sequencer().times();
    const SessionRun paced = walk("press main 1070\n");
    ASSERT_NE(paced.find("sequence start grid 10 paced"), -1) << paced.events.substr(0, 2000);

    std::vector<Interval> moves, recordings;
    rigIntervals(paced, moves, recordings);
    ASSERT_GE(recordings.size(), static_cast<std::size_t>(kPoints));
    ASSERT_GE(moves.size(), static_cast<std::size_t>(kPoints - 1));
    for (const Interval& r : recordings)
        for (const Interval& m : moves)
            EXPECT_TRUE(r.to <= m.from || m.to <= r.from)
                << "recording " << r.from << ".." << r.to << " inside move " << m.from << ".." << m.to;
    // The same noise at the same angles: the cells agree bit for bit.
    for (const auto& [row, column] : firstPoints(kPoints))
        EXPECT_TRUE(sameCell(reference, main().matrix(), row, column)) << row << "," << column;
    // Each point ends with its playback, not with the fixed wait.
    const WalkTimes& t = main().sequencer().times();
    EXPECT_LT(t.spanMs / static_cast<std::uint64_t>(t.points), 6125u - 400u);
    EXPECT_EQ(fixedTimes.spanMs / static_cast<std::uint64_t>(fixedTimes.points), 6125u);
}

TEST_F(Walk, ThePacingIsKeptAcrossSessionsBesideThePreferencesAndSettlesBeforeEachRecording)
{
    start();
    run("press main 1070\n");
    EXPECT_EQ(loadWalkPacing(dir_.path().string()), (WalkPacing{true, 0}));
    std::ofstream(dir_.path() / kWalkPacingName) << formatWalkPacing({true, 500});
    start();
    EXPECT_TRUE(session_->platform().window("main")->control(1070)->checked);
    EXPECT_EQ(session_->platform().window("main")->text(1071), "500");
    prepare();
    const SessionRun r = run("press main 1024\nwait 3000\n");
    const int settle = r.find("timer main 7002 start 500");
    ASSERT_NE(settle, -1) << r.events;
    EXPECT_LT(settle, r.find("audio start"));
    EXPECT_GT(r.find("audio start"), r.find("timer main 7002 fire"));
}

TEST_F(Walk, TheSettleBoxTakesWholeMillisecondsWhenTheEditIsFinishedAndRefusesTheRestWhole)
{
    start();
    HeadlessWindow& w = *session_->platform().window("main");
    EXPECT_EQ(w.text(1071), "0");
    struct Case {
        const char* typed;
        int settleMs; // in effect, and in the file
        const char* shown;
        bool refused;
    };
    int before = 0;
    for (const Case& c : {Case{"250", 250, "250", false}, Case{"", 250, "250", true}, Case{"5000", 5000, "5000", false},
                          Case{"5001", 5000, "5000", true}, Case{"-1", 5000, "5000", true},
                          Case{"1,5", 5000, "5000", true}, Case{"0040", 40, "40", false}, Case{"0", 0, "0", false}}) {
        run(std::string("type main 1071 \"") + c.typed + "\"\n");
        EXPECT_EQ(main().pacing().settleMs, before) << c.typed << ": nothing half-typed is in effect";
        const SessionRun r = run("enter main 1071\n");
        EXPECT_EQ(main().pacing().settleMs, c.settleMs) << c.typed;
        EXPECT_EQ(loadWalkPacing(dir_.path().string()).settleMs, c.settleMs) << c.typed;
        EXPECT_EQ(w.text(1071), c.shown) << c.typed;
        EXPECT_EQ(r.find(std::string("\\\"") + c.typed + "\\\" is no settle time") != -1, c.refused) << r.events;
        before = c.settleMs;
    }
}

TEST_F(Walk, ThePacingFileIsReplacedWholeNeverWrittenOverInPlace)
{
    start();
    run("press main 1070\n");
    std::ifstream held(dir_.path() / kWalkPacingName, std::ios::binary); // a reader of the old file
    run("press main 1070\n");
    std::ostringstream old;
    old << held.rdbuf();
    EXPECT_EQ(old.str(), formatWalkPacing({true, 0})) << "the old file stays whole for its reader";
    EXPECT_EQ(loadWalkPacing(dir_.path().string()), (WalkPacing{false, 0}));
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

TEST_F(Walk, WhileAWalkRunsEveryMeasurementSettingRefusesItsInputWithABeepAndShowsTheOneInUse)
{
    start();
    prepare();
    run("press main 1070\npress main 1024\nwait 3000\n");
    ASSERT_EQ(main().sequence().sequenceRunning, 1);
    const MlsSettings s = main().settings();
    const ExcitationSettings e = main().excitation();
    const HeadlessWindow& w = *session_->platform().window("measure");
    const auto shown = [&](int id) { return w.control(id)->selection; };
    const std::vector<std::string> inputs{"select measure 10003 4", "select measure 10004 4",
                                          "select measure 10011 " + std::to_string((s.smoothingIndex + 1) % 6),
                                          "select measure 10005 1", "press measure 20040",
                                          "type measure 20041 \"1500\"", "type measure 20042 \"abc\"",
                                          "type measure 10012 \"100\"", "press measure 20034"};
    for (const std::string& input : inputs) {
        const SessionRun r = run(input + "\n");
        EXPECT_NE(r.find("beep"), -1) << input;
        EXPECT_EQ(main().settings().mlsLengthIndex, s.mlsLengthIndex) << input;
        EXPECT_EQ(main().settings().rateIndex, s.rateIndex) << input;
        EXPECT_EQ(main().settings().smoothingIndex, s.smoothingIndex) << input;
        EXPECT_EQ(main().settings().windowWidthText, s.windowWidthText) << input;
        EXPECT_EQ(main().excitation().sweep, e.sweep) << input;
        EXPECT_EQ(main().excitation().f1Hz, e.f1Hz) << input;
        EXPECT_EQ(main().excitation().f2Hz, e.f2Hz) << input;
        EXPECT_EQ(shown(10003), s.mlsLengthIndex) << input;
        EXPECT_EQ(shown(10004), s.rateIndex) << input;
        EXPECT_EQ(shown(10011), s.smoothingIndex) << input;
        EXPECT_EQ(shown(10005), s.windowTypeIndex) << input;
        EXPECT_EQ(w.control(20040)->checked, e.sweep) << input;
        EXPECT_EQ(w.text(20041), "10") << input;
        EXPECT_EQ(w.text(20042), "") << input;
        EXPECT_EQ(w.text(10012), s.windowWidthText) << input;
        EXPECT_EQ(w.control(20034)->checked, s.useMatchedFilter != 0) << input;
    }
    const SessionRun walk = run("enter measure 20042\nwait 30000\n");
    EXPECT_NE(walk.find("stored 0 2"), -1) << "the walk goes on as it started";
}

TEST_F(Walk, RunTestAfterAFinishedWalkAsksBeforeItsUnsavedBalloonIsOverwritten)
{
    const std::filesystem::path kept = dir_.path() / "kept.BAL";
    struct Case {
        std::string answers;
        bool starts, saved;
    };
    for (const Case& c : {Case{"answer cancel\n", false, false}, Case{"answer yes\nfile cancel\n", false, false},
                          Case{"answer yes\nfile \"" + kept.string() + "\"\n", true, true},
                          Case{"answer no\n", true, false}}) {
        std::filesystem::remove(kept);
        {
            // A walk stopped after its last point: "RUN Test" finishes it at once.
            BalloonMatrix m = *BalloonMatrix::create();
            AutosaveProgress last;
            last.phase = 18;
            last.hAngle = 0;
            last.vAngle = -90;
            last.pointsDone = 667;
            last.simulatedRig = true;
            BalloonAutosave autosave(dir_.path().string());
            ASSERT_FALSE(autosave.start(m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}, {}, last));
        }
        start(); // the offer at start-up is answered yes
        run("press main 1004\npress main 1012\npress main 1038\nselect measure 10003 0\npress main 1024\nwait 10000\n");
        ASSERT_EQ(readAutosaveProgress(dir_.path().string())->state, AutosaveState::finished);
        const SessionRun r = run(c.answers + "press main 1024\nwait 1000\n");
        EXPECT_NE(r.find("The balloon in memory has not been saved"), -1) << c.answers << r.events;
        EXPECT_EQ(r.find("sequence start") != -1, c.starts) << c.answers;
        EXPECT_EQ(std::filesystem::exists(kept), c.saved) << c.answers;
        if (!c.starts) {
            EXPECT_EQ(readAutosaveProgress(dir_.path().string())->state, AutosaveState::finished) << "kept as it was";
        }
        run("press main 1027\n");
    }
    // A balloon no walk has measured into since it was saved or discarded is overwritten without a question.
    const SessionRun again = run("press main 1024\nwait 1000\n");
    EXPECT_EQ(again.find("has not been saved"), -1) << again.events;
    EXPECT_NE(again.find("sequence start"), -1);
}

TEST_F(Walk, AResumeGoesOnWithTheExcitationItsRecordKeepsOrSaysWhyItCannot)
{
    enum class Dst { none, damaged };
    struct Case {
        AutosaveExcitation recorded;
        bool simulatedRecord;
        Dst dst;
        const char* refusal; // nothing: resumed
        bool sweep;          // the excitation the rest is measured with
    };
    const Case cases[] = {
        {AutosaveExcitation::sweep, true, Dst::none, nullptr, true},
        {AutosaveExcitation::sweep, true, Dst::damaged, "was measured with the log sweep, and its distortion autosave", false},
        {AutosaveExcitation::mls, true, Dst::damaged, nullptr, false},
        {AutosaveExcitation::unknown, true, Dst::none, nullptr, false},
        {AutosaveExcitation::unknown, true, Dst::damaged, "does not say which excitation", false},
        {AutosaveExcitation::mls, false, Dst::none, "was made on turntables and a sound card, this is the simulated rig",
         false},
    };
    for (const Case& c : cases) {
        const std::string label = std::to_string(static_cast<int>(c.recorded)) + (c.simulatedRecord ? " sim " : " hw ") +
                                  std::to_string(static_cast<int>(c.dst));
        std::filesystem::remove(dir_.path() / kAutosaveDistortionName);
        {
            BalloonMatrix m = *BalloonMatrix::create();
            AutosaveProgress p;
            p.hAngle = 10;
            p.pointsDone = 2;
            p.simulatedRig = c.simulatedRecord;
            p.excitation = c.recorded;
            p.sweepF1Hz = 200; // a band the short sequence of prepare() holds
            BalloonAutosave autosave(dir_.path().string());
            ASSERT_FALSE(autosave.start(m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}, {}, p));
        }
        if (c.dst == Dst::damaged)
            std::ofstream(dir_.path() / kAutosaveDistortionName) << "not a distortion balloon";
        start(); // the offer at start-up is answered yes
        const std::string startup = session_->startupEvents();
        EXPECT_EQ(startup.find(c.refusal ? c.refusal : "cannot be read") != std::string::npos, c.refusal != nullptr)
            << label << startup;
        EXPECT_EQ(main().excitation().sweep, c.sweep) << label;
        if (c.refusal || !c.sweep)
            continue;
        EXPECT_EQ(main().excitation().f1Hz, 200.0) << label;
        prepare();
        const SessionRun r = run("press main 1024\nwait 15000\n");
        EXPECT_NE(r.find("sequence resume at H=20, V=90 deg"), -1) << label << r.events;
        EXPECT_NE(r.find("the points measured before the resume have no harmonics"), -1) << label;
        EXPECT_NE(r.find("title \"Log Sweep 200 Hz"), -1) << label;
        EXPECT_TRUE(std::filesystem::exists(dir_.path() / kAutosaveDistortionName)) << "kept from here on";
        run("press main 1027\n");
    }
}

TEST_F(Walk, AResumeWithTheMeasurementWindowClosedTurnsNoTableAndSaysWhatToDo)
{
    {
        BalloonMatrix m = *BalloonMatrix::create();
        AutosaveProgress p;
        p.phase = 1;
        p.hAngle = 350;
        p.vAngle = 80;
        p.pointsDone = 40;
        p.simulatedRig = true;
        BalloonAutosave autosave(dir_.path().string());
        ASSERT_FALSE(autosave.start(m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}, {}, p));
    }
    start(); // the offer at start-up is answered yes
    EXPECT_NE(session_->startupEvents().find("The walk goes on at \\\"RUN Test\\\": connect both turntables"),
              std::string::npos)
        << session_->startupEvents();
    const SessionRun closed = run("press main 1004\npress main 1012\npress main 1024\nwait 20000\n");
    EXPECT_NE(closed.find("Measurement Dialoge Not Active\\n\\n\\\"Measurements\\\" opens it; \\\"RUN Test\\\" then "
                          "resumes the walk."),
              -1)
        << closed.events;
    EXPECT_EQ(closed.find(" turns "), -1) << "no table moved";
    EXPECT_EQ(closed.find("sequence resume"), -1);
    EXPECT_EQ(main().sequence().sequenceRunning, 0);

    run("press main 1038\nselect measure 10003 0\ntype measure 10012 \"4000\"\npress measure 20030\n");
    const SessionRun resumed = run("press main 1024\nwait 150000\n");
    EXPECT_NE(resumed.find("sequence resume at H=340, V=80 deg"), -1) << resumed.events;
    EXPECT_NE(resumed.find("stored 1 34"), -1) << resumed.events;
}
