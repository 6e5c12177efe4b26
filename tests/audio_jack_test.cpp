// The PortAudio sound card for real, on a JACK server with its dummy back end (started by
// scripts/with-jack, which names it in JACK_DEFAULT_SERVER): the program's own output ports
// are wired to its input ports, an order-15 sequence is played and recorded, and the recording
// must be the played buffer, bit for bit, one JACK period late.

#include <gtest/gtest.h>

#include <jack/jack.h>
#include <portaudio.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio_jack_support.h"
#include "mls/capture.h"
#include "mls/complex_fft.h"
#include "mls/impulse_response.h"
#include "mls/mls_generator.h"
#include "mls/sound_card.h"
#include "platform/portaudio/portaudio_system.h"
#include "platform/relay_window.h"

namespace vantrel {
namespace {

// Only what the sound card needs of a window: a post() that any thread may call, and the
// messages it shows.
struct PostWindow {
    std::vector<std::string> messages;
    RelayWindow relay{[this](std::string_view text, std::string_view) { messages.emplace_back(text); }};
    bool pump() { return relay.pump(); }
    operator WindowHost&() { return relay; }
};


using testing::Completions;
using testing::jackDevice;

// Disconnects the program's ports from the server's and wires out_k to in_k. Returns the
// server's period in frames, 0 on failure.
int wireLoopBack(std::string& error)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open("vantrel-wiring", JackNoStartServer, &status);
    if (!client) {
        error = "cannot reach the JACK server";
        return 0;
    }
    const char** outs = jack_get_ports(client, "^Vantrel[^:]*:", nullptr, JackPortIsOutput);
    const char** ins = jack_get_ports(client, "^Vantrel[^:]*:", nullptr, JackPortIsInput);
    int wired = 0;
    for (int k = 0; outs && ins && outs[k] && ins[k]; ++k) {
        for (const char* port : {outs[k], ins[k]}) {
            jack_port_t* p = jack_port_by_name(client, port);
            if (const char** peers = jack_port_get_all_connections(client, p)) {
                for (int j = 0; peers[j]; ++j)
                    jack_disconnect(client, p == jack_port_by_name(client, outs[k]) ? port : peers[j],
                                    p == jack_port_by_name(client, outs[k]) ? peers[j] : port);
                jack_free(peers);
            }
        }
        if (jack_connect(client, outs[k], ins[k]) == 0)
            ++wired;
    }
    const int period = static_cast<int>(jack_get_buffer_size(client));
    if (outs)
        jack_free(outs);
    if (ins)
        jack_free(ins);
    jack_client_close(client);
    if (wired != 2) {
        error = "wired " + std::to_string(wired) + " of 2 port pairs";
        return 0;
    }
    return period;
}

TEST(PortAudioOnJack, LoopBackRecordsThePlayedBufferOnePeriodLate)
{
    ASSERT_NE(std::getenv("JACK_DEFAULT_SERVER"), nullptr) << "run under scripts/with-jack";
    PortAudioSystem audio;
    const int inputId = jackDevice(audio, true);
    const int outputId = jackDevice(audio, false);
    ASSERT_GE(inputId, 0) << "PortAudio lists no JACK input device";
    ASSERT_GE(outputId, 0) << "PortAudio lists no JACK output device";

    MlsSettings settings;
    settings.mlsLengthIndex = 2; // order 15
    MlsGenerator generator;
    ComplexFft fft;
    std::vector<std::int32_t> play(2 * kPlayFrames);
    ASSERT_TRUE(generator.generateMlsForPlayback(15, settings, play, fft));
    std::vector<std::int32_t> capture(2 * kCaptureFrames, 0x5555);

    PostWindow window;
    Completions done;
    ASSERT_EQ(audio.openOutput(outputId, 48000, window, done), kAudioOk);
    ASSERT_EQ(audio.prepareOutput(play), kAudioOk);
    ASSERT_EQ(audio.openInput(inputId, 48000, window, done), kAudioOk);
    ASSERT_EQ(audio.prepareInput(capture), kAudioOk);
    ASSERT_EQ(audio.queueInput(), kAudioOk);
    ASSERT_EQ(audio.startInput(), kAudioOk);
    std::string error;
    const int period = wireLoopBack(error);
    ASSERT_GT(period, 0) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the new graph is in place
    ASSERT_EQ(audio.play(), kAudioOk);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((done.outputs == 0 || done.captures == 0) && std::chrono::steady_clock::now() < deadline)
        if (!window.pump())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(done.captures, 1);
    ASSERT_EQ(done.outputs, 1);
    EXPECT_EQ(done.bytes, kCaptureBufferBytes);
    for (auto step : {&AudioSystem::stopInput, &AudioSystem::resetInput, &AudioSystem::unprepareInput,
                      &AudioSystem::closeInput, &AudioSystem::resetOutput, &AudioSystem::unprepareOutput,
                      &AudioSystem::closeOutput})
        EXPECT_EQ((audio.*step)(), kAudioOk);
    EXPECT_TRUE(window.messages.empty());

    // Recorded frame c holds played frame c - start - period, both channels, every bit.
    const long start = audio.playbackStartFrame();
    ASSERT_GE(start, 0);
    long mismatches = 0;
    for (long c = 0; c < kCaptureFrames; ++c) {
        const long p = c - start - period;
        for (long ch = 0; ch < 2; ++ch) {
            const std::int32_t expected = p >= 0 && p < kPlayFrames ? play[static_cast<std::size_t>(2 * p + ch)] : 0;
            if (capture[static_cast<std::size_t>(2 * c + ch)] != expected && ++mismatches <= 5)
                ADD_FAILURE() << "frame " << c << " channel " << ch << ": " << capture[static_cast<std::size_t>(2 * c + ch)]
                              << " != " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);

    // The measurement finds the same: the REF delay less the lead-in is one JACK period.
    std::vector<std::int32_t> copy(kCaptureCopySamples, 0);
    std::copy(capture.begin(), capture.end(), copy.begin());
    std::vector<float> ref(kSignalLength), in(kSignalLength), inCopy(kSignalLength), scratch(kScratchLength),
        firstPass(kScratchLength);
    splitCapture(copy, ref, in, 1, 1);
    const ImpulseDelays delays = computeImpulseResponses(generator, {ref, in, inCopy, scratch, firstPass}, "6");
    EXPECT_EQ(delays.refDelay - kPlayLead - start, period);
    EXPECT_EQ(delays.inDelay, delays.refDelay);
}

TEST(PortAudioWithoutServer, NoDevicesIsANormalState)
{
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = server ? server : "";
    ::setenv("JACK_DEFAULT_SERVER", "vantrel-no-such-server", 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    {
        PortAudioSystem audio;
        EXPECT_EQ(jackDevice(audio, true), -1);
        EXPECT_EQ(jackDevice(audio, false), -1);
        PostWindow window;
        Completions done;
        // One past the last device: refused with the driver's text, nothing opened. With no
        // device at all (no card here, and the server absent) the text says so below.
        const AudioStatus status = audio.openOutput(audio.outputDeviceCount(), 48000, window, done);
        EXPECT_NE(status, kAudioOk);
        const std::string text = audio.errorText(status);
        EXPECT_EQ(text.substr(0, text.find('\n')), "Invalid device");
        if (audio.inputDeviceCount() == 0 && audio.outputDeviceCount() == 0) {
            EXPECT_EQ(text, "Invalid device\nNo sound device was found: no sound card, and no sound server (PipeWire, "
                            "JACK) was running when Vantrel started.");
        }
        EXPECT_EQ(audio.closeOutput(), kAudioOk);
        EXPECT_EQ(audio.closeInput(), kAudioOk);
    }
    if (server)
        ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    else
        ::unsetenv("JACK_DEFAULT_SERVER");
}

// The line below the driver's text names what the operator can mend: the program that holds the
// card, the absent server, the missing group; nothing where the host gives no such cause.
TEST(SoundCardFailureReason, NamesWhoHoldsTheCardOrWhichServerIsAbsent)
{
    struct Case {
        SoundCardFailure failure;
        std::string_view begins; // empty: no reason
    };
    const Case cases[] = {
        {{paDeviceUnavailable, paALSA, -EBUSY, "hw:1,0"}, "The sound card is busy: another program holds it."},
        {{paBadIODeviceCombination, paALSA, -ECONNREFUSED, "pipewire"}, "The sound server does not answer: PipeWire"},
        {{paBadIODeviceCombination, paALSA, -ENOENT, "default"}, "The sound server does not answer: PipeWire"},
        {{paBadIODeviceCombination, paALSA, -EACCES, "hw:0,0"}, "No permission for the sound card: the user must be "
                                                               "in the group \"audio\""},
        {{paUnanticipatedHostError, paJACK, 0, "system"}, "The JACK server does not answer"},
        {{paInvalidDevice, -1, 0, ""}, "No sound device was found"},
        {{paBadIODeviceCombination, paALSA, -ENOENT, "hw:3,0"}, ""},
        {{paInvalidSampleRate, paALSA, 0, "hw:0,0"}, ""},
        {{paInvalidSampleRate, paJACK, 0, "system"}, ""},
    };
    for (const Case& c : cases) {
        const std::string reason = soundCardFailureReason(c.failure);
        if (c.begins.empty()) {
            EXPECT_EQ(reason, "") << c.failure.deviceName << " " << c.failure.hostErrorCode;
        } else {
            EXPECT_TRUE(reason.starts_with(c.begins)) << reason;
        }
    }
}

} // namespace
} // namespace vantrel
