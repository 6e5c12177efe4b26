// "Near Field" and "Merge Near Field" driven through the session harness on the simulated rig:
// the clipped first try refused, the curve measured with the microphone at the cone and saved,
// a gated balloon loaded and merged with it in memory, and "Save Data" keeping the merge band.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "analysis/near_field_curve.h"
#include "balloon/balloon_file.h"
#include "balloon/measurement_record.h"
#include "integration/session_fixture.h"
#include "mls/measurement_window.h"
#include "platform/sim/loudspeaker.h"
#include "platform/sim/sim_audio.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// Every cell of the 10-degree grid the model's response at 2 m, recorded as gated by 3.5 ms.
void writeGatedBalloon(const std::filesystem::path& path)
{
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const VirtualLoudspeaker model;
    for (int row = 0; row <= lastRow(AngleGrid::Grid10); ++row)
        for (int column = 0; column <= lastColumn(AngleGrid::Grid10); ++column) {
            auto cell = m->cell(row, column);
            for (int i = 0; i < kAxisPoints; ++i) {
                const std::complex<double> p = model.atDistance(axis[i], 10.0 * column, 90 - 10.0 * row, 2) * 30.0;
                cell[static_cast<std::size_t>(i)] = {static_cast<float>(p.real()), static_cast<float>(p.imag())};
            }
        }
    ASSERT_FALSE(saveBalloon(path.string(), *m, {0, 5, 3, 0, 3, 6, 1}));
    MeasurementRecord record;
    record.rateHz = 48000;
    record.windowSamples = 168;
    record.windowType = 4;
    record.gate = GateRecord{false, 3.5};
    ASSERT_FALSE(saveMeasurementRecord(measurementRecordPathFor(path.string()), record));
}

TEST(NearFieldSession, MeasuredAtTheConeSavedAndMergedIntoTheBalloon)
{
    const TempDir dir;
    const auto nf = dir.path() / "nf.txt";
    const auto gated = dir.path() / "gated.BAL";
    const auto merged = dir.path() / "merged.BAL";
    writeGatedBalloon(gated);
    Session session(dir.path(), true);
    auto run = [&](const std::string& script) {
        SessionRun r = session.run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    };
    run("press main 1038\npress measure 20030\n"); // live recordings, not "Saved IR"

    // Nothing to merge yet; at the initial volume the close microphone clips.
    SessionRun r = run("press measure 20053\n");
    EXPECT_NE(r.find("No near-field curve"), -1) << r.events;
    r = run("press measure 20050\nwait 9000\n");
    EXPECT_NE(r.find("The IN channel clipped"), -1) << r.events;
    EXPECT_FALSE(std::filesystem::exists(nf));

    r = run("scroll measure 10006 thumbtrack 2\nfile \"" + nf.string() + "\"\npress measure 20050\nwait 9000\n");
    const NearFieldLoad curve = loadNearFieldCurve(nf.string());
    ASSERT_TRUE(curve.curve) << curve.error << "\n" << r.events;
    EXPECT_EQ(curve.curve->radiusMm, 80);
    EXPECT_EQ(curve.curve->distanceMm, 5);
    // No cell was written by it, and the next recording hears the measuring distance again.
    EXPECT_EQ(session.main().matrix().cell(18, 0)[100].re, 0.0f);
    EXPECT_EQ(dynamic_cast<SimAudioSystem&>(session.devices().audio()).options().nearFieldDistance, 0);

    // Closed with a near-field recording in flight, the rig's microphone goes back.
    run("press measure 20050\nclose measure\nwait 9000\npress main 1038\n");
    EXPECT_EQ(dynamic_cast<SimAudioSystem&>(session.devices().audio()).options().nearFieldDistance, 0);

    run("file \"" + gated.string() + "\"\npress main 1037\n");
    r = run("press measure 20053\n");
    EXPECT_NE(r.find("Merged below"), -1) << r.events;
    r = run("press measure 20053\n");
    EXPECT_NE(r.find("merged already"), -1) << r.events;
    // The merged axis at 40 Hz against the model at 2 m (the same scale as the cells).
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    int at = 0;
    while (axis[at] < 40)
        ++at;
    const ComplexBin b = session.main().matrix().cell(9, 0)[static_cast<std::size_t>(at)];
    const double level = 10 * std::log10(double(b.re) * b.re + double(b.im) * b.im);
    const double model = 20 * std::log10(std::abs(VirtualLoudspeaker().atDistance(axis[at], 0, 0, 2) * 30.0));
    EXPECT_NEAR(level, model, 1.0);

    run("file \"" + merged.string() + "\"\npress main 1036\n");
    const LoadedRecord record = loadMeasurementRecordFor(merged.string());
    ASSERT_TRUE(record.record) << record.error;
    ASSERT_TRUE(record.record->merge);
    EXPECT_GT(record.record->merge->lowHz, 285);
    EXPECT_LT(record.record->merge->highHz, 715);
    ASSERT_TRUE(record.record->gate);
    EXPECT_EQ(record.record->gate->ms, 3.5);
}

} // namespace
