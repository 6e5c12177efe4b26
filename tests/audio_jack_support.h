#pragma once
// What the JACK tests share: a count of the sound card's completions, and the JACK device.

#include <cstddef>
#include <string>

#include "platform/audio_system.h"

namespace vantrel::testing {

struct Completions final : AudioCompletion {
    int outputs = 0, captures = 0;
    std::size_t bytes = 0;
    void outputDone() override { ++outputs; }
    void captureDone(std::size_t b) override
    {
        ++captures;
        bytes = b;
    }
};

// The JACK server's input or output device number, -1 when PortAudio lists none.
inline int jackDevice(AudioSystem& audio, bool input)
{
    const int count = input ? audio.inputDeviceCount() : audio.outputDeviceCount();
    for (int i = 0; i < count; ++i) {
        AudioDeviceCaps caps;
        if ((input ? audio.inputCaps(i, caps) : audio.outputCaps(i, caps)) == kAudioOk &&
            caps.name.find("JACK") != std::string::npos)
            return i;
    }
    return -1;
}

} // namespace vantrel::testing
