#pragma once
// The two great circles through the axis that the plots and the CTA-2034-A curves read: the
// horizontal orbit (the V = 0 row) and the vertical one (the V = +90 row, which sweeps the
// y-z plane). Angles run -180..+180 degrees; on the horizontal orbit +a is H = a, on the
// vertical orbit +a points up the baffle, which is H = -a on the V = +90 row.

#include <optional>
#include <span>
#include <vector>

#include "balloon/balloon_matrix.h"

namespace vantrel {

enum class Plane { Horizontal, Vertical };

struct OrbitPoint {
    int angle = 0; // degrees, -180..+180
    CellIndex cell;
};

// Points from -180 to +180 in grid steps; -180 and +180 are the same cell (the rear).
std::vector<OrbitPoint> orbitPoints(Plane plane, AngleGrid grid);

// The cell of an orbit angle (any multiple of the grid step, taken modulo 360); nothing when
// the angle is not on the grid.
std::optional<CellIndex> orbitCell(Plane plane, AngleGrid grid, int angle);

// Level in dB of a stored bin: 90 dB at magnitude 1, as the measurement stores it. A silent
// bin reads kSilentDb.
inline constexpr double kSilentDb = -200.0;
double binPower(ComplexBin bin);
double powerToDb(double power);
inline double binDb(ComplexBin bin) { return powerToDb(binPower(bin)); }

// True when some data bin of the cell is not zero: the cell has been measured or filled.
bool cellHasData(const BalloonMatrix& matrix, CellIndex cell);

} // namespace vantrel
