#pragma once
// A gated balloon completed below its gate by a near-field measurement.
//
// A gate before the first reflection leaves a balloon valid only above about 1/T (T the
// gate); a microphone a few millimetres from the woofer's cone hears its low end free of the
// room, but only on the axis and only while the wavelength exceeds three times the radiator's
// size, f < c / (3 2a) (Struck & Temme, "Simulated free field measurements", JAES 42, 1994).
// Between the two lies the overlap band [1/T, c/(6a)], where both hold and are fitted:
//
//  - the near field N(f) is brought to the measuring distance r: Keele's a/(2r) says the
//    level (a^2 / (2r (sqrt(d^2 + a^2) - d)) with the microphone at d; printed for
//    comparison), a least-squares fit of G0(f)/N(f) over the overlap band
//    sets it: G0 ~ g e^{j(p0 - 2 pi f tau)} N, g the level, p0 and tau the phase and the
//    path delay the gated axis response G0 carries;
//  - each direction keeps its own gated response's ratio to the axis, rho(f) = G(f)/G0(f),
//    carried toward 1 (omnidirectional) below the band by a first-order transition (the
//    baffle step): |rho|^2 = (1 + A f^2) / (1 + B f^2), B >= 0, and arg rho = -2 pi f dt,
//    fitted over the overlap band; 1/sqrt(B) is the transition and A/B its level above it
//    (B = 0: the transition lies above the band, whose slope A alone is then fitted);
//  - the extension E(f) = g e^{j(p0 - 2 pi f tau)} N(f) rho_model(f) replaces the gated
//    response below the merge band, a raised cosine in log f crossfades the two across it,
//    and above it the gated cells stay as they are, bit for bit.
//
// The merge band is an octave about the merge frequency (by default the overlap band's
// geometric middle), cut to the overlap band.

#include <optional>
#include <string>

#include "analysis/near_field_curve.h"
#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/measurement_record.h"

namespace vantrel {

struct NearFieldMergeOptions {
    double radiusM = 0;            // the low-frequency radiator's radius a
    double distanceM = 2;          // the balloon's measuring distance r
    double nearDistanceM = 0;      // the microphone's distance d from the cone; 0: unknown (d -> 0)
    double gateMs = 0;             // the gated balloon's gate: its low edge is 1000 / gateMs Hz
    std::optional<double> mergeHz; // the crossfade's middle; default the overlap band's
    double speedOfSound = 343;     // m/s
    double driveDb = 0;            // the balloon's drive over the near field's (levels scale with it); 0: equal or unknown
};

struct NearFieldMergePlan {
    double overlapLowHz = 0, overlapHighHz = 0;
    double mergeHz = 0;
    MergeBand band;             // the crossfade
    int firstBin = 0;           // the lowest axis point the merge writes
    int bandTopBin = 0;         // the first axis point above the merge band (kept as gated)
};

struct NearFieldMergeResult {
    std::optional<std::string> refusal; // set: nothing was changed, the reason names the value
    NearFieldMergePlan plan;
    double keeleGainDb = 0;   // 20 log10 (a / 2r), or its form at the microphone's d, plus the drive difference
    double fittedGainDb = 0;  // the level the near field took to match the gated axis
    double delayMs = 0;       // the path delay of the gated axis response over the near field's
    double phaseDegrees = 0;  // its phase at 0 Hz
    double fitResidualDb = 0; // rms level misfit of the axis over the overlap band
};

// 20 log10 of the balloon's drive over the near field's, when both records state one, else 0:
// the levels of both scale with the drive, so Keele's estimate is read at the balloon's.
double driveDifferenceDb(const MeasurementRecord& balloon, const NearFieldCurve& nearField);

// Checks everything, then merges every cell of the grid in place; on a refusal the balloon is
// untouched. lowestBin: the balloon's lowest valid axis point.
NearFieldMergeResult mergeNearField(BalloonMatrix& balloon, const FrequencyAxis& axis, AngleGrid grid, int lowestBin,
                                    const NearFieldCurve& nearField, const NearFieldMergeOptions& options);

} // namespace vantrel
