#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/logged_serial.h"
#include "turntable/motor_commands.h"
#include "turntable/turntables.h"
#include "turntable_fakes.h"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::FakeSerialPorts;
using testing::FakeWindow;
using testing::RecordingLog;
using Lines = std::vector<std::string>;

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBackground{158, 194, 216};
constexpr Rgb kBlue{0, 0, 255};

struct Rig {
    FakeClock clock;
    RecordingLog log{clock};
    FakeWindow window;
    FakeSerialPorts ports1, ports2;
    LoggingSerialPorts logged1{ports1, log}, logged2{ports2, log};
    SequenceState sequence;
    int sequenceSteps = 0;
    std::vector<std::pair<int, bool>> steps; // turntable, end of move sent
    Turntables tt{window, clock, logged1, logged2, sequence, [this](int turntable, bool endSent) {
                      ++sequenceSteps;
                      steps.emplace_back(turntable, endSent);
                  }};

    Lines serial() const { return log.linesOf("serial"); }
    // Lets the running timer id run out and delivers it.
    void fire(int id)
    {
        ASSERT_TRUE(window.timers.count(id)) << "timer " << id << " is not running";
        clock.now += static_cast<std::uint32_t>(window.timers[id]);
        EXPECT_TRUE(tt.timer(id));
    }
    void connectBoth()
    {
        tt.command(1004, 0);
        tt.command(1012, 0);
        log.lines.clear();
        window.timerEvents.clear();
        clock.now = 10000;
    }
};

TEST(TurntableConnect, InitialisesTheMotorWithTheWaitsBetweenCommands)
{
    Rig rig;
    EXPECT_TRUE(rig.tt.command(1004, 0));
    EXPECT_EQ(rig.serial(), (Lines{
                                R"(0 serial "COM5" open "fake:COM5")",
                                R"(0 serial "COM5" config "COM5:9600,n,8,1")",
                                R"(0 serial "COM5" write "S.1=40\r\n")",
                                R"(0 serial "COM5" write "A.1=20\r\n")",
                                R"(10 serial "COM5" write "^.1\r\n")",
                                R"(110 serial "COM5" write ").1\r\n")",
                                R"(210 serial "COM5" write "|2.1\r\n")",
                            }));
    EXPECT_TRUE(rig.tt.connected(1));
    EXPECT_TRUE(rig.tt.everOpened(1));
    EXPECT_FALSE(rig.tt.connected(2));
    EXPECT_TRUE(rig.window.messages.empty());
    const auto box = rig.window.canvas.lastRectangleAt(220, 15);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->fill, kGreen);
    EXPECT_EQ(box->right, 390);
    EXPECT_EQ(box->bottom, 40);
    EXPECT_EQ(rig.window.canvas.textAt(240, 20), "Connected to");
    EXPECT_EQ(rig.window.canvas.textAt(340, 20), "COM5");
}

TEST(TurntableConnect, Turntable2UsesItsOwnPortAndLinkBox)
{
    Rig rig;
    rig.tt.command(1012, 0);
    EXPECT_EQ(rig.serial().front(), R"(0 serial "COM4" open "fake:COM4")");
    EXPECT_EQ(rig.window.canvas.lastRectangleAt(220, 430)->fill, kGreen);
    EXPECT_EQ(rig.window.canvas.textAt(240, 435), "Connected to");
    EXPECT_EQ(rig.window.canvas.textAt(340, 435), "COM4");
    EXPECT_TRUE(rig.tt.connected(2));
}

TEST(TurntableConnect, ConnectingAgainClosesTheFirstHandleBeforeOpening)
{
    Rig rig;
    rig.tt.command(1004, 0);
    rig.log.lines.clear();
    rig.tt.command(1004, 0);
    const Lines lines = rig.serial();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], R"(210 serial "COM5" close)");
    EXPECT_EQ(lines[1], R"(210 serial "COM5" open "fake:COM5")");
}

TEST(TurntableConnect, APortThatCannotBeOpenedLeavesTheLinkAsItWas)
{
    Rig rig;
    rig.ports1.failOpen = {"COM5"};
    rig.tt.command(1004, 0);
    EXPECT_EQ(rig.window.messageTexts(), Lines{"Error Opening Com Port"});
    EXPECT_EQ(rig.window.messages[0].caption, "Karvell");
    EXPECT_EQ(rig.window.messages[0].icon, MessageIcon::Information);
    EXPECT_FALSE(rig.tt.connected(1));
    EXPECT_FALSE(rig.tt.everOpened(1));

    // Once the port is there, connecting works: no dead handle is left to close.
    rig.ports1.failOpen.clear();
    rig.tt.command(1004, 0);
    EXPECT_EQ(rig.window.messageTexts(), Lines{"Error Opening Com Port"});
    EXPECT_TRUE(rig.tt.connected(1));

    // A failed reconnect keeps the open flag, as the operator last saw it.
    rig.ports1.failOpen = {"COM5"};
    rig.tt.command(1004, 0);
    EXPECT_TRUE(rig.tt.connected(1));
}

TEST(TurntableConnect, ConfigurationAndCloseFailuresStopTheConnect)
{
    Rig rig;
    rig.ports1.failApply = true;
    rig.tt.command(1004, 0);
    EXPECT_EQ(rig.window.messageTexts(), Lines{"Error Setting Com State"});
    EXPECT_FALSE(rig.tt.connected(1));
    EXPECT_TRUE(rig.log.linesOf("write").empty());

    rig.ports1.failClose = true; // the handle from the failed configure is still held
    rig.tt.command(1004, 0);
    EXPECT_EQ(rig.window.messages.back().text, "Error Closing Port");
    rig.ports2.failApply = true;
    rig.tt.command(1012, 0);
    rig.ports2.failClose = true;
    rig.tt.command(1012, 0);
    EXPECT_EQ(rig.window.messages.back().text, "Error Closing Port 1");
}

struct ConnectFailure {
    std::string_view command;
    std::string_view message1, message2;
    int writesAfter; // commands still written after the failing one
};

TEST(TurntableConnect, EachFailingInitialisationCommandHasItsMessage)
{
    const ConnectFailure cases[] = {
        {kSpeedCommand, "Motor Speed NOT Stored ERROR", "Motor Speed NOT Stored ERROR 1", 0},
        {kAParameterCommand, "Motor Speed NOT Stored ERROR", "Motor Speed NOT Stored ERROR 1", 0},
        {kGoCommand, "Failed to Transmitt 2", "Failed to Transmitt 21", 0},
        {kPauseCommand, "Motor NOT Paused ERROR", "Motor NOT Paused ERROR 1", 1},
        {kResetCommand, "Motor NOT Reset ERROR", "Motor NOT Reset ERROR 1", 0},
    };
    for (const auto& c : cases) {
        for (int turntable : {1, 2}) {
            Rig rig;
            auto& ports = turntable == 1 ? rig.ports1 : rig.ports2;
            ports.failWrite = [&](std::string_view s) { return s == c.command; };
            rig.tt.command(turntable == 1 ? 1004 : 1012, 0);
            SCOPED_TRACE(std::string(c.command) + " on turntable " + std::to_string(turntable));
            EXPECT_EQ(rig.window.messageTexts(), Lines{std::string(turntable == 1 ? c.message1 : c.message2)});
            EXPECT_TRUE(rig.tt.connected(turntable)); // a failed write leaves the link open
            const Lines lines = rig.serial();
            std::size_t failed = 0;
            while (failed < lines.size() && lines[failed].find(" error ") == std::string::npos)
                ++failed;
            ASSERT_LT(failed, lines.size());
            EXPECT_EQ(lines.size() - failed - 1, static_cast<std::size_t>(c.writesAfter));
        }
    }
}

TEST(TurntableConnect, SelectingAPortTakesEffectAtTheNextConnect)
{
    Rig rig;
    rig.tt.command(1004, 0);
    rig.window.caret[3000] = 6;
    EXPECT_TRUE(rig.tt.command(3000, kNotifySelChange));
    EXPECT_EQ(rig.tt.link(1).portName(), "COM21");
    EXPECT_TRUE(rig.tt.connected(1)); // the open link is not touched
    EXPECT_EQ(rig.window.canvas.lastRectangleAt(220, 15)->fill, kBackground);
    EXPECT_EQ(rig.window.canvas.textAt(230, 20), "Selected Port");
    EXPECT_EQ(rig.window.canvas.textAt(330, 20), "COM21");

    rig.log.lines.clear();
    rig.tt.command(1004, 0);
    EXPECT_EQ(rig.serial()[1], R"(210 serial "COM21" open "fake:COM21")");

    rig.window.caret[3001] = 11;
    rig.tt.command(3001, 0);
    EXPECT_EQ(rig.tt.link(2).portName(), "COM26");
    EXPECT_EQ(rig.window.canvas.textAt(240, 435), "Selected Port");
    EXPECT_EQ(rig.window.canvas.textAt(340, 435), "COM26");

    // A caret outside the port list changes nothing.
    for (int caret : {-1, 12}) {
        rig.window.caret[3001] = caret;
        rig.tt.command(3001, 0);
        EXPECT_EQ(rig.tt.link(2).portName(), "COM26");
    }
}

TEST(TurntableConnect, FillsThePortListsWithEachLinksSelection)
{
    Rig rig;
    rig.tt.fillPortList(1);
    rig.tt.fillPortList(2);
    ASSERT_EQ(rig.window.lists[3000].size(), 12u);
    EXPECT_EQ(rig.window.lists[3000][6], "COM21");
    EXPECT_EQ(rig.window.lists[3001], rig.window.lists[3000]);
    EXPECT_EQ(rig.window.listSelection(3000), 4);
    EXPECT_EQ(rig.window.listSelection(3001), 3);
}

TEST(TurntableMove, MinusNinetyWritesTheThreeCommandsAndStartsTheWait)
{
    Rig rig;
    rig.connectBoth();
    EXPECT_TRUE(rig.tt.command(1001, 0));
    EXPECT_EQ(rig.serial(), (Lines{
                                R"(10000 serial "COM5" write "(.1\r\n")",
                                R"(10010 serial "COM5" write "P.1=-125010\r\n")",
                                R"(10020 serial "COM5" write "^.1\r\n")",
                            }));
    EXPECT_EQ(rig.window.timerEvents, Lines{"start 4000 34000"});
    EXPECT_TRUE(rig.tt.busy(1));
    EXPECT_EQ(rig.tt.hAngleCounter(), -90);
    const auto box = rig.window.canvas.lastRectangleAt(5, 65);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->fill, kRed);
    EXPECT_EQ(box->pen, kBlue);
    EXPECT_EQ(rig.window.canvas.textAt(20, 68), "Rotating");

    rig.log.lines.clear();
    rig.fire(4000);
    EXPECT_EQ(rig.serial(), Lines{R"(44020 serial "COM5" write "|2.1\r\n")"});
    EXPECT_EQ(rig.clock.now, 44120u); // the 100 ms after the reset
    EXPECT_FALSE(rig.window.timers.count(4000));
    EXPECT_FALSE(rig.tt.busy(1));
    EXPECT_EQ(rig.window.canvas.lastRectangleAt(5, 65)->fill, kGreen);
    EXPECT_EQ(rig.window.canvas.textAt(10, 68), "Current H-Angle = -90 deg");
    EXPECT_EQ(rig.sequenceSteps, 0);
}

TEST(TurntableMove, TenthDegreeStepsLeaveTheCounterAlone)
{
    Rig rig;
    rig.connectBoth();
    rig.tt.command(1010, 0);
    EXPECT_EQ(rig.serial()[1], R"(10010 serial "COM5" write "P.1=139\r\n")");
    EXPECT_EQ(rig.window.timerEvents.back(), "start 4000 500");
    EXPECT_EQ(rig.tt.hAngleCounter(), 0);
    rig.fire(4000);
    rig.tt.command(1008, 0);
    EXPECT_EQ(rig.window.timerEvents.back(), "start 4000 1000");
    EXPECT_EQ(rig.tt.hAngleCounter(), 1);
    rig.fire(4000);
    rig.log.lines.clear();
    rig.tt.command(1020, 0);
    EXPECT_NE(rig.serial().at(1).find(R"("COM4" write "P.1=-139\r\n")"), std::string::npos);
    EXPECT_EQ(rig.tt.vAngleCounter(), 0);
}

TEST(TurntableMove, EveryJogButtonSendsItsStep)
{
    struct Jog {
        int id;
        std::string position;
        int counter;
    };
    const Jog jogs[] = {
        {1000, "P.1=125010", 90}, {1001, "P.1=-125010", -90}, {1040, "P.1=13890", 10}, {1041, "P.1=-13890", -10},
        {1002, "P.1=6945", 5},    {1003, "P.1=-6945", -5},    {1008, "P.1=1389", 1},   {1009, "P.1=-1389", -1},
        {1010, "P.1=139", 0},     {1011, "P.1=-139", 0},      {1013, "P.1=125010", 90}, {1014, "P.1=-125010", -90},
        {1042, "P.1=13890", 10},  {1043, "P.1=-13890", -10},  {1015, "P.1=6945", 5},   {1016, "P.1=-6945", -5},
        {1017, "P.1=1389", 1},    {1018, "P.1=-1389", -1},    {1019, "P.1=139", 0},    {1020, "P.1=-139", 0},
    };
    for (const auto& jog : jogs) {
        Rig rig;
        rig.connectBoth();
        EXPECT_TRUE(rig.tt.command(jog.id, 0));
        const Lines lines = rig.log.linesOf("write");
        ASSERT_EQ(lines.size(), 3u) << jog.id;
        EXPECT_NE(lines[1].find("\"" + jog.position + "\\r\\n\""), std::string::npos) << lines[1];
        const int turntable = jog.id >= 1012 && jog.id <= 1020 ? 2 : jog.id >= 1042 ? 2 : 1;
        EXPECT_EQ(turntable == 1 ? rig.tt.hAngleCounter() : rig.tt.vAngleCounter(), jog.counter) << jog.id;
        EXPECT_TRUE(rig.tt.busy(turntable)) << jog.id;
    }
}

TEST(TurntableMove, ASecondPressWhileTurningIsIgnored)
{
    Rig rig;
    rig.connectBoth();
    rig.tt.command(1003, 0);
    rig.tt.command(1003, 0);
    EXPECT_EQ(rig.log.linesOf("write").size(), 3u);
    EXPECT_EQ(rig.window.timerEvents, Lines{"start 4000 2000"});
    EXPECT_EQ(rig.tt.hAngleCounter(), -5);
    rig.fire(4000);
    rig.tt.command(1003, 0); // free again once the wait is over
    EXPECT_EQ(rig.tt.hAngleCounter(), -10);
}

TEST(TurntableMove, AbortDuringANinetyDegreeMoveStopsTheWait)
{
    Rig rig;
    rig.connectBoth();
    rig.tt.command(1000, 0);
    rig.log.lines.clear();
    rig.clock.now = 20000;
    EXPECT_TRUE(rig.tt.command(1021, 0));
    EXPECT_EQ(rig.serial(), (Lines{
                                R"(20000 serial "COM5" write "|2.1\r\n")",
                                R"(20100 serial "COM5" write ").1\r\n")",
                            }));
    EXPECT_EQ(rig.window.timerEvents.back(), "kill 4000");
    EXPECT_FALSE(rig.window.timers.count(4000)); // so no reset follows later
    EXPECT_FALSE(rig.tt.busy(1));
    EXPECT_EQ(rig.window.canvas.lastRectangleAt(5, 65)->fill, kGreen);
    EXPECT_EQ(rig.window.canvas.textAt(20, 68), "Aborted");
    EXPECT_TRUE(rig.window.messages.empty());

    rig.tt.command(1022, 0);
    EXPECT_EQ(rig.window.timerEvents.back(), "kill 4001");
    EXPECT_EQ(rig.window.canvas.textAt(20, 488), "Aborted");
}

TEST(TurntableMove, Turntable2ComputesItsWaitAndShowsIt)
{
    const std::pair<int, int> waits[] = {{1013, 33230}, {1042, 5470}, {1015, 3735}, {1017, 1000}, {1019, 500}};
    for (auto [id, wait] : waits) {
        Rig rig;
        rig.connectBoth();
        rig.tt.command(id, 0);
        EXPECT_EQ(rig.window.timerEvents, Lines{"start 4001 " + std::to_string(wait)});
        EXPECT_EQ(rig.window.canvas.textAt(140, 640), "RPM = 48, RPS = 0.80   ");
        EXPECT_EQ(rig.window.canvas.textAt(140, 658), "i = 1388, Time  = " + std::to_string(wait) + " ms   ");
        EXPECT_EQ(rig.window.canvas.lastRectangleAt(5, 485)->fill, kRed);
        EXPECT_EQ(rig.window.canvas.textAt(20, 488), "Rotating");
    }
    Rig rig;
    rig.connectBoth();
    rig.tt.command(1013, 0);
    rig.fire(4001);
    EXPECT_EQ(rig.window.canvas.textAt(10, 488), "Current V-Angle = 90 deg");
    EXPECT_FALSE(rig.tt.busy(2));
}

TEST(TurntableMove, AnUnconnectedLinkAsksForTheConnection)
{
    Rig rig;
    EXPECT_EQ(rig.tt.moveTurntable1(10, 1), 1);
    EXPECT_EQ(rig.tt.moveTurntable2(10, -1), 1);
    EXPECT_EQ(rig.window.messageTexts(), (Lines{"Please Connect RS232 Link", "Please Connect RS232 Link"}));
    EXPECT_TRUE(rig.window.timerEvents.empty());
    EXPECT_FALSE(rig.tt.busy(1));
    EXPECT_EQ(rig.tt.hAngleCounter(), 0);
    EXPECT_EQ(rig.tt.moveTurntable1(45, 1), 1); // not a step of the protocol
}

TEST(TurntableMove, AFailedWriteStopsTheMoveWithoutCountingIt)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"(.1\r\n", "Motor NOT Enabled ERROR"},
        {"P.1=13890\r\n", "Failed to Transmitt 1"},
        {"^.1\r\n", "Failed to Transmitt 2"},
    };
    for (auto [command, message] : cases) {
        Rig rig;
        rig.connectBoth();
        rig.ports1.failWrite = [command](std::string_view s) { return s == command; };
        EXPECT_EQ(rig.tt.moveTurntable1(10, 1), 1);
        EXPECT_EQ(rig.window.messageTexts(), Lines{std::string(message)});
        EXPECT_EQ(rig.tt.hAngleCounter(), 0) << message;
        EXPECT_TRUE(rig.window.timerEvents.empty());
        EXPECT_FALSE(rig.tt.busy(1));
        EXPECT_TRUE(rig.tt.connected(1));
    }
}

TEST(TurntableMove, AFailedResetAtTheEndStillFreesTheTurntable)
{
    Rig rig;
    rig.connectBoth();
    rig.tt.command(1002, 0);
    rig.ports1.failWrite = [](std::string_view s) { return s == kResetCommand; };
    rig.fire(4000);
    EXPECT_EQ(rig.window.messageTexts(), Lines{"Failed to Transmitt 3"});
    EXPECT_FALSE(rig.tt.busy(1));
    EXPECT_EQ(rig.window.canvas.textAt(10, 68), "Current H-Angle = 5 deg");
}

TEST(TurntableSequence, AFinishedMoveHandsOverToTheSequence)
{
    Rig rig;
    rig.connectBoth();
    rig.sequence.sequenceRunning = 1;
    rig.sequence.currentHAngle = 10;
    rig.sequence.currentVAngle = 90;
    const std::size_t drawn = rig.window.canvas.ops.size();
    EXPECT_EQ(rig.tt.moveTurntable1(10, 1), 0);
    EXPECT_EQ(rig.window.canvas.ops.size(), drawn); // no "Rotating" box in a sequence
    rig.fire(4000);
    EXPECT_EQ(rig.sequenceSteps, 1);
    EXPECT_TRUE(rig.tt.busy(1)); // the jog buttons stay locked
    EXPECT_EQ(rig.window.canvas.lastRectangleAt(5, 65)->fill, kBackground);
    EXPECT_EQ(rig.window.canvas.textAt(10, 68), "Current H-Angle = 10 deg");
    rig.tt.command(1040, 0);
    EXPECT_EQ(rig.tt.hAngleCounter(), 10);

    EXPECT_EQ(rig.tt.moveTurntable2(5, -1), 0);
    EXPECT_EQ(rig.window.timerEvents.back(), "start 4001 3735");
    rig.sequence.currentVAngle = 85;
    rig.fire(4001);
    EXPECT_EQ(rig.sequenceSteps, 2);
    EXPECT_EQ(rig.window.canvas.textAt(10, 488), "Current V-Angle = 85 deg");
    EXPECT_EQ(rig.steps, (std::vector<std::pair<int, bool>>{{1, true}, {2, true}}));
}

TEST(TurntableSequence, AMoveWhoseEndCannotBeSentIsHandedOverAsUnsure)
{
    Rig rig;
    rig.connectBoth();
    rig.sequence.sequenceRunning = 1;
    EXPECT_EQ(rig.tt.moveTurntable2(10, -1), 0);
    // The drive trips during the move: the line takes nothing more.
    rig.ports2.failWrite = [](std::string_view) { return true; };
    rig.fire(4001);
    EXPECT_EQ(rig.window.messages.back().text, "Failed to Transmitt 3");
    EXPECT_EQ(rig.steps, (std::vector<std::pair<int, bool>>{{2, false}}));
}

TEST(TurntableSequence, JogsAreIgnoredBeforeATurntableHasMovedInTheSequence)
{
    Rig rig;
    rig.connectBoth();
    rig.sequence.sequenceRunning = 1; // the first measurement: neither turntable busy yet
    for (int id : {1000, 1011, 1042, 1020})
        EXPECT_TRUE(rig.tt.command(id, 0)) << id;
    EXPECT_TRUE(rig.serial().empty());
    EXPECT_TRUE(rig.window.timerEvents.empty());
    EXPECT_EQ(rig.tt.hAngleCounter(), 0);
    EXPECT_EQ(rig.tt.vAngleCounter(), 0);

    // The abort still works, and the sequencer's own moves are not guarded.
    rig.tt.command(1021, 0);
    EXPECT_EQ(rig.window.canvas.textAt(20, 68), "Aborted");
    EXPECT_EQ(rig.tt.moveTurntable2(10, -1), 0);
    EXPECT_EQ(rig.tt.vAngleCounter(), -10);

    rig.sequence.sequenceRunning = 0;
    rig.tt.command(1040, 0);
    EXPECT_EQ(rig.tt.hAngleCounter(), 10);
}

TEST(TurntableSequence, AbortAllResetsAndPausesBothTurntablesEvenUnconnected)
{
    Rig rig;
    rig.tt.setBusy(1, true);
    rig.tt.setBusy(2, true);
    rig.tt.abortAll();
    EXPECT_EQ(rig.window.timerEvents, (Lines{"kill 4000", "kill 4001"}));
    EXPECT_EQ(rig.window.messageTexts(), (Lines{"Failed to Transmitt 3", "Motor NOT Paused ERROR",
                                                "Failed to Transmitt 3", "Motor NOT Paused ERROR"}));
    EXPECT_FALSE(rig.tt.busy(1));
    EXPECT_FALSE(rig.tt.busy(2));
    EXPECT_EQ(rig.clock.now, 200u);

    Rig connected;
    connected.connectBoth();
    connected.tt.abortAll();
    EXPECT_EQ(connected.serial(), (Lines{
                                      R"(10000 serial "COM5" write "|2.1\r\n")",
                                      R"(10100 serial "COM5" write ").1\r\n")",
                                      R"(10100 serial "COM4" write "|2.1\r\n")",
                                      R"(10200 serial "COM4" write ").1\r\n")",
                                  }));
}

TEST(TurntableClose, ClosesOnlyOpenLinksAndReportsFailures)
{
    Rig rig;
    rig.tt.command(1004, 0);
    rig.tt.command(1012, 0);
    rig.log.lines.clear();
    rig.ports2.failClose = true;
    rig.tt.closeLinks();
    EXPECT_EQ(rig.serial()[0], R"(420 serial "COM5" close)");
    ASSERT_EQ(rig.window.messages.size(), 1u);
    EXPECT_EQ(rig.window.messages[0].text, "Error Closing Port 1");
    EXPECT_EQ(rig.window.messages[0].caption, "RS232 Transmitter");
    EXPECT_FALSE(rig.tt.connected(1));
    EXPECT_FALSE(rig.tt.connected(2));
    EXPECT_TRUE(rig.tt.everOpened(1));
    rig.log.lines.clear();
    rig.tt.closeLinks();
    EXPECT_TRUE(rig.serial().empty());
}

TEST(TurntableDispatch, LeavesOtherIdsToTheMainWindow)
{
    Rig rig;
    for (int id : {1023, 1024, 1027, 1030, 1039, 1044, 3002, 103})
        EXPECT_FALSE(rig.tt.command(id, 0)) << id;
    EXPECT_FALSE(rig.tt.timer(7000));
    EXPECT_TRUE(rig.window.messages.empty());
}

} // namespace
} // namespace vantrel
