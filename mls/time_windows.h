#pragma once
// The time windows applied to the REF and IN impulse responses before their FFT.
//
// x is the sample index; E = min(width, n-1) (real), B = min(int width, n/4 - 1),
// F = min(int front, 128), a = 2pi/(2E-1), u = 2pi/(2F-1), m = 4pi/(4B-1), h = 16pi/(2E-1),
// hB = 16pi/(2B-1), G = 0.875 E.
//   BH(x)    = 0.64125 - 0.48829 cos(ax+pi) + 0.14128 cos(2ax+pi) - 0.01168 cos(3ax+pi)  1 -> 0
//   HANN(x)  = (1 - cos(ax+pi))/2                                                      1 -> 0
//   KB(x)    = (1 - 1.24 cos(ax+pi) - 0.244 cos(2ax+pi))/2                      1.242 -> 0.002
//   FRONT(x) = 1 - (0.42323 - 0.49755 cos(ux+pi) - 0.07922 cos(2ux+pi))       0 -> 0.9951
//   SEMI(x)  = 1 below G, (1 - cos(hx))/2 from trunc(G) up to E, 0 beyond
// The symmetric kinds (types 5..9) use m over 0 <= x < 2B, rotated by B for the IN window.

#include <span>

#include "mls/mls_settings.h"

namespace vantrel {

struct TimeWindowParameters {
    double length = 0;     // E, samples (real)
    int symmetricHalf = 0; // B, samples
    int front = 0;         // F, samples
};

TimeWindowParameters timeWindowParameters(const MlsSettings& settings, int n);

// Fills refWindow[0..n-1] and inWindow[0..n-1] (both cleared first) for the settings' window
// type (an index off the list leaves both zero).
void buildTimeWindows(const MlsSettings& settings, int n, std::span<float> refWindow, std::span<float> inWindow);

} // namespace vantrel
