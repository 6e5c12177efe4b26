// vantrel-cli info run as a user does, on balloon files made with known contents.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "balloon/balloon_file.h"
#include "cli_run.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// On axis 85 dB, one other cell 70 dB (75 dB at bin 0), on the 10-degree grid; written with the
// given settings. 1 kHz on the 20 Hz .. 20 kHz axis: f[b] = 20 * 1000^((b + 1) / 750) is
// 1002.4 Hz at b = 424, nearer than 993.2 Hz at b = 423.
std::string makeBalloon(const TempDir& dir, const BalloonTrailer& settings)
{
    auto m = BalloonMatrix::create();
    EXPECT_TRUE(m);
    std::array<float, kDataBins> level, phase{};
    level.fill(85.0f);
    EXPECT_TRUE(m->storeMeasurement(0, 0, AngleGrid::Grid10, level, phase));
    level.fill(70.0f);
    level[0] = 75.0f;
    EXPECT_TRUE(m->storeMeasurement(90, 30, AngleGrid::Grid10, level, phase));
    // Outside the 10-degree grid: not counted.
    m->cell(30, 60)[5] = {1.0f, 0.0f};
    const std::string path = (dir.path() / "b.BAL").string();
    EXPECT_EQ(saveBalloon(path, *m, settings), std::nullopt);
    return path;
}

TEST(InfoCommand, PrintsTheSettingsTheCellsAndTheLevels)
{
    TempDir dir;
    const std::string path = makeBalloon(dir, {1, 6, 2, 120, 4, 5, 1});
    const auto r = runCli("info '" + path + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "File: " + path + "\n"
                     "Window type: Hanning\n"
                     "Sampling rate: 96000 Hz\n"
                     "Smoothing: 1/12 oct\n"
                     "FFT window position: 120 samples\n"
                     "From: 20.0 Hz\n"
                     "To: 20000.0 Hz\n"
                     "Grid: 10 degrees (19 rows x 37 columns)\n"
                     "Cells with data: 2 of 703\n"
                     "Level range: 70.0 dB to 85.0 dB\n"
                     "On-axis level at 1 kHz: 85.0 dB (bin 424, 1002.4 Hz)\n"
                     "Time window: not recorded\n"
                     "Valid band: 20.8 Hz .. 19.45 kHz, valid from 20.8 Hz (shortest sequence)\n");
}

// The measurement record beside the balloon: its window, merge and sweep set the valid band's
// low edge, and info names the reason; a damaged record is refused with its line.
TEST(InfoCommand, NamesTheRecordedWindowMergeAndSweep)
{
    struct Case {
        const char* record;
        std::vector<const char*> lines;
        int status;
    };
    const Case cases[] = {
        {"excitation mls\nrate-hz 96000\nwindow-samples 480\n",
         {"Time window: 480 samples (5 ms)\n", "Valid band: 207.5 Hz .. 19.45 kHz, valid from 207.5 Hz (time window 5 ms)\n"},
         0},
        {"excitation mls\nwindow-samples 480\nmerge-hz 150 300\n", // the trailer's rate
         {"Time window: 480 samples (5 ms)\n", "Near-field merge: 150 Hz .. 300 Hz\n",
          "(shortest sequence); near-field merge 150 Hz .. 300 Hz\n"},
         0},
        {"excitation sweep\nsweep-hz 50 10000\nrate-hz 96000\nwindow-samples 30000\n",
         {"Time window: 30000 samples (312.5 ms)\n", "Valid band: 52.1 Hz .. 9.40 kHz, valid from 52.1 Hz (sweep from 50 Hz) to 9.40 kHz (sweep to 10 kHz)\n"},
         0},
        {"excitation mls\nrate-hz fast\n", {"measurement record is damaged", "line 3"}, 2},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string path = makeBalloon(dir, {1, 6, 2, 120, 4, 5, 1});
        std::ofstream(dir.path() / "b.MSR") << "vantrel measurement record 1\n" << c.record;
        const auto r = runCli("info '" + path + "'");
        EXPECT_EQ(r.status, c.status) << c.record << r.err;
        for (const char* line : c.lines)
            EXPECT_NE((r.out + r.err).find(line), std::string::npos) << line << "\n" << r.out << r.err;
    }
}

TEST(InfoCommand, JsonCarriesTheSameAsOneObject)
{
    TempDir dir;
    const std::string path = makeBalloon(dir, {0, 5, 3, 0, 3, 6, 1});
    const auto r = runCli("info --json '" + path + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = dir.path() / "info.json";
    std::ofstream(json) << r.out;
    // An independent reader checks that it parses and holds the values.
    const std::string check =
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "assert d[\"rateHz\"]==48000 and d[\"smoothing\"]==\"1/24 oct\" and d[\"gridDegrees\"]==10, d; "
        "assert d[\"cellsWithData\"]==2 and d[\"gridCells\"]==703, d; "
        "assert abs(d[\"levelMinDb\"]-70)<0.01 and abs(d[\"levelMaxDb\"]-85)<0.01, d; "
        "assert abs(d[\"onAxis1kHz\"][\"levelDb\"]-85)<0.01 and d[\"fromHz\"]==10 and d[\"toHz\"]==50000, d; "
        "assert d[\"validBand\"][\"lowEdge\"]==\"sequence\" and d[\"windowSamples\"] is None and d[\"mergeHz\"] is None, d; "
        "assert 10<d[\"validBand\"][\"lowHz\"]<11 and 21000<d[\"validBand\"][\"highHz\"]<=21600, d' '" +
        json.string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << r.out;
}

TEST(InfoCommand, RefusesAFileOfAnyOtherSizeAndReportsAMissingOne)
{
    TempDir dir;
    const auto small = dir.path() / "small.BAL";
    std::ofstream(small, std::ios::binary) << std::string(100, '\0');
    const auto r = runCli("info '" + small.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vantrel-cli info: This Balloon File is NOT Recognized\n");
    EXPECT_TRUE(r.out.empty());

    const auto missing = runCli("info '" + (dir.path() / "none.BAL").string() + "'");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("none.BAL: No such file or directory"), std::string::npos) << missing.err;
}

TEST(InfoCommand, AnAxisEndingBelowOneKilohertzSaysSo)
{
    TempDir dir;
    const std::string path = makeBalloon(dir, {0, 5, 3, 0, 3, 0, 0});
    const auto r = runCli("info '" + path + "'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("On-axis level at 1 kHz: 1 kHz is outside the frequency axis\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Cells with data: 3 of 2701\n"), std::string::npos) << "on the 5-degree grid (30, 60) counts too";
}

} // namespace
