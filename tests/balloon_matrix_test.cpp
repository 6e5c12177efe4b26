#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "balloon/balloon_matrix.h"
#include "balloon/selection_state.h"

namespace vantrel {
namespace {

using Response = std::array<float, kDataBins>;

Response filled(float value)
{
    Response r;
    r.fill(value);
    return r;
}

// Every bin of a cell gets a distinct, recognisable value.
void stamp(BalloonMatrix& m, int row, int column, float tag)
{
    auto cell = m.cell(row, column);
    for (int b = 0; b < kCellBins; ++b)
        cell[static_cast<std::size_t>(b)] = {tag + static_cast<float>(b), -tag};
}

bool sameBits(std::span<const ComplexBin> a, std::span<const ComplexBin> b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

class BalloonMatrixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto created = BalloonMatrix::create();
        ASSERT_TRUE(created.has_value());
        matrix.emplace(std::move(*created));
    }
    BalloonMatrix& m() { return *matrix; }
    std::optional<BalloonMatrix> matrix;
};

TEST(AngleGrid, OnlyFlagOneSelectsTheTenDegreeGrid)
{
    EXPECT_EQ(angleGridFromFlag(0), AngleGrid::Grid5);
    EXPECT_EQ(angleGridFromFlag(1), AngleGrid::Grid10);
    EXPECT_EQ(angleGridFromFlag(2), AngleGrid::Grid5);
    EXPECT_EQ(angleGridFromFlag(-1), AngleGrid::Grid5);
}

TEST(AngleGrid, IndexesTruncateTowardZero)
{
    EXPECT_EQ(rowForAngle(90, AngleGrid::Grid5), 0);
    EXPECT_EQ(rowForAngle(0, AngleGrid::Grid5), 18);
    EXPECT_EQ(rowForAngle(-90, AngleGrid::Grid5), 36);
    EXPECT_EQ(rowForAngle(-7, AngleGrid::Grid5), 19);
    EXPECT_EQ(rowForAngle(7, AngleGrid::Grid5), 17);
    EXPECT_EQ(rowForAngle(95, AngleGrid::Grid5), -1);
    EXPECT_EQ(rowForAngle(-90, AngleGrid::Grid10), 18);
    EXPECT_EQ(rowForAngle(-15, AngleGrid::Grid10), 10);
    EXPECT_EQ(columnForAngle(7, AngleGrid::Grid5), 1);
    EXPECT_EQ(columnForAngle(-5, AngleGrid::Grid5), -1);
    EXPECT_EQ(columnForAngle(-4, AngleGrid::Grid5), 0);
    EXPECT_EQ(columnForAngle(360, AngleGrid::Grid5), 72);
    EXPECT_EQ(columnForAngle(360, AngleGrid::Grid10), 36);
    EXPECT_EQ(columnForAngle(19, AngleGrid::Grid10), 1);
}

TEST(LevelRule, EncodingAndLevelsOfStoredValues)
{
    const ComplexBin unit = encodeBin(90.0f, 0.0f);
    EXPECT_EQ(unit.re, 1.0f);
    EXPECT_EQ(unit.im, 0.0f);
    EXPECT_FLOAT_EQ(cellLevel(unit), 40.0f);

    // The measurement turns radians into degrees with 57.288, so 57.288 degrees is 1 radian.
    const ComplexBin oneRadian = encodeBin(90.0f, 57.288f);
    EXPECT_NEAR(oneRadian.re, std::cos(1.0), 1e-6);
    EXPECT_NEAR(oneRadian.im, std::sin(1.0), 1e-6);

    const ComplexBin minus20dB = encodeBin(70.0f, 180.0f);
    EXPECT_NEAR(std::hypot(minus20dB.re, minus20dB.im), 0.1, 1e-7);
    EXPECT_LT(minus20dB.re, 0.0f);

    // L = (S - 10) / 2 while above the floor.
    EXPECT_NEAR(cellLevel(encodeBin(50.0f, 33.0f)), 20.0f, 1e-4);
    // At 10 dB the 1e-13 floor still lifts L a hair above 0; below it L clamps to 0.
    EXPECT_NEAR(cellLevel(encodeBin(10.0f, 0.0f)), 0.0f, 1e-4);
    EXPECT_EQ(cellLevel(encodeBin(9.0f, 0.0f)), 0.0f);
    EXPECT_EQ(cellLevel(encodeBin(-20.0f, 0.0f)), 0.0f);
    EXPECT_EQ(cellLevel(ComplexBin{0.0f, 0.0f}), 0.0f);
    // The bin readout shows the unclamped level: a zero bin is 1e-13, -25.
    EXPECT_NEAR(static_cast<double>(rawLevel(ComplexBin{0.0f, 0.0f})), -25.0, 1e-12);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(cellLevel(ComplexBin{nan, 0.0f}), 0.0f);
}

TEST_F(BalloonMatrixTest, BlockIsOneZeroFilledImageWithTheTrailerAtItsEnd)
{
    auto bytes = m().bytes();
    ASSERT_EQ(bytes.size(), 16'647'072u);
    EXPECT_EQ(static_cast<const void*>(&m().settings()),
              static_cast<const void*>(bytes.data() + 16'647'040));
    EXPECT_EQ(static_cast<const void*>(&m().cell(1, 2)[3]),
              static_cast<const void*>(bytes.data() + ((1 * 74 + 2) * 760 + 3) * 8));
    for (std::size_t i = 0; i < bytes.size(); i += 4099)
        ASSERT_EQ(bytes[i], std::byte{0}) << i;
    EXPECT_EQ(m().cellLevel(36, 73, 759), 0.0f);
    EXPECT_EQ(m().cellLevel(37, 0, 0), 0.0f);
    EXPECT_EQ(m().cellLevel(0, 0, 760), 0.0f);
}

TEST_F(BalloonMatrixTest, StoreWritesOnlyTheMeasuredCellsBins)
{
    const Response level = filled(90.0f), phase = filled(0.0f);
    stamp(m(), 18, 2, 500.0f);
    const auto where = m().storeMeasurement(10, 0, AngleGrid::Grid5, level, phase);
    ASSERT_TRUE(where.has_value());
    EXPECT_EQ(*where, (CellIndex{18, 2}));
    auto cell = m().cell(18, 2);
    for (int b = 0; b < kDataBins; ++b) {
        ASSERT_EQ(cell[static_cast<std::size_t>(b)].re, 1.0f);
        ASSERT_EQ(cell[static_cast<std::size_t>(b)].im, 0.0f);
    }
    EXPECT_EQ(cell[750].re, 1250.0f);
    EXPECT_EQ(cell[759].re, 1259.0f);
    EXPECT_FLOAT_EQ(m().cellLevel(18, 2, 749), 40.0f);
    EXPECT_EQ(m().cellLevel(18, 1, 0), 0.0f);
    EXPECT_EQ(m().cellLevel(18, 3, 0), 0.0f);
}

TEST_F(BalloonMatrixTest, StoreKeepsPerBinValues)
{
    Response level{}, phase{};
    for (int b = 0; b < kDataBins; ++b) {
        level[static_cast<std::size_t>(b)] = 10.0f + 0.1f * static_cast<float>(b);
        phase[static_cast<std::size_t>(b)] = static_cast<float>(b % 360) - 180.0f;
    }
    ASSERT_TRUE(m().storeMeasurement(0, 90, AngleGrid::Grid5, level, phase));
    for (int b : {0, 1, 377, 749}) {
        const auto i = static_cast<std::size_t>(b);
        const ComplexBin expected = encodeBin(level[i], phase[i]);
        EXPECT_EQ(m().cell(0, 0)[i].re, expected.re);
        EXPECT_EQ(m().cell(0, 0)[i].im, expected.im);
        EXPECT_NEAR(m().cellLevel(0, 0, b), (level[i] - 10.0f) / 2.0f, 1e-3);
    }
}

TEST_F(BalloonMatrixTest, StoreRefusesAResponseThatDoesNotEncodeToFiniteBins)
{
    // 900 dB is a finite float, but 10^((900 - 90) / 20) is no float: the bin would be infinite.
    for (const float bad : {900.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        Response level = filled(90.0f), phase = filled(0.0f);
        stamp(m(), 18, 2, 500.0f);
        level[321] = bad;
        EXPECT_FALSE(storableResponse(level, phase)) << bad;
        EXPECT_FALSE(m().storeMeasurement(10, 0, AngleGrid::Grid5, level, phase)) << bad;
        level[321] = 90.0f;
        phase[17] = bad;
        EXPECT_EQ(storableResponse(level, phase), bad == 900.0f) << "900 degrees is a plain angle";
        EXPECT_EQ(m().cell(18, 2)[0].re, 500.0f) << "nothing of the cell written";
        EXPECT_EQ(m().cell(18, 2)[749].re, 1249.0f);
    }
    EXPECT_TRUE(storableResponse(filled(859.0f), filled(0.0f)));
}

TEST_F(BalloonMatrixTest, StoreRefusesCellsOutsideTheMeasuredGrid)
{
    const Response level = filled(90.0f), phase = filled(0.0f);
    // The V = -90 row of the 5-degree grid, V above +90, H below 0 and beyond 360.
    EXPECT_FALSE(m().storeMeasurement(0, -90, AngleGrid::Grid5, level, phase));
    EXPECT_FALSE(m().storeMeasurement(0, 95, AngleGrid::Grid5, level, phase));
    EXPECT_FALSE(m().storeMeasurement(-5, 0, AngleGrid::Grid5, level, phase));
    EXPECT_FALSE(m().storeMeasurement(365, 0, AngleGrid::Grid5, level, phase));
    EXPECT_FALSE(m().storeMeasurement(0, 100, AngleGrid::Grid10, level, phase));
    auto bytes = m().bytes();
    for (std::size_t i = 0; i < bytes.size(); i += 997)
        ASSERT_EQ(bytes[i], std::byte{0}) << i;

    EXPECT_EQ(m().storeMeasurement(360, 0, AngleGrid::Grid5, level, phase), (CellIndex{18, 72}));
    EXPECT_EQ(m().storeMeasurement(-4, 0, AngleGrid::Grid5, level, phase), (CellIndex{18, 0}));
    EXPECT_EQ(m().storeMeasurement(0, -7, AngleGrid::Grid5, level, phase), (CellIndex{19, 0}));
    EXPECT_EQ(m().storeMeasurement(0, 7, AngleGrid::Grid5, level, phase), (CellIndex{17, 0}));
    EXPECT_EQ(m().storeMeasurement(0, -85, AngleGrid::Grid5, level, phase), (CellIndex{35, 0}));
    // On the 10-degree grid the V = -90 row is an ordinary row.
    EXPECT_EQ(m().storeMeasurement(360, -90, AngleGrid::Grid10, level, phase), (CellIndex{18, 36}));
    EXPECT_FLOAT_EQ(m().cellLevel(18, 36, 0), 40.0f);
}

TEST_F(BalloonMatrixTest, FillPoleRowMirrorsRowZero)
{
    for (int c = 0; c <= 72; ++c)
        stamp(m(), 0, c, 1000.0f * static_cast<float>(c + 1));
    stamp(m(), 36, 0, -7.0f); // bins 750..759 of the pole row must survive
    m().fillPoleRow(AngleGrid::Grid5);
    for (int c = 0; c <= 72; ++c)
        ASSERT_TRUE(sameBits(m().cell(36, c).first(kDataBins), m().cell(0, 72 - c).first(kDataBins))) << c;
    EXPECT_EQ(m().cell(36, 0)[0].re, 73000.0f);
    EXPECT_EQ(m().cell(36, 72)[0].re, 1000.0f);
    EXPECT_EQ(m().cell(36, 0)[755].re, -7.0f + 755.0f);
    EXPECT_EQ(m().cell(36, 73)[0].re, 0.0f);

    m().fillPoleRow(AngleGrid::Grid10);
    for (int c = 0; c <= 36; ++c)
        ASSERT_TRUE(sameBits(m().cell(18, c).first(kDataBins), m().cell(0, 36 - c).first(kDataBins))) << c;
    EXPECT_EQ(m().cell(18, 37)[0].re, 0.0f);
}

TEST_F(BalloonMatrixTest, CopyCellIsBitExactAndLeavesTheSpareBins)
{
    stamp(m(), 3, 4, 10.0f);
    stamp(m(), 20, 60, 90000.0f);
    // A NaN with a payload must arrive unchanged.
    m().cell(3, 4)[5].im = std::bit_cast<float>(0x7fc12345u);
    ASSERT_TRUE(m().copyCell({3, 4}, {20, 60}));
    EXPECT_TRUE(sameBits(m().cell(20, 60).first(kDataBins), m().cell(3, 4).first(kDataBins)));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(m().cell(20, 60)[5].im), 0x7fc12345u);
    EXPECT_EQ(m().cell(20, 60)[750].re, 90750.0f);
    EXPECT_EQ(m().cell(20, 60)[759].re, 90759.0f);
    EXPECT_EQ(m().cell(3, 4)[0].re, 10.0f);

    ASSERT_TRUE(m().copyCell({3, 4}, {3, 4}));
    EXPECT_EQ(m().cell(3, 4)[1].re, 11.0f);

    EXPECT_FALSE(m().copyCell({37, 0}, {0, 0}));
    EXPECT_FALSE(m().copyCell({0, 0}, {0, -1}));
    EXPECT_FALSE(m().copyCell({0, 0}, {0, 74}));
    EXPECT_EQ(m().cell(0, 0)[0].re, 0.0f);
}

TEST_F(BalloonMatrixTest, TrailerWordsRoundTripAndTruncateOnRead)
{
    const BalloonTrailer written{2, 5, 3, 400, 3, 6, 1};
    m().settings().unused = 9.0f;
    m().writeTrailer(written);
    EXPECT_EQ(m().readTrailer(), written);
    EXPECT_EQ(m().settings().unused, 0.0f);
    EXPECT_EQ(m().settings().fftWindowPosition, 400.0f);

    // The words in file order, little-endian, at the block's end.
    std::array<std::uint32_t, 8> words{};
    std::memcpy(words.data(), m().bytes().data() + BalloonMatrix::kTrailerOffset, 32);
    EXPECT_EQ(words[0], std::bit_cast<std::uint32_t>(2.0f));
    EXPECT_EQ(words[1], std::bit_cast<std::uint32_t>(5.0f));
    EXPECT_EQ(words[4], std::bit_cast<std::uint32_t>(400.0f));
    EXPECT_EQ(words[5], 3u);
    EXPECT_EQ(words[6], 6u);
    EXPECT_EQ(words[7], 1u);

    // A foreign file may carry anything in the float words.
    m().settings().windowTypeIndex = 2.9f;
    m().settings().rateIndex = -1.7f;
    m().settings().smoothingIndex = std::numeric_limits<float>::quiet_NaN();
    m().settings().fftWindowPosition = 1e30f;
    m().settings().angleGridFlag = 7;
    const BalloonTrailer read = m().readTrailer();
    EXPECT_EQ(read.windowTypeIndex, 2);
    EXPECT_EQ(read.rateIndex, -1);
    EXPECT_EQ(read.smoothingIndex, 0);
    EXPECT_EQ(read.fftWindowPosition, 0);
    EXPECT_EQ(angleGridFromFlag(read.angleGridFlag), AngleGrid::Grid5);
}

TEST(SelectionState, StartsAtItsInitialValuesAndClampsEveryValue)
{
    SelectionState s;
    EXPECT_EQ(s.selectedBin, 460);
    EXPECT_EQ(s.colourScale, 60);
    EXPECT_DOUBLE_EQ(s.colourFactor(), 1.2);
    EXPECT_EQ(s.viewAngles(), (ViewAngles{-1, 1, 0}));
    EXPECT_FALSE(s.colourView());

    s.selectedBin = 750;
    s.colourScale = -3;
    s.sliceLimit = 99;
    s.sliceMode = 5;
    s.selectedRow = 37;
    s.selectedColumn = 73;
    s.repairSourceRow = -1;
    s.repairTargetColumn = 100;
    s.viewMode = 9;
    s.viewScrollH = 721;
    s.viewScrollV = -10;
    s.viewScrollSide = 181;
    s.clampAll();
    EXPECT_EQ(s.selectedBin, 749);
    EXPECT_EQ(s.colourScale, 0);
    EXPECT_EQ(s.sliceLimit, 36);
    EXPECT_EQ(s.sliceMode, kSliceFull);
    EXPECT_EQ(s.selectedRow, 36);
    EXPECT_EQ(s.selectedColumn, 72);
    EXPECT_EQ(s.repairSourceRow, 0);
    EXPECT_EQ(s.repairTargetColumn, 72);
    EXPECT_EQ(s.viewMode, kTestMode);
    EXPECT_EQ(s.viewAngles(), (ViewAngles{360, -360, 90}));
}

} // namespace
} // namespace vantrel
