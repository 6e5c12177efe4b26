#include "mls/sound_card.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "MLS Control";
constexpr std::size_t kPlaySamples = kPlayBufferFrames * 2;
constexpr std::size_t kCaptureSamples = kCaptureBufferFrames * 2;

std::string format(const char* pattern, const std::string& name, int id, int channels = 0)
{
    char text[300];
    std::snprintf(text, sizeof text, pattern, name.c_str(), id, channels);
    return text;
}

std::string failureText(bool input, int id)
{
    char text[64];
    std::snprintf(text, sizeof text, input ? "Failed on waveInGetDevCaps, device id %d" : "Failed on waveOutGetDevCaps, device id %d", id);
    return text;
}

} // namespace

std::string deviceListText(const AudioDeviceCaps* caps, bool input, int id)
{
    return caps ? format("%s,  ID: %d", caps->name, id) : failureText(input, id);
}

std::string deviceLabelText(const AudioDeviceCaps& caps, int id)
{
    return format("%s, ID %d, Ch %d  ", caps.name, id, caps.channels);
}

SoundCard::SoundCard(WindowHost& window, AudioSystem& audio, MlsSettings& settings, EventLog& log,
                     SoundCardBuffers buffers, std::function<void()> captureReady,
                     std::function<void()> captureFailed)
    : window_(window), audio_(audio), settings_(settings), log_(log), buffers_(buffers),
      captureReady_(std::move(captureReady)), captureFailed_(std::move(captureFailed))
{
}

SoundCard::~SoundCard()
{
    if (running())
        closeAll();
}

std::string SoundCard::labelText(bool input, int id)
{
    AudioDeviceCaps caps;
    const AudioStatus status = input ? audio_.inputCaps(id, caps) : audio_.outputCaps(id, caps);
    return status == kAudioOk ? deviceLabelText(caps, id) : failureText(input, id);
}

void SoundCard::fillDeviceLists()
{
    for (const bool input : {true, false}) {
        const int list = input ? kInputDeviceList : kOutputDeviceList;
        const int count = std::min(input ? audio_.inputDeviceCount() : audio_.outputDeviceCount(), kMaxListedDevices);
        for (int i = 0; i < count; ++i) {
            AudioDeviceCaps caps;
            const AudioStatus status = input ? audio_.inputCaps(i, caps) : audio_.outputCaps(i, caps);
            window_.deleteListItem(list, i);
            window_.insertListItem(list, i, deviceListText(status == kAudioOk ? &caps : nullptr, input, i));
        }
        const int id = input ? settings_.inputDeviceId : settings_.outputDeviceId;
        window_.setListSelection(list, id >= 0 && id < count ? id : -1);
        window_.setText(input ? kInputDeviceLabel : kOutputDeviceLabel, labelText(input, id));
    }
}

void SoundCard::selectInputDevice()
{
    settings_.inputDeviceId = window_.listCaret(kInputDeviceList);
    window_.setText(kInputDeviceLabel, labelText(true, settings_.inputDeviceId));
}

void SoundCard::selectOutputDevice()
{
    settings_.outputDeviceId = window_.listCaret(kOutputDeviceList);
    window_.setText(kOutputDeviceLabel, labelText(false, settings_.outputDeviceId));
}

bool SoundCard::fail(const std::string& text)
{
    log_.record("audio", "error " + quoted(text));
    window_.message(text, kCaption, MessageIcon::Warning);
    return false;
}

bool SoundCard::check(AudioStatus status, const char* suffix)
{
    if (status == kAudioOk)
        return true;
    return fail(audio_.errorText(status) + suffix);
}

void SoundCard::closeAll()
{
    (void)audio_.stopInput();
    (void)audio_.resetInput();
    (void)audio_.unprepareInput();
    (void)audio_.closeInput();
    (void)audio_.resetOutput();
    (void)audio_.unprepareOutput();
    (void)audio_.closeOutput();
    outputPending_ = capturePending_ = false;
}

bool SoundCard::refuseWhileRunning()
{
    if (!running())
        return false;
    (void)fail("Measurement still running");
    return true;
}

bool SoundCard::startPlayAndCapture()
{
    // One pair of devices and buffers: a second start would reopen devices under a running
    // measurement.
    if (refuseWhileRunning())
        return false;
    if (buffers_.playBuffer.size() < kPlaySamples || buffers_.captureBuffer.size() < kCaptureSamples)
        return fail("Sound card buffers too small");

    const int rate = settings_.sampleRate();
    log_.record("audio", "start " + std::to_string(rate) + " " + std::to_string(settings_.mlsOrder()));

    const bool started = check(audio_.openOutput(settings_.outputDeviceId, rate, window_, *this)) &&
                         check(audio_.prepareOutput(buffers_.playBuffer.first(kPlaySamples))) &&
                         check(audio_.openInput(settings_.inputDeviceId, rate, window_, *this)) &&
                         check(audio_.prepareInput(buffers_.captureBuffer.first(kCaptureSamples))) &&
                         check(audio_.queueInput(), " 7") && check(audio_.startInput()) && check(audio_.play());
    if (!started) {
        closeAll();
        return false;
    }
    outputPending_ = capturePending_ = true;
    return true;
}

void SoundCard::onPlaybackDone()
{
    if (!outputPending_)
        return;
    outputPending_ = false;
    log_.record("audio", "output-done");
    const bool closed = check(audio_.resetOutput()) && check(audio_.unprepareOutput()) && check(audio_.closeOutput());
    // After a reported failure the device is still released, so that the next start can open it.
    if (!closed)
        (void)audio_.closeOutput();
    if (!capturePending_ && playbackEnded_)
        playbackEnded_();
}

bool SoundCard::onCaptureDone(std::size_t bytesRecorded)
{
    if (!capturePending_)
        return false;
    capturePending_ = false;
    log_.record("audio", "capture-done " + std::to_string(bytesRecorded));

    const std::size_t bytes = std::min({bytesRecorded, buffers_.captureBuffer.size_bytes(), buffers_.captureCopy.size_bytes()});
    std::memcpy(buffers_.captureCopy.data(), buffers_.captureBuffer.data(), bytes);

    const bool closed = check(audio_.stopInput()) && check(audio_.resetInput()) && check(audio_.unprepareInput()) &&
                        check(audio_.closeInput());
    if (!closed)
        (void)audio_.closeInput();
    return closed;
}

void SoundCard::outputDone() { onPlaybackDone(); }

void SoundCard::captureDone(std::size_t bytesRecorded)
{
    const bool pending = capturePending_;
    if (onCaptureDone(bytesRecorded)) {
        if (captureReady_)
            captureReady_();
    } else if (pending && captureFailed_) {
        captureFailed_();
    }
}

} // namespace vantrel

namespace vantrel {

bool writeResFile(const std::string& path, std::span<const std::int32_t> capture, int rateIndex, int mlsLengthIndex)
{
    constexpr std::size_t kSampleBytes = 2107999;
    if (capture.size_bytes() < kSampleBytes || rateIndex < 0 || rateIndex >= static_cast<int>(kRateTexts.size()) ||
        mlsLengthIndex < 0 || mlsLengthIndex >= static_cast<int>(kMlsLengthTexts.size()))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    std::array<unsigned char, 4> word{};
    for (std::size_t i = 0; ok && i * 4 < kSampleBytes; ++i) {
        const auto v = static_cast<std::uint32_t>(capture[i]);
        word = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v >> 16),
                static_cast<unsigned char>(v >> 24)};
        const std::size_t n = std::min<std::size_t>(4, kSampleBytes - i * 4);
        ok = std::fwrite(word.data(), 1, n, file) == n;
    }
    for (const int index : {rateIndex, mlsLengthIndex}) {
        char field[4] = {};
        std::snprintf(field, sizeof field, "%d", index);
        ok = ok && std::fwrite(field, 1, sizeof field, file) == sizeof field;
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

} // namespace vantrel
