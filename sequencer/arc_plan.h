#pragma once
// The stops of a microphone arc's walk. The arc lies in the plane H turns in: with the
// turntables at (H, V), the microphone at arc angle a measures the direction (H + a, V). A stop
// is one turntable position; the plan keeps only the stops that, with the arc's angles, reach
// every unique direction of the grid (balloon/sphere_directions.h), each through whichever of
// its (H, V) pairs a microphone can reach, and names every cell each (stop, microphone) fills.
//
// Repeats. Several (stop, microphone) pairs may reach one direction (the axis at every V, the
// stops' overlaps). The first in the walk's order keeps it; every later one is a repeat, which
// the walk compares with the kept value for the arc's repeatability. A resumed walk thus keeps
// the same values as one never stopped.
//
// Stops: in each row from V = +90 down to the last row above V = -90 (which repeats V = +90
// reversed) a greedy cover of the H directions still missing. They are walked H by H in
// ascending order, V sweeping down at the first H, up at the next, and so on: turntable 1 is
// the slow one, and turns only when the arc needs another H.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"

namespace vantrel {

struct ArcReach {
    int microphone = 0;            // index on the arc
    std::vector<CellIndex> cells;  // every cell holding the direction, the first its own
    bool keeps = false;            // the first to reach the direction: its value is stored
};

struct ArcStop {
    int h = 0, v = 0;              // turntable angles, H in 0..355, V in +90..-85
    std::vector<ArcReach> reaches; // one per microphone whose direction lies on the grid
};

struct ArcPlan {
    AngleGrid grid = AngleGrid::Grid10;
    std::vector<ArcStop> stops;
    int directions = 0; // unique directions reached: all of them, 614 or 2522
    int repeats = 0;    // reaches that are not kept
};

// Nothing when every angle is a whole multiple of the grid's step within -180..+180 and no two
// are the same; else why not, naming the angle.
std::optional<std::string> arcAnglesProblem(std::span<const int> angles, AngleGrid grid);

// The plan for microphones at angles (checked by arcAnglesProblem).
ArcPlan planArcWalk(std::span<const int> angles, AngleGrid grid);

// The cells of the direction (hDegrees, vDegrees), both multiples of the grid's step, H any
// value, V in -90..+90: the axis and the rear axis fill their column in every row (and the
// H = 360 column the axis), V = -90 is V = +90 reversed. The first is the canonical cell.
std::vector<CellIndex> cellsOfDirection(int hDegrees, int vDegrees, AngleGrid grid);

} // namespace vantrel
