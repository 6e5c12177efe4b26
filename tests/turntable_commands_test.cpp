#include <gtest/gtest.h>

#include <utility>

#include "turntable/motor_commands.h"

namespace vantrel {
namespace {

TEST(MotorCommands, FixedCommandsAreExactBytes)
{
    EXPECT_EQ(kSpeedCommand, std::string_view("S.1=40\r\n", 8));
    EXPECT_EQ(kAParameterCommand, std::string_view("A.1=20\r\n", 8));
    EXPECT_EQ(kGoCommand, std::string_view("^.1\r\n", 5));
    EXPECT_EQ(kPauseCommand, std::string_view(").1\r\n", 5));
    EXPECT_EQ(kResetCommand, std::string_view("\x7C" "2.1\r\n", 6));
    EXPECT_EQ(kEnableCommand, std::string_view("(.1\r\n", 5));
}

TEST(MotorCommands, PositionCommandSendsOnlyTheStep)
{
    EXPECT_EQ(positionCommand(1, 1), "P.1=1389\r\n");
    EXPECT_EQ(positionCommand(5, -1), "P.1=-6945\r\n");
    EXPECT_EQ(positionCommand(10, 1), "P.1=13890\r\n");
    EXPECT_EQ(positionCommand(90, 1), "P.1=125010\r\n");
    const auto back90 = positionCommand(90, -1);
    ASSERT_TRUE(back90);
    EXPECT_EQ(*back90, "P.1=-125010\r\n");
    EXPECT_EQ(back90->size(), 13u);
    const auto tenth = positionCommand(kTenthDegreeCode, 1);
    ASSERT_TRUE(tenth);
    EXPECT_EQ(*tenth, "P.1=139\r\n");
    EXPECT_EQ(tenth->size(), 9u);
    EXPECT_EQ(positionCommand(kTenthDegreeCode, -1), "P.1=-139\r\n");
}

TEST(MotorCommands, RefusesStepsAndDirectionsOutsideTheProtocol)
{
    for (int degrees : {0, 2, 45, 100, -5, 998, 1000})
        EXPECT_FALSE(positionCommand(degrees, 1)) << degrees;
    for (int direction : {0, 2, -2})
        EXPECT_FALSE(positionCommand(5, direction)) << direction;
    EXPECT_FALSE(turntable1MoveMs(45));
    EXPECT_FALSE(turntable2Timing(45));
}

TEST(MotorCommands, Turntable1WaitsComeFromTheTable)
{
    EXPECT_EQ(turntable1MoveMs(1), 1000);
    EXPECT_EQ(turntable1MoveMs(5), 2000);
    EXPECT_EQ(turntable1MoveMs(10), 4000);
    EXPECT_EQ(turntable1MoveMs(90), 34000);
    EXPECT_EQ(turntable1MoveMs(kTenthDegreeCode), 500);
}

TEST(MotorCommands, Turntable2WaitsAreComputedFromTheMotorSpeed)
{
    const auto t90 = turntable2Timing(90);
    ASSERT_TRUE(t90);
    EXPECT_EQ(t90->rpm, 48);
    EXPECT_FLOAT_EQ(t90->rps, 0.8f);
    EXPECT_EQ(t90->i, 1388);
    EXPECT_EQ(t90->intervalMs, 33230);
    EXPECT_EQ(turntable2Timing(10)->intervalMs, 5470);
    EXPECT_EQ(turntable2Timing(5)->intervalMs, 3735);
    EXPECT_EQ(turntable2Timing(1)->intervalMs, 1000);
    EXPECT_EQ(turntable2Timing(kTenthDegreeCode)->intervalMs, 500);
}

// The motor's own turning time: the step's counts at 4000 counts/s, never longer than either
// table's fixed wait, which would otherwise send the end of a move while the table still turns.
TEST(MotorCommands, StepMotionIsTheCountsAtTheMotorSpeedWithinEveryWait)
{
    const std::pair<int, int> cases[] = {{1, 348}, {5, 1737}, {10, 3473}, {90, 31253}, {kTenthDegreeCode, 35}};
    for (const auto& [degrees, ms] : cases) {
        SCOPED_TRACE(degrees);
        EXPECT_EQ(stepMotionMs(degrees), ms);
        EXPECT_LE(ms, *turntable1MoveMs(degrees));
        EXPECT_LE(ms, turntable2Timing(degrees)->intervalMs);
    }
    EXPECT_FALSE(stepMotionMs(45));
}

} // namespace
} // namespace vantrel
