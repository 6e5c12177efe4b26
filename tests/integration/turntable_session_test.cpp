// Turntable control through the whole program: scripts press the main window's controls by id,
// the bytes reach a real pseudo-terminal or the simulated controllers, and the event log shows
// the timers and the simulated tables' positions.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "integration/session_fixture.h"
#include "platform/logged_serial.h"
#include "platform/qt/serial_port_qt.h"
#include "turntable_fakes.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {


} // namespace

TEST(TurntableSession, ConnectAndJogReachThePeerOfARealPort)
{
    TempDir dir;
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    ASSERT_EQ(::setenv("VANTREL_PORT_COM5", pty.path().c_str(), 1), 0);
    std::ostringstream events;
    HeadlessPlatform platform(events);
    QtSerialPorts real;
    LoggingSerialPorts ports(real, platform.log());
    auto main = MainWindow::start(platform, Devices{ports, ports, nullptr, {}}, dir.path().string());
    ASSERT_TRUE(main);
    std::istringstream script("select main 3000 4\npress main 1004\npress main 1000\n");
    EXPECT_FALSE(runSessionScript(platform, script));
    ::unsetenv("VANTREL_PORT_COM5");

    EXPECT_EQ(pty.read(), "S.1=40\r\nA.1=20\r\n^.1\r\n).1\r\n|2.1\r\n(.1\r\nP.1=125010\r\n^.1\r\n");
    const SessionRun run{events.str(), {}};
    EXPECT_TRUE(run.has(R"(0 serial "COM5" open ")" + pty.path() + "\"")) << run.events;
    EXPECT_TRUE(run.has(R"(0 serial "COM5" config "COM5:9600,n,8,1")"));
    EXPECT_TRUE(run.has(R"(220 serial "COM5" write "P.1=125010\r\n")")) << run.events;
    EXPECT_TRUE(run.has("230 timer main 4000 start 34000")) << run.events;
    EXPECT_TRUE(main->turntables().busy(1));
    EXPECT_EQ(main->turntables().hAngleCounter(), 90);
}

TEST(TurntableSession, SimulatedTurntable2ArrivesBeforeItsWaitEnds)
{
    TempDir dir;
    const std::string out =
        runCliSession(dir.path(), "--simulate", "press main 1004\\npress main 1012\\npress main 1042\\nwait 6000\\n");
    const SessionRun run{out, {}};
    const int arrived = run.find("3913 motor 2 at 100.0"); // the go left at 440 ms
    const int fired = run.find("timer main 4001 fire");
    ASSERT_GE(arrived, 0) << out;
    ASSERT_GE(fired, 0) << out;
    EXPECT_LT(arrived, fired);
    EXPECT_TRUE(run.has(R"(0 serial "COM5" open "sim:1")")) << out;
    EXPECT_TRUE(run.has(R"(210 serial "COM4" open "sim:2")")) << out;
    EXPECT_GT(run.find(R"(5910 serial "COM4" write "|2.1\r\n")"), fired) << out;
    EXPECT_EQ(run.find("violation"), -1) << out;
}

TEST(TurntableSession, JogsOnTheSimulatedRigKeepCounterAndTableTogether)
{
    TempDir dir;
    Session s(dir.path(), true);
    // +90, -10, -5, +1, -0.1 on turntable 1, each waited out.
    const SessionRun run = s.run("press main 1004\n"
                                 "press main 1000\nwait 34200\n"
                                 "press main 1041\nwait 4200\n"
                                 "press main 1003\nwait 2200\n"
                                 "press main 1008\nwait 1200\n"
                                 "press main 1011\nwait 700\n");
    EXPECT_FALSE(run.error);
    EXPECT_EQ(run.find("violation"), -1) << run.events;
    EXPECT_EQ(s.main().turntables().hAngleCounter(), 76);
    ASSERT_NE(s.devices().motors(), nullptr);
    EXPECT_NEAR(s.devices().motors()->hDegrees(), 76 - 139.0 / 1389, 1e-9);
    EXPECT_EQ(s.devices().motors()->vDegrees(), 90.0);
    EXPECT_FALSE(s.main().turntables().busy(1));
}

TEST(TurntableSession, AbortStopsTheSimulatedTableMidMove)
{
    TempDir dir;
    Session s(dir.path(), true);
    const SessionRun run = s.run("press main 1004\npress main 1000\nwait 10000\npress main 1021\nwait 40000\n");
    EXPECT_FALSE(run.error);
    EXPECT_NE(run.find("timer main 4000 kill"), -1);
    EXPECT_EQ(run.find("timer main 4000 fire"), -1) << run.events;
    EXPECT_NE(run.find(R"(motor 1 violation "reset while turning")"), -1) << run.events;
    EXPECT_NEAR(s.devices().motors()->hDegrees(), 40000.0 / 1389, 1e-9);
    EXPECT_FALSE(s.main().turntables().busy(1));
}

TEST(TurntableSession, AnUnconnectedLinkAsksForTheConnection)
{
    TempDir dir;
    Session s(dir.path());
    const SessionRun run = s.run("press main 1040\npress main 1013\n");
    EXPECT_FALSE(run.error);
    EXPECT_NE(run.find(R"(message main "Karvell" information "Please Connect RS232 Link")"), -1) << run.events;
    EXPECT_EQ(run.find("timer main"), -1) << run.events;
    EXPECT_EQ(run.find("serial"), -1) << run.events;
}
