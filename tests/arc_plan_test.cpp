// The arc's stop planner: every cell of the grid filled once, by a microphone that truly
// measures its direction (checked against the grid's own geometry), with as few stops as the
// arc allows.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "balloon/sphere_directions.h"
#include "sequencer/arc_plan.h"

namespace vantrel {
namespace {

std::vector<int> arcAngles(int count, int step, int first = 0)
{
    std::vector<int> a;
    for (int m = 0; m < count; ++m)
        a.push_back(first + m * step);
    return a;
}

bool sameDirection(const SphereDirection& a, const SphereDirection& b)
{
    return std::abs(a.x - b.x) < 1e-12 && std::abs(a.y - b.y) < 1e-12 && std::abs(a.z - b.z) < 1e-12;
}

TEST(ArcPlan, EveryCellFilledOnceByAMicrophoneFacingIt)
{
    struct Case {
        const char* name;
        std::vector<int> angles;
        AngleGrid grid;
        std::size_t stops; // 0: not checked, only bounded by one microphone's
    };
    const Case cases[] = {
        {"1 microphone, 10 deg", {0}, AngleGrid::Grid10, 614},
        {"1 microphone, 5 deg", {0}, AngleGrid::Grid5, 2522},
        {"8 at 5 deg", arcAngles(8, 5), AngleGrid::Grid5, 0},
        {"8 at 10 deg", arcAngles(8, 10), AngleGrid::Grid10, 0},
        {"37 at 5 deg", arcAngles(37, 5), AngleGrid::Grid5, 72},
        {"19 at 10 deg", arcAngles(19, 10), AngleGrid::Grid10, 36},
        {"37 at 5 deg on the 10-degree grid", arcAngles(37, 5), AngleGrid::Grid10, 0},
        {"coarse: 8 at 20 deg, 5-degree grid", arcAngles(8, 20), AngleGrid::Grid5, 0},
        {"coarse: 5 at 40 deg, 10-degree grid", arcAngles(5, 40), AngleGrid::Grid10, 0},
        {"symmetric: 19 at 10 deg from -90", arcAngles(19, 10, -90), AngleGrid::Grid10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int step = gridStepDegrees(c.grid);
        std::vector<int> valid;
        for (const int a : c.angles)
            if (a % step == 0)
                valid.push_back(a);
        ASSERT_FALSE(arcAnglesProblem(valid, c.grid)) << *arcAnglesProblem(valid, c.grid);
        const ArcPlan plan = planArcWalk(valid, c.grid);
        const int rows = lastRow(c.grid) + 1, columns = lastColumn(c.grid) + 1;
        std::vector<int> kept(static_cast<std::size_t>(rows * columns), 0);
        for (const ArcStop& stop : plan.stops) {
            ASSERT_EQ(stop.reaches.size(), valid.size());
            for (const ArcReach& r : stop.reaches) {
                const SphereDirection heard = directionOf(stop.h + valid[static_cast<std::size_t>(r.microphone)], stop.v);
                for (const CellIndex& cell : r.cells) {
                    ASSERT_TRUE(sameDirection(heard, directionOf(cell.column * step, 90 - cell.row * step)))
                        << "stop H=" << stop.h << " V=" << stop.v << " microphone " << r.microphone << " cell "
                        << cell.row << "," << cell.column;
                    if (r.keeps)
                        ++kept[static_cast<std::size_t>(cell.row * columns + cell.column)];
                }
            }
        }
        for (int i = 0; i < rows * columns; ++i)
            ASSERT_EQ(kept[static_cast<std::size_t>(i)], 1) << "cell " << i / columns << "," << i % columns;
        EXPECT_EQ(plan.directions, c.grid == AngleGrid::Grid5 ? 2522 : 614);
        if (c.stops)
            EXPECT_EQ(plan.stops.size(), c.stops);
        else
            EXPECT_LE(plan.stops.size() * valid.size(), 2u * static_cast<std::size_t>(plan.directions));
        EXPECT_EQ(static_cast<int>(plan.stops.size() * valid.size()) - plan.repeats, plan.directions);
    }
}

TEST(ArcPlan, StopsWalkHByHWithVSweepingDownAndUp)
{
    for (const auto& angles : {arcAngles(8, 20), arcAngles(19, 10)}) {
        const ArcPlan plan = planArcWalk(angles, AngleGrid::Grid10);
        int sweeps = 1;
        bool down = true;
        for (std::size_t i = 1; i < plan.stops.size(); ++i) {
            const ArcStop &a = plan.stops[i - 1], &b = plan.stops[i];
            ASSERT_LE(a.h, b.h);
            if (a.h != b.h) {
                ++sweeps;
                down = !down;
                continue;
            }
            EXPECT_EQ(down, a.v > b.v) << "H=" << a.h << " V=" << a.v;
        }
        if (angles.size() == 19) { // the half circle from the axis to the rear: H = 0 and H = 180
            EXPECT_EQ(sweeps, 2);
        }
    }
}

TEST(ArcPlan, AngleRefusals)
{
    struct Case {
        std::vector<int> angles;
        AngleGrid grid;
        const char* says; // nullptr: accepted
    };
    const Case cases[] = {
        {{0, 5, 10}, AngleGrid::Grid5, nullptr},
        {{0, 5, 10}, AngleGrid::Grid10, "the angle 5 is not on the 10-degree grid"},
        {{0, 7}, AngleGrid::Grid5, "the angle 7 is not on the 5-degree grid"},
        {{0, 190}, AngleGrid::Grid5, "the angle 190 lies outside -180..180 degrees"},
        {{-180, 180}, AngleGrid::Grid10, "the angle 180 repeats a direction of another microphone"},
        {{20, 20}, AngleGrid::Grid10, "the angle 20 repeats a direction of another microphone"},
        {{}, AngleGrid::Grid10, "the arc has no microphone"},
    };
    for (const Case& c : cases) {
        const auto problem = arcAnglesProblem(c.angles, c.grid);
        EXPECT_EQ(problem.value_or(""), c.says ? c.says : "");
    }
}

} // namespace
} // namespace vantrel
