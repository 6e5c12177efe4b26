// Target files: the exact text written, the number-scanning reader, and files that are short,
// empty or missing.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "temp_dir.h"
#include "calibration/target_file.h"

namespace vantrel {
namespace {

// ctest runs the cases of one program in parallel processes: each keeps its own directory.
static std::filesystem::path scratch(const std::string& name)
{
    static const testing::TempDir dir;
    return dir.path() / name;
}

void writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CalibrationCurve rampCurve()
{
    CalibrationCurve curve;
    for (int i = 0; i < kAxisPoints; ++i)
        curve[static_cast<std::size_t>(i)] = {-20.0f + 0.037f * static_cast<float>(i), 170.0f - 0.45f * static_cast<float>(i)};
    return curve;
}

TEST(TargetFile, LinesAreThreeTwoDecimalNumbersEndedByCrLf)
{
    FrequencyAxis axis;
    CalibrationCurve curve{};
    curve[0] = {-3.5f, 45.0f};
    curve[749] = {12.345f, -0.004f};
    const std::string text = formatTargetFile(axis, curve);

    char first[64];
    std::snprintf(first, sizeof first, "%.2f    -3.50    45.00  \r\n", static_cast<double>(axis[0]));
    EXPECT_EQ(text.substr(0, std::string(first).size()), first);
    EXPECT_TRUE(text.ends_with("50000.00    12.35    -0.00  \r\n")) << text.substr(text.size() - 40);

    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++lines;
            ASSERT_GT(i, 0u);
            ASSERT_EQ(text[i - 1], '\r');
        }
    }
    EXPECT_EQ(lines, 750u);
}

TEST(TargetFile, WrittenFileReadsBackToTwoDecimalsByPosition)
{
    const auto path = scratch("roundtrip.trg");
    FrequencyAxis written;
    written.build(20.0, 20000.0);
    const CalibrationCurve original = rampCurve();
    ASSERT_TRUE(writeTargetFile(path.string(), written, original));
    EXPECT_EQ(readText(path), formatTargetFile(written, original));

    CalibrationCurve loaded{};
    const TargetReadResult result = readTargetFile(path.string(), loaded);
    EXPECT_EQ(result.status, TargetReadStatus::Complete);
    EXPECT_EQ(result.points, 749);
    EXPECT_EQ(targetReadMessage(result), "");
    for (int i = 0; i < 749; ++i) {
        EXPECT_NEAR(loaded[static_cast<std::size_t>(i)].level, original[static_cast<std::size_t>(i)].level, 0.0051f);
        EXPECT_NEAR(loaded[static_cast<std::size_t>(i)].phase, original[static_cast<std::size_t>(i)].phase, 0.0051f);
    }
    EXPECT_EQ(loaded[749].level, loaded[748].level);
    EXPECT_EQ(loaded[749].phase, loaded[748].phase);
}

TEST(TargetFile, NumbersAreRunsOfDigitsSignsPointsAndCapitalE)
{
    CalibrationCurve curve{};
    // Lower-case e separates ("1e2" is 1 and 2); a run is read by its leading number ("3-4" is 3).
    const TargetReadResult r = parseTargetText("1.0E+2,-1.5E-1\t190;x2 3-4 -200|4 1e2 7 8", curve);
    EXPECT_EQ(r.points, 3);
    EXPECT_FLOAT_EQ(curve[0].level, -0.15f);
    EXPECT_FLOAT_EQ(curve[0].phase, 179.9f);
    EXPECT_FLOAT_EQ(curve[1].level, 3.0f);
    EXPECT_FLOAT_EQ(curve[1].phase, -179.9f);
    EXPECT_FLOAT_EQ(curve[2].level, 1.0f);
    EXPECT_FLOAT_EQ(curve[2].phase, 2.0f);

    // A capital E on its own is a number: the "E" of a header takes the frequency's place.
    CalibrationCurve header{};
    EXPECT_EQ(parseTargetText("FREQ 5 6 7", header).points, 1);
    EXPECT_FLOAT_EQ(header[0].level, 5.0f);
    EXPECT_FLOAT_EQ(header[0].phase, 6.0f);
}

TEST(TargetFile, PhasesBeyondHalfATurnAreHeldInside)
{
    CalibrationCurve curve{};
    ASSERT_EQ(parseTargetText("1 0 190  2 0 -180.5  3 0 180  4 0 -180  5 0 179.95", curve).points, 5);
    EXPECT_FLOAT_EQ(curve[0].phase, 179.9f);
    EXPECT_FLOAT_EQ(curve[1].phase, -179.9f);
    EXPECT_FLOAT_EQ(curve[2].phase, 180.0f);
    EXPECT_FLOAT_EQ(curve[3].phase, -180.0f);
    EXPECT_FLOAT_EQ(curve[4].phase, 179.95f);
}

TEST(TargetFile, ShortAndEmptyFilesKeepWhatTheyDoNotSet)
{
    CalibrationCurve curve;
    curve.fill({7.0f, 8.0f});
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "100.00    -1.00    5.00  \r\n";
    text += "100.00    -2.00"; // an unfinished triple sets nothing
    const TargetReadResult shortResult = parseTargetText(text, curve);
    EXPECT_EQ(shortResult.status, TargetReadStatus::Short);
    EXPECT_EQ(shortResult.points, 10);
    EXPECT_EQ(targetReadMessage(shortResult), "Target file holds only 10 points");
    EXPECT_EQ(curve[9].level, -1.0f);
    EXPECT_EQ(curve[10].level, 7.0f);
    EXPECT_EQ(curve[749].phase, 8.0f);

    // A level out of a float's reach ends the reading there: no infinity enters the curve.
    const TargetReadResult huge = parseTargetText("1 -2 3  4 1E999 5  6 -7 8", curve);
    EXPECT_EQ(huge.status, TargetReadStatus::Short);
    EXPECT_EQ(huge.points, 1);
    EXPECT_EQ(curve[0].level, -2.0f);
    EXPECT_EQ(curve[1].level, -1.0f);
    EXPECT_EQ(curve[2].level, -1.0f);
    EXPECT_EQ(parseTargetText("1 -1E39 3", curve).status, TargetReadStatus::NoNumbers);
    EXPECT_EQ(curve[0].level, -2.0f);

    CalibrationCurve untouched;
    untouched.fill({7.0f, 8.0f});
    for (const std::string_view none : {"", "no numbers here", "12.5 3"}) {
        const TargetReadResult r = parseTargetText(none, untouched);
        EXPECT_EQ(r.status, TargetReadStatus::NoNumbers) << none;
        EXPECT_FALSE(targetReadMessage(r).empty());
        EXPECT_EQ(untouched[0].level, 7.0f);
        EXPECT_EQ(untouched[0].phase, 8.0f);
    }
    const auto empty = scratch("empty.trg");
    writeText(empty, "");
    EXPECT_EQ(readTargetFile(empty.string(), untouched).status, TargetReadStatus::NoNumbers);
    EXPECT_EQ(untouched[749].level, 7.0f);
}

TEST(TargetFile, ALevelWhoseLinearValueNoFloatHoldsEndsTheReading)
{
    // Applying a level divides by 10^(level/20): -10000 dB gives infinity, and so does anything
    // past about ±770.6 dB, where the linear value or its reciprocal leaves the float range.
    for (const char* bad : {"-10000", "10000", "770.7", "-770.7", "1E5"}) {
        CalibrationCurve curve;
        curve.fill({7.0f, 8.0f});
        const TargetReadResult r = parseTargetText(std::string("10 1 2  20 ") + bad + " 3  30 4 5", curve);
        EXPECT_EQ(r.status, TargetReadStatus::Short) << bad;
        EXPECT_EQ(r.points, 1) << bad;
        EXPECT_EQ(targetReadMessage(r), "Target file holds only 1 points");
        EXPECT_EQ(curve[1].level, 7.0f) << bad;
        EXPECT_EQ(curve[2].level, 7.0f) << bad;
    }
    CalibrationCurve curve;
    EXPECT_EQ(parseTargetText("10 770.6 2  20 -770.6 3", curve).points, 2) << "the edges still read";

    // A curve holding infinity or NaN is never written: its "inf" would read back as nothing.
    CalibrationCurve broken = rampCurve();
    broken[300].level = std::numeric_limits<float>::infinity();
    const auto path = scratch("broken.trg");
    std::filesystem::remove(path);
    EXPECT_FALSE(writeTargetFile(path.string(), FrequencyAxis{}, broken));
    EXPECT_FALSE(std::filesystem::exists(path));
    broken[300].level = 0;
    broken[12].phase = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(writeTargetFile(path.string(), FrequencyAxis{}, broken));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(TargetFile, FilesThatCannotBeOpenedChangeNothing)
{
    CalibrationCurve curve;
    curve.fill({1.0f, 2.0f});
    const auto missing = scratch("does-not-exist.trg");
    std::filesystem::remove(missing);
    EXPECT_EQ(readTargetFile(missing.string(), curve).status, TargetReadStatus::CannotOpen);
    EXPECT_EQ(readTargetFile(scratch("").parent_path().string(), curve).status, TargetReadStatus::CannotOpen);
    EXPECT_EQ(curve[0].level, 1.0f);

    const auto noDir = scratch("no-such-dir") / "x.trg";
    EXPECT_FALSE(writeTargetFile(noDir.string(), FrequencyAxis{}, curve));
    EXPECT_FALSE(std::filesystem::exists(noDir));
}

} // namespace
} // namespace vantrel
