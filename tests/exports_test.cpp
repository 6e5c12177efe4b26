#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "balloon/sphere_directions.h"
#include "exports/decimal_text.h"
#include "exports/export_valid_band.h"
#include "exports/frd_export.h"
#include "exports/sofa_export.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

BalloonTrailer trailerFor(AngleGrid grid)
{
    BalloonTrailer t;
    t.rateIndex = 5;
    t.smoothingIndex = 3;
    t.fromIndex = 3;
    t.toIndex = 6;
    t.angleGridFlag = angleGridFlag(grid);
    return t;
}

// Level and phase of every cell differ, so a file read from the wrong cell shows.
float cellLevelDb(int row, int column, int bin) { return 60.0f + 0.5f * row - 0.25f * column + 0.01f * bin; }
float cellPhaseDegrees(int row, int column, int bin) { return -170.0f + 3.0f * row + 2.0f * column + 0.45f * bin; }

BalloonMatrix stampedBalloon(AngleGrid grid)
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m.has_value());
    for (int r = 0; r <= lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            auto cell = m->cell(r, c);
            for (int b = 0; b < kDataBins; ++b)
                cell[static_cast<std::size_t>(b)] = encodeBin(cellLevelDb(r, c, b), cellPhaseDegrees(r, c, b));
        }
    m->writeTrailer(trailerFor(grid));
    return std::move(*m);
}

double parse(std::string_view text)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    EXPECT_TRUE(ec == std::errc{} && end == text.data() + text.size()) << text;
    return v;
}

struct FrdLine {
    double hz, db, degrees;
};

std::vector<FrdLine> frdLines(const std::string& text, std::vector<std::string>* comments = nullptr)
{
    std::vector<FrdLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("*")) {
            if (comments)
                comments->push_back(line);
            continue;
        }
        const auto a = line.find(' '), b = line.find(' ', a + 1);
        lines.push_back({parse(std::string_view(line).substr(0, a)), parse(std::string_view(line).substr(a + 1, b - a - 1)),
                         parse(std::string_view(line).substr(b + 1))});
    }
    return lines;
}

double wrapDegrees(double d) { return d - 360.0 * std::round(d / 360.0); }

TEST(FrdExport, AngleSetsAndNamesAreCompleteOnBothGrids)
{
    for (auto [grid, perPlane] : {std::pair{AngleGrid::Grid10, 37}, std::pair{AngleGrid::Grid5, 73}}) {
        const auto angles = frdAngles(grid);
        ASSERT_EQ(static_cast<int>(angles.size()), 2 * perPlane);
        std::set<std::string> names;
        const int step = gridStepDegrees(grid);
        for (std::size_t i = 0; i < angles.size(); ++i) {
            const FrdAngle& a = angles[i];
            EXPECT_EQ(a.plane, i < static_cast<std::size_t>(perPlane) ? FrdPlane::Horizontal : FrdPlane::Vertical);
            EXPECT_EQ(a.degrees, -180 + step * static_cast<int>(i % perPlane));
            names.insert(frdFileName("spk", a.plane, a.degrees));

            // The cell lies where the file's name says, in the interchange frame.
            const SphereDirection d = directionOf(a.hDegrees, a.vDegrees);
            EXPECT_EQ(a.cell, (CellIndex{rowForAngle(a.vDegrees, grid), columnForAngle(a.hDegrees, grid)}));
            if (a.plane == FrdPlane::Horizontal) {
                EXPECT_NEAR(d.z, 0.0, 1e-12);
                EXPECT_NEAR(wrapDegrees(d.azimuthDegrees - a.degrees), 0.0, 1e-9) << a.degrees;
            } else {
                EXPECT_NEAR(d.y, 0.0, 1e-12);
                const double along = std::atan2(d.z, d.x) * 180.0 / std::numbers::pi;
                EXPECT_NEAR(wrapDegrees(along - a.degrees), 0.0, 1e-9) << a.degrees;
            }
        }
        EXPECT_EQ(static_cast<int>(names.size()), 2 * perPlane);
        for (const char* expected : {"spk hor -180.frd", "spk hor 0.frd", "spk hor +180.frd", "spk ver -90.frd", "spk ver +30.frd"})
            EXPECT_TRUE(names.contains(expected)) << expected;
    }
    EXPECT_EQ(frdAngles(AngleGrid::Grid10)[37 + 21].hDegrees, 330); // ver +30 looks up: H = 330 on the V = +90 row
}

TEST(FrdExport, FilesParseBackToTheBalloonsLevelsAndPhases)
{
    const BalloonMatrix m = stampedBalloon(AngleGrid::Grid10);
    const ExportSource source{m, m.readTrailer(), "/data/spk.BAL", {}, true};
    FrequencyAxis axis;
    ASSERT_EQ(exportAxis(source.trailer, axis), "");
    ExportValidBand band;
    ASSERT_EQ(exportValidBand(source, axis, band), "");
    for (const FrdAngle& angle : frdAngles(AngleGrid::Grid10)) {
        std::vector<std::string> comments;
        const auto wrapped = frdLines(frdText(source, axis, angle, FrdPhase::Wrapped, band), &comments);
        const auto unwrapped = frdLines(frdText(source, axis, angle, FrdPhase::Unwrapped, band));
        ASSERT_EQ(wrapped.size(), static_cast<std::size_t>(kAxisPoints));
        ASSERT_EQ(unwrapped.size(), wrapped.size());
        ASSERT_GE(comments.size(), 6u);
        // The file's name only: exports are sent out, the folders above it are the user's.
        EXPECT_NE(comments[1].find("spk.BAL"), std::string::npos);
        EXPECT_EQ(comments[1].find("/data"), std::string::npos);
        EXPECT_NE(comments[5].find("all 750 of the stored axis; only the valid band"), std::string::npos) << comments[5];
        EXPECT_NE(comments[2].find(signedDegreesText(angle.degrees) + " degrees"), std::string::npos);
        EXPECT_NE(comments[3].find("1/24 oct"), std::string::npos);
        for (int b = 0; b < kAxisPoints; ++b) {
            const auto& w = wrapped[static_cast<std::size_t>(b)];
            const auto& u = unwrapped[static_cast<std::size_t>(b)];
            EXPECT_EQ(static_cast<float>(w.hz), axis[b]);
            EXPECT_NEAR(w.db, cellLevelDb(angle.cell.row, angle.cell.column, b), 0.0006);
            // The stored angle is P / 57.288 radians; the file gives it in true degrees.
            const double trueDegrees = cellPhaseDegrees(angle.cell.row, angle.cell.column, b) / 57.288 * 180.0 / std::numbers::pi;
            EXPECT_NEAR(wrapDegrees(w.degrees - trueDegrees), 0.0, 0.006);
            EXPECT_GE(w.degrees, -180.0);
            EXPECT_LE(w.degrees, 180.0);
            EXPECT_NEAR(wrapDegrees(u.degrees - w.degrees), 0.0, 0.011);
            if (b > 0) {
                EXPECT_GT(w.hz, wrapped[static_cast<std::size_t>(b) - 1].hz);
                EXPECT_LT(std::abs(u.degrees - unwrapped[static_cast<std::size_t>(b) - 1].degrees), 180.0);
            }
        }
        // The stamped phase rises by about 337 true degrees over the axis: unwrapped keeps it.
        EXPECT_NEAR(unwrapped.back().degrees - unwrapped.front().degrees, 749 * 0.45 / 57.288 * 180.0 / std::numbers::pi, 0.02);
    }
}

TEST(FrdExport, ZeroCellsReadAsTheFloorAndPhaseZero)
{
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    m->writeTrailer(trailerFor(AngleGrid::Grid5));
    const ExportSource source{*m, m->readTrailer(), "zero.BAL"};
    FrequencyAxis axis;
    ASSERT_EQ(exportAxis(source.trailer, axis), "");
    ExportValidBand band;
    ASSERT_EQ(exportValidBand(source, axis, band), "");
    for (const auto& line : frdLines(frdText(source, axis, frdAngles(AngleGrid::Grid5).front(), FrdPhase::Unwrapped, band))) {
        EXPECT_EQ(line.db, -40.0);
        EXPECT_EQ(line.degrees, 0.0);
    }
}

// By default a file holds the valid band and nothing else: no filler above Nyquist, no
// converter roll-off, no copied edge points; a swept balloon's band ends at its sweep's.
TEST(FrdExport, HoldsTheValidBandOnly)
{
    const BalloonMatrix m = stampedBalloon(AngleGrid::Grid10);
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    struct Case {
        MeasuredWith measured;
        double lowestHz, highestHz; // no line outside
        const char* says;
    };
    const Case cases[] = {
        {{}, 5.86, 21600.0, "(shortest sequence)"},
        {{100.0, 10000.0, 0, {}}, 100.0, 9700.0, "(sweep from 100 Hz)"},
    };
    for (const Case& c : cases) {
        const ExportSource source{m, m.readTrailer(), "spk.BAL", c.measured};
        ExportValidBand band;
        ASSERT_EQ(exportValidBand(source, axis, band), "");
        std::vector<std::string> comments;
        const auto lines = frdLines(frdText(source, axis, frdAngles(AngleGrid::Grid10)[3], FrdPhase::Wrapped, band), &comments);
        ASSERT_EQ(static_cast<int>(lines.size()), band.last - band.first + 1);
        EXPECT_GE(lines.front().hz, c.lowestHz);
        EXPECT_LE(lines.back().hz, c.highestHz);
        EXPECT_GT(lines.back().hz, 0.9 * c.highestHz);
        EXPECT_FLOAT_EQ(static_cast<float>(lines.front().hz), axis[band.first]);
        EXPECT_NE(comments[5].find(c.says), std::string::npos) << comments[5];
    }
}

TEST(FrdExport, WritesTheSeriesAndReportsAnUnwritableDirectory)
{
    TempDir dir;
    const BalloonMatrix m = stampedBalloon(AngleGrid::Grid10);
    const ExportSource source{m, m.readTrailer(), "spk.BAL"};
    std::vector<std::string> written;
    const fs::path out = dir.path() / "new" / "frd";
    ASSERT_EQ(writeFrdSeries(source, out.string(), "My Speaker", FrdPhase::Wrapped, &written), "");
    EXPECT_EQ(written.size(), 74u);
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_TRUE(entry.path().filename().string().starts_with("My Speaker ")) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 74u); // no temporary files left
    EXPECT_TRUE(fs::exists(out / "My Speaker ver -60.frd"));

    // A directory that cannot be made: its parent is a file.
    std::ofstream(dir.path() / "plain") << "x";
    const std::string blocked = (dir.path() / "plain" / "frd").string();
    const std::string error = writeFrdSeries(source, blocked, "p", FrdPhase::Wrapped);
    EXPECT_NE(error.find(blocked), std::string::npos) << error;
}

TEST(SofaExport, AnUnwritablePathIsReportedAndLeavesNothing)
{
    TempDir dir;
    const BalloonMatrix m = stampedBalloon(AngleGrid::Grid10);
    const ExportSource source{m, m.readTrailer(), "spk.BAL"};
    const std::string missing = (dir.path() / "no-such-dir" / "b.sofa").string();
    const std::string error = writeSofa(source, {}, missing);
    EXPECT_NE(error.find(missing), std::string::npos) << error;

    // An existing file under the final name survives a failed export untouched.
    const fs::path old = dir.path() / "old.sofa";
    std::ofstream(old) << "previous";
    BalloonMatrix bad = stampedBalloon(AngleGrid::Grid10);
    BalloonTrailer t = trailerFor(AngleGrid::Grid10);
    t.fromIndex = 42;
    bad.writeTrailer(t);
    EXPECT_NE(writeSofa({bad, bad.readTrailer(), "bad.BAL"}, {}, old.string()), "");
    std::ifstream in(old);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "previous");

    ASSERT_EQ(writeSofa(source, {}, old.string()), "");
    EXPECT_GT(fs::file_size(old), 100000u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1); // no temporaries
}

TEST(SofaExport, SourceDateEpochPinsTheDateSoTwoExportsAreIdentical)
{
    TempDir dir;
    const BalloonMatrix m = stampedBalloon(AngleGrid::Grid10);
    const ExportSource source{m, m.readTrailer(), "spk.BAL"};
    ::setenv("SOURCE_DATE_EPOCH", "86401", 1);
    EXPECT_EQ(sofaDateNow(), "1970-01-02 00:00:01");
    ASSERT_EQ(writeSofa(source, {}, (dir.path() / "a.sofa").string()), "");
    ASSERT_EQ(writeSofa(source, {}, (dir.path() / "b.sofa").string()), "");
    auto bytes = [&](const char* name) {
        std::ifstream in(dir.path() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_TRUE(bytes("a.sofa") == bytes("b.sofa"));
    for (const char* unusable : {"", "-5", "12x", "soon"}) {
        ::setenv("SOURCE_DATE_EPOCH", unusable, 1);
        EXPECT_NE(sofaDateNow().substr(0, 4), "1970") << unusable; // ignored: the clock's date
    }
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST(ExportSource, AFrequencyRangeOffTheListsOrEmptyIsRefused)
{
    FrequencyAxis axis;
    BalloonTrailer t = trailerFor(AngleGrid::Grid5);
    EXPECT_EQ(exportAxis(t, axis), "");
    EXPECT_EQ(axis[kAxisPoints - 1], 50000.0f);
    for (auto [from, to] : {std::pair{-1, 6}, std::pair{10, 6}, std::pair{3, 8}, std::pair{9, 0}, std::pair{8, 0}}) {
        t.fromIndex = from;
        t.toIndex = to;
        EXPECT_NE(exportAxis(t, axis), "") << from << " " << to;
    }
    t.fromIndex = 0; // a zero-filled trailer: 1 Hz to 500 Hz is a real range
    t.toIndex = 0;
    EXPECT_EQ(exportAxis(t, axis), "");
}

TEST(DecimalText, IsIndependentOfTheLocaleAndSigned)
{
    EXPECT_EQ(cleanFixedText(-3.14159, 2), "-3.14");
    EXPECT_EQ(cleanFixedText(-0.0001, 2), "0.00");
    EXPECT_EQ(cleanFixedText(1234.5, 3), "1234.500");
    EXPECT_EQ(shortestText(10.0462f), "10.0462");
    EXPECT_EQ(signedDegreesText(30), "+30");
    EXPECT_EQ(signedDegreesText(-180), "-180");
    EXPECT_EQ(signedDegreesText(0), "0");
}

} // namespace
} // namespace vantrel
