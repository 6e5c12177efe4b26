#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "analysis/cta2034.h"
#include "platform/number_text.h"
#include "analysis/directivity.h"
#include "analysis/sphere_weights.h"
#include "analysis/tables.h"
#include "analysis_balloons.h"

namespace vantrel {
namespace {

using testing::BaffledPiston;
using testing::ka;
using testing::pistonDirectivityIndexDb;
using testing::synthesiseBalloon;

constexpr double kPistonRadius = 0.0273; // ka = 5 at about 10 kHz
const ValidBand kWholeAxis{};              // every point: these balloons are closed forms

// Same magnitude in every direction; the phase and level vary with frequency only.
std::complex<double> omni(double hz, double, double)
{
    return std::polar(0.3 + 0.5 * std::sin(hz * 1e-3), hz * 1e-4);
}

class BothGrids : public ::testing::TestWithParam<AngleGrid> {};
INSTANTIATE_TEST_SUITE_P(Analysis, BothGrids, ::testing::Values(AngleGrid::Grid5, AngleGrid::Grid10));

TEST_P(BothGrids, SolidAnglesTileTheSphereOnceEach)
{
    const AngleGrid grid = GetParam();
    const auto directions = sphereWeights(grid);
    double total = 0.0;
    std::set<std::pair<int, int>> cells;
    for (const WeightedDirection& d : directions) {
        EXPECT_GT(d.solidAngle, 0.0);
        EXPECT_LT(d.direction.cell.row, lastRow(grid));
        EXPECT_NE(d.direction.cell.column, lastColumn(grid));
        total += d.solidAngle;
        cells.insert({d.direction.cell.row, d.direction.cell.column});
    }
    EXPECT_EQ(cells.size(), directions.size());
    EXPECT_NEAR(total, 4.0 * std::numbers::pi, 1e-12);
    const int last = lastRow(grid);
    EXPECT_EQ(directions.size(), static_cast<std::size_t>(2 + last * (2 * last - 2)));
}

TEST_P(BothGrids, OmnidirectionalSourceHasNoDirectivityAndNoBeamwidth)
{
    const AngleGrid grid = GetParam();
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(grid, axis, omni);
    const auto rows = directivityTable(m, grid, axis, kWholeAxis);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kDataBins));
    for (const DirectivityRow& r : rows) {
        EXPECT_NEAR(r.directivityIndexDb, 0.0, 0.05) << r.frequencyHz;
        EXPECT_NEAR(r.soundPowerDb, r.onAxisDb, 0.05);
        EXPECT_FALSE(r.beamwidthHorizontal.has_value());
        EXPECT_FALSE(r.beamwidthVertical.has_value());
    }
}

// The integrated DI of the baffled piston against 10 log10((ka)^2 / (1 - J1(2ka)/ka)). Returns
// the largest error over 0.1 <= ka <= 5.
double worstPistonDiError(AngleGrid grid)
{
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(grid, axis, BaffledPiston{kPistonRadius});
    const auto rows = directivityTable(m, grid, axis, kWholeAxis);
    double worst = 0.0;
    int checked = 0;
    for (const DirectivityRow& r : rows) {
        const double x = ka(r.frequencyHz, kPistonRadius);
        if (x < 0.1 || x > 5.0)
            continue;
        ++checked;
        worst = std::max(worst, std::abs(r.directivityIndexDb - pistonDirectivityIndexDb(x)));
    }
    EXPECT_GT(checked, 300);
    return worst;
}

TEST(PistonDirectivity, IntegratedDiMatchesTheClosedFormOnTheFiveDegreeGrid)
{
    const double worst = worstPistonDiError(AngleGrid::Grid5);
    RecordProperty("worst_error_db", cleanFixedText(worst, 3));
    EXPECT_LT(worst, 0.3);
}

TEST(PistonDirectivity, IntegratedDiOnTheTenDegreeGridStaysWithinItsMeasuredError)
{
    // Measured: 0.37 dB, nearly all of it the 90-degree band that straddles the silent rear
    // (half of it is counted at the front's level); 0.19 dB on the 5-degree grid.
    const double worst = worstPistonDiError(AngleGrid::Grid10);
    RecordProperty("worst_error_db", cleanFixedText(worst, 3));
    EXPECT_LT(worst, 0.4);
}

TEST_P(BothGrids, PistonBeamwidthMeetsTheHalfAmplitudeAngleWithinOneStep)
{
    const AngleGrid grid = GetParam();
    const int step = gridStepDegrees(grid);
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(grid, axis, BaffledPiston{kPistonRadius});
    const auto rows = directivityTable(m, grid, axis, kWholeAxis);
    int checked = 0;
    for (const DirectivityRow& r : rows) {
        const double x = ka(r.frequencyHz, kPistonRadius);
        // 2 J1(x)/x = 0.5 at x = 2.215: the -6 dB angle is asin(2.215 / ka).
        if (x <= 2.215)
            continue;
        const double half = std::asin(2.215 / x) * 180.0 / std::numbers::pi;
        if (half > 90.0 - step)
            continue;
        ++checked;
        ASSERT_TRUE(r.beamwidthHorizontal.has_value()) << r.frequencyHz;
        ASSERT_TRUE(r.beamwidthVertical.has_value()) << r.frequencyHz;
        EXPECT_NEAR(*r.beamwidthHorizontal, 2.0 * half, step) << r.frequencyHz;
        EXPECT_NEAR(*r.beamwidthVertical, 2.0 * half, step) << r.frequencyHz;
    }
    EXPECT_GT(checked, 100);
}

TEST(Orbits, VerticalAnglesCountUpTheBaffleAndHorizontalOnesTowardPlusX)
{
    // Louder towards +y (up the baffle) and towards +x: u_y and u_x from the grid geometry.
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [](double, double h, double v) {
        const double hr = h * std::numbers::pi / 180.0, vr = v * std::numbers::pi / 180.0;
        const double uy = -std::sin(hr) * std::sin(vr);
        const double ux = std::sin(hr) * std::cos(vr);
        return std::complex<double>(2.0 + uy + 0.5 * ux, 0.0);
    });
    const OrbitLevels vertical = orbitLevels(m, Plane::Vertical, AngleGrid::Grid10);
    const OrbitLevels horizontal = orbitLevels(m, Plane::Horizontal, AngleGrid::Grid10);
    auto level = [](const OrbitLevels& o, int angle) {
        for (std::size_t i = 0; i < o.angles.size(); ++i)
            if (o.angles[i] == angle)
                return o.db[i][100];
        return 0.0;
    };
    EXPECT_NEAR(level(vertical, 90), 90.0 + 20.0 * std::log10(3.0), 1e-4);
    EXPECT_NEAR(level(vertical, -90), 90.0, 1e-4);
    EXPECT_NEAR(level(horizontal, 90), 90.0 + 20.0 * std::log10(2.5), 1e-4);
    EXPECT_NEAR(level(horizontal, -90), 90.0 + 20.0 * std::log10(1.5), 1e-4);
    EXPECT_EQ(level(vertical, 180), level(horizontal, -180));
    EXPECT_EQ(vertical.angles.front(), -180);
    EXPECT_EQ(vertical.angles.back(), 180);
}

TEST_P(BothGrids, CtaCurvesOfAnOmnidirectionalSourceAllEqualOnAxis)
{
    const AngleGrid grid = GetParam();
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(grid, axis, omni);
    EXPECT_FALSE(cta2034Refusal(m, grid).has_value());
    for (const Cta2034Row& r : cta2034Curves(m, grid, axis, kWholeAxis)) {
        EXPECT_NEAR(r.listeningWindow, r.onAxis, 1e-9);
        EXPECT_NEAR(r.earlyReflections, r.onAxis, 1e-9);
        EXPECT_NEAR(r.soundPower, r.onAxis, 1e-9);
        EXPECT_NEAR(r.predictedInRoom, r.onAxis, 1e-9);
        EXPECT_NEAR(r.soundPowerDi, 0.0, 1e-9);
        EXPECT_NEAR(r.earlyReflectionsDi, 0.0, 1e-9);
    }
}

TEST(Cta2034, SimulatedRigCurvesAreFiniteOrderedAndPredictedInRoomIsTheirWeighting)
{
    const VirtualLoudspeaker speaker;
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return speaker.response(hz, h, v);
    });
    auto power = [](double db) { return std::pow(10.0, db / 10.0); };
    for (const Cta2034Row& r : cta2034Curves(m, AngleGrid::Grid10, axis, kWholeAxis)) {
        for (double v : {r.onAxis, r.listeningWindow, r.earlyReflections, r.soundPower, r.predictedInRoom,
                         r.soundPowerDi, r.earlyReflectionsDi})
            ASSERT_TRUE(std::isfinite(v)) << r.frequencyHz;
        if (r.frequencyHz > 1000.0) {
            EXPECT_LT(r.soundPower, r.listeningWindow) << r.frequencyHz;
            EXPECT_LT(r.earlyReflections, r.listeningWindow) << r.frequencyHz;
        }
        const double weighted = 0.12 * power(r.listeningWindow) + 0.44 * power(r.earlyReflections) +
                                0.44 * power(r.soundPower);
        EXPECT_NEAR(r.predictedInRoom, 10.0 * std::log10(weighted), 1e-9);
        EXPECT_DOUBLE_EQ(r.soundPowerDi, r.listeningWindow - r.soundPower);
        EXPECT_DOUBLE_EQ(r.earlyReflectionsDi, r.listeningWindow - r.earlyReflections);
    }
}

TEST(Cta2034, OrbitSoundPowerMatchesThePistonsClosedForm)
{
    // The standard's 70 weighted orbit points against the closed-form radiated power of the
    // baffled piston (on-axis level minus its DI).
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, BaffledPiston{kPistonRadius});
    double worst = 0.0;
    for (const Cta2034Row& r : cta2034Curves(m, AngleGrid::Grid10, axis, kWholeAxis)) {
        const double x = ka(r.frequencyHz, kPistonRadius);
        if (x < 0.1 || x > 5.0)
            continue;
        worst = std::max(worst, std::abs(r.soundPower - (r.onAxis - pistonDirectivityIndexDb(x))));
    }
    // Measured: 0.68 dB, from the 90-degree points that carry a full weight at the front's
    // level next to the silent rear.
    RecordProperty("worst_error_db", cleanFixedText(worst, 3));
    EXPECT_LT(worst, 0.75);
}

TEST(Cta2034, RefusedWhenAnOrbitCellHoldsNoMeasurement)
{
    const FrequencyAxis axis;
    BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, omni);
    // The vertical orbit's +40 degrees (up) is H = 320 on the V = +90 row.
    for (ComplexBin& bin : m.cell(0, 32))
        bin = {0.0f, 0.0f};
    const auto refusal = cta2034Refusal(m, AngleGrid::Grid10);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_NE(refusal->find("vertical angle 40 degrees"), std::string::npos) << *refusal;

    // The 5-degree grid reads its orbits from the same angles; an empty balloon has none.
    const auto empty = BalloonMatrix::create();
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(cta2034Refusal(*empty, AngleGrid::Grid5).has_value());
}

TEST(Tables, OneLinePerAxisFrequencyAfterTheHeaderWithDashesForNoBeamwidth)
{
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, omni);
    const std::string text = directivityText(directivityTable(m, AngleGrid::Grid10, axis, kWholeAxis), "omni.BAL", AngleGrid::Grid10, {});
    std::istringstream lines(text);
    std::string line;
    int headers = 0, data = 0;
    while (std::getline(lines, line)) {
        if (line.starts_with("#")) {
            EXPECT_EQ(data, 0) << "header after data";
            ++headers;
            continue;
        }
        ++data;
        std::istringstream fields(line);
        std::string f[7];
        int n = 0;
        while (n < 7 && fields >> f[n])
            ++n;
        ASSERT_EQ(n, 6) << line;
        EXPECT_EQ(f[3], "0.00");
        EXPECT_EQ(f[4], "-");
        EXPECT_EQ(f[5], "-");
        if (data == 1) {
            EXPECT_EQ(f[0], cleanFixedText(axis[0], 2));
        }
    }
    EXPECT_GE(headers, 2);
    EXPECT_EQ(data, kDataBins);
    EXPECT_NE(text.find("614 unique directions"), std::string::npos);

    const std::string cta = cta2034Text(cta2034Curves(m, AngleGrid::Grid10, axis, kWholeAxis), "omni.BAL", "", {}, {});
    std::istringstream ctaLines(cta);
    int ctaData = 0;
    while (std::getline(ctaLines, line))
        if (!line.starts_with("#")) {
            ++ctaData;
            std::istringstream fields(line);
            std::string field;
            int n = 0;
            while (fields >> field)
                ++n;
            EXPECT_EQ(n, 8) << line;
        }
    EXPECT_EQ(ctaData, kDataBins);
}

TEST(DecimalText, FixedDigitsWithoutANegativeZero)
{
    EXPECT_EQ(cleanFixedText(1234.5678, 2), "1234.57");
    EXPECT_EQ(cleanFixedText(-0.001, 2), "0.00");
    EXPECT_EQ(cleanFixedText(-3.25, 1), "-3.2");
    EXPECT_EQ(cleanFixedText(90.0, 0), "90");
}

} // namespace
} // namespace vantrel
