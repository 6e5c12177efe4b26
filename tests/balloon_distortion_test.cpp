// The distortion file beside a balloon: what is saved reads back bit for bit, a damaged file is
// refused naming what is wrong and leaves nothing half-read, and the autosave's cells written
// in place equal a whole save.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "balloon/distortion_balloon.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

std::vector<std::uint8_t> readAll(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

DistortionBalloon sample()
{
    DistortionBalloon b;
    b.reset(AngleGrid::Grid10, 10, 24000, FrequencyAxis{});
    std::array<float, kAxisPoints> h2{}, h3{}, thd{}, noise{};
    for (int i = 0; i < kAxisPoints; ++i) {
        h2[static_cast<std::size_t>(i)] = -40.0f - 0.01f * i;
        h3[static_cast<std::size_t>(i)] = -95.0f;
        thd[static_cast<std::size_t>(i)] = -39.9f;
        noise[static_cast<std::size_t>(i)] = -92.0f;
    }
    EXPECT_TRUE(b.store(0, 90, h2, h3, thd, noise));
    EXPECT_TRUE(b.store(30, 0, h2, h3, thd, noise));
    EXPECT_FALSE(b.store(30, -100, h2, h3, thd, noise));
    return b;
}

TEST(DistortionFile, SavedReadsBackAndMarksTheNoise)
{
    testing::TempDir dir;
    const std::string path = distortionPathFor((dir.path() / "s.BAL").string());
    EXPECT_EQ(std::filesystem::path(path).filename(), "s.DST");
    EXPECT_EQ(std::filesystem::path(distortionPathFor("x.bin")).filename(), "x.bin.DST");
    const DistortionBalloon b = sample();
    ASSERT_FALSE(saveDistortion(path, b));
    EXPECT_EQ(std::filesystem::file_size(path), DistortionBalloon::kFileBytes);
    std::string error;
    const auto read = loadDistortion(path, error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->image(), b.image());
    const int row = rowForAngle(0, AngleGrid::Grid10), column = columnForAngle(30, AngleGrid::Grid10);
    EXPECT_TRUE(read->measured(row, column));
    EXPECT_FALSE(read->measured(row, column + 1));
    EXPECT_TRUE(read->aboveNoise(row, column, DistortionQuantity::h2, 10));
    EXPECT_FALSE(read->aboveNoise(row, column, DistortionQuantity::h3, 10));
}

TEST(DistortionFile, DamagedFilesAreRefusedNamingWhy)
{
    const std::vector<std::uint8_t> good = sample().image();
    struct Case {
        std::size_t at;
        std::uint8_t value;
        const char* named;
    };
    const Case cases[] = {{0, 'X', "VNTLDIST"},           {8, 2, "version 2"},
                          {16, 36, "sizes"},              {3040 + 5, 7, "cell flag"},
                          {5780 + 3, 0x7f, "not a finite"}, {42, 0x80, "axis"},
                          {12, 2, "grid"},                {35, 0xff, "f1, f2"},
                          {5778, 1, "padding"}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good;
        bad[c.at] = c.value;
        if (c.at == 5780 + 3)
            bad[c.at - 1] = 0x80; // exponent all ones: infinity or NaN
        std::string error;
        EXPECT_FALSE(DistortionBalloon::parse(bad, error));
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(DistortionBalloon::parse(std::span(good).first(good.size() - 1), error));
    EXPECT_NE(error.find("bytes"), std::string::npos);
    EXPECT_FALSE(DistortionHeader::read(std::span(good).first(DistortionHeader::kBytes - 1), error));
    EXPECT_NE(error.find("header"), std::string::npos) << error;
}

TEST(DistortionFile, AutosavedCellsEqualAWholeSave)
{
    testing::TempDir dir;
    DistortionBalloon b;
    b.reset(AngleGrid::Grid10, 10, 24000, FrequencyAxis{});
    DistortionAutosave autosave((dir.path() / kAutosaveDistortionName).string());
    ASSERT_FALSE(autosave.start(b));
    const DistortionBalloon filled = sample();
    for (const auto& [h, v] : {std::pair{0, 90}, std::pair{30, 0}})
        ASSERT_FALSE(autosave.storeCell(filled, rowForAngle(v, AngleGrid::Grid10), columnForAngle(h, AngleGrid::Grid10)));
    EXPECT_EQ(readAll(autosave.path()), filled.image());
}

} // namespace
} // namespace vantrel
