// vantrel-cli directivity run the way a user runs it, on balloon files written with the
// program's own saveBalloon: the simulated rig's model on the 5-degree grid, and refusals.

#include <complex>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <QImage>
#include <gtest/gtest.h>

#include "analysis/pictures.h"
#include "analysis_balloons.h"
#include "balloon/balloon_file.h"
#include "balloon/measurement_record.h"
#include "balloon/valid_band.h"
#include "cli_run.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

using testing::readWholeFile;

std::string quoted(const std::filesystem::path& path)
{
    std::string text = "'";
    text += path.string();
    text += '\'';
    return text;
}

testing::CliResult directivity(const TempDir&, const std::string& args)
{
    std::string command = "directivity ";
    command += args;
    return testing::runCli(command);
}

// BALLOON -o DIR and any further options.
std::string arguments(const std::filesystem::path& balloon, const std::filesystem::path& out,
                      std::string_view more = {})
{
    std::string text = quoted(balloon);
    text += " -o ";
    text += quoted(out);
    text += ' ';
    text += more;
    return text;
}

double number(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void save(BalloonMatrix& m, const std::filesystem::path& path, AngleGrid grid)
{
    BalloonTrailer trailer = kInitialBalloonTrailer;
    trailer.angleGridFlag = angleGridFlag(grid);
    ASSERT_FALSE(saveBalloon(path.string(), m, trailer).has_value());
}

TEST(DirectivityCli, SimulatedRigBalloonGivesEveryPictureAndTableAndTheTweeterNarrows)
{
    TempDir dir;
    const FrequencyAxis axis;
    const VirtualLoudspeaker speaker;
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid5, axis, [&](double hz, double h, double v) {
        return speaker.response(hz, h, v);
    });
    save(m, dir.path() / "rig.BAL", AngleGrid::Grid5);
    const auto out = dir.path() / "out";
    const testing::CliResult run = directivity(dir, arguments(dir.path() / "rig.BAL", out, "--plane 45 --axis=10,-5"));
    ASSERT_EQ(run.status, 0) << run.err;

    const std::pair<const char*, PictureSize> pictures[] = {
        {"polar-map-horizontal.png", kPolarMapSize}, {"polar-map-vertical.png", kPolarMapSize},
        {"polar-plots.png", kPolarPlotsSize},        {"directivity.png", kDirectivitySize},
        {"cta2034.png", kCta2034Size},               {"polar-map-plane-45.png", kPolarMapSize},
        {"polar-plots-plane-45.png", kPolarPlotsSize}};
    for (const auto& [name, size] : pictures) {
        const QImage image(QString::fromStdString((out / name).string()));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.width(), size.width) << name;
        EXPECT_EQ(image.height(), size.height) << name;
        EXPECT_NE(run.out.find(name), std::string::npos) << "no progress line for " << name;
    }

    // The -6 dB horizontal beamwidth narrows with the tweeter: none or wide at 4 kHz, under
    // 90 degrees at 16 kHz (13 mm piston: asin(2.215 / ka) = 35 degrees, ka = 3.8).
    std::istringstream lines(readWholeFile(out / "directivity.txt"));
    std::string line;
    double narrowest16k = 0, at4k = 360, highest = 0;
    int data = 0;
    while (std::getline(lines, line)) {
        if (line.starts_with("#"))
            continue;
        ++data;
        std::istringstream fields(line);
        std::string f[6];
        for (auto& field : f)
            fields >> field;
        const double hz = number(f[0]);
        if (std::abs(hz - 16000) < 200 && f[4] != "-")
            narrowest16k = number(f[4]);
        if (std::abs(hz - 4000) < 50)
            at4k = f[4] == "-" ? 360.0 : number(f[4]);
        highest = std::max(highest, hz);
    }
    // The valid band of a 48 kHz balloon: nothing above 0.45 of the rate is tabulated.
    const ValidBand band = validBand(kInitialBalloonTrailer, axis);
    EXPECT_EQ(data, band.size());
    EXPECT_LE(highest, 21600.0);
    EXPECT_GT(highest, 21000.0);
    EXPECT_GT(narrowest16k, 40.0);
    EXPECT_LT(narrowest16k, 90.0);
    EXPECT_GT(at4k, 120.0);

    int ctaLines = 0;
    const std::string ctaText = readWholeFile(out / "cta2034.txt");
    std::istringstream cta(ctaText);
    while (std::getline(cta, line))
        ctaLines += !line.starts_with("#");
    EXPECT_EQ(ctaLines, band.size());
    for (const char* figure : {"listener axis H +10 V -5", "# NBD_ON ", "# NBD_PIR ", "# LFX ", "# SM_PIR ",
                               "# Predicted preference rating ", "with an ideal subwoofer ", "Sound power DI slope "})
        EXPECT_NE(ctaText.find(figure), std::string::npos) << figure;
    const std::string table = readWholeFile(out / "directivity.txt");
    EXPECT_NE(table.find("# best listening axis"), std::string::npos);
    EXPECT_NE(table.find("#   1000 "), std::string::npos) << "no coverage row at 1 kHz";
}

TEST(CompareCli, ItselfPassesAtZeroAndARaisedCellFailsWithItsPlaceNamed)
{
    TempDir dir;
    const FrequencyAxis axis;
    const testing::BaffledPiston piston{0.03};
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return piston(hz, h, v) + 0.05;
    });
    save(m, dir.path() / "a.BAL", AngleGrid::Grid10);
    const std::string a = quoted(dir.path() / "a.BAL");
    auto run = testing::runCli("compare " + a + " " + a + " -o " + quoted(dir.path() / "same") + " --tolerance 0.1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("PASS"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("largest difference 0.000 dB"), std::string::npos) << run.out;
    for (const char* name : {"difference-map-horizontal.png", "difference-map-vertical-absolute.png", "compare.png",
                             "compare.txt"})
        EXPECT_TRUE(std::filesystem::exists(dir.path() / "same" / name)) << name;

    // H = 40, V = 0 at 1 kHz raised by 1 dB.
    const int bin = nearestBin(axis, 1000.0);
    ComplexBin& c = m.cell(rowForAngle(0, AngleGrid::Grid10), 4)[static_cast<std::size_t>(bin)];
    c = {c.re * 1.12201845f, c.im * 1.12201845f};
    save(m, dir.path() / "b.BAL", AngleGrid::Grid10);
    run = testing::runCli("compare " + a + " " + quoted(dir.path() / "b.BAL") + " -o " + quoted(dir.path() / "one") +
                          " --tolerance 0.5 --band 500,2000");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("FAIL"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("+1.000 dB at H 40, V 0"), std::string::npos) << run.out;

    BalloonMatrix other = testing::synthesiseBalloon(AngleGrid::Grid5, axis, [&](double hz, double h, double v) {
        return piston(hz, h, v);
    });
    save(other, dir.path() / "g5.BAL", AngleGrid::Grid5);
    run = testing::runCli("compare " + a + " " + quoted(dir.path() / "g5.BAL") + " -o " + quoted(dir.path() / "x"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("different grids"), std::string::npos) << run.err;

    // A rear cell raised by 1 dB and turned by 30 degrees: the whole sphere sees it, the front
    // hemisphere does not, and neither does a scope of the directions level with the axis.
    BalloonMatrix rear = testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return piston(hz, h, v) + 0.05;
    });
    ComplexBin& r = rear.cell(rowForAngle(0, AngleGrid::Grid10), 14)[static_cast<std::size_t>(bin)];
    const std::complex<float> turned = std::complex<float>(r.re, r.im) * std::polar(1.12201845f, 0.52359878f);
    r = {turned.real(), turned.imag()};
    save(rear, dir.path() / "rear.BAL", AngleGrid::Grid10);
    struct Scope {
        const char* options;
        const char* largest;
        const char* phase;
    };
    for (const Scope& s : {Scope{"", "largest difference +1.000 dB at H 140, V 0", "phase difference +30.000 degrees at H 140"},
                           Scope{" --front", "largest difference 0.000 dB", "phase difference 0.000 degrees"},
                           Scope{" --within 0.001", "largest difference 0.000 dB", "compared: the sphere where A lies within"}}) {
        run = testing::runCli("compare " + a + " " + quoted(dir.path() / "rear.BAL") + " -o " +
                              quoted(dir.path() / "rear") + " --band 500,2000" + s.options);
        ASSERT_EQ(run.status, 0) << s.options << run.err;
        EXPECT_NE(run.out.find(s.largest), std::string::npos) << s.options << run.out;
        EXPECT_NE(run.out.find(s.phase), std::string::npos) << s.options << run.out;
    }
}

// A balloon measured with a 5 ms time window (its record beside it): the tables start at
// 200 Hz and say why, a merged one is valid from the axis start and names its merge band, and
// a damaged record is refused, not skipped.
TEST(DirectivityCli, TheValidBandFollowsTheRecordedWindowAndSaysSo)
{
    TempDir dir;
    const FrequencyAxis axis;
    const testing::BaffledPiston piston{0.03};
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return piston(hz, h, v) + 0.05;
    });
    save(m, dir.path() / "w.BAL", AngleGrid::Grid10);
    MeasurementRecord record;
    record.rateHz = 48000;
    record.windowSamples = 240;
    struct Case {
        std::optional<MergeBand> merge;
        double lowestHz; // no row below
        const char* says;
    };
    const Case cases[] = {{std::nullopt, 200.0, "(time window 5 ms)"},
                          {MergeBand{150, 300}, 10.0, "(shortest sequence); near-field merge 150 Hz .. 300 Hz"}};
    for (const Case& c : cases) {
        record.merge = c.merge;
        ASSERT_FALSE(saveMeasurementRecord(measurementRecordPathFor((dir.path() / "w.BAL").string()), record));
        const auto out = dir.path() / (c.merge ? "merged" : "gated");
        const testing::CliResult run = directivity(dir, arguments(dir.path() / "w.BAL", out, "--frequencies 1000"));
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string table = readWholeFile(out / "directivity.txt");
        EXPECT_NE(table.find(c.says), std::string::npos) << table.substr(0, 400);
        EXPECT_NE(readWholeFile(out / "cta2034.txt").find(c.says), std::string::npos);
        std::istringstream lines(table);
        std::string line;
        double lowest = 1e9;
        while (std::getline(lines, line))
            if (!line.starts_with("#"))
                lowest = std::min(lowest, number(line.substr(0, line.find(' '))));
        EXPECT_GE(lowest, c.lowestHz);
        EXPECT_LT(lowest, 1.2 * c.lowestHz);
    }
    // A frequency below the window's band is refused by name.
    record.merge.reset();
    ASSERT_FALSE(saveMeasurementRecord(measurementRecordPathFor((dir.path() / "w.BAL").string()), record));
    testing::CliResult run = directivity(dir, arguments(dir.path() / "w.BAL", dir.path() / "low", "--frequencies 100"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("time window 5 ms"), std::string::npos) << run.err;

    std::ofstream(measurementRecordPathFor((dir.path() / "w.BAL").string())) << "vantrel measurement record 1\nrate-hz fast\n";
    run = directivity(dir, arguments(dir.path() / "w.BAL", dir.path() / "damaged"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("measurement record is damaged"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "damaged"));
}

TEST(DirectivityCli, RefusalsSayWhyAndWriteNothingTheyCannot)
{
    TempDir dir;
    const FrequencyAxis axis;
    const testing::BaffledPiston piston{0.03};
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return piston(hz, h, v) + 0.05;
    });
    // The horizontal orbit's +40 degrees missing: CTA-2034-A refused, the rest written.
    for (ComplexBin& bin : m.cell(rowForAngle(0, AngleGrid::Grid10), 4))
        bin = {0.0f, 0.0f};
    save(m, dir.path() / "gap.BAL", AngleGrid::Grid10);
    const auto out = dir.path() / "gap";
    testing::CliResult run = directivity(dir, arguments(dir.path() / "gap.BAL", out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("horizontal angle 40 degrees"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::exists(out / "directivity.txt"));
    EXPECT_TRUE(std::filesystem::exists(out / "polar-map-horizontal.png"));
    EXPECT_FALSE(std::filesystem::exists(out / "cta2034.txt"));
    EXPECT_FALSE(std::filesystem::exists(out / "cta2034.png"));

    // No on-axis measurement: nothing to refer to, nothing written.
    const auto empty = BalloonMatrix::create();
    ASSERT_TRUE(empty.has_value());
    BalloonMatrix blank = std::move(const_cast<BalloonMatrix&>(*empty));
    save(blank, dir.path() / "blank.BAL", AngleGrid::Grid5);
    run = directivity(dir, arguments(dir.path() / "blank.BAL", dir.path() / "blank"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no on-axis measurement"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "blank"));

    // Not a balloon file.
    std::ofstream(dir.path() / "short.BAL") << "too short";
    run = directivity(dir, arguments(dir.path() / "short.BAL", dir.path() / "x"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("This Balloon File is NOT Recognized"), std::string::npos) << run.err;

    run = directivity(dir, arguments(dir.path() / "gap.BAL", dir.path() / "y", "--frequencies 1000,abc"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--frequencies"), std::string::npos) << run.err;
}

} // namespace
} // namespace vantrel
