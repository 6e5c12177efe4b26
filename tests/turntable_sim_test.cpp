#include <gtest/gtest.h>

#include <cmath>

#include "platform/logged_serial.h"
#include "platform/sim/motor_rig.h"
#include "turntable/motor_commands.h"
#include "turntable/turntables.h"
#include "turntable_fakes.h"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::FakeWindow;
using testing::RecordingLog;
using Lines = std::vector<std::string>;

void send(SimulatedMotorController& controller, std::string_view bytes)
{
    controller.receive(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

struct Controller {
    FakeClock clock;
    RecordingLog log{clock};
    SimulatedMotorController motor{1, clock, log, 0.0};
};

TEST(SimulatedMotor, TurnsByThePendingStepAtTheSpeedSet)
{
    Controller c;
    send(c.motor, "S.1=40\r\nA.1=20\r\n");
    EXPECT_EQ(c.motor.speed(), 40);
    EXPECT_EQ(c.motor.aParameter(), 20);
    send(c.motor, "(.1\r\nP.1=13890\r\n^.1\r\n");
    EXPECT_TRUE(c.motor.turning());
    c.clock.runUntil(1000); // 4000 counts/s
    EXPECT_EQ(c.motor.positionCounts(), 4000);
    EXPECT_NEAR(c.motor.degrees(), 2.88, 0.001);
    c.clock.runUntil(3472);
    EXPECT_TRUE(c.motor.turning());
    c.clock.runUntil(3473);
    EXPECT_FALSE(c.motor.turning());
    EXPECT_EQ(c.motor.positionCounts(), 13890);
    EXPECT_EQ(c.log.lines, (Lines{"0 motor 1 turns 3473 ms", "3473 motor 1 at 10.0"}));

    send(c.motor, "|2.1\r\n(.1\r\nP.1=-139\r\n^.1\r\n");
    c.clock.runUntil(4000);
    EXPECT_EQ(c.motor.positionCounts(), 13751);
    EXPECT_TRUE(c.motor.violations().empty());
}

TEST(SimulatedMotor, FramesCommandsAcrossAndWithinWrites)
{
    Controller c;
    for (char ch : std::string_view("S.1=40\r\n(.1\r\nP.1=-1389\r\n^.1\r\n"))
        send(c.motor, std::string_view(&ch, 1));
    EXPECT_EQ(c.motor.commands(), (Lines{"S.1=40", "(.1", "P.1=-1389", "^.1"}));
    c.clock.runUntil(2000);
    EXPECT_EQ(c.motor.positionCounts(), -1389);
    EXPECT_EQ(c.log.lines, (Lines{"0 motor 1 turns 348 ms", "348 motor 1 at -1.0"}));
}

TEST(SimulatedMotor, RecordsProtocolViolations)
{
    Controller c;
    send(c.motor, "S.1=40\r\n^.1\r\n"); // a go with nothing pending, as at connect: harmless
    EXPECT_TRUE(c.motor.violations().empty());
    send(c.motor, "X.1\r\nP.1=12a\r\nP.1=\r\n^.1\n");
    send(c.motor, std::string(80, 'P') + "\r\n"); // dropped up to the end of its line
    send(c.motor, "P.1=1389\r\n^.1\r\n");
    EXPECT_EQ(c.motor.violations(),
              (Lines{"malformed command: X.1", "malformed command: P.1=12a", "malformed command: P.1=",
                     "malformed command: ^.1\n", "malformed command: " + std::string(65, 'P'), "go without enable"}));
    EXPECT_FALSE(c.motor.turning());
    EXPECT_EQ(c.log.lines[0], R"(0 motor 1 violation "malformed command: X.1")");
    EXPECT_EQ(c.log.lines[3], R"(0 motor 1 violation "malformed command: ^.1\n")");
}

TEST(SimulatedMotor, AResetBeforeTheMoveEndsIsAViolation)
{
    Controller c;
    send(c.motor, "S.1=40\r\n(.1\r\nP.1=125010\r\n^.1\r\n");
    c.clock.runUntil(1000);
    send(c.motor, "^.1\r\n");
    send(c.motor, "|2.1\r\n");
    EXPECT_EQ(c.motor.violations(), (Lines{"reset while turning"}));
    EXPECT_FALSE(c.motor.turning());
    EXPECT_FALSE(c.motor.enabled());
    EXPECT_EQ(c.motor.positionCounts(), 4000);
    c.clock.runUntil(40000);
    EXPECT_EQ(c.motor.positionCounts(), 4000); // the stale end-of-move call changes nothing
    EXPECT_EQ(c.log.lines.back(), "1000 motor 1 at 2.9");
}

TEST(SimulatedMotor, GoWhileTurningIsAViolation)
{
    Controller c;
    send(c.motor, "S.1=40\r\n(.1\r\nP.1=13890\r\n^.1\r\nP.1=1389\r\n^.1\r\n");
    EXPECT_EQ(c.motor.violations(), (Lines{"go while turning"}));
    c.clock.runUntil(10000);
    EXPECT_EQ(c.motor.positionCounts(), 13890);
}

TEST(SimulatedMotor, ListensOnlyAtTheControllersLineSettings)
{
    Controller c;
    c.motor.lineSettings(LineSettings{4800, 'n', 8, 1});
    send(c.motor, "S.1=40\r\n");
    EXPECT_EQ(c.motor.violations(), (Lines{"line settings 4800,n,8,1", "bytes at unreadable line settings"}));
    EXPECT_EQ(c.motor.speed(), 0);
}

struct SimRig {
    FakeClock clock;
    RecordingLog log{clock};
    FakeWindow window;
    SimulatedMotors motors{clock, log};
    LoggingSerialPorts ports1{motors.portsFor(1), log}, ports2{motors.portsFor(2), log};
    SequenceState sequence;
    Turntables tt{window, clock, ports1, ports2, sequence, {}};

    void fire(int id)
    {
        ASSERT_TRUE(window.timers.count(id));
        clock.runUntil(clock.now + static_cast<std::uint32_t>(window.timers[id]));
        EXPECT_TRUE(tt.timer(id));
    }
};

TEST(SimulatedRig, StartsWhereTheSequenceExpectsTheTables)
{
    SimRig rig;
    EXPECT_EQ(rig.motors.hDegrees(), 0.0);
    EXPECT_EQ(rig.motors.vDegrees(), 90.0);
    EXPECT_EQ(rig.motors.portsFor(2).deviceFor("COM4"), "sim:2");
    rig.tt.command(1012, 0);
    EXPECT_EQ(rig.log.lines.front(), R"(0 serial "COM4" open "sim:2")");
}

TEST(SimulatedRig, EveryStepReachesItsAngleWithinTheMoveWait)
{
    const std::pair<int, double> steps[] = {{90, 90}, {10, 10}, {5, 5}, {1, 1}, {kTenthDegreeCode, 139.0 / 1389}};
    for (int turntable : {1, 2}) {
        for (auto [code, degrees] : steps) {
            for (int direction : {1, -1}) {
                SimRig rig;
                rig.tt.command(1004, 0);
                rig.tt.command(1012, 0);
                const double start = turntable == 1 ? rig.motors.hDegrees() : rig.motors.vDegrees();
                const int result = turntable == 1 ? rig.tt.moveTurntable1(code, direction)
                                                  : rig.tt.moveTurntable2(code, direction);
                ASSERT_EQ(result, 0);
                rig.fire(turntable == 1 ? 4000 : 4001);
                const auto& motor = rig.motors.controller(turntable);
                SCOPED_TRACE("turntable " + std::to_string(turntable) + " step " + std::to_string(code) + " dir " +
                             std::to_string(direction));
                EXPECT_NEAR(motor.degrees(), start + direction * degrees, 1e-9);
                EXPECT_TRUE(motor.violations().empty()) << motor.violations().front();
                EXPECT_TRUE(rig.motors.controller(3 - turntable).violations().empty());
            }
        }
    }
}

TEST(SimulatedRig, TheFinishedMoveIsLoggedBeforeTheWaitEnds)
{
    SimRig rig;
    rig.tt.command(1004, 0);
    rig.tt.command(1012, 0);
    rig.tt.command(1042, 0); // "+10 Deg" on turntable 2
    rig.fire(4001);
    const Lines motor = rig.log.linesOf("motor");
    ASSERT_EQ(motor.size(), 2u);
    EXPECT_EQ(motor[0], "440 motor 2 turns 3473 ms");
    EXPECT_EQ(motor[1], "3913 motor 2 at 100.0"); // the go left at 440 ms, 13890 counts at 4000/s
    EXPECT_EQ(rig.log.lines.back(), R"(5910 serial "COM4" write "|2.1\r\n")");
}

TEST(SimulatedRig, AnAbortMidMoveStopsTheTableAndIsRecorded)
{
    SimRig rig;
    rig.tt.command(1004, 0);
    rig.tt.command(1000, 0);
    rig.clock.runUntil(rig.clock.now + 10000);
    rig.tt.command(1021, 0);
    const auto& motor = rig.motors.controller(1);
    EXPECT_EQ(motor.violations(), (Lines{"reset while turning"}));
    EXPECT_NEAR(motor.degrees(), 10000 * 4.0 / 1389, 1e-9);
    rig.clock.runUntil(rig.clock.now + 60000);
    EXPECT_NEAR(motor.degrees(), 10000 * 4.0 / 1389, 1e-9);
    EXPECT_EQ(rig.tt.hAngleCounter(), 90); // the counter does not know about the abort
}

} // namespace
} // namespace vantrel
