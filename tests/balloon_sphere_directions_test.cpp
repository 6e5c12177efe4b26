#include <cmath>
#include <complex>
#include <numbers>
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "balloon/sphere_directions.h"
#include "platform/sim/loudspeaker.h"

namespace vantrel {
namespace {

double dot(const SphereDirection& a, const SphereDirection& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool sameDirection(const SphereDirection& a, const SphereDirection& b) { return dot(a, b) > 1.0 - 1e-12; }

TEST(SphereDirections, EachGridDirectionAppearsExactlyOnce)
{
    for (auto [grid, expected] : {std::pair{AngleGrid::Grid10, 614}, std::pair{AngleGrid::Grid5, 2522}}) {
        const auto dirs = sphereDirections(grid);
        ASSERT_EQ(static_cast<int>(dirs.size()), expected);

        // No two listed directions coincide.
        for (std::size_t i = 0; i < dirs.size(); ++i)
            for (std::size_t j = i + 1; j < dirs.size(); ++j)
                ASSERT_FALSE(sameDirection(dirs[i], dirs[j]))
                    << dirs[i].hDegrees << "/" << dirs[i].vDegrees << " vs " << dirs[j].hDegrees << "/" << dirs[j].vDegrees;

        // Every cell of the grid in use, the repeats included, is one of them.
        const int step = gridStepDegrees(grid);
        for (int row = 0; row <= lastRow(grid); ++row)
            for (int column = 0; column <= lastColumn(grid); ++column) {
                const auto d = directionOf(column * step, 90 - row * step);
                int matches = 0;
                for (const auto& listed : dirs)
                    matches += sameDirection(d, listed) ? 1 : 0;
                ASSERT_EQ(matches, 1) << "row " << row << " column " << column;
            }

        // A source cell holds the angles it is listed with, never in the V = -90 row.
        std::set<std::pair<int, int>> cells;
        for (const auto& d : dirs) {
            EXPECT_EQ(d.cell.row, rowForAngle(d.vDegrees, grid));
            EXPECT_EQ(d.cell.column, columnForAngle(d.hDegrees, grid));
            EXPECT_LT(d.cell.row, lastRow(grid));
            EXPECT_TRUE(cells.insert({d.cell.row, d.cell.column}).second);
        }
    }
}

TEST(SphereDirections, AnglesAgreeWithTheUnitVector)
{
    for (const auto& d : sphereDirections(AngleGrid::Grid5)) {
        EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z, 1.0, 1e-12);
        EXPECT_GE(d.azimuthDegrees, 0.0);
        EXPECT_LT(d.azimuthDegrees, 360.0);
        const double az = d.azimuthDegrees * std::numbers::pi / 180, el = d.elevationDegrees * std::numbers::pi / 180;
        EXPECT_NEAR(std::cos(el) * std::cos(az), d.x, 1e-12);
        EXPECT_NEAR(std::cos(el) * std::sin(az), d.y, 1e-12);
        EXPECT_NEAR(std::sin(el), d.z, 1e-12);
    }
}

TEST(SphereDirections, AxesAndPlanesLandExactly)
{
    struct Case { int h, v; double az, el; };
    for (const Case c : {Case{0, 0, 0, 0}, Case{0, 90, 0, 0}, Case{180, 0, 180, 0}, Case{90, 0, 90, 0},
                         Case{270, 0, 270, 0}, Case{30, 0, 30, 0}, Case{90, 90, 0, -90}, Case{270, 90, 0, 90},
                         Case{90, -90, 0, 90}, Case{30, -90, 0, 30}, Case{30, 90, 0, -30}, Case{150, 90, 180, -30},
                         Case{360, 40, 0, 0}}) {
        const auto d = directionOf(c.h, c.v);
        EXPECT_NEAR(d.azimuthDegrees, c.az, 1e-12) << c.h << "/" << c.v;
        EXPECT_NEAR(d.elevationDegrees, c.el, 1e-12) << c.h << "/" << c.v;
    }
    const auto axis = sphereDirections(AngleGrid::Grid10).front();
    EXPECT_EQ(axis.azimuthDegrees, 0.0);
    EXPECT_EQ(axis.elevationDegrees, 0.0);
    EXPECT_EQ(axis.cell, (CellIndex{9, 0}));
    const auto rear = sphereDirections(AngleGrid::Grid10).back();
    EXPECT_EQ(rear.azimuthDegrees, 180.0);
    EXPECT_EQ(rear.cell, (CellIndex{9, 18}));
}

// The simulated loudspeaker stacks its tweeter above its woofer and is symmetric left-right.
// So in the output frame its response must be unchanged by y -> -y and changed by z -> -z:
// the frame's z is the rig's up.
TEST(SphereDirections, FrameUpIsTheSimulatedRigsUp)
{
    const VirtualLoudspeaker speaker;
    const double hz = 2200; // crossover: both drivers sound, their spacing shows
    const auto dirs = sphereDirections(AngleGrid::Grid10);
    int mirroredLeftRight = 0, mirroredUpDown = 0;
    for (const auto& a : dirs)
        for (const auto& b : dirs) {
            const auto ra = speaker.response(hz, a.hDegrees, a.vDegrees);
            const auto rb = speaker.response(hz, b.hDegrees, b.vDegrees);
            if (std::abs(a.y) > 0.1 && std::abs(a.x - b.x) < 1e-9 && std::abs(a.z - b.z) < 1e-9 &&
                std::abs(a.y + b.y) < 1e-9) {
                EXPECT_LT(std::abs(ra - rb), 1e-9);
                ++mirroredLeftRight;
            }
            if (std::abs(a.z) > 0.3 && std::abs(a.x) > 0.3 && std::abs(a.x - b.x) < 1e-9 &&
                std::abs(a.y - b.y) < 1e-9 && std::abs(a.z + b.z) < 1e-9) {
                EXPECT_GT(std::abs(ra - rb), 0.05);
                ++mirroredUpDown;
            }
        }
    EXPECT_GT(mirroredLeftRight, 100);
    EXPECT_GT(mirroredUpDown, 20);

    // Straight up (H = 270 on the V = +90 row) the tweeter is nearer than the woofer by its
    // 0.14 m spacing: relative to the baffle centre it leads by k * 0.07 m.
    const auto up = directionOf(270, 90);
    ASSERT_EQ(up.elevationDegrees, 90.0);
    const double k = 2 * std::numbers::pi * 20000 / speaker.design().speedOfSound;
    const auto upResponse = speaker.response(20000, up.hDegrees, up.vDegrees);
    const auto downResponse = speaker.response(20000, 90, 90);
    // At 20 kHz the woofer is gone; what remains is the tweeter with its height phase.
    EXPECT_NEAR(std::arg(upResponse / downResponse), std::remainder(2 * k * 0.07, 2 * std::numbers::pi), 1e-3);
}

} // namespace
} // namespace vantrel
