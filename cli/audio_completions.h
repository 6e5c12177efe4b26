#pragma once
// What a command that drives the sound card itself (no window) learns of one play-and-capture:
// flags it polls until both ends have reported.

#include <cstddef>

#include "platform/audio_system.h"

namespace vantrel {

struct Completions final : AudioCompletion {
    bool output = false, capture = false;
    std::size_t bytes = 0;
    void outputDone() override { output = true; }
    void captureDone(std::size_t b) override
    {
        capture = true;
        bytes = b;
    }
};

} // namespace vantrel
