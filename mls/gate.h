#pragma once
// The reflection-free gate: where in an impulse response the first reflection arrives, and the
// time window that ends before it.
//
// The detector works on the envelope e[i], the RMS of h over kEnvelopeMs centred on i:
//   direct sound d: the arrival (below) of the first peak of |h| within directLeadMs of the
//     first sample whose envelope reaches directDb below the largest (the strongest arrival
//     may be a reflection when the loudspeaker faces away);
//   noise floor N: the RMS of h before the direct sound (from noiseStart to d - lead);
//   reference R[i]: the largest envelope over [i - lookBackMs, i - gapMs]: the direct
//     sound's own decay (its ringing falls; it never rises again by itself);
//   first reflection: the first i > d + gapMs where e[i] rises above both R[i] + riseDb and
//     N + noiseDb;
//   an arrival: the first sample where |h| reaches half the peak of its rise, so that both
//     sounds are timed alike (from the nearer driver: a path leaving downwards reaches the
//     microphone from the woofer first).
// An arrival where only the noise rises, or the decay beats by a few dB, stays below these.

#include <optional>
#include <span>

namespace vantrel {

struct GateDetector {
    double envelopeMs = 0.125; // RMS width of the envelope
    double gapMs = 0.125;      // the reference ends this long before the sample it judges
    double lookBackMs = 0.5;   // and starts this long before it
    double riseDb = 10;        // above the decaying direct sound
    double noiseDb = 12;       // above the noise's RMS
    double directDb = 20;      // the direct sound: the first arrival this close to the largest
    double directLeadMs = 0.3; // its peak within this of where it starts
    int noiseStart = 50;       // first sample the response holds
};

struct ReflectionSearch {
    int direct = 0;                // the direct sound's arrival, sample
    std::optional<int> reflection; // the first reflection's arrival, sample; none found
    double noiseRms = 0;
};

// h: an impulse response at rateHz. directHint >= 0 takes that sample as the direct sound's arrival
// (a walk's later points, whose direct sound may be weaker than a reflection).
ReflectionSearch findFirstReflection(std::span<const float> h, int rateHz, int directHint = -1,
                                     const GateDetector& detector = {});

// The time window that ends before the reflection: the semi-rectangular kind (flat, then a
// half cosine over its last eighth), starting leadMs before the direct sound (at most at
// maxPosition) and reaching zero marginMs before the reflection arrives. The margin covers
// two things: the detector fires a few samples into the reflection's rise, and the drivers sit
// off the rotation centre, so one window kept for a whole walk meets each reflection up to
// 2 x (their offset) / c earlier or later than at the first point (0.25 ms let a woofer 7 cm
// below the centre put its floor bounce into the window's taper at some directions).
inline constexpr double kGateMarginMs = 0.5;
inline constexpr double kGateLeadMs = 0.5;
inline constexpr int kSemiRectangularType = 4; // on the "Window Type" list

struct GateWindow {
    int position = 0; // the FFT window position, samples
    int width = 0;    // samples
    double gateMs = 0; // from the direct sound's arrival to the window's end
};

// The window whose end lies gateMs after the direct sound. Nothing when that end would not lie
// past the window's start (a gate too short for the direct sound).
std::optional<GateWindow> gateWindowFor(int direct, double gateMs, int rateHz, int maxPosition);
// gateMs for a reflection arriving at sample reflection: its delay after the direct sound less
// the margin.
double gateMsFor(int direct, int reflection, int rateHz);

} // namespace vantrel
