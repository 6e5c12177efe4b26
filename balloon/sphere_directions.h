#pragma once
// The balloon grid as directions on the sphere, in one frame shared by every consumer.
//
// Grid geometry. Cell (row, column) is the turntable pair (H, V) with the measuring direction
// u = (sin H cos V, -sin H sin V, cos H) in the loudspeaker's own frame: +z its axis, +y up the
// front baffle (the simulated rig's tweeter sits at +y, above its woofer), +x = y cross z, the
// loudspeaker's left as seen from behind it.
//
// Output frame (the interchange frame): the loudspeaker at the origin looking along +x, +z up,
// +y to its left. It is the loudspeaker frame renamed (z -> x, x -> y, y -> z, a rotation):
//     x = cos H,   y = sin H cos V,   z = -sin H sin V.
// azimuth = atan2(y, x) in [0, 360), counter-clockwise seen from above (90 = left);
// elevation = asin(z) in [-90, +90] (positive up); azimuth 0 at the two poles.
// So V = 0 is the horizontal plane with H turning to the left (azimuth = H), and V = +90 is
// the vertical plane with H turning downward (elevation = -H for H <= 90).
//
// The grid repeats directions: every row holds the axis at H = 0 and the rear axis at H = 180,
// column H = 360 repeats H = 0, and the V = -90 row is the V = +90 row reversed. The unique
// directions are the axis, the rear axis and, for every row with -90 < V <= +90, each H other
// than 0, 180 and 360: 2 + 18 * 34 = 614 on the 10-degree grid, 2 + 36 * 70 = 2522 on the
// 5-degree grid.

#include <vector>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"

namespace vantrel {

struct SphereDirection {
    CellIndex cell;           // the cell the direction's response is taken from
    int hDegrees = 0;         // turntable 1 angle of that cell, 0..360
    int vDegrees = 0;         // turntable 2 angle of that cell, -90..+90
    double azimuthDegrees = 0;   // [0, 360)
    double elevationDegrees = 0; // [-90, +90]
    double x = 0, y = 0, z = 0;  // unit vector in the output frame
};

// Unit vector and angles of turntable angles (H, V) in the output frame. Multiples of 90
// degrees give exact values.
SphereDirection directionOf(int hDegrees, int vDegrees);

// Every unique direction of the grid once: first the axis (cell at V = 0, H = 0), then row by
// row from V = +90 down to the row above V = -90, H ascending without 0, 180 and 360, and last
// the rear axis (cell at V = 0, H = 180). Sources lie in rows 0..last-1, so the V = -90 row
// (on the 5-degree grid only ever a copy of row 0) is never read.
std::vector<SphereDirection> sphereDirections(AngleGrid grid);

} // namespace vantrel
