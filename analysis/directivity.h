#pragma once
// Sound power, directivity index and -6 dB beamwidth of a balloon, per axis frequency.
// Levels are in dB with 90 dB at magnitude 1, the stored measurement's own scale.

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "analysis/orbit.h"
#include "analysis/sphere_weights.h"
#include "balloon/frequency_axis.h"
#include "balloon/valid_band.h"

namespace vantrel {

// dB levels of one orbit: one row of kDataBins per point, points from -180 to +180 degrees.
struct OrbitLevels {
    std::vector<int> angles;
    std::vector<std::array<double, kDataBins>> db;
    // The point at angle 0 (the axis).
    std::size_t axisIndex() const;
};

OrbitLevels orbitLevels(const BalloonMatrix& matrix, Plane plane, AngleGrid grid);

// 10 log10(sum of w p / 4 pi) + 90 over the sphere's unique directions: the level an
// omnidirectional source of the same radiated power would give.
double soundPowerDb(const BalloonMatrix& matrix, std::span<const WeightedDirection> directions, int bin);

// Full angle between the first points on either side of the axis where the level has fallen
// dropDb below the axis, each found by linear interpolation in pressure amplitude between the
// two measured angles that straddle it; nothing when either side never falls that far.
std::optional<double> beamwidthDegrees(const OrbitLevels& orbit, int bin, double dropDb = 6.0);

struct DirectivityRow {
    double frequencyHz = 0;
    double onAxisDb = 0;
    double soundPowerDb = 0;
    double directivityIndexDb = 0;
    std::optional<double> beamwidthHorizontal; // degrees
    std::optional<double> beamwidthVertical;
};

// One row per axis point of the valid band.
std::vector<DirectivityRow> directivityTable(const BalloonMatrix& matrix, AngleGrid grid,
                                             const FrequencyAxis& axis, const ValidBand& band);

} // namespace vantrel
