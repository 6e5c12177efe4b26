#pragma once
// Levels of a balloon in any direction, interpolated between the grid's cells, and the
// orbits (great circles through an axis) that the analyses read in directions off the grid.
//
// Directions are given as a listener sees them: horizontal angle h (+ = to the loudspeaker's
// left) and vertical angle v (+ = up), u = (sin h cos v, sin v, cos h cos v) in the
// loudspeaker's frame (+x its left, +y up the baffle, +z its axis). On the grid that frame
// holds u = (sin H cos V, -sin H sin V, cos H) for the turntable angles (H, V).

#include <array>

#include "analysis/directivity.h"

namespace vantrel {

struct Vector3 {
    double x = 0, y = 0, z = 0;
};

// The unit vector of a listener direction (degrees).
Vector3 listenerDirection(double hDegrees, double vDegrees);

// The direction at angle a (degrees) along the great circle through `axis` rolled by `roll`
// degrees about it: roll 0 sweeps the horizontal (+a to the left), 90 the vertical (+a up),
// 45 the diagonal between left-up and right-down.
Vector3 orbitDirection(double axisH, double axisV, double rollDegrees, double angleDegrees);

// Levels at every axis point in any direction: what the analyses that read off the grid (a
// rolled plane, the best-axis search) take them from.
class DirectionLevels {
public:
    virtual ~DirectionLevels() = default;
    // dB (90 dB = magnitude 1) in direction u (a unit vector) at every axis point.
    virtual void levels(const Vector3& u, std::array<double, kDataBins>& db) const = 0;
};

// Where a direction falls among the grid's cells: the fractional row (0 at V = +90) and column
// (H / step) of its turntable angles, H in 0..360, V in -90..+90.
struct GridPlace {
    double row = 0, column = 0;
};
GridPlace gridPlace(const Vector3& u, AngleGrid grid);

class SphereLevels : public DirectionLevels {
public:
    SphereLevels(const BalloonMatrix& matrix, AngleGrid grid) : matrix_(matrix), grid_(grid) {}
    void levels(const Vector3& u, std::array<double, kDataBins>& db) const override;

    // dB (90 dB = magnitude 1) at the direction, bilinear in dB between the four cells of the
    // turntable angles (H in 0..360, V in -90..+90) around it. A direction on a cell reads
    // that cell exactly; the V = -90 row is read from its source, the V = +90 row reversed.
    double db(const Vector3& u, int bin) const;

private:
    double cellDb(int row, int column, int bin) const;
    const BalloonMatrix& matrix_;
    AngleGrid grid_;
};

// The orbit through the listener axis (axisH, axisV) rolled by rollDegrees, every grid step
// from -180 to +180 degrees, interpolated on the sphere.
OrbitLevels rotatedOrbitLevels(const BalloonMatrix& matrix, AngleGrid grid, double axisH, double axisV,
                               double rollDegrees);
// The same orbit every stepDegrees, read from any levels.
OrbitLevels rotatedOrbitLevels(const DirectionLevels& levels, int stepDegrees, double axisH, double axisV,
                               double rollDegrees);

} // namespace vantrel
