#pragma once
// The simulated rig's microphone arc: N microphones on an arc in the plane H turns in, each at
// its own angle a along it, so that a microphone hears the virtual loudspeaker in the
// direction (H + a, V) of the turntables' angles (H, V). Each may carry the faults of a real
// capsule and its mounting, which the arc's self-calibration has to find:
//
//   T_m(f) = g_m  (r / (r + dr_m))  e^{-j 2 pi f ((r + dr_m) / c + tau_m)} / r  x  loudspeaker(f, H + a_m, V)
//
// g_m the level error, tau_m a small delay (the phase error), dr_m the radius error.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct SimArcMicrophone {
    double angleDegrees = 0; // along the arc, added to H
    double levelDb = 0;      // level error
    double delaySeconds = 0; // phase error, as a delay
    double radiusError = 0;  // m, farther (+) or nearer (-) than the arc's radius
    bool present = true;     // false: an input channel no microphone is wired to (noise only)
};

// count microphones stepDegrees apart from a = 0, without errors.
std::vector<SimArcMicrophone> simulatedArc(int count, int stepDegrees);

// "N,STEP": 1..64 microphones, STEP a whole number of degrees 1..180 whose arc
// (N - 1) STEP spans at most 180 degrees. Nothing, with the reason in error, otherwise.
std::optional<std::vector<SimArcMicrophone>> parseSimArc(std::string_view text, std::string& error);

// Plants reproducible errors from seed into every microphone, drawn one after the other from
// one std::mt19937 stream of the seed (three 32-bit draws u per microphone, x = u / 2^32):
// level 2 x - 1 dB (within +-1 dB), phase (2 x - 1) 10 degrees at 10 kHz taken up by a delay
// (within +-2.78 us), radius (2 x - 1) 3 mm.
void plantMicErrors(std::vector<SimArcMicrophone>& arc, std::uint32_t seed);

} // namespace vantrel
