// CLF text and the CTA-2034 SPL tables, read back by readers of this test's own that know only
// the published layouts and the documented frame: a balloon whose level encodes its direction
// must show every value where the CLF convention puts it, and the SPL tables must give back the
// balloon's orbits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "analysis_balloons.h"
#include "exports/clf_export.h"
#include "exports/spinorama_export.h"
#include "platform/sim/loudspeaker.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
constexpr double kRad = std::numbers::pi / 180.0;

std::vector<std::string> split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + separator.size())
        parts.push_back(text.substr(at, next - at));
    parts.push_back(text.substr(at));
    return parts;
}

double number(const std::string& field)
{
    std::size_t used = 0;
    const double v = std::stod(field, &used);
    EXPECT_EQ(used, field.size()) << "'" << field << "'";
    return v;
}

// CLF text as a strict reader takes it.
struct ClfFile {
    int version = 0;
    std::map<std::string, std::vector<std::string>> tags;
    std::vector<std::string> bands;                        // as written on the <BAND> lines
    std::vector<std::vector<std::vector<double>>> blocks;  // [band][arc][polar]
};

ClfFile readClf(const std::string& text)
{
    ClfFile f;
    std::vector<std::string> lines = split(text, "\r\n");
    EXPECT_TRUE(lines.back().empty()) << "the last line ends in CR LF";
    lines.pop_back();
    EXPECT_TRUE(lines.front() == "<CLF1>" || lines.front() == "<CLF2>") << lines.front();
    f.version = lines.front() == "<CLF2>" ? 2 : 1;
    EXPECT_EQ(lines.back(), f.version == 2 ? "<CLF2END>" : "<CLF1END>");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        EXPECT_FALSE(line.empty()) << "blank line " << i;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "line " << i;
        EXPECT_NE(line.back(), '\t') << "trailing TAB on line " << i;
        std::vector<std::string> fields = split(line, "\t");
        for (const std::string& field : fields)
            EXPECT_FALSE(field.empty()) << "empty field on line " << i;
        if (line.front() == '<') {
            const std::string tag = fields.front();
            fields.erase(fields.begin());
            if (tag == "<BAND>") {
                EXPECT_EQ(fields.size(), 1u) << line;
                f.bands.push_back(fields.at(0));
                f.blocks.emplace_back();
            } else {
                f.tags[tag] = fields;
            }
            continue;
        }
        std::vector<double> row;
        for (const std::string& field : fields)
            row.push_back(number(field));
        f.blocks.back().push_back(row);
    }
    return f;
}

// The documented frame: the cell (H, V) is x = cos H, y = sin H cos V, z = -sin H sin V, +x the
// axis, +y the loudspeaker's left, +z up. This balloon's level in dB spells its direction.
double directionLevel(double h, double v)
{
    const double x = std::cos(h * kRad), y = std::sin(h * kRad) * std::cos(v * kRad);
    const double z = -std::sin(h * kRad) * std::sin(v * kRad);
    return 60.0 + 10.0 * x + 4.0 * y + 2.0 * z;
}

// The CLF convention: arc phi from up toward the left, polar angle theta from the axis.
double clfExpected(double phi, double theta)
{
    const double x = std::cos(theta * kRad), y = std::sin(theta * kRad) * std::sin(phi * kRad);
    const double z = std::sin(theta * kRad) * std::cos(phi * kRad);
    return 10.0 * x + 4.0 * y + 2.0 * z - 10.0;
}

BalloonMatrix directionBalloon(AngleGrid grid)
{
    const FrequencyAxis axis;
    BalloonMatrix m = testing::synthesiseBalloon(grid, axis, [](double, double h, double v) {
        return std::complex<double>(std::pow(10.0, (directionLevel(h, v) - 90.0) / 20.0), 0.0);
    });
    BalloonTrailer t = m.readTrailer();
    t.rateIndex = 5; // 48 kHz: usable to 21.6 kHz
    m.writeTrailer(t);
    return m;
}

TEST(ClfExport, EveryValueLiesWhereTheConventionPutsIt)
{
    struct Case {
        AngleGrid grid;
        int version;        // asked for; 0 by the grid
        int expected;       // written
        double tolerance;   // dB: rounding, or the interpolation between 10-degree cells
        const char* minBand;
        const char* maxBand;
    };
    const Case cases[] = {
        {AngleGrid::Grid5, 0, 2, 0.006, "100", "16000"},
        {AngleGrid::Grid10, 0, 1, 0.006, "16", "8000"},
        {AngleGrid::Grid5, 1, 1, 0.006, "16", "8000"},
        {AngleGrid::Grid10, 2, 2, 0.08, "100", "16000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("grid " + std::to_string(gridStepDegrees(c.grid)) + ", CLF" + std::to_string(c.expected));
        const BalloonMatrix m = directionBalloon(c.grid);
        ClfOptions options;
        options.version = c.version;
        options.model = "Synthetic 1";
        options.distanceMetres = 2.0;
        options.driveVolts = 2.0;
        std::string error;
        const std::string text = clfText({m, m.readTrailer(), "synthetic.BAL"}, options, error);
        ASSERT_TRUE(error.empty()) << error;
        const ClfFile f = readClf(text);
        ASSERT_EQ(f.version, c.expected);
        EXPECT_EQ(f.tags.at("<MODELNAME>"), std::vector<std::string>{"Synthetic 1"});
        EXPECT_EQ(f.tags.at("<MINBAND>").at(0), c.minBand);
        EXPECT_EQ(f.tags.at("<MAXBAND>").at(0), c.maxBand);
        EXPECT_EQ(f.tags.at("<BALLOON-ARC-ORDER>").at(0), "<default>");
        EXPECT_EQ(f.tags.at("<BALLOON-REF>").at(0), "<relative>");
        EXPECT_EQ(f.tags.at("<BALLOON-SYMMETRY>").at(0), "<none>");
        EXPECT_EQ(f.tags.at("<RADIATION>").at(0), "<fullsphere>");

        // Every nominal band from MINBAND to MAXBAND, spelled as printed, in order.
        const std::vector<std::string> nominal =
            c.expected == 2 ? std::vector<std::string>{"100", "125", "160", "200", "250", "315", "400", "500", "630",
                                                       "800", "1000", "1250", "1600", "2000", "2500", "3150", "4000",
                                                       "5000", "6300", "8000", "10000", "12500", "16000"}
                            : std::vector<std::string>{"16", "31.5", "63", "125", "250", "500", "1000", "2000", "4000",
                                                       "8000"};
        EXPECT_EQ(f.bands, nominal);
        ASSERT_EQ(f.tags.at("<SENSITIVITY>").size(), nominal.size());
        ASSERT_EQ(f.tags.at("<AXIAL-SPECTRUM>").size(), nominal.size());
        // 70 dB on axis at 2 m is 76.02 dB at 1 m; driven with 2 V, 70.00 dB per volt.
        for (std::size_t k = 0; k < nominal.size(); ++k) {
            EXPECT_NEAR(number(f.tags.at("<AXIAL-SPECTRUM>")[k]), 70.0 + 20 * std::log10(2.0), 0.006);
            EXPECT_NEAR(number(f.tags.at("<SENSITIVITY>")[k]), 70.0, 0.006);
        }

        const int step = c.expected == 2 ? 5 : 10;
        double worst = 0;
        for (const auto& block : f.blocks) {
            ASSERT_EQ(block.size(), static_cast<std::size_t>(360 / step));
            for (std::size_t arc = 0; arc < block.size(); ++arc) {
                ASSERT_EQ(block[arc].size(), static_cast<std::size_t>(180 / step + 1));
                EXPECT_EQ(block[arc][0], 0.0); // the axis is the reference
                for (std::size_t p = 0; p < block[arc].size(); ++p)
                    worst = std::max(worst, std::abs(block[arc][p] - clfExpected(arc * step, p * step)));
            }
        }
        EXPECT_LT(worst, c.tolerance);
    }
}

// A swept balloon: below f1 and above the sweep's fade the levels are its inverse filter's
// roll-off, so neither the CLF bands nor the SPL rows reach there.
TEST(ClfExport, ASweptBalloonsBandsAndRowsStayInsideItsSweep)
{
    const BalloonMatrix m = directionBalloon(AngleGrid::Grid10);
    const ExportSource source{m, m.readTrailer(), "swept.BAL", MeasuredWith{20, 10000, 0, {}}};
    ClfOptions options;
    options.model = "Swept";
    std::string error;
    const ClfFile f = readClf(clfText(source, options, error));
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(f.tags.at("<MINBAND>").at(0), "31.5"); // the 16 Hz octave starts at 11 Hz
    EXPECT_EQ(f.tags.at("<MAXBAND>").at(0), "4000"); // the 8 kHz octave ends at 11 kHz
    testing::TempDir dir;
    SpinoramaSummary summary;
    ASSERT_EQ(writeSpinorama(source, (dir.path() / "spin").string(), &summary), "");
    EXPECT_GE(summary.lowHz, 20.0);
    EXPECT_LT(summary.lowHz, 23.0);
    EXPECT_LE(summary.highHz, 9700.0);
    EXPECT_GT(summary.highHz, 9000.0);
    EXPECT_NE(summary.validBand.find("(sweep from 20 Hz)"), std::string::npos) << summary.validBand;
}

TEST(ClfExport, TheSimulatedRigShowsItsVerticalLobingAndItsMirrorSymmetry)
{
    const FrequencyAxis axis;
    const VirtualLoudspeaker speaker;
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid5, axis,
                                                 [&](double hz, double h, double v) { return speaker.response(hz, h, v); });
    BalloonTrailer t = m.readTrailer();
    t.rateIndex = 5;
    m.writeTrailer(t);
    std::string error;
    ClfOptions options;
    options.model = "rig";
    const ClfFile f = readClf(clfText({m, t, "rig.BAL"}, options, error));
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_EQ(f.version, 2);
    double mirror = 0, upDown = 0, leftRight = 0;
    for (std::size_t k = 0; k < f.bands.size(); ++k) {
        const auto& block = f.blocks[k];
        for (std::size_t arc = 1; arc < 72; ++arc)
            for (std::size_t p = 0; p < 37; ++p)
                mirror = std::max(mirror, std::abs(block[arc][p] - block[72 - arc][p]));
        if (f.bands[k] == "2000" || f.bands[k] == "2500") // across the crossover
            for (std::size_t p = 0; p <= 12; ++p) {
                upDown = std::max(upDown, std::abs(block[0][p] - block[36][p]));     // up against down
                leftRight = std::max(leftRight, std::abs(block[18][p] - block[54][p])); // left against right
            }
    }
    EXPECT_LT(mirror, 0.011);   // left and right mirror each other
    EXPECT_GT(upDown, 3.0);     // the tweeter above the woofer lobes along the vertical arcs
    EXPECT_LT(leftRight, 0.011);
}

TEST(ClfExport, RefusesWhatItCannotWriteTruly)
{
    BalloonMatrix m = directionBalloon(AngleGrid::Grid10);
    ClfOptions options;
    options.model = "ok";
    std::string error;
    const auto refusal = [&](const ClfOptions& o) {
        error.clear();
        (void)clfText({m, m.readTrailer(), "x.BAL"}, o, error);
        return error;
    };
    ClfOptions tab = options;
    tab.model = "two\tfields";
    EXPECT_NE(refusal(tab).find("must not hold a TAB"), std::string::npos);
    ClfOptions hash = options;
    hash.manufacturer = "No #1";
    EXPECT_NE(refusal(hash).find("--manufacturer"), std::string::npos);
    ClfOptions distance = options;
    distance.distanceMetres = 0;
    EXPECT_NE(refusal(distance).find("--distance"), std::string::npos);

    BalloonTrailer rate = m.readTrailer();
    rate.rateIndex = 12;
    (void)clfText({m, rate, "x.BAL"}, options, error);
    EXPECT_NE(error.find("sampling rate"), std::string::npos) << error;

    for (auto& bin : m.cell(3, 5)) // H = 50, V = +60: phi = 150, theta = 50
        bin = {0, 0};
    EXPECT_NE(refusal(options).find("H = 50, V = 60 (row 3, column 5)"), std::string::npos) << error;
}

// The SPL tables as the tooling's loader reads them: a quoted title, the names, a units line,
// then Hz/dB pairs.
TEST(SpinoramaExport, TablesGiveBackBothOrbitsOfTheBalloon)
{
    const FrequencyAxis axis;
    const VirtualLoudspeaker speaker;
    for (const AngleGrid grid : {AngleGrid::Grid10, AngleGrid::Grid5}) {
        const int step = gridStepDegrees(grid);
        SCOPED_TRACE("grid " + std::to_string(step));
        BalloonMatrix m = testing::synthesiseBalloon(
            grid, axis, [&](double hz, double h, double v) { return speaker.atDistance(hz, h, v, 2.0) * 0.5; });
        BalloonTrailer t = m.readTrailer();
        t.rateIndex = 5;
        m.writeTrailer(t);
        testing::TempDir dir;
        SpinoramaSummary summary;
        ASSERT_EQ(writeSpinorama({m, t, "rig.BAL"}, (dir.path() / "spin").string(), &summary), "");
        EXPECT_EQ(summary.shortfall, "");
        for (const Plane plane : {Plane::Horizontal, Plane::Vertical}) {
            const bool horizontal = plane == Plane::Horizontal;
            std::ifstream in(dir.path() / "spin" / (horizontal ? "SPL Horizontal.txt" : "SPL Vertical.txt"),
                             std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            std::vector<std::string> lines = split(s.str(), "\n");
            ASSERT_TRUE(lines.back().empty());
            lines.pop_back();
            EXPECT_EQ(lines[0], horizontal ? "\"SPL Horizontal\"" : "\"SPL Vertical\"");
            std::vector<std::string> names;
            for (const std::string& field : split(lines[1], "\t"))
                if (!field.empty())
                    names.push_back(field);
            std::vector<int> angles;
            for (const std::string& name : names) {
                if (name == "On Axis") {
                    angles.push_back(0);
                    continue;
                }
                ASSERT_EQ(name.substr(name.size() - 2), "\xC2\xB0") << name;
                ASSERT_NE(name.front(), '+');
                angles.push_back(static_cast<int>(number(name.substr(0, name.size() - 2))));
                ASSERT_NE(angles.back(), 0);
            }
            ASSERT_EQ(names.front(), "On Axis");
            // Every angle from -170 to 180 in the grid's step, once.
            std::vector<int> sorted = angles;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(sorted.size(), static_cast<std::size_t>(360 / step));
            for (std::size_t i = 0; i < sorted.size(); ++i)
                ASSERT_EQ(sorted[i], -180 + step * static_cast<int>(i + 1));
            const std::vector<std::string> units = split(lines[2], "\t");
            ASSERT_EQ(units.size(), 2 * names.size());
            for (const std::string& u : units)
                EXPECT_FALSE(u.empty());

            ASSERT_GT(lines.size() - 3, 97u);
            double worst = 0, first = 0, last = 0;
            for (std::size_t row = 3; row < lines.size(); ++row) {
                const std::vector<std::string> fields = split(lines[row], "\t");
                ASSERT_EQ(fields.size(), 2 * names.size()) << row;
                const double hz = number(fields[0]);
                const int bin = static_cast<int>(std::min_element(axis.values().begin(), axis.values().end(),
                                                                  [hz](float a, float b) {
                                                                      return std::abs(a - hz) < std::abs(b - hz);
                                                                  }) -
                                                 axis.values().begin());
                ASSERT_EQ(axis[bin], static_cast<float>(hz));
                for (std::size_t i = 0; i < names.size(); ++i) {
                    ASSERT_EQ(fields[2 * i], fields[0]);
                    // +a: a to the left on the V = 0 row; a up the baffle, H = -a on the V = +90 row.
                    const int a = angles[i];
                    const bool onAxisRow = horizontal || a == 0 || a == 180;
                    const int row = onAxisRow ? 90 / step : 0;
                    const int column = (((horizontal ? a : -a) % 360 + 360) % 360) / step;
                    const ComplexBin z = m.cell(row, column)[static_cast<std::size_t>(bin)];
                    const double level = 10 * std::log10(double(z.re) * z.re + double(z.im) * z.im) + 90;
                    worst = std::max(worst, std::abs(number(fields[2 * i + 1]) - level));
                }
                (row == 3 ? first : last) = hz;
            }
            EXPECT_LT(worst, 0.01);
            EXPECT_LT(first, 40.0);
            EXPECT_GT(last, 16000.0);
            EXPECT_LE(last, 21600.0); // the usable limit of 48 kHz
        }
    }
}

} // namespace
} // namespace vantrel
