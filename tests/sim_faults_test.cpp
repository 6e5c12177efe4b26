// The simulated rig's rehearsed faults: each one happens exactly where it was asked for, is
// visible to the program the way the real fault would be, and the rig is otherwise unchanged.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

#include "mls/capture.h"
#include "mls/mls_generator.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/motor_rig.h"
#include "platform/sim/sim_audio.h"
#include "platform/sim/sim_faults.h"
#include "turntable_fakes.h"

namespace vantrel {
namespace {

using testing::FakeClock;
using testing::RecordingLog;

bool write(SerialPort& port, std::string_view bytes)
{
    return port.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST(SimFaults, ParsesEachKindAndRefusesEverythingElse)
{
    SimFaults f;
    EXPECT_EQ(addSimFault("serial-dies=120", f), "");
    EXPECT_EQ(addSimFault("stall=3", f), "");
    EXPECT_EQ(addSimFault("audio-error=7", f), "");
    EXPECT_EQ(addSimFault("hang=9", f), "");
    EXPECT_EQ(addSimFault("late-playback=7000", f), "");
    EXPECT_EQ(addSimFault("disk-full=5000000", f), "");
    EXPECT_EQ(addSimFault("seed=42", f), "");
    EXPECT_EQ(f.serialDiesAfterBytes, 120);
    EXPECT_EQ(f.stallAtMove, 3);
    EXPECT_EQ(f.audioErrorAtMeasurement, 7);
    EXPECT_EQ(f.hangAtMeasurement, 9);
    EXPECT_EQ(f.playbackLagMs, 7000);
    EXPECT_EQ(f.autosaveLimitBytes, 5000000);
    EXPECT_EQ(f.seed, 42u);

    const SimFaults before = f;
    for (const char* bad : {"stall", "stall=", "stall=-1", "stall=1.5", "stall=3x", "hang=99999999999", "melt=1", "=3"})
        EXPECT_NE(addSimFault(bad, f), "") << bad;
    EXPECT_EQ(f.stallAtMove, before.stallAtMove);
    EXPECT_EQ(f.hangAtMeasurement, before.hangAtMeasurement);
}

struct Rig {
    FakeClock clock;
    RecordingLog log{clock};
    SimulatedMotors motors{clock, log};
};

TEST(SimFaults, ASerialLineDiesAfterItsBytesAndStaysDead)
{
    Rig rig;
    SimFaults f;
    f.serialDiesAfterBytes = 10;
    rig.motors.rehearseFaults(f);
    auto port1 = rig.motors.portsFor(1).open("COM5");
    auto port2 = rig.motors.portsFor(2).open("COM4");
    ASSERT_TRUE(port1 && port2);
    EXPECT_TRUE(write(*port1, "S.1=40\r\n"));   // 8 bytes
    EXPECT_FALSE(write(*port1, "(.1\r\n"));     // 2 of 5 arrive
    EXPECT_EQ(port1->lastError(), "line to turntable 1 lost after 10 bytes (rehearsed fault)");
    EXPECT_FALSE(write(*port1, "\n"));
    EXPECT_EQ(rig.motors.controller(1).commands(), std::vector<std::string>{"S.1=40"});
    // Each line counts its own bytes.
    EXPECT_TRUE(write(*port2, "S.1=40\r\n"));
    EXPECT_EQ(port2->lastError(), "");
}

TEST(SimFaults, TheStalledMoveStopsHalfWayAndTheDriveTrips)
{
    Rig rig;
    SimFaults f;
    f.stallAtMove = 2;
    rig.motors.rehearseFaults(f);
    auto port1 = rig.motors.portsFor(1).open("COM5");
    auto port2 = rig.motors.portsFor(2).open("COM4");
    ASSERT_TRUE(write(*port1, "S.1=40\r\n(.1\r\nP.1=13890\r\n^.1\r\n")); // move 1: H +10
    rig.clock.runUntil(5000);
    EXPECT_DOUBLE_EQ(rig.motors.hDegrees(), 10.0);
    ASSERT_TRUE(write(*port2, "S.1=40\r\n(.1\r\nP.1=-13890\r\n^.1\r\n")); // move 2 stalls
    rig.clock.runUntil(10000);
    EXPECT_DOUBLE_EQ(rig.motors.vDegrees(), 85.0);
    EXPECT_FALSE(write(*port2, "|2.1\r\n"));
    EXPECT_EQ(port2->lastError(), "drive of turntable 2 tripped: motor stalled (rehearsed fault)");
    EXPECT_TRUE(write(*port1, "|2.1\r\n")); // the other turntable is unharmed
}

// One recording through the sound-card logic on the simulated card.
struct Card {
    std::ostringstream events;
    HeadlessPlatform platform{events};
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    FixedRigAngles angles{0, 0};
    SimAudioSystem audio;
    MlsSettings settings;
    std::vector<std::int32_t> play = std::vector<std::int32_t>(2 * kPlayBufferFrames);
    std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * kCaptureBufferFrames);
    std::vector<std::int32_t> copy = std::vector<std::int32_t>(kCaptureCopySamples);
    int ready = 0;
    SoundCard card{window, audio, settings, platform.log(), {play, capture, copy}, [this] { ++ready; }};

    explicit Card(SimAudioOptions options) : audio(platform.clock(), angles, options) { settings.rateIndex = 5; }

    bool measure()
    {
        const int before = ready;
        if (!card.startPlayAndCapture())
            return false;
        platform.advance(7000);
        platform.settle();
        return ready == before + 1;
    }
};

TEST(SimFaults, TheSoundCardFailsAtTheChosenMeasurementOnlyAndSaysWhy)
{
    SimAudioOptions options;
    options.errorAtMeasurement = 2;
    Card c(options);
    EXPECT_TRUE(c.measure());
    EXPECT_FALSE(c.measure());
    EXPECT_NE(c.events.str().find("the device stopped responding (rehearsed fault)"), std::string::npos) << c.events.str();
    EXPECT_TRUE(c.measure()); // the card works again: nothing stayed open
}

TEST(SimFaults, TheHungRecordingNeverReturns)
{
    SimAudioOptions options;
    options.hangAtMeasurement = 1;
    Card c(options);
    EXPECT_FALSE(c.measure());
    c.platform.advance(60000);
    c.platform.settle();
    EXPECT_EQ(c.ready, 0);
    EXPECT_TRUE(c.card.running()); // still waiting, as a real hung driver leaves it
}

} // namespace
} // namespace vantrel
