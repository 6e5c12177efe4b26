#pragma once
// The projected balloon surface and the painter that fills one of its columns with colour
// squares at the density of the colour mode.

#include <array>

#include "balloon/angle_grid.h"
#include "platform/canvas.h"

namespace vantrel {

// One projected cell: screen x and y in client pixels, z (kept 0), the cell's level (already
// clamped at 0) and a flag the painter does not read.
struct ScreenGridPoint {
    float x = 0;
    float y = 0;
    float z = 0;
    float level = 0;
    float flag = 0;
};
static_assert(sizeof(ScreenGridPoint) == 20);

inline constexpr int kScreenGridSize = 100;
// Indexed [row][column] with the balloon cell's row and column of the current grid.
using ScreenPointGrid = std::array<std::array<ScreenGridPoint, kScreenGridSize>, kScreenGridSize>;

// Paints rows 0..n-1 of one column, n = 36 (Grid5) or 18 (Grid10); every row reads row r + 1
// and the neighbouring column (column + 1 left of column n, column - 1 right of it).
//   Raw:    one square per grid point.
//   Coarse: the point plus three midpoints towards the next row, the next column and the
//           cell centre.
//   Fine:   the point plus 15 points of a 4 x 4 subdivision of the cell, each the average of
//           two points already known.
// In Coarse and Fine the column n (H = 180) shows only its row-0 point. Other view modes, or
// a column whose neighbour lies outside the grid, draw nothing.
void drawColourColumn(Canvas& canvas, const ScreenPointGrid& points, AngleGrid grid, int column,
                      int colourScale, int viewMode);

} // namespace vantrel
