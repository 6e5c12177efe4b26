// vantrel-cli measure in the simulated room: bad room or gate options refused before anything
// is written, a short walk gated automatically against the anechoic walk through the same
// window, and a reflection inside a fixed gate halting the walk at its point.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "balloon/balloon_file.h"
#include "balloon/frequency_axis.h"
#include "balloon/measurement_record.h"
#include "mls/gate.h"
#include "cli_run.h"
#include "walk_cells.h"

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

CliResult measureIn(const fs::path& dir, const std::string& arguments)
{
    return runCli("measure " + arguments, "cd '" + dir.string() + "' &&");
}

TEST(RoomCli, BadRoomOrGateIsRefusedNamingTheValueBeforeAnythingIsWritten)
{
    struct Case {
        const char* arguments;
        const char* said;
    };
    const Case cases[] = {
        {"--sim-room 5,4,x", "'x' is not a number"},
        {"--sim-room 5,,2.6", "'' is not a number"},
        {"--sim-room 5,4", "takes L,W,H or L,W,H,ALPHA, not 2 numbers"},
        {"--sim-room 0,4,2.6", "the length 0.00 must be above 0 m"},
        {"--sim-room 5,-4,2.6", "the width -4.00 must be above 0 m"},
        {"--sim-room 5,4,2.6,0", "the absorption 0.000 must lie between 0 and 1"},
        {"--sim-room 5,4,2.6,1", "the absorption 1.000"},
        {"--sim-room 5,4,2.6,-0.2", "the absorption -0.200"},
        {"--sim-room 80,4,2.6", "the length 80.00 m is above 50.00 m"},
        {"--sim-room 2.9,4,2.6", "the length 2.90 m cannot hold the rotation centre and the microphone 2.00 m apart"},
        {"--sim-room 5,0.8,2.6", "the width 0.80 m cannot hold the rig"},
        {"--sim-room 5,4,1.6", "the height 1.60 m cannot hold the rig at 1.30 m"},
        {"--sim-room 5,4,2.6 --sim-rig-height 0.3", "cannot hold the rig at 0.30 m"},
        {"--sim-room 5,4,2.6 --sim-rig-height high", "--sim-rig-height: 'high' is not a number"},
        {"--gate 0", "--gate '0': auto, or the gate in ms"},
        {"--gate soon", "--gate 'soon'"},
        {"--gate 2 --window 400", "--window"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        TempDir dir;
        const CliResult r = measureIn(dir.path(), std::string("--simulate ") + c.arguments + " -o b.BAL");
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0) << "nothing written";
    }
    TempDir dir;
    EXPECT_EQ(measureIn(dir.path(), "--tt1 COM1 --tt2 COM2 --sim-room 5,4,2.6 -o b.BAL").status, 2);
}

double levelDb(const ComplexBin& b) { return 10 * std::log10(double(b.re) * b.re + double(b.im) * b.im + 1e-30); }

// The largest level difference between the first points of two balloons from hz up to 20 kHz.
double largestDifference(const fs::path& a, const fs::path& b, int points, double fromHz)
{
    BalloonMatrix x = *BalloonMatrix::create(), y = *BalloonMatrix::create();
    EXPECT_TRUE(loadBalloon(a.string(), x));
    EXPECT_TRUE(loadBalloon(b.string(), y));
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    double worst = 0;
    for (const auto& [row, column] : firstPoints(points))
        for (int bin = 0; bin < kDataBins; ++bin)
            if (axis[bin] >= fromHz && axis[bin] <= 20000)
                worst = std::max(worst, std::abs(levelDb(x.cell(row, column)[static_cast<std::size_t>(bin)]) -
                                                 levelDb(y.cell(row, column)[static_cast<std::size_t>(bin)])));
    return worst;
}

// Three points of a 10-degree walk at order 15 (the fourth recording never returns).
TEST(RoomCli, AGatedRoomWalkMatchesTheAnechoicWalkThroughTheSameWindow)
{
    TempDir dir;
    const std::string walk = "--simulate --grid 10 --order 15 --fault hang=4 ";
    const CliResult room = measureIn(dir.path(), walk + "--sim-room 5,4,2.6 --gate auto -o room.BAL");
    ASSERT_EQ(room.status, 1) << room.err;
    ASSERT_NE(room.err.find("halted after 3 points"), std::string::npos) << room.err;
    const LoadedRecord record = loadMeasurementRecordFor((dir.path() / "room.BAL").string());
    ASSERT_TRUE(record.record) << record.error;
    const MeasurementRecord& r = *record.record;
    ASSERT_TRUE(r.gate);
    EXPECT_TRUE(r.gate->automatic);
    // The floor and the ceiling: sqrt(2^2 + 2.6^2) - 2 m after the direct sound, less the margin.
    EXPECT_NEAR(r.gate->ms, (std::sqrt(4 + 2.6 * 2.6) - 2) / 343 * 1000 - kGateMarginMs, 0.2);
    EXPECT_EQ(r.windowType, 4);
    EXPECT_EQ(r.rateHz, 48000);

    // Resumed from its autosave, the walk keeps the gate its first point found.
    const CliResult resumed = measureIn(dir.path(), "--simulate --sim-room 5,4,2.6 --fault hang=3 --resume . -o resumed.BAL");
    ASSERT_EQ(resumed.status, 1) << resumed.err;
    const LoadedRecord kept = loadMeasurementRecordFor((dir.path() / "resumed.BAL").string());
    ASSERT_TRUE(kept.record && kept.record->gate) << kept.error;
    EXPECT_EQ(*kept.record->gate, *r.gate);
    EXPECT_EQ(kept.record->windowSamples, r.windowSamples);

    std::string ms = readWholeFile(dir.path() / "room.MSR");
    ms = ms.substr(ms.find("gate auto ") + 10);
    ms = ms.substr(0, ms.find('\n'));
    const CliResult anechoic = measureIn(dir.path(), walk + "--gate " + ms + " -o anechoic.BAL");
    ASSERT_EQ(anechoic.status, 1) << anechoic.err;
    const LoadedRecord same = loadMeasurementRecordFor((dir.path() / "anechoic.BAL").string());
    ASSERT_TRUE(same.record);
    EXPECT_FALSE(same.record->gate->automatic);
    EXPECT_EQ(same.record->windowSamples, r.windowSamples);
    EXPECT_EQ(same.record->windowPosition, r.windowPosition);
    const double lowEdge = r.rateHz / r.windowSamples;
    EXPECT_LT(largestDifference(dir.path() / "room.BAL", dir.path() / "anechoic.BAL", 3, lowEdge), 0.5);

    // Without the gate the room shows: the default window holds its reflections.
    ASSERT_EQ(measureIn(dir.path(), walk + "--sim-room 5,4,2.6 -o roomWhole.BAL").status, 1);
    ASSERT_EQ(measureIn(dir.path(), walk + "-o anechoicWhole.BAL").status, 1);
    EXPECT_GT(largestDifference(dir.path() / "roomWhole.BAL", dir.path() / "anechoicWhole.BAL", 3, lowEdge), 3);
    const LoadedRecord whole = loadMeasurementRecordFor((dir.path() / "roomWhole.BAL").string());
    ASSERT_TRUE(whole.record);
    EXPECT_FALSE(whole.record->gate);
    EXPECT_EQ(whole.record->windowSamples, 30000);
}

TEST(RoomCli, AReflectionInsideAFixedGateHaltsTheWalkNamingThePoint)
{
    TempDir dir;
    const CliResult r = measureIn(dir.path(), "--simulate --grid 10 --order 14 --sim-room 5,4,2.6 --gate 5 -o b.BAL");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("The first reflection at H=0 V=90 deg arrives 3."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("inside the time window's gate of 5.00 ms"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("halted after 0 points"), std::string::npos) << r.err;
}

} // namespace
} // namespace vantrel::testing
