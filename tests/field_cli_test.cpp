// `vantrel-cli sphere` as a user runs it, on a balloon of the simulated rig's own model mounted
// off the rotation centre: the centre it prints against the rig's geometry, the order the
// centring saves, the coefficient file read back by an independent reader
// (tests/field/read_coefficients.py), and the refusals.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <regex>
#include <string>

#include "balloon/balloon_file.h"
#include "balloon/frequency_axis.h"
#include "cli_run.h"
#include "platform/sim/loudspeaker.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::runCli;
using testing::TempDir;

constexpr VirtualLoudspeaker::Offset kOffset{0.03, -0.05, 0.08};

// Every cell as the rig's microphone hears it at 2 m, the delay of the 2 m taken out as the
// processing's alignment does, at the level of 1 m.
std::string rigBalloon(const TempDir& dir)
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m);
    const BalloonTrailer settings{0, 5, 3, 0, 3, 6, 1}; // 10 Hz .. 50 kHz at 48 kHz, 10-degree grid
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

std::array<double, 3> printedCentre(const std::string& out)
{
    std::smatch m;
    EXPECT_TRUE(std::regex_search(out, m, std::regex("centre over [^:]*: (\\S+) (\\S+) (\\S+) mm"))) << out;
    if (m.size() < 4)
        return {};
    return {std::stod(m[1]), std::stod(m[2]), std::stod(m[3])};
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
    std::smatch orders;
    ASSERT_TRUE(std::regex_search(run.out, orders, std::regex("(\\d+) about the centre, (\\d+) about the rotation")));
    EXPECT_LE(std::stoi(orders[1]) * 3, std::stoi(orders[2]) * 2) << run.out;
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
    struct Case {
        std::string options, message;
    };
    const Case cases[] = {
        {"--order 18", "--order 18 is beyond what the 10-degree grid holds (at most 17)"},
        {"--order many", "--order 'many': auto, or a whole number"},
        {"--centre 0,600,0", "y = 600.0 mm lies outside the 1 m cube"},
        {"--centre 1,2", "--centre '1,2': auto, or X,Y,Z in mm"},
        {"--band 5000,100", "--band takes two frequencies F1,F2"},
    };
    for (const Case& c : cases) {
        const std::string out = (dir.path() / "refused").string();
        const auto run = runCli("sphere '" + balloon + "' -o '" + out + "' " + c.options);
        EXPECT_EQ(run.status, 2) << c.options;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.options;
    }
}

} // namespace
} // namespace vantrel
