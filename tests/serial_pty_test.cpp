// The Qt serial port against a real pseudo-terminal pair: what the turntable links write must
// arrive at the peer byte for byte.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/logged_serial.h"
#include "platform/qt/serial_port_qt.h"
#include "turntable/turntables.h"
#include "turntable_fakes.h"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::FakeWindow;
using testing::Pty;
using testing::RecordingLog;
using Lines = std::vector<std::string>;

// Qt's port machinery wants an application object, as the desktop and the harness have.
class QtApplication : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "serial_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};
const auto* const kQtApplication = ::testing::AddGlobalTestEnvironment(new QtApplication);

TEST(SerialDeviceMap, MapsThePortListToDevices)
{
    const auto noEnv = [](const char*) -> const char* { return nullptr; };
    EXPECT_EQ(serialDeviceFor("COM1", noEnv).path, "/dev/ttyS0");
    EXPECT_EQ(serialDeviceFor("COM5", noEnv).path, "/dev/ttyS4");
    EXPECT_EQ(serialDeviceFor("COM6", noEnv).path, "/dev/ttyS5");
    EXPECT_EQ(serialDeviceFor("COM21", noEnv).path, "/dev/ttyUSB0");
    EXPECT_EQ(serialDeviceFor("COM26", noEnv).path, "/dev/ttyUSB5");
    for (const char* name : {"COM0", "COM7", "COM20", "COM27", "COM05", "LPT1", "COM", "/dev/ttyS0"}) {
        const SerialDevice device = serialDeviceFor(name, noEnv);
        EXPECT_TRUE(device.path.empty()) << name;
        EXPECT_EQ(device.error, "no device for port " + std::string(name));
    }
}

TEST(SerialDeviceMap, AnEnvironmentVariableOverridesWithAFullPath)
{
    const auto env = [](const char* name) -> const char* {
        const std::string_view n(name);
        return n == "VANTREL_PORT_COM5" ? "/dev/pts/7" : n == "VANTREL_PORT_COM4" ? "ttyUSB3" : nullptr;
    };
    EXPECT_EQ(serialDeviceFor("COM5", env).path, "/dev/pts/7");
    const SerialDevice relative = serialDeviceFor("COM4", env);
    EXPECT_TRUE(relative.path.empty());
    EXPECT_EQ(relative.error, "VANTREL_PORT_COM4 must be a full device path, not \"ttyUSB3\"");
    EXPECT_EQ(serialDeviceFor("COM6", env).path, "/dev/ttyS5");
    EXPECT_EQ(QtSerialPorts(env).deviceFor("COM5"), "/dev/pts/7");
}

struct PtyRig {
    Pty pty;
    std::string path = pty.path();
    FakeClock clock;
    RecordingLog log{clock};
    FakeWindow window;
    QtSerialPorts real{[this](const char* name) -> const char* {
        return std::string_view(name) == "VANTREL_PORT_COM5" ? path.c_str() : nullptr;
    }};
    LoggingSerialPorts ports{real, log};
    SequenceState sequence;
    Turntables tt{window, clock, ports, ports, sequence, {}};
};

TEST(SerialPty, ConnectWritesTheInitialisationToThePeer)
{
    PtyRig rig;
    ASSERT_FALSE(rig.path.empty());
    rig.tt.command(1004, 0);
    EXPECT_TRUE(rig.window.messages.empty()) << rig.window.messages.front().text;
    EXPECT_EQ(rig.pty.read(), "S.1=40\r\nA.1=20\r\n^.1\r\n).1\r\n|2.1\r\n");
    EXPECT_EQ(rig.log.lines, (Lines{
                                 R"(0 serial "COM5" open ")" + rig.path + "\"",
                                 R"(0 serial "COM5" config "COM5:9600,n,8,1")",
                                 R"(0 serial "COM5" write "S.1=40\r\n")",
                                 R"(0 serial "COM5" write "A.1=20\r\n")",
                                 R"(10 serial "COM5" write "^.1\r\n")",
                                 R"(110 serial "COM5" write ").1\r\n")",
                                 R"(210 serial "COM5" write "|2.1\r\n")",
                             }));

    rig.tt.command(1001, 0);
    EXPECT_EQ(rig.pty.read(), "(.1\r\nP.1=-125010\r\n^.1\r\n");
    EXPECT_EQ(rig.window.timerEvents, Lines{"start 4000 34000"});
    EXPECT_TRUE(rig.tt.timer(4000));
    EXPECT_EQ(rig.pty.read(), "|2.1\r\n");
    rig.tt.command(1010, 0);
    EXPECT_EQ(rig.pty.read(), "(.1\r\nP.1=139\r\n^.1\r\n");

    rig.tt.closeLinks();
    EXPECT_EQ(rig.log.lines.back(), R"(350 serial "COM5" close)");
    EXPECT_TRUE(rig.window.messages.empty());
}

TEST(SerialPty, TheEnvironmentNamesThePeerForTheDefaultPort)
{
    Pty pty;
    ASSERT_EQ(::setenv("VANTREL_PORT_COM5", pty.path().c_str(), 1), 0);
    FakeClock clock;
    FakeWindow window;
    QtSerialPorts real;
    SequenceState sequence;
    Turntables tt{window, clock, real, real, sequence, {}};
    tt.command(1004, 0);
    ::unsetenv("VANTREL_PORT_COM5");
    EXPECT_TRUE(tt.connected(1));
    EXPECT_EQ(pty.read(), "S.1=40\r\nA.1=20\r\n^.1\r\n).1\r\n|2.1\r\n");
}

TEST(SerialPty, AMissingDeviceIsReportedAndLogged)
{
    FakeClock clock;
    RecordingLog log{clock};
    FakeWindow window;
    QtSerialPorts missing{[](const char* name) -> const char* {
        return std::string_view(name) == "VANTREL_PORT_COM5" ? "/nonexistent/tty" : nullptr;
    }};
    LoggingSerialPorts ports{missing, log};
    SequenceState sequence;
    Turntables tt{window, clock, ports, ports, sequence, {}};
    tt.command(1004, 0);
    EXPECT_EQ(window.messageTexts(), Lines{"Error Opening Com Port"});
    EXPECT_FALSE(tt.connected(1));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find(R"(0 serial "COM5" error "open /nonexistent/tty failed: )"), std::string::npos)
        << log.lines[0];
}

// A port the user may not open: the message names the group that grants it (the device is given
// to "dialout" as Debian does), the link stays closed and nothing reaches the peer. Root may open
// anything, so as root the connect runs in a child that has dropped to the user "nobody".
TEST(SerialPty, APortWithoutPermissionNamesTheGroupThatGrantsIt)
{
    Pty pty;
    const std::string path = pty.path();
    const bool root = ::geteuid() == 0;
    const struct passwd* nobody = ::getpwnam("nobody");
    if (root) {
        const struct group* dialout = ::getgrnam("dialout");
        if (!dialout || !nobody)
            GTEST_SKIP() << "needs the group dialout and the user nobody";
        ASSERT_EQ(::chown(path.c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
    } else {
        ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    }
    const auto connect = [&path] {
        FakeClock clock;
        FakeWindow window;
        SequenceState sequence;
        QtSerialPorts real{[&path](const char* name) -> const char* {
            return std::string_view(name) == "VANTREL_PORT_COM5" ? path.c_str() : nullptr;
        }};
        Turntables tt{window, clock, real, real, sequence, {}};
        tt.command(1004, 0);
        std::string seen = tt.connected(1) ? "connected;" : "";
        for (const std::string& text : window.messageTexts())
            seen += text + ";";
        return seen;
    };

    std::string seen;
    if (root) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const uid_t uid = nobody->pw_uid;
        const gid_t gid = nobody->pw_gid;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0;
            const std::string text = dropped ? connect() : "could not become nobody";
            [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], text.data(), text.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        char buffer[512];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            seen.append(buffer, static_cast<std::size_t>(n));
        ::close(pipeFds[0]);
        ::waitpid(child, nullptr, 0);
    } else {
        seen = connect();
    }
    EXPECT_EQ(seen, "Error Opening Com Port\nNo permission to open " + path +
                        ": the user must be in the group \"dialout\" (sudo adduser $USER dialout, then log in "
                        "again).;");
    EXPECT_EQ(pty.read(), "");
}

TEST(SerialPty, AWriteToAVanishedPeerFailsWithItsMessage)
{
    PtyRig rig;
    rig.tt.command(1004, 0);
    rig.pty.read();
    rig.pty.closeMaster();
    EXPECT_EQ(rig.tt.moveTurntable1(10, 1), 1);
    EXPECT_EQ(rig.window.messageTexts(), Lines{"Motor NOT Enabled ERROR"});
    EXPECT_EQ(rig.tt.hAngleCounter(), 0);
    EXPECT_NE(rig.log.lines.back().find(R"(serial "COM5" error "write failed)"), std::string::npos)
        << rig.log.lines.back();
}

} // namespace
} // namespace vantrel
