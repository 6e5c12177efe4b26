// The automatic balloon walk through the session harness on the simulated rig: "RUN Test" and
// "ABORT Test" pressed by id, the virtual clock advanced, and the recorded events, the
// balloon cells and the rig's own loudspeaker model checked.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <map>

#include "app/simulated_recording.h"
#include "integration/session_fixture.h"
#include "mls/measurement_window.h"
#include "platform/sim/sim_audio.h"
#include "walk_cells.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// Long enough for any whole walk on the virtual clock (the 5-degree walk takes about 6 h).
constexpr const char* kWholeWalk = "wait 40000000\n";

#if defined(__SANITIZE_ADDRESS__)
constexpr int kBalloonLengthIndex = 0; // order 13: the instrumented build walks a short sequence
constexpr const char* kBalloonWidth = "4000";
#else
constexpr int kBalloonLengthIndex = 5; // order 18
constexpr const char* kBalloonWidth = "30000";
#endif

struct EventCounts {
    int points = 0, hMoves = 0, vMoves = 0;
    std::vector<std::pair<int, int>> pointAngles; // (H, V) in order
    std::map<std::pair<int, int>, int> stored;    // (row, column) -> times
};

EventCounts countEvents(const SessionRun& run)
{
    EventCounts c;
    for (const std::string& l : run.lines()) {
        int h = 0, v = 0, row = 0, column = 0;
        if (std::sscanf(l.c_str(), "%*u sequence point H=%d, V=%d deg", &h, &v) == 2) {
            ++c.points;
            c.pointAngles.emplace_back(h, v);
        } else if (l.find("timer main 4000 start") != std::string::npos) {
            ++c.hMoves;
        } else if (l.find("timer main 4001 start") != std::string::npos) {
            ++c.vMoves;
        } else if (std::sscanf(l.c_str(), "%*u stored %d %d", &row, &column) == 2) {
            ++c.stored[{row, column}];
        }
    }
    return c;
}

class Sequence : public ::testing::Test {
protected:
    void SetUp() override { session_ = std::make_unique<Session>(dir_.path(), true); }

    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    // Both turntables connected, the grid chosen, the measurement window open with "Saved IR"
    // off and the MLS length and window width set.
    void prepare(bool grid10, int lengthIndex, const std::string& width)
    {
        run(std::string("press main ") + (grid10 ? "1031" : "1030") +
            "\npress main 1004\npress main 1012\npress main 1038\n"
            "select measure 10003 " + std::to_string(lengthIndex) + "\ntype measure 10012 \"" + width + "\"\n");
        if (main().settings().useSavedIr == 1)
            run("press measure 20030\n");
    }
    MainWindow& main() { return session_->main(); }
    const SimAudioSystem& audio() { return dynamic_cast<SimAudioSystem&>(session_->devices().audio()); }

    TempDir dir_;
    std::unique_ptr<Session> session_;
};

std::string messageLine(const std::string& text)
{
    return "message main \"Karvell\" information \"" + text + "\" -> ok";
}

double cellDb(const ComplexBin& b)
{
    return 10 * std::log10(static_cast<double>(b.re) * b.re + static_cast<double>(b.im) * b.im);
}

} // namespace

TEST_F(Sequence, WholeTenDegreeBalloonFollowsThePathAndMatchesTheLoudspeakerModel)
{
    prepare(true, kBalloonLengthIndex, kBalloonWidth);
    const SessionRun r = run(std::string("press main 1024\n") + kWholeWalk);
    ASSERT_NE(r.find(messageLine("Process Completed")), -1);
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
    EXPECT_FALSE(main().turntables().busy(1));
    EXPECT_FALSE(main().turntables().busy(2));

    const EventCounts c = countEvents(r);
    EXPECT_EQ(c.points, 667);
    EXPECT_EQ(c.hMoves, 648);
    EXPECT_EQ(c.vMoves, 18);
    ASSERT_GE(c.pointAngles.size(), 40u);
    EXPECT_EQ(c.pointAngles[0], std::make_pair(0, 90));
    EXPECT_EQ(c.pointAngles[1], std::make_pair(10, 90));
    EXPECT_EQ(c.pointAngles[36], std::make_pair(360, 90));
    EXPECT_EQ(c.pointAngles[37], std::make_pair(360, 80)) << "V moves while H stays at 360";
    EXPECT_EQ(c.pointAngles[38], std::make_pair(350, 80));
    EXPECT_EQ(c.pointAngles.back(), std::make_pair(0, -90));
    EXPECT_LT(r.find("sequence point H=0, V=90 deg"), r.find("timer main 4000 start")) << "the first point before any move";
    for (int row = 0; row <= 18; ++row)
        for (int column = 0; column <= 36; ++column)
            EXPECT_EQ(c.stored.count({row, column}), row == 18 && column != 0 ? 0u : 1u) << row << " " << column;

    const BalloonMatrix& m = main().matrix();
    for (int column = 0; column <= 36; ++column)
        EXPECT_EQ(std::memcmp(m.cell(18, column).data(), m.cell(0, 36 - column).data(), 750 * sizeof(ComplexBin)), 0)
            << "cell (18, " << column << ")";

    // One level offset for the whole balloon (the REF normalisation), taken on the axis at 1 kHz.
    // Every cell then lies within 0.5 dB of the model from 100 Hz to 20 kHz wherever the model
    // itself is resolvable by the measurement: not more than 40 dB under the axis (the noise of
    // the microphone) and where the model changes by no more than 0.25 dB within half the 1/24
    // octave the response is smoothed over. Around the notches where the two drivers cancel
    // off axis (1.7..2.1 kHz) a smoothed response cannot follow the model point by point:
    // with a 1 dB bound it was 1.07 dB off there while flat parts stayed within 0.46 dB.
    const FrequencyAxis& axis = main().axis();
    int k1 = 0;
    while (axis[k1] < 1000)
        ++k1;
    const auto modelDb = [&](double hz, int h, int v) { return 20 * std::log10(std::abs(audio().inTransfer(hz, h, v))); };
    const double offset = cellDb(m.cell(0, 0)[static_cast<std::size_t>(k1)]) - modelDb(axis[k1], 0, 90);
    double worst = 0;
    std::string where;
    int compared = 0, skipped = 0;
    for (int row = 0; row <= 18; ++row)
        for (int column = 0; column <= 36; ++column) {
            const int v = 90 - 10 * row, h = 10 * column;
            const auto cell = m.cell(row, column);
            for (int i = 0; i < kAxisPoints; ++i) {
                const double f = axis[i];
                if (f < 100 || f > 20000)
                    continue;
                const double model = modelDb(f, h, v);
                const double spread = std::max(std::abs(modelDb(f * std::pow(2.0, 1.0 / 48), h, v) - model),
                                               std::abs(modelDb(f * std::pow(2.0, -1.0 / 48), h, v) - model));
                if (model < modelDb(f, 0, 0) - 40 || spread > 0.25) {
                    ++skipped;
                    continue;
                }
                ++compared;
                const double error = std::abs(cellDb(cell[static_cast<std::size_t>(i)]) - offset - model);
                if (error > worst) {
                    worst = error;
                    where = "H=" + std::to_string(h) + " V=" + std::to_string(v) + " f=" + std::to_string(f);
                }
            }
        }
    EXPECT_GT(compared, 17 * skipped / 3) << "at least 85 in 100 points are compared";
    // The short sequence of the instrumented build leaves more noise in each response; its
    // bound is the error measured on it (2.1 dB) with margin, the order-18 walk's is the 0.5 dB.
    EXPECT_LT(worst, kBalloonLengthIndex == 5 ? 0.5 : 3.0) << where;
}

TEST_F(Sequence, FiveDegreePathFillsThePoleRowOnlyFromRowZero)
{
    // Every point imports the same short stored recording: the path, not the sound, is tested.
    const std::string recording = (dir_.path() / "axis.RES").string();
    ASSERT_FALSE(recordOnSimulatedRig({0, 0, 13, 5}, recording));
    prepare(false, 0, "4000");
    run("press measure 20030\n"); // "Saved IR" back on
    ASSERT_EQ(main().settings().useSavedIr, 1);
    for (int i = 0; i < 2700; ++i)
        session_->platform().queueFile(recording);
    main().matrix().cell(36, 5)[0] = ComplexBin{123.0f, 456.0f}; // what only the pole fill may replace

    const SessionRun r = run(std::string("press main 1024\n") + kWholeWalk);
    ASSERT_NE(r.find(messageLine("Process Completed")), -1);
    const EventCounts c = countEvents(r);
    EXPECT_EQ(c.points, 2629);
    EXPECT_EQ(c.hMoves, 2592);
    EXPECT_EQ(c.vMoves, 36);
    ASSERT_EQ(c.pointAngles.size(), 2629u);
    EXPECT_EQ(c.pointAngles[1], std::make_pair(5, 90));
    EXPECT_EQ(c.pointAngles[72], std::make_pair(360, 90));
    EXPECT_EQ(c.pointAngles[73], std::make_pair(360, 85));
    EXPECT_EQ(c.pointAngles[145], std::make_pair(0, 85));
    EXPECT_EQ(c.pointAngles[146], std::make_pair(0, 80));
    EXPECT_EQ(c.pointAngles.back(), std::make_pair(0, -90));
    for (int column = 0; column <= 72; ++column)
        EXPECT_EQ(c.stored.count({36, column}), 0u) << "the V = -90 row is never stored by a measurement";
    EXPECT_EQ(c.stored.size(), 36u * 73u);

    const BalloonMatrix& m = main().matrix();
    for (int column = 0; column <= 72; ++column)
        EXPECT_EQ(std::memcmp(m.cell(36, column).data(), m.cell(0, 72 - column).data(), 750 * sizeof(ComplexBin)), 0)
            << "cell (36, " << column << ")";
}

TEST_F(Sequence, AbortWhileARecordingIsInFlightStoresNothingAndLeavesNoTimer)
{
    prepare(true, 0, "4000");
    run("press main 1024\nwait 14000\n"); // the second point is recording
    ASSERT_EQ(main().sequence().currentHAngle, 10);
    const SessionRun r = run("wait 1000\npress main 1027\nwait 60000\n");
    EXPECT_EQ(r.find("stored"), -1) << r.events;
    EXPECT_EQ(r.find("timer main 7000 fire"), -1);
    EXPECT_EQ(r.find("timer main 4000 start"), -1);
    EXPECT_EQ(r.find("sequence point"), -1);
    EXPECT_NE(r.find(R"(write "|2.1\r\n")"), -1) << "reset and pause to the turntables";
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
    EXPECT_EQ(main().sequence().currentHAngle, 0);
    EXPECT_FALSE(main().turntables().busy(1));
    EXPECT_TRUE(cellIsZero(main().matrix(), 0, 1));
}

TEST_F(Sequence, WithoutTheMeasurementWindowTheSequenceWaits)
{
    run("press main 1031\npress main 1004\npress main 1012\n");
    const SessionRun r = run("press main 1024\nwait 60000\n");
    EXPECT_NE(r.find("Measurement Dialoge Not Active\\n\\n\\\"Measurements\\\" opens it"), -1) << r.events;
    EXPECT_EQ(r.find("timer main 7000 start"), -1);
    EXPECT_EQ(r.find("timer main 4000 start"), -1);
    EXPECT_EQ(main().sequence().sequenceRunning, 1);
    // "ABORT Test" is the way out.
    run("press main 1027\n");
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
}

TEST_F(Sequence, AnUnconnectedTurntableStartsNothing)
{
    run("press main 1038\npress main 1004\n");
    const SessionRun r = run("press main 1024\nwait 20000\n");
    EXPECT_NE(r.find(messageLine("TT 2 Not Connected")), -1) << r.events;
    EXPECT_EQ(r.find(messageLine("TT 1 Not Connected")), -1);
    EXPECT_EQ(r.find("sequence"), -1);
    EXPECT_EQ(r.find("audio start"), -1);
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
}

TEST_F(Sequence, ASoundCardErrorHaltsTheSequenceAtThePointItNames)
{
    prepare(true, 0, "4000");
    run("press main 1024\nwait 18000\n"); // two points measured, the table on its way to H = 20
    ASSERT_EQ(main().sequence().currentHAngle, 20);
    main().settings().inputDeviceId = 3; // the input device is gone
    const SessionRun r = run("wait 60000\n");
    EXPECT_NE(r.find("\"Simulated Rig: no such device\""), -1) << r.events;
    EXPECT_NE(r.find("Measurement failed at H=20, V=90 deg"), -1) << r.events;
    EXPECT_EQ(r.find("timer main 7000 fire"), -1) << "timer 7000 is killed";
    EXPECT_EQ(r.find("timer main 4000 start"), -1) << "the table stays at the failed point";
    EXPECT_TRUE(main().sequencer().halted());
    EXPECT_EQ(main().sequence().sequenceRunning, 1) << "until \"ABORT Test\"";
    EXPECT_TRUE(cellIsZero(main().matrix(), 0, 2)) << "the cell keeps what it held";
    run("press main 1027\n");
    EXPECT_EQ(main().sequence().sequenceRunning, 0);
    EXPECT_FALSE(main().sequencer().halted());
}

TEST_F(Sequence, AMeasurementWaitThatEndsTooEarlyWaitsForTheResultBeforeTheMove)
{
    prepare(true, 0, "4000");
    run("press main 1024\n");
    main().host().startTimer(kMeasureTimerId, 1000); // a slow machine: the wait ends mid-recording
    const SessionRun r = run("wait 9000\n");
    const int waits = r.find("sequence waits for the measurement");
    const int stored = r.find("stored 0 0");
    const int move = r.find("timer main 4000 start");
    ASSERT_NE(waits, -1) << r.events;
    ASSERT_NE(stored, -1) << r.events;
    ASSERT_NE(move, -1) << r.events;
    EXPECT_LT(waits, stored);
    EXPECT_LT(stored, move) << "the table moves only after the store";
    EXPECT_EQ(r.find("stored 0 1"), -1) << "the result lands in the cell it was started at";
}

TEST_F(Sequence, EachPointIsMarkedOnThePointViewAndThePointGridIsClearedAtTheStart)
{
    prepare(true, 0, "4000");
    main().display().grids().balloon[3][5].flag = 1.0f; // a point of an earlier view
    const SessionRun r = run("press main 1024\nwait 14000\n"); // the second point is recording
    ASSERT_EQ(main().sequence().currentHAngle, 10);
    const PointGrid& marks = main().display().grids().measured;
    EXPECT_EQ(marks[0][0].flag, 1.0f) << "H=0, V=+90";
    EXPECT_EQ(marks[0][1].flag, 1.0f) << "H=10, V=+90";
    EXPECT_EQ(marks[0][2].flag, 0.0f) << "not yet measured";
    EXPECT_EQ(main().display().grids().balloon[3][5].flag, 0.0f) << "the balloon point grid is cleared at the start";
    EXPECT_LT(r.find("points clear"), r.find("points mark 9 0"));
    EXPECT_LT(r.find("points mark 9 0"), r.find("points mark 9 1"));
}
