#include "analysis/orbit.h"

#include <cmath>

namespace vantrel {

std::optional<CellIndex> orbitCell(Plane plane, AngleGrid grid, int angle)
{
    const int step = gridStepDegrees(grid);
    if (angle % step != 0)
        return std::nullopt;
    // H as the turntable sees it, 0..359.
    int h = plane == Plane::Horizontal ? angle : -angle;
    h = ((h % 360) + 360) % 360;
    // The axis and the rear lie on both circles; like the sphere's directions they are read
    // from the V = 0 row.
    const bool shared = h == 0 || h == 180;
    const int row = plane == Plane::Horizontal || shared ? rowForAngle(0, grid) : 0;
    return CellIndex{row, columnForAngle(h, grid)};
}

std::vector<OrbitPoint> orbitPoints(Plane plane, AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    std::vector<OrbitPoint> points;
    for (int a = -180; a <= 180; a += step)
        points.push_back({a, *orbitCell(plane, grid, a)});
    return points;
}

double binPower(ComplexBin bin)
{
    const double re = bin.re;
    const double im = bin.im;
    return re * re + im * im;
}

double powerToDb(double power)
{
    // A level below the silent floor (or a NaN from a corrupt file) reads as silence.
    if (!(power > 1e-29))
        return kSilentDb;
    return 10.0 * std::log10(power) + 90.0;
}

bool cellHasData(const BalloonMatrix& matrix, CellIndex cell)
{
    const auto bins = matrix.cell(cell.row, cell.column);
    for (int b = 0; b < kDataBins; ++b) {
        const ComplexBin v = bins[static_cast<std::size_t>(b)];
        if (v.re != 0.0f || v.im != 0.0f)
            return true;
    }
    return false;
}

} // namespace vantrel
