#pragma once
// Two balloons of the same grid and axis compared: B minus A in dB, direction by direction
// and bin by bin, so a production line can hold each unit against its reference balloon.

#include <optional>
#include <string>
#include <vector>

#include "analysis/directivity.h"

namespace vantrel {

// Why the two cannot be compared (grid or axis differ), or nothing.
std::optional<std::string> compareRefusal(const BalloonTrailer& a, const BalloonTrailer& b);

struct LargestDifference {
    double db = 0;             // B - A, signed; its magnitude is the largest
    SphereDirection direction; // where
    int bin = 0;
    double frequencyHz = 0;
};

// Which directions a comparison holds: all of them, only the front hemisphere (the directions
// within 90 degrees of the axis), and only where A's level lies within withinDb of A's own
// axis at that frequency. Far below the axis a balloon holds the rig's noise and the
// excitation's own floor, not the loudspeaker, so accuracy figures are quoted above it.
struct CompareScope {
    bool frontOnly = false;
    std::optional<double> withinDb;
};

struct CompareRow {
    double frequencyHz = 0;
    double onAxisDb = 0;       // B - A
    double soundPowerDb = 0;   // B - A
    double directivityIndexDb = 0; // DI of B - DI of A
    double largestDb = 0;      // the largest |B - A| over the sphere at this frequency
    double largestPhaseDeg = 0; // the largest |arg(B / A)| over the directions compared
};

struct BalloonComparison {
    std::vector<CompareRow> rows;       // one per axis point of the band
    LargestDifference largest;          // over every unique direction and bin of the band
    double rmsDb = 0;                   // root mean square of B - A, solid-angle weighted
    LargestDifference largestPhase;     // its db holds arg(B / A) in degrees
    long long points = 0;               // direction and bin pairs compared
};

// B - A over the unique directions of the grid and the axis points first..last.
BalloonComparison compareBalloons(const BalloonMatrix& a, const BalloonMatrix& b, AngleGrid grid,
                                  const FrequencyAxis& axis, int first, int last, const CompareScope& scope = {});

// B - A along an orbit, per point and bin: plain levels, or each relative to its own axis.
std::vector<std::array<double, kDataBins>> orbitDifference(const OrbitLevels& a, const OrbitLevels& b, bool relative);

} // namespace vantrel
