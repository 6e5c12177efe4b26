// The measurement window's sound-card logic against a scripted sound card: device lists, the
// start sequence and its failures, the completions, and the conversion of the recording.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>

#include <unistd.h>

#include "mls/capture.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"

namespace vantrel {
namespace {

// A sound card whose devices, failures and completions the test decides. Every call is
// recorded by name so that the order of the start and close sequences can be checked.
class ScriptedAudio final : public AudioSystem {
public:
    std::vector<std::string> inputs{"Line In", "Mic"}, outputs{"Speakers"};
    int failingCaps = -1;         // input id whose query fails
    std::string failAt;           // step that returns an error
    std::vector<std::string> calls;
    AudioCompletion* completion = nullptr;
    std::span<std::int32_t> capture;

    int inputDeviceCount() override { return static_cast<int>(inputs.size()); }
    int outputDeviceCount() override { return static_cast<int>(outputs.size()); }
    AudioStatus inputCaps(int id, AudioDeviceCaps& caps) override { return caps_(inputs, id, id == failingCaps, caps); }
    AudioStatus outputCaps(int id, AudioDeviceCaps& caps) override { return caps_(outputs, id, false, caps); }
    std::string errorText(AudioStatus status) override { return "driver error " + std::to_string(status); }

    AudioStatus openOutput(int, int, WindowHost&, AudioCompletion& c) override { completion = &c; return step("openOutput"); }
    AudioStatus prepareOutput(std::span<const std::int32_t>) override { return step("prepareOutput"); }
    AudioStatus openInput(int, int, WindowHost&, AudioCompletion& c) override { completion = &c; return step("openInput"); }
    AudioStatus prepareInput(std::span<std::int32_t> b) override { capture = b; return step("prepareInput"); }
    AudioStatus queueInput() override { return step("queueInput"); }
    AudioStatus startInput() override { return step("startInput"); }
    AudioStatus play() override { return step("play"); }
    AudioStatus resetOutput() override { return step("resetOutput"); }
    AudioStatus unprepareOutput() override { return step("unprepareOutput"); }
    AudioStatus closeOutput() override { return step("closeOutput"); }
    AudioStatus stopInput() override { return step("stopInput"); }
    AudioStatus resetInput() override { return step("resetInput"); }
    AudioStatus unprepareInput() override { return step("unprepareInput"); }
    AudioStatus closeInput() override { return step("closeInput"); }

private:
    AudioStatus step(const std::string& name)
    {
        calls.push_back(name);
        return name == failAt ? 11 : kAudioOk;
    }
    static AudioStatus caps_(const std::vector<std::string>& names, int id, bool fail, AudioDeviceCaps& caps)
    {
        if (fail || id < 0 || id >= static_cast<int>(names.size()))
            return 2;
        caps = {names[static_cast<std::size_t>(id)], 2};
        return kAudioOk;
    }
};

struct Bench {
    std::ostringstream events;
    HeadlessPlatform platform{events};
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    ScriptedAudio audio;
    MlsSettings settings;
    std::vector<std::int32_t> play = std::vector<std::int32_t>(2 * kPlayBufferFrames);
    std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * kCaptureBufferFrames);
    std::vector<std::int32_t> copy = std::vector<std::int32_t>(kCaptureCopySamples);
    int ready = 0;
    SoundCard card{window, audio, settings, platform.log(), {play, capture, copy}, [this] { ++ready; }};

    std::string log() const { return events.str(); }
};

TEST(SoundCardLists, NamesLabelsAndSelections)
{
    Bench b;
    b.settings.inputDeviceId = 1;
    b.audio.failingCaps = 0;
    b.card.fillDeviceLists();
    EXPECT_EQ(b.window.listCount(kInputDeviceList), 2);
    EXPECT_EQ(b.window.listItem(kInputDeviceList, 0), "Failed on waveInGetDevCaps, device id 0");
    EXPECT_EQ(b.window.listItem(kInputDeviceList, 1), "Mic,  ID: 1");
    EXPECT_EQ(b.window.listSelection(kInputDeviceList), 1);
    EXPECT_EQ(b.window.text(kInputDeviceLabel), "Mic, ID 1, Ch 2  ");
    EXPECT_EQ(b.window.listItem(kOutputDeviceList, 0), "Speakers,  ID: 0");
    EXPECT_EQ(b.window.text(kOutputDeviceLabel), "Speakers, ID 0, Ch 2  ");

    // Any notification takes the caret, whatever the notification.
    b.window.setListSelection(kInputDeviceList, 0);
    b.card.selectInputDevice();
    EXPECT_EQ(b.settings.inputDeviceId, 0);
    EXPECT_EQ(b.window.text(kInputDeviceLabel), "Failed on waveInGetDevCaps, device id 0");
}

TEST(SoundCardLists, NoDevicesAndStoredIdsBeyondTheList)
{
    Bench b;
    b.audio.inputs.clear();
    b.audio.outputs.clear();
    b.settings.outputDeviceId = 3;
    b.card.fillDeviceLists();
    EXPECT_EQ(b.window.listCount(kInputDeviceList), 0);
    EXPECT_EQ(b.window.listCount(kOutputDeviceList), 0);
    EXPECT_EQ(b.window.listSelection(kOutputDeviceList), -1);
    EXPECT_EQ(b.window.text(kOutputDeviceLabel), "Failed on waveOutGetDevCaps, device id 3");
}

TEST(SoundCardLists, AtMostTwentyDevices)
{
    Bench b;
    b.audio.inputs.assign(25, "Card");
    b.card.fillDeviceLists();
    EXPECT_EQ(b.window.listCount(kInputDeviceList), kMaxListedDevices);
    EXPECT_EQ(b.window.listItem(kInputDeviceList, 19), "Card,  ID: 19");
}

TEST(SoundCardStart, RunsTheStepsInOrderThenCompletes)
{
    Bench b;
    ASSERT_TRUE(b.card.startPlayAndCapture());
    EXPECT_EQ(b.audio.calls, (std::vector<std::string>{"openOutput", "prepareOutput", "openInput", "prepareInput",
                                                        "queueInput", "startInput", "play"}));
    EXPECT_TRUE(b.card.running());
    b.audio.calls.clear();

    b.audio.completion->outputDone();
    EXPECT_EQ(b.audio.calls, (std::vector<std::string>{"resetOutput", "unprepareOutput", "closeOutput"}));
    b.audio.calls.clear();
    b.capture[0] = 123;
    b.audio.completion->captureDone(kCaptureBufferBytes);
    EXPECT_EQ(b.audio.calls, (std::vector<std::string>{"stopInput", "resetInput", "unprepareInput", "closeInput"}));
    EXPECT_EQ(b.ready, 1);
    EXPECT_EQ(b.copy[0], 123);
    EXPECT_FALSE(b.card.running());
    EXPECT_NE(b.log().find("audio start 48000 18"), std::string::npos);
    EXPECT_NE(b.log().find("audio output-done"), std::string::npos);
    EXPECT_NE(b.log().find("audio capture-done 2108000"), std::string::npos);

    // A completion that arrives again changes nothing.
    b.audio.completion->captureDone(kCaptureBufferBytes);
    EXPECT_EQ(b.ready, 1);
}

TEST(SoundCardStart, ASecondStartWhileRunningIsRefused)
{
    Bench b;
    ASSERT_TRUE(b.card.startPlayAndCapture());
    b.audio.calls.clear();
    EXPECT_FALSE(b.card.startPlayAndCapture());
    EXPECT_TRUE(b.audio.calls.empty());
    EXPECT_NE(b.log().find("\"MLS Control\" warning \"Measurement still running\""), std::string::npos) << b.log();
    EXPECT_TRUE(b.card.running());
}

TEST(SoundCardStart, AFailingStepShowsItsTextAndClosesWhatWasOpened)
{
    for (const char* step : {"openOutput", "prepareOutput", "openInput", "prepareInput", "queueInput", "startInput", "play"}) {
        Bench b;
        b.audio.failAt = step;
        EXPECT_FALSE(b.card.startPlayAndCapture()) << step;
        const std::string text = std::string("driver error 11") + (std::string(step) == "queueInput" ? " 7" : "");
        EXPECT_NE(b.log().find("\"MLS Control\" warning \"" + text + "\""), std::string::npos) << step << b.log();
        EXPECT_NE(b.log().find("audio error \"" + text + "\""), std::string::npos) << step;
        // Nothing after the failing step runs, and both devices end closed.
        const auto& c = b.audio.calls;
        const auto failed = std::find(c.begin(), c.end(), step);
        ASSERT_NE(failed, c.end());
        EXPECT_EQ(std::count(c.begin(), c.end(), "play"), std::string(step) == "play" ? 1 : 0);
        EXPECT_NE(std::find(failed, c.end(), "closeOutput"), c.end()) << step;
        EXPECT_NE(std::find(failed, c.end(), "closeInput"), c.end()) << step;
        EXPECT_FALSE(b.card.running());
    }
}

TEST(SoundCardCompletion, ShortRecordingIsCopiedOnlySoFar)
{
    Bench b;
    std::fill(b.copy.begin(), b.copy.end(), 7);
    std::fill(b.capture.begin(), b.capture.end(), -1);
    ASSERT_TRUE(b.card.startPlayAndCapture());
    b.audio.completion->captureDone(10);
    EXPECT_EQ(b.copy[1], -1);
    EXPECT_EQ(b.copy[2], (7 & ~0xFFFF) | 0xFFFF); // two bytes of the third sample
    EXPECT_EQ(b.copy[3], 7);
    EXPECT_EQ(b.ready, 1);

    // A driver reporting more than the buffers hold is copied no further than they reach.
    b.audio.completion->outputDone();
    ASSERT_TRUE(b.card.startPlayAndCapture());
    b.audio.completion->captureDone(SIZE_MAX);
    EXPECT_EQ(b.copy[2 * kCaptureBufferFrames - 1], -1);
    EXPECT_EQ(b.copy[2 * kCaptureBufferFrames], 7);
}

TEST(SoundCardCompletion, AFailingCloseStepShowsItsTextAndTheRecordingIsNotProcessed)
{
    Bench b;
    b.audio.failAt = "resetInput";
    ASSERT_TRUE(b.card.startPlayAndCapture());
    b.audio.completion->captureDone(kCaptureBufferBytes);
    EXPECT_EQ(b.ready, 0);
    EXPECT_NE(b.log().find("audio error \"driver error 11\""), std::string::npos);
    EXPECT_EQ(b.audio.calls.back(), "closeInput");
}

TEST(SoundCardConversion, PeaksPolarityAndFullScale)
{
    std::vector<std::int32_t> copy(kCaptureCopySamples, 0);
    std::vector<float> ref(kConvertedFrames + 1, 9.0f), in(kConvertedFrames + 1, 9.0f);
    copy[0] = -2147483647 - 1;
    copy[1] = 42000;
    copy[2] = 21000;
    copy[3] = -84000;
    copy[2 * kConvertedFrames] = 2147483392; // the last recorded frame is not converted
    const CapturePeaks peaks = splitCapture(copy, ref, in, -1, 1);
    EXPECT_NEAR(peaks.refPeak, 51130.56f, 0.01f);
    EXPECT_FLOAT_EQ(ref[0], 51130.56f);
    EXPECT_FLOAT_EQ(ref[1], -0.5f);
    EXPECT_FLOAT_EQ(in[0], 1.0f);
    EXPECT_FLOAT_EQ(in[1], -2.0f);
    EXPECT_FLOAT_EQ(peaks.inPeak, 2.0f);
    EXPECT_FLOAT_EQ(ref[kConvertedFrames], 9.0f);
}

TEST(ResFile, WrittenRecordingReadsBackWithItsIndexes)
{
    std::vector<std::int32_t> capture(2 * kCaptureBufferFrames);
    for (std::size_t i = 0; i < capture.size(); ++i)
        capture[i] = static_cast<std::int32_t>(i * 2654435761u);
    const auto path = (std::filesystem::temp_directory_path() / ("audio_res_" + std::to_string(::getpid()) + ".RES")).string();
    ASSERT_TRUE(writeResFile(path, capture, 6, 2));
    EXPECT_EQ(std::filesystem::file_size(path), 2108007u);

    std::vector<std::int32_t> back(kCaptureCopySamples, 0);
    const ResImport read = readResFile(path.c_str(), back);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.rateIndex, 6);
    EXPECT_EQ(read.mlsLengthIndex, 2);
    EXPECT_TRUE(std::equal(capture.begin(), capture.begin() + 526999, back.begin()));
    std::filesystem::remove(path);

    EXPECT_FALSE(writeResFile(path, capture, 8, 0));
    EXPECT_FALSE(writeResFile(path, capture, 0, 6));
    EXPECT_FALSE(writeResFile("/nonexistent-dir/x.RES", capture, 5, 0));
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace vantrel
