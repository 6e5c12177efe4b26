// The PortAudio sound card recording REF and several microphones in one stream, on a JACK
// server whose dummy card has five capture ports (scripts/with-jack, VANTREL_JACK_CAPTURE=5):
// each of the program's five inputs is wired to one of its two outputs or to none, the right
// output plays the left's sequence 41 frames later, and every channel must come back with the
// delay of the output it is wired to, bit for bit, or silent.

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <chrono>
#include <cstdlib>
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

constexpr int kInputs = 5;
constexpr int kRightLag = 41;                        // frames the right output lags the left
constexpr int kWiredTo[kInputs] = {0, 1, 0, -1, 1};  // output of each input, -1: none

using testing::Completions;
using testing::jackDevice;

// Cuts the program's ports from everything and wires them as kWiredTo says; the period, 0 on
// failure.
int wire(std::string& error)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open("vantrel-arc-wiring", JackNoStartServer, &status);
    if (!client) {
        error = "cannot reach the JACK server";
        return 0;
    }
    const char** outs = jack_get_ports(client, "^Vantrel[^:]*:", nullptr, JackPortIsOutput);
    const char** ins = jack_get_ports(client, "^Vantrel[^:]*:", nullptr, JackPortIsInput);
    int inCount = 0, outCount = 0;
    while (ins && ins[inCount])
        ++inCount;
    while (outs && outs[outCount])
        ++outCount;
    int wired = 0;
    if (inCount == kInputs && outCount == 2) {
        for (const char** list : {outs, ins})
            for (int k = 0; list[k]; ++k) {
                jack_port_t* p = jack_port_by_name(client, list[k]);
                if (const char** peers = jack_port_get_all_connections(client, p)) {
                    for (int j = 0; peers[j]; ++j)
                        jack_disconnect(client, list == outs ? list[k] : peers[j], list == outs ? peers[j] : list[k]);
                    jack_free(peers);
                }
            }
        for (int k = 0; k < kInputs; ++k)
            if (kWiredTo[k] >= 0 && jack_connect(client, outs[kWiredTo[k]], ins[k]) == 0)
                ++wired;
    }
    const int period = static_cast<int>(jack_get_buffer_size(client));
    if (outs)
        jack_free(outs);
    if (ins)
        jack_free(ins);
    jack_client_close(client);
    if (wired != 4) {
        error = "found " + std::to_string(outCount) + " outputs and " + std::to_string(inCount) + " inputs, wired " +
                std::to_string(wired) + " of 4";
        return 0;
    }
    return period;
}

TEST(PortAudioOnJack, EveryInputOfOneStreamComesBackOnItsOwnChannel)
{
    ASSERT_NE(std::getenv("JACK_DEFAULT_SERVER"), nullptr) << "run under scripts/with-jack";
    PortAudioSystem audio;
    const int inputId = jackDevice(audio, true), outputId = jackDevice(audio, false);
    ASSERT_GE(inputId, 0);
    ASSERT_GE(outputId, 0);
    AudioDeviceCaps caps;
    ASSERT_EQ(audio.inputCaps(inputId, caps), kAudioOk);
    ASSERT_EQ(caps.channels, kInputs) << "VANTREL_JACK_CAPTURE=5";

    MlsSettings settings;
    settings.mlsLengthIndex = 2; // order 15
    MlsGenerator generator;
    ComplexFft fft;
    std::vector<std::int32_t> play(2 * kPlayFrames);
    ASSERT_TRUE(generator.generateMlsForPlayback(15, settings, play, fft));
    for (std::size_t p = 0; p < kPlayFrames; ++p) // right: the left's samples kRightLag frames later
        play[2 * p + 1] = p >= kRightLag ? play[2 * (p - kRightLag)] : 0;
    std::vector<std::int32_t> capture(kInputs * kCaptureFrames, 0x5555);

    RelayWindow window{[](std::string_view, std::string_view) {}};
    Completions done;
    EXPECT_FALSE(audio.setInputChannels(kMaxInputChannels + 1));
    ASSERT_TRUE(audio.setInputChannels(kInputs));
    ASSERT_EQ(audio.openOutput(outputId, 48000, window, done), kAudioOk);
    ASSERT_EQ(audio.prepareOutput(play), kAudioOk);
    ASSERT_EQ(audio.openInput(inputId, 48000, window, done), kAudioOk);
    EXPECT_FALSE(audio.setInputChannels(2)); // not while the input is open
    ASSERT_EQ(audio.prepareInput(capture), kAudioOk);
    ASSERT_EQ(audio.queueInput(), kAudioOk);
    ASSERT_EQ(audio.startInput(), kAudioOk);
    std::string error;
    const int period = wire(error);
    ASSERT_GT(period, 0) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(audio.play(), kAudioOk);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((done.outputs == 0 || done.captures == 0) && std::chrono::steady_clock::now() < deadline)
        if (!window.pump())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(done.captures, 1);
    EXPECT_EQ(done.bytes, kCaptureBufferBytes / 2 * kInputs);
    for (auto step : {&AudioSystem::stopInput, &AudioSystem::resetInput, &AudioSystem::unprepareInput,
                      &AudioSystem::closeInput, &AudioSystem::resetOutput, &AudioSystem::unprepareOutput,
                      &AudioSystem::closeOutput})
        EXPECT_EQ((audio.*step)(), kAudioOk);
    EXPECT_TRUE(audio.setInputChannels(2));

    const long start = audio.playbackStartFrame();
    ASSERT_GE(start, 0);
    for (int k = 0; k < kInputs; ++k) {
        long mismatches = 0;
        for (long c = 0; c < kCaptureFrames; ++c) {
            const long p = c - start - period;
            const std::int32_t expected =
                kWiredTo[k] >= 0 && p >= 0 && p < kPlayFrames ? play[static_cast<std::size_t>(2 * p + kWiredTo[k])] : 0;
            mismatches += capture[static_cast<std::size_t>(kInputs * c + k)] != expected;
        }
        EXPECT_EQ(mismatches, 0) << "input " << k;
    }
    // Through the measurement: each wired input's delay behind REF is its output's lag.
    for (int k = 1; k < kInputs; ++k) {
        if (kWiredTo[k] < 0)
            continue;
        std::vector<std::int32_t> pair(kCaptureCopySamples, 0);
        for (std::size_t c = 0; c < kCaptureFrames; ++c) {
            pair[2 * c] = capture[kInputs * c];
            pair[2 * c + 1] = capture[kInputs * c + static_cast<std::size_t>(k)];
        }
        std::vector<float> ref(kSignalLength), in(kSignalLength), inCopy(kSignalLength), scratch(kScratchLength),
            firstPass(kScratchLength);
        splitCapture(pair, ref, in, 1, 1);
        const ImpulseDelays d = computeImpulseResponses(generator, {ref, in, inCopy, scratch, firstPass}, "6");
        EXPECT_EQ(d.inDelay - d.refDelay, kWiredTo[k] == 1 ? kRightLag : 0) << "input " << k;
    }
}

} // namespace
} // namespace vantrel
