#pragma once
// The real sound card: the AudioSystem over PortAudio. Input and output devices are the
// PortAudio devices with at least one input or output channel, in PortAudio's order. The two
// devices of a measurement run as one full-duplex stream, so both share one frame clock: the
// capture starts with the stream, the playback at the first period after play(), and the
// lead-in between them is known to the frame.

#include <memory>
#include <string>
#include <string_view>

#include "platform/audio_system.h"

namespace vantrel {

// A failed open or start of the sound card, as PortAudio and the host API behind it report it.
struct SoundCardFailure {
    int paError = 0;
    int hostApiType = -1;   // PaHostApiTypeId of the device; -1 when no device is listed at all
    long hostErrorCode = 0; // the host API's own code (ALSA: a negative errno), 0 when unknown
    std::string_view deviceName;
};

// Why the sound card could not be used, in the operator's terms: held by another program, the
// sound server absent, no permission, no device at all; empty when none of these explains it.
// errorText() puts it on a line below PortAudio's own text.
std::string soundCardFailureReason(const SoundCardFailure& failure);

class PortAudioSystem final : public AudioSystem {
public:
    // Enumerates the devices once; a machine without any (no card, no JACK server) has empty
    // lists.
    PortAudioSystem();
    ~PortAudioSystem() override;
    PortAudioSystem(const PortAudioSystem&) = delete;
    PortAudioSystem& operator=(const PortAudioSystem&) = delete;

    int inputDeviceCount() override;
    int outputDeviceCount() override;
    AudioStatus inputCaps(int id, AudioDeviceCaps& caps) override;
    AudioStatus outputCaps(int id, AudioDeviceCaps& caps) override;
    std::string errorText(AudioStatus status) override;

    AudioStatus openOutput(int id, int rate, WindowHost& window, AudioCompletion& completion) override;
    AudioStatus prepareOutput(std::span<const std::int32_t> interleaved) override;
    AudioStatus openInput(int id, int rate, WindowHost& window, AudioCompletion& completion) override;
    AudioStatus prepareInput(std::span<std::int32_t> interleaved) override;
    bool setInputChannels(int channels) override;
    AudioStatus queueInput() override;
    AudioStatus startInput() override;
    AudioStatus play() override;

    AudioStatus resetOutput() override;
    AudioStatus unprepareOutput() override;
    AudioStatus closeOutput() override;
    AudioStatus stopInput() override;
    AudioStatus resetInput() override;
    AudioStatus unprepareInput() override;
    AudioStatus closeInput() override;

    // Capture frames recorded before the first played frame of the last measurement, -1 before
    // any playback. A recorded frame c holds played frame c - playbackStartFrame() - latency.
    long playbackStartFrame() const;
    // On a JACK server: disconnects the program's ports from the server's and wires each of its
    // outputs to the input of the same number, a loop-back without cables. Call it after
    // startInput, when the ports exist. False with the reason when that is not possible.
    bool wireJackLoopBack(std::string& error);

    struct Impl;

private:
    std::shared_ptr<Impl> impl_;
};

} // namespace vantrel
