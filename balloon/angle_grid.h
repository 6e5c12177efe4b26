#pragma once
// The two measuring grids the matrix serves. A row is a vertical angle V (turntable 2),
// V = 90 - step * row; a column is a horizontal angle H (turntable 1), H = step * column.
// Row 0 is V = +90 degrees, column 0 is H = 0; H = 360 has a column of its own.

#include <cstdint>

namespace vantrel {

enum class AngleGrid : std::int32_t { Grid5 = 0, Grid10 = 1 };

// The flag is stored as a raw int32 (radio buttons, balloon file trailer); only 1 selects
// the 10-degree grid, every other value the 5-degree grid.
constexpr AngleGrid angleGridFromFlag(std::int32_t flag)
{
    return flag == 1 ? AngleGrid::Grid10 : AngleGrid::Grid5;
}

constexpr std::int32_t angleGridFlag(AngleGrid grid) { return grid == AngleGrid::Grid10 ? 1 : 0; }

constexpr int gridStepDegrees(AngleGrid grid) { return grid == AngleGrid::Grid10 ? 10 : 5; }

// The V = -90 row and the H = 360 column: 36 and 72 on the 5-degree grid, 18 and 36 on the
// 10-degree grid. The last row's index also equals the H = 180 column's.
constexpr int lastRow(AngleGrid grid) { return grid == AngleGrid::Grid10 ? 18 : 36; }
constexpr int lastColumn(AngleGrid grid) { return grid == AngleGrid::Grid10 ? 36 : 72; }

// row = 18 - V/5 or 9 - V/10; integer division truncates toward zero, so V = -7 gives row
// 19 on the 5-degree grid. No range check: callers decide what an off-grid index means.
constexpr int rowForAngle(int vDegrees, AngleGrid grid)
{
    return grid == AngleGrid::Grid10 ? 9 - vDegrees / 10 : 18 - vDegrees / 5;
}

// column = H/5 or H/10, truncated toward zero (H = 7 gives column 1, H = -5 column -1).
constexpr int columnForAngle(int hDegrees, AngleGrid grid)
{
    return hDegrees / gridStepDegrees(grid);
}

} // namespace vantrel
