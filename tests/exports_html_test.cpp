// The balloon page as vantrel-cli writes it, read back from outside (tests/exports/check_html.py):
// its data block by a reader of its own, the page itself in Debian's headless chromium.

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "balloon/balloon_file.h"
#include "cli_run.h"
#include "platform/sim/loudspeaker.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// The checker's report; empty when every check held.
std::string runChecker(const std::string& arguments)
{
    const std::string command = "/usr/bin/python3 '" VANTREL_TEST_SOURCE_DIR "/tests/exports/check_html.py' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return "cannot run " + command;
    std::string report;
    std::array<char, 4096> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        report.append(chunk.data(), n);
    const int status = pclose(pipe);
    return status == 0 ? report : report + "(exit status " + std::to_string(status) + ")";
}

// Every cell from the simulated rig's model with a measurement's scatter (0.1 dB, 1 degree),
// which is what the data block has to carry; a smooth model would compress far better.
void fillFromRig(BalloonMatrix& m, AngleGrid grid, const FrequencyAxis& axis)
{
    const VirtualLoudspeaker speaker;
    std::mt19937 random(23);
    std::normal_distribution<double> levelScatter(0.0, 0.1 / 8.686), phaseScatter(0.0, 1.0 * 3.14159265 / 180.0);
    const int step = gridStepDegrees(grid);
    for (int r = 0; r <= lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            auto cell = m.cell(r, c);
            for (int b = 0; b < kDataBins; ++b) {
                const auto z = speaker.response(axis[b], c * step, 90 - r * step) *
                               std::exp(std::complex<double>(levelScatter(random), phaseScatter(random)));
                cell[static_cast<std::size_t>(b)] = {static_cast<float>(z.real()), static_cast<float>(z.imag())};
            }
        }
}

struct Page {
    fs::path balloon, html;
};

Page exportRigBalloon(const TempDir& dir, const BalloonTrailer& settings)
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m);
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    const AngleGrid grid = angleGridFromFlag(settings.angleGridFlag);
    fillFromRig(*m, grid, axis);
    // The 5-degree balloon's path holds "</script>" and '&': the page must keep them as text.
    const fs::path folder = grid == AngleGrid::Grid5 ? dir.path() / "a<" : dir.path();
    fs::create_directories(folder);
    const std::string name = grid == AngleGrid::Grid5 ? "script> & \"5\"" : "rig10";
    Page page{folder / (name + ".BAL"), dir.path() / (name + ".html")};
    EXPECT_FALSE(saveBalloon(page.balloon.string(), *m, settings));
    const auto run = testing::runCli("export '" + page.balloon.string() + "' --html '" + page.html.string() + "'");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return page;
}

TEST(HtmlExport, DataBlockDecodesToTheBalloonAndStaysWithinItsSize)
{
    struct Case {
        BalloonTrailer settings;
        std::uintmax_t sizeLimit;
    };
    const Case cases[] = {
        {{0, 5, 3, 0, 3, 6, 1}, 3'000'000},  // 10 Hz .. 50 kHz, 10-degree grid: under 3 MB
        {{2, 6, 1, 17, 5, 4, 0}, 10'000'000}, // 50 Hz .. 10 kHz, 5-degree grid: under 10 MB
    };
    for (const Case& c : cases) {
        TempDir dir;
        const Page page = exportRigBalloon(dir, c.settings);
        EXPECT_EQ(runChecker("decode '" + page.balloon.string() + "' '" + page.html.string() + "'"), "");
        EXPECT_LT(fs::file_size(page.html), c.sizeLimit) << page.html;
    }
}

TEST(HtmlExport, TurnsInHeadlessChromiumWithTheNetworkOff)
{
    TempDir dir;
    const Page page = exportRigBalloon(dir, {0, 5, 3, 0, 3, 6, 1});
    EXPECT_EQ(runChecker("browser '" + page.html.string() + "'"), "");
}

} // namespace
} // namespace vantrel
