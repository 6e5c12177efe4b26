#include "analysis/sphere_levels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vantrel {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;

} // namespace

Vector3 listenerDirection(double hDegrees, double vDegrees)
{
    const double h = hDegrees * kRad, v = vDegrees * kRad;
    return {std::sin(h) * std::cos(v), std::sin(v), std::cos(h) * std::cos(v)};
}

Vector3 orbitDirection(double axisH, double axisV, double rollDegrees, double angleDegrees)
{
    // On the untilted axis: u = (sin a cos r, sin a sin r, cos a). Then the tilt: first up by
    // axisV (about -x), then left by axisH (about +y), which takes +z to the listener axis.
    const double a = angleDegrees * kRad, r = rollDegrees * kRad;
    const Vector3 p{std::sin(a) * std::cos(r), std::sin(a) * std::sin(r), std::cos(a)};
    const double v = axisV * kRad, h = axisH * kRad;
    const Vector3 q{p.x, p.y * std::cos(v) + p.z * std::sin(v), -p.y * std::sin(v) + p.z * std::cos(v)};
    return {q.x * std::cos(h) + q.z * std::sin(h), q.y, -q.x * std::sin(h) + q.z * std::cos(h)};
}

double SphereLevels::cellDb(int row, int column, int bin) const
{
    // The V = -90 row repeats the V = +90 row in the opposite sense; read its source, which is
    // measured on every grid (the -90 row of the 5-degree grid is only ever a copy).
    if (row == lastRow(grid_)) {
        row = 0;
        column = lastColumn(grid_) - column;
    }
    return binDb(matrix_.cell(row, column)[static_cast<std::size_t>(bin)]);
}

GridPlace gridPlace(const Vector3& u, AngleGrid grid)
{
    // Turntable angles: cos H = u_z with H in 0..180, then V = atan2(-u_y, u_x); a V beyond
    // +-90 is the same direction as (360 - H, V -+ 180).
    double hDeg = std::acos(std::clamp(u.z, -1.0, 1.0)) / kRad;
    double vDeg = 0.0;
    if (std::hypot(u.x, u.y) > 1e-12)
        vDeg = std::atan2(-u.y, u.x) / kRad;
    if (vDeg > 90.0) {
        vDeg -= 180.0;
        hDeg = 360.0 - hDeg;
    } else if (vDeg < -90.0) {
        vDeg += 180.0;
        hDeg = 360.0 - hDeg;
    }
    const double step = gridStepDegrees(grid);
    return {std::clamp((90.0 - vDeg) / step, 0.0, static_cast<double>(lastRow(grid))),
            std::clamp(hDeg / step, 0.0, static_cast<double>(lastColumn(grid)))};
}

double SphereLevels::db(const Vector3& u, int bin) const
{
    const GridPlace place = gridPlace(u, grid_);
    const double c = place.column, r = place.row;
    const int c0 = std::min(static_cast<int>(c), lastColumn(grid_) - 1);
    const int r0 = std::min(static_cast<int>(r), lastRow(grid_) - 1);
    const double tc = c - c0, tr = r - r0;
    auto at = [&](int row, int column, double weight) { return weight == 0.0 ? 0.0 : weight * cellDb(row, column, bin); };
    return at(r0, c0, (1 - tr) * (1 - tc)) + at(r0, c0 + 1, (1 - tr) * tc) + at(r0 + 1, c0, tr * (1 - tc)) +
           at(r0 + 1, c0 + 1, tr * tc);
}

void SphereLevels::levels(const Vector3& u, std::array<double, kDataBins>& out) const
{
    for (int b = 0; b < kDataBins; ++b)
        out[static_cast<std::size_t>(b)] = db(u, b);
}

OrbitLevels rotatedOrbitLevels(const BalloonMatrix& matrix, AngleGrid grid, double axisH, double axisV,
                               double rollDegrees)
{
    return rotatedOrbitLevels(SphereLevels(matrix, grid), gridStepDegrees(grid), axisH, axisV, rollDegrees);
}

OrbitLevels rotatedOrbitLevels(const DirectionLevels& levels, int stepDegrees, double axisH, double axisV,
                               double rollDegrees)
{
    OrbitLevels out;
    for (int a = -180; a <= 180; a += stepDegrees) {
        out.angles.push_back(a);
        levels.levels(orbitDirection(axisH, axisV, rollDegrees, a), out.db.emplace_back());
    }
    return out;
}

} // namespace vantrel
