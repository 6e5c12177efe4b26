// "Auto Gate" in the "MLS Measurement" window, pressed as a user presses it on the simulated
// rig: in the room the window is cut before the floor reflection in its controls and on the
// impulse plot, and "Save Data" records the gate beside the balloon; in the anechoic rig
// nothing stands out and the window stays.

#include <gtest/gtest.h>

#include <memory>
#include <span>

#include "balloon/measurement_record.h"
#include "integration/session_fixture.h"
#include "mls/gate.h"
#include "mls/measurement_window.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

class AutoGate : public ::testing::Test {
protected:
    void start(bool room)
    {
        SimFaults faults;
        if (room)
            faults.room = SimRoom{5, 4, 2.6};
        session_ = std::make_unique<Session>(dir_.path(), true, faults);
        run("press main 1038\n");
    }
    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    // A live recording at order 14 with the turntables at rest.
    void measure() { run("press measure 20030\nselect measure 10003 1\npress measure 10007\nwait 7000\n"); }
    HeadlessWindow& window() { return *session_->platform().window("measure"); }
    MainWindow& main() { return session_->main(); }
    MlsSettings& settings() { return main().settings(); }

    TempDir dir_;
    std::unique_ptr<Session> session_;
};

} // namespace

TEST_F(AutoGate, CutsTheWindowBeforeTheFloorReflectionAndTheSaveRecordsIt)
{
    start(true);
    EXPECT_NE(run("press measure 20045\n").find("Please Generate Impulse Response First"), -1);
    EXPECT_EQ(settings().windowTypeIndex, 0) << "nothing to gate yet";
    measure();
    run("press measure 20045\n");

    // The controls, as a user would have set them.
    EXPECT_EQ(settings().windowTypeIndex, kSemiRectangularType);
    EXPECT_EQ(window().listSelection(10005), kSemiRectangularType);
    const int width = std::stoi(settings().windowWidthText), position = settings().fftWindowPosition;
    EXPECT_EQ(window().text(10012), settings().windowWidthText);
    EXPECT_EQ(window().scrollPos(10021), position);
    // The window drawn on the impulse plot (from the position on) passes the direct sound and
    // is closed before the reflection arrives.
    const auto in = std::span<const float>(main().measurementDialog()->engine().inSignal()).first(1 << 14);
    const ReflectionSearch found = findFirstReflection(in, 48000);
    ASSERT_TRUE(found.reflection);
    const Curve& drawn = main().curves()[kTimeWindowCurve];
    EXPECT_EQ(drawn[static_cast<std::size_t>(found.direct - position)], 1.0f);
    EXPECT_EQ(drawn[static_cast<std::size_t>(*found.reflection - position - 12)], 0.0f) << "the margin";
    EXPECT_LE(position + width, *found.reflection - 12);

    const auto path = dir_.path() / "room.BAL";
    run("file \"" + path.string() + "\"\npress main 1036\n");
    const LoadedRecord saved = loadMeasurementRecordFor(path.string());
    ASSERT_TRUE(saved.record) << saved.error;
    ASSERT_TRUE(saved.record->gate);
    EXPECT_TRUE(saved.record->gate->automatic);
    EXPECT_NEAR(saved.record->gate->ms, (*found.reflection - found.direct) / 48.0 - kGateMarginMs, 1e-9);
    EXPECT_EQ(saved.record->windowSamples, width);
    EXPECT_EQ(saved.record->windowPosition, position);
    EXPECT_EQ(saved.record->windowType, kSemiRectangularType);

    // A window the user sets afterwards is no longer the gate.
    run("type measure 10012 \"2000\"\n");
    EXPECT_FALSE(main().measurementDialog()->gateRecord());
    run("file \"" + path.string() + "\"\npress main 1036\n");
    EXPECT_FALSE(loadMeasurementRecordFor(path.string()).record->gate);
}

TEST_F(AutoGate, FindsNothingInTheAnechoicRigAndLeavesTheWindow)
{
    start(false);
    measure();
    EXPECT_NE(run("press measure 20045\n").find(std::string(kNoReflectionText)), -1);
    EXPECT_EQ(settings().windowTypeIndex, 0);
    EXPECT_EQ(settings().windowWidthText, "30000");
    EXPECT_FALSE(main().measurementDialog()->gateRecord());
}
