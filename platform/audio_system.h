#pragma once
// The sound card: device lists, and one measurement at a time: play one buffer once while
// capturing one buffer, both 2 channels of 32-bit samples carrying 24 valid bits (the capture,
// for a microphone arc, REF and up to 64 microphones). The steps
// mirror the measurement's start sequence so that each failing step has its own error text.
// Completions arrive on the user-interface thread, through the WindowHost the device was
// opened for; none arrives for a device that has been closed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantrel {

class WindowHost;

struct AudioDeviceCaps {
    std::string name;
    int channels = 0;
};

// 0 is success; anything else is a driver result whose text errorText() gives.
using AudioStatus = int;
inline constexpr AudioStatus kAudioOk = 0;
inline constexpr int kMaxInputChannels = 65; // REF and 64 microphones

class AudioCompletion {
public:
    virtual ~AudioCompletion() = default;
    virtual void outputDone() = 0;
    virtual void captureDone(std::size_t bytesRecorded) = 0;
};

class AudioSystem {
public:
    virtual ~AudioSystem() = default;

    virtual int inputDeviceCount() = 0;
    virtual int outputDeviceCount() = 0;
    virtual AudioStatus inputCaps(int id, AudioDeviceCaps& caps) = 0;
    virtual AudioStatus outputCaps(int id, AudioDeviceCaps& caps) = 0;
    virtual std::string errorText(AudioStatus status) = 0;

    // Start sequence: openOutput, prepareOutput, openInput, prepareInput, queueInput,
    // startInput, play. The buffers stay owned by the caller until the completions.
    // The channels the next openInput records in one stream: REF first, then the microphones;
    // 2 unless set. False, and nothing changed, for a count this system cannot record or
    // while the input is open. The device must list as many (inputCaps).
    virtual bool setInputChannels(int channels) { return channels == 2; }

    virtual AudioStatus openOutput(int id, int rate, WindowHost& window, AudioCompletion& completion) = 0;
    virtual AudioStatus prepareOutput(std::span<const std::int32_t> interleaved) = 0;
    virtual AudioStatus openInput(int id, int rate, WindowHost& window, AudioCompletion& completion) = 0;
    virtual AudioStatus prepareInput(std::span<std::int32_t> interleaved) = 0;
    virtual AudioStatus queueInput() = 0;
    virtual AudioStatus startInput() = 0;
    virtual AudioStatus play() = 0;

    // After outputDone: reset, unprepare, close. After captureDone: stop, reset, unprepare,
    // close. Each is harmless on a device that is not open.
    virtual AudioStatus resetOutput() = 0;
    virtual AudioStatus unprepareOutput() = 0;
    virtual AudioStatus closeOutput() = 0;
    virtual AudioStatus stopInput() = 0;
    virtual AudioStatus resetInput() = 0;
    virtual AudioStatus unprepareInput() = 0;
    virtual AudioStatus closeInput() = 0;

    // A near-field measurement: the microphone stands d (m) in front of the low-frequency
    // radiator's cone for the recordings that follow, 0 puts it back. On a sound card the
    // operator moves the microphone; the simulated rig moves its own.
    virtual void microphoneAtCone(double d) { (void)d; }
};

} // namespace vantrel
