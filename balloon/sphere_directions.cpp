#include "balloon/sphere_directions.h"

#include <cmath>
#include <numbers>

namespace vantrel {

namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

// sin and cos of integer degrees, exact at multiples of 90 so that the axes and the planes
// come out without rounding residue (cos 90 = 6e-17 would tilt an azimuth).
double sinDegrees(int degrees)
{
    const int d = ((degrees % 360) + 360) % 360;
    switch (d) {
    case 0: case 180: return 0.0;
    case 90: return 1.0;
    case 270: return -1.0;
    default: return std::sin(d / kDegPerRad);
    }
}

double cosDegrees(int degrees) { return sinDegrees(degrees + 90); }

} // namespace

SphereDirection directionOf(int hDegrees, int vDegrees)
{
    SphereDirection d;
    d.hDegrees = hDegrees;
    d.vDegrees = vDegrees;
    const double sinH = sinDegrees(hDegrees);
    d.x = cosDegrees(hDegrees);
    d.y = sinH * cosDegrees(vDegrees);
    d.z = -sinH * sinDegrees(vDegrees);
    // -0.0 from a product would otherwise print as "-0".
    if (d.y == 0.0) d.y = 0.0;
    if (d.z == 0.0) d.z = 0.0;
    d.elevationDegrees = d.z >= 1.0 ? 90.0 : d.z <= -1.0 ? -90.0 : std::asin(d.z) * kDegPerRad;
    double azimuth = (d.x == 0.0 && d.y == 0.0) ? 0.0 : std::atan2(d.y, d.x) * kDegPerRad;
    if (azimuth < 0.0)
        azimuth += 360.0;
    if (azimuth >= 360.0)
        azimuth = 0.0;
    d.azimuthDegrees = azimuth;
    return d;
}

std::vector<SphereDirection> sphereDirections(AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    const int last = lastRow(grid);
    const int halfColumn = last; // the H = 180 column has the last row's index
    const int middleRow = rowForAngle(0, grid);

    std::vector<SphereDirection> out;
    out.reserve(static_cast<std::size_t>(2 + last * (2 * last - 2)));
    auto add = [&](int row, int column) {
        SphereDirection d = directionOf(column * step, 90 - row * step);
        d.cell = {row, column};
        out.push_back(d);
    };
    add(middleRow, 0);
    for (int row = 0; row < last; ++row)
        for (int column = 1; column < lastColumn(grid); ++column)
            if (column != halfColumn)
                add(row, column);
    add(middleRow, halfColumn);
    return out;
}

} // namespace vantrel
