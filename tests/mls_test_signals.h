#pragma once
// Recordings synthesised for the MLS engine's tests: the play buffer as the sound card would
// record it, REF as a loop-back and IN through a known filter, each with its own delay.

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <span>
#include <vector>

#include "mls/capture.h"
#include "mls/mls_generator.h"

namespace vantrel::test {

// y[n] = b x[n] + p y[n-1]: a one-pole low-pass with unit gain at 0 Hz.
struct OnePole {
    double p = 0;
    double filter(double x)
    {
        state = (1 - p) * x + p * state;
        return state;
    }
    std::complex<double> response(double hz, double rate) const
    {
        const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * hz / rate);
        return (1 - p) / (1.0 - p * z);
    }
    double state = 0;
};

// The sequence starts at recording frame refDelay on REF and refDelay + inExtra on IN; IN goes
// through the filter (none when p = 0). Samples are scaled by gain and saturated.
inline void synthesiseCapture(std::span<const std::int32_t> play, std::span<std::int32_t> capture, int refDelay, int inExtra,
                              OnePole in = {}, double gain = 1.0)
{
    std::fill(capture.begin(), capture.end(), 0);
    auto sample = [&](long frame, int channel) -> double {
        const long k = frame + kPlayLead;
        if (k < 0 || k >= kPlayFrames)
            return 0.0;
        return play[static_cast<std::size_t>(2 * k + channel)];
    };
    auto clip = [](double v) { return static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0)); };
    for (long k = 0; k < kCaptureFrames; ++k) {
        capture[static_cast<std::size_t>(2 * k)] = clip(gain * sample(k - refDelay, 0));
        const double x = sample(k - refDelay - inExtra, 1);
        capture[static_cast<std::size_t>(2 * k + 1)] = clip(gain * (in.p != 0 ? in.filter(x) : x));
    }
}

} // namespace vantrel::test
