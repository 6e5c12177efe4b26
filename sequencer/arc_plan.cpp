#include "sequencer/arc_plan.h"

#include <algorithm>
#include <set>

namespace vantrel {

namespace {

int wrap360(int degrees) { return ((degrees % 360) + 360) % 360; }

// One key per unique direction: the canonical cell.
int keyOf(const CellIndex& c, AngleGrid grid) { return c.row * (lastColumn(grid) + 1) + c.column; }

} // namespace

std::vector<CellIndex> cellsOfDirection(int hDegrees, int vDegrees, AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    int h = wrap360(hDegrees), v = vDegrees;
    std::vector<CellIndex> cells;
    if (h == 0 || h == 180) {
        const int column = h / step;
        cells.push_back({rowForAngle(0, grid), column});
        for (int row = 0; row <= lastRow(grid); ++row) {
            if (row != rowForAngle(0, grid))
                cells.push_back({row, column});
            if (h == 0)
                cells.push_back({row, lastColumn(grid)});
        }
        return cells;
    }
    if (v == -90) { // the same great circle as V = +90, swept the other way
        v = 90;
        h = 360 - h;
    }
    cells.push_back({rowForAngle(v, grid), h / step});
    if (v == 90)
        cells.push_back({lastRow(grid), (360 - h) / step});
    return cells;
}

std::optional<std::string> arcAnglesProblem(std::span<const int> angles, AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    std::set<int> seen;
    if (angles.empty())
        return std::string("the arc has no microphone");
    for (const int a : angles) {
        if (a < -180 || a > 180)
            return "the angle " + std::to_string(a) + " lies outside -180..180 degrees";
        if (a % step != 0)
            return "the angle " + std::to_string(a) + " is not on the " + std::to_string(step) + "-degree grid";
        if (!seen.insert(wrap360(a)).second)
            return "the angle " + std::to_string(a) + " repeats a direction of another microphone";
    }
    return std::nullopt;
}

ArcPlan planArcWalk(std::span<const int> angles, AngleGrid grid)
{
    ArcPlan plan;
    plan.grid = grid;
    const int step = gridStepDegrees(grid);
    // One set of H for every row: a greedy cover of the whole circle by the arc's angles.
    std::vector<int> cover;
    {
        std::set<int> missing;
        for (int h = 0; h < 360; h += step)
            missing.insert(h);
        while (!missing.empty()) {
            int bestH = 0;
            std::size_t best = 0;
            for (int h = 0; h < 360; h += step) {
                std::size_t n = 0;
                for (const int a : angles)
                    n += missing.contains(wrap360(h + a));
                if (n > best) {
                    best = n;
                    bestH = h;
                }
            }
            cover.push_back(bestH);
            for (const int a : angles)
                missing.erase(wrap360(bestH + a));
        }
    }
    // In each row the stops of the cover that reach a direction not reached before (the axes
    // are reached in the first row).
    std::set<int> reached; // keys of the directions a stop has reached
    for (int row = 0; row < lastRow(grid); ++row) {
        const int v = 90 - row * step;
        for (const int h : cover) {
            bool adds = false;
            for (const int a : angles)
                adds = reached.insert(keyOf(cellsOfDirection(h + a, v, grid).front(), grid)).second || adds;
            if (adds)
                plan.stops.push_back({h, v, {}});
        }
    }
    // Turntable 1 turns slowly (34 s for 90 degrees): the walk goes H by H, sweeping V down
    // and up again in turn, so that it turns only as often as the arc needs another H.
    std::stable_sort(plan.stops.begin(), plan.stops.end(), [](const ArcStop& a, const ArcStop& b) { return a.h < b.h; });
    bool down = true;
    for (auto first = plan.stops.begin(); first != plan.stops.end();) {
        const auto last = std::find_if(first, plan.stops.end(), [&](const ArcStop& s) { return s.h != first->h; });
        if (!down)
            std::reverse(first, last);
        down = !down;
        first = last;
    }
    // Keeping follows the walk's order, whatever the greedy choice's order was.
    std::set<int> kept;
    for (ArcStop& stop : plan.stops)
        for (std::size_t m = 0; m < angles.size(); ++m) {
            ArcReach r;
            r.microphone = static_cast<int>(m);
            r.cells = cellsOfDirection(stop.h + angles[m], stop.v, grid);
            r.keeps = kept.insert(keyOf(r.cells.front(), grid)).second;
            plan.repeats += r.keeps ? 0 : 1;
            stop.reaches.push_back(std::move(r));
        }
    plan.directions = static_cast<int>(kept.size());
    return plan;
}

} // namespace vantrel
