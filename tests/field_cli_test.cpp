// `vantrel-cli sphere` as a user runs it, on a balloon of the simulated rig's own model mounted
// off the rotation centre: the centre it prints against the rig's geometry, the order the
// centring saves, the coefficient file read back by an independent reader
// (tests/field/read_coefficients.py), and the refusals.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <locale>
#include <sstream>
#include <utility>
#include <initializer_list>
#include <string>

#include "balloon/balloon_file.h"
#include "balloon/frequency_axis.h"
#include "balloon/resampling_record.h"
#include "balloon/valid_band.h"
#include "cli_run.h"
#include "platform/sim/loudspeaker.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::runCli;
using testing::TempDir;

constexpr VirtualLoudspeaker::Offset kOffset{0.03, -0.05, 0.08};

// Each command of options refused with status 2, its message, and no output written.
struct Refusal {
    std::string options, message;
};
void expectRefusals(const TempDir& dir, const std::string& command, std::initializer_list<Refusal> cases)
{
    for (const Refusal& c : cases) {
        const std::string out = (dir.path() / "refused").string();
        const auto run = runCli(command + " -o '" + out + "' " + c.options);
        EXPECT_EQ(run.status, 2) << c.options;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.options;
    }
}

// Every cell as the rig's microphone hears it at 2 m, the delay of the 2 m taken out as the
// processing's alignment does, at the level of 1 m.
std::string rigBalloon(const TempDir& dir, int smoothingIndex = 3)
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m);
    const BalloonTrailer settings{0, 5, smoothingIndex, 0, 3, 6, 1}; // 10 Hz .. 50 kHz at 48 kHz, 10-degree grid
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    const VirtualLoudspeaker rig;
    for (int r = 0; r <= lastRow(AngleGrid::Grid10); ++r)
        for (int c = 0; c <= lastColumn(AngleGrid::Grid10); ++c) {
            auto cell = m->cell(r, c);
            for (int b = 0; b < kDataBins; ++b) {
                const double k = rig.wavenumber(axis[b]);
                const auto z = rig.atDistance(axis[b], c * 10, 90 - r * 10, 2.0, kOffset) * std::polar(2.0, 2.0 * k);
                cell[static_cast<std::size_t>(b)] = {static_cast<float>(z.real()), static_cast<float>(z.imag())};
            }
        }
    const std::string path = (dir.path() / "rig.BAL").string();
    EXPECT_FALSE(saveBalloon(path, *m, settings));
    return path;
}

// "centre over ...: X Y Z mm"
std::array<double, 3> printedCentre(const std::string& out)
{
    const std::size_t at = out.find("centre over ");
    const std::size_t colon = at == std::string::npos ? at : out.find(": ", at);
    EXPECT_NE(colon, std::string::npos) << out;
    if (colon == std::string::npos)
        return {};
    std::istringstream in(out.substr(colon + 2));
    in.imbue(std::locale::classic());
    std::array<double, 3> centre{};
    in >> centre[0] >> centre[1] >> centre[2];
    EXPECT_FALSE(in.fail()) << out;
    return centre;
}

// The two orders of "N about the centre, M about the rotation".
std::pair<int, int> printedOrders(const std::string& out)
{
    const std::size_t at = out.find(" about the centre, ");
    EXPECT_NE(at, std::string::npos) << out;
    if (at == std::string::npos)
        return {};
    std::size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(out[start - 1])))
        --start;
    return {std::atoi(out.substr(start, at - start).c_str()), std::atoi(out.c_str() + at + 19)};
}

TEST(SphereCli, FindsTheMountedRigsCentresAndWritesAnExpansionAnotherReaderRebuilds)
{
    const TempDir dir;
    const std::string balloon = rigBalloon(dir);
    const LoudspeakerDesign design;
    const std::string out = (dir.path() / "s").string();
    const auto run = runCli("sphere '" + balloon + "' -o '" + out + "' --centre auto --band 5000,15000");
    ASSERT_EQ(run.status, 0) << run.err;
    // The tweeter's centre plus the offset, within the 5 mm the 2 m microphone allows.
    const auto centre = printedCentre(run.out);
    const std::array<double, 3> truth{kOffset[0] * 1000, (kOffset[1] + design.tweeter.heightY) * 1000, kOffset[2] * 1000};
    for (std::size_t a = 0; a < 3; ++a)
        EXPECT_NEAR(centre[a], truth[a], 5) << a;
    // At 10 kHz the centred field needs a third fewer orders at least.
    const auto [centred, rotation] = printedOrders(run.out);
    EXPECT_GT(centred, 0) << run.out;
    EXPECT_LE(centred * 3, rotation * 2) << run.out;
    for (const char* file : {"sphere.txt", "sphere.png", "coefficients.txt"})
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(out) / file)) << file;
    const std::string text = testing::readWholeFile(std::filesystem::path(out) / "sphere.txt");
    EXPECT_NE(text.find("# frequency_Hz order residual_dB condition centre_x_mm"), std::string::npos);

    const std::string reader = "/usr/bin/python3 '" VANTREL_TEST_SOURCE_DIR "/tests/field/read_coefficients.py' '" +
                               balloon + "' '" + out + "/coefficients.txt' 0.1 2>&1";
    FILE* pipe = popen(reader.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string report;
    std::array<char, 4096> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        report.append(chunk.data(), n);
    EXPECT_EQ(pclose(pipe), 0) << report;
    EXPECT_EQ(report, "");
}

TEST(SphereCli, RefusesNamingTheValueAndWritesNothing)
{
    const TempDir dir;
    const std::string balloon = rigBalloon(dir);
    expectRefusals(dir, "sphere '" + balloon + "'",
                   {
                       {"--order 18", "--order 18 is beyond what the 10-degree grid holds (at most 17)"},
                       {"--order many", "--order 'many': auto, or a whole number"},
                       {"--centre 0,600,0", "y = 600.0 mm lies outside the 1 m cube"},
                       {"--centre 1,2", "--centre '1,2': auto, or X,Y,Z in mm"},
                       {"--band 5000,100", "--band takes two frequencies F1,F2"},
                   });
}


// The 5-degree balloon resampled from the 10-degree one holds the rig's model at the new
// cells within 0.5 dB up to 8 kHz wherever the model lies within 30 dB of the axis, and says
// where it came from.
TEST(ResampleCli, TheFiveDegreeBalloonFromTheTenDegreeOneHoldsTheRigsModel)
{
    const TempDir dir;
    const std::string balloon = rigBalloon(dir);
    const std::string five = (dir.path() / "rig5.BAL").string();
    const auto run = runCli("resample '" + balloon + "' --grid 5 -o '" + five + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    const BalloonLoadResult load = loadBalloon(five, *m);
    ASSERT_TRUE(load) << load.error;
    const BalloonTrailer trailer = m->readTrailer();
    EXPECT_EQ(angleGridFromFlag(trailer.angleGridFlag), AngleGrid::Grid5);
    FrequencyAxis axis;
    axis.buildFromIndexes(trailer.fromIndex, trailer.toIndex);
    const ValidBand band = validBand(trailer, axis);
    const VirtualLoudspeaker rig;
    double worst = 0;
    int compared = 0;
    for (int b = band.first; b <= band.last && axis[b] <= 8000; b += 3) {
        if (axis[b] < 100)
            continue;
        const double k = rig.wavenumber(axis[b]);
        const double axisDb = 20 * std::log10(std::abs(rig.atDistance(axis[b], 0, 0, 2.0, kOffset) * 2.0));
        for (int r = 0; r <= lastRow(AngleGrid::Grid5); r += 3)
            for (int c = 1; c < lastColumn(AngleGrid::Grid5); c += 2) { // the odd columns lie between the 10-degree ones
                const auto truth = rig.atDistance(axis[b], c * 5, 90 - r * 5, 2.0, kOffset) * std::polar(2.0, 2.0 * k);
                const double truthDb = 20 * std::log10(std::abs(truth));
                if (truthDb < axisDb - 30)
                    continue;
                const ComplexBin v = m->cell(r, c)[static_cast<std::size_t>(b)];
                worst = std::max(worst, std::abs(20 * std::log10(std::hypot(v.re, v.im)) - truthDb));
                ++compared;
            }
    }
    EXPECT_GT(compared, 10000);
    EXPECT_LT(worst, 0.5);
    const LoadedResampling record = loadResamplingRecordFor(five);
    ASSERT_TRUE(record.record) << record.error;
    EXPECT_EQ(record.record->source, "rig.BAL");
    EXPECT_EQ(record.record->points.size(), static_cast<std::size_t>(band.size()));
    const auto info = runCli("info '" + five + "'");
    EXPECT_NE(info.out.find("Resampled: from the 10-degree grid of rig.BAL"), std::string::npos) << info.out;
    // A smoothed balloon is named as one; an unsmoothed one is not.
    EXPECT_NE(run.out.find("note: rig.BAL was measured with Smoothing \"1/24 oct\""), std::string::npos) << run.out;
    const TempDir plain;
    const auto unsmoothed = runCli("resample '" + rigBalloon(plain, 5) + "' --grid 5 -o '" + (plain.path() / "p5.BAL").string() + "'");
    ASSERT_EQ(unsmoothed.status, 0) << unsmoothed.err;
    EXPECT_EQ(unsmoothed.out.find("note:"), std::string::npos) << unsmoothed.out;
}


// `directivity --interpolation sphere` reads the rolled plane and the best axis from the
// expansion and says so; what it cannot use is refused before anything is written.
TEST(DirectivityCli, TheSphereInterpolationIsNamedOrRefused)
{
    const TempDir dir;
    const std::string balloon = rigBalloon(dir);
    expectRefusals(dir, "directivity '" + balloon + "' --plane 45",
                   {
                       {"--interpolation cubic", "--interpolation 'cubic': bilinear or sphere"},
                       {"--centre auto", "--centre needs --interpolation sphere"},
                       {"--interpolation sphere --centre 1,2", "--centre '1,2': auto, or X,Y,Z in mm"},
                       {"--interpolation sphere --centre 0,600,0", "y = 600.0 mm lies outside the 1 m cube"},
                   });
    const std::filesystem::path out = dir.path() / "sphere";
    const auto run =
        runCli("directivity '" + balloon + "' -o '" + out.string() + "' --plane 45 --interpolation sphere --centre auto");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(out / "polar-map-plane-45.png"));
    std::ifstream in(out / "directivity.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("best listening axis (flattest direction every 2.5 degrees of the expansion of order 17 about "
                        "the centre found per frequency within +-30 H, +-20 V"),
              std::string::npos)
        << text;
}


// The SOFA file names the acoustic centre as its source position, given or found, in the
// receivers' frame, and still passes the independent reader (every direction once, the poles
// included).
TEST(ExportCli, TheSofaSourcePositionIsTheAcousticCentre)
{
    const TempDir dir;
    const std::string balloon = rigBalloon(dir);
    const BalloonTrailer settings{0, 5, 3, 0, 3, 6, 1};
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    const ValidBand band = validBand(settings, axis);
    struct Case {
        std::string options, source; // the tweeter's centre plus the offset, x forward, y left, z up
    };
    // The found centre within the 5 mm the 2 m microphone allows.
    const Case cases[] = {{"--centre 30,20,80", "0.08,0.03,0.02"},
                          {"--centre auto --centre-band 5000,15000", "0.08,0.03,0.02,0.005"}};
    for (const Case& c : cases) {
        const std::string sofa = (dir.path() / "rig.sofa").string();
        const auto run = runCli("export '" + balloon + "' --sofa '" + sofa + "' " + c.options);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string reader = "/usr/bin/python3 '" VANTREL_TEST_SOURCE_DIR "/tests/exports/check_sofa.py' '" +
                                   balloon + "' '" + sofa + "' 614 " + std::to_string(band.first) + " " +
                                   std::to_string(band.last) + " --source " + c.source + " 2>&1";
        FILE* pipe = popen(reader.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string report;
        std::array<char, 4096> chunk{};
        while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
            report.append(chunk.data(), n);
        EXPECT_EQ(pclose(pipe), 0) << c.options << ": " << report;
        EXPECT_EQ(report, "") << c.options;
    }
    const auto refused = runCli("export '" + balloon + "' --frd '" + (dir.path() / "f").string() + "' --centre auto");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--centre sets the SOFA file's source position: give --sofa"), std::string::npos);
}


// The mount offset is refused before anything is measured or written, naming the value.
TEST(MeasureCli, RefusesAMountOffsetNamingTheValue)
{
    const TempDir dir;
    struct Case {
        std::string options, message;
    };
    const Case cases[] = {
        {"--simulate --sim-offset 30,-50", "--sim-offset takes X,Y,Z in mm, not '30,-50'"},
        {"--simulate --sim-offset 30,up,80", "--sim-offset: 'up' is not a number"},
        {"--simulate --sim-offset 30,-50,800", "Z = 800.0 mm lies beyond +-500 mm"},
        {"--tt1 COM1 --tt2 COM2 --sim-offset 30,-50,80", "--sim-offset requires --simulate"},
    };
    for (const Case& c : cases) {
        const std::string out = (dir.path() / "b.BAL").string();
        const auto run = runCli("measure " + c.options + " -o '" + out + "'");
        EXPECT_EQ(run.status, 2) << c.options;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.options;
    }
}

} // namespace
} // namespace vantrel
