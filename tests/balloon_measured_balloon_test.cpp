// A balloon loaded with what it was measured with: the record beside it, else the sweep's band
// from its distortion file, and refusals for either when it is damaged.

#include <gtest/gtest.h>

#include <fstream>

#include "balloon/distortion_balloon.h"
#include "balloon/measured_balloon.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

TEST(MeasuredBalloon, TakesTheRecordElseTheDistortionFileAndRefusesADamagedOne)
{
    TempDir dir;
    const std::string balloon = (dir.path() / "s.BAL").string();
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    m->cell(18, 0)[100] = {1.0f, 0.0f};
    ASSERT_FALSE(saveBalloon(balloon, *m, kInitialBalloonTrailer));
    auto target = BalloonMatrix::create();
    ASSERT_TRUE(target);

    // Neither: the trailer alone, as before records.
    MeasuredBalloonLoad loaded = loadMeasuredBalloon(balloon, *target);
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_FALSE(loaded.record);
    EXPECT_EQ(loaded.measured.sweepF1Hz, 0);
    EXPECT_EQ(loaded.measured.windowSeconds, 0);

    // A sweep walk's distortion file: its f1, f2.
    DistortionBalloon distortion;
    distortion.reset(AngleGrid::Grid10, 20, 20000, FrequencyAxis{});
    ASSERT_FALSE(saveDistortion(distortionPathFor(balloon), distortion));
    loaded = loadMeasuredBalloon(balloon, *target);
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_EQ(loaded.measured.sweepF1Hz, 20);
    EXPECT_EQ(loaded.measured.sweepF2Hz, 20000);

    // The record wins over the distortion file.
    MeasurementRecord record;
    record.excitation = RecordedExcitation::sweep;
    record.sweepF1Hz = 50;
    record.sweepF2Hz = 16000;
    record.rateHz = 48000;
    record.windowSamples = 960;
    record.merge = MergeBand{150, 300};
    ASSERT_FALSE(saveMeasurementRecord(measurementRecordPathFor(balloon), record));
    loaded = loadMeasuredBalloon(balloon, *target);
    ASSERT_TRUE(loaded) << loaded.error;
    EXPECT_EQ(loaded.record, record);
    EXPECT_EQ(loaded.measured.sweepF1Hz, 50);
    EXPECT_DOUBLE_EQ(loaded.measured.windowSeconds, 0.02);
    EXPECT_EQ(loaded.measured.merge, record.merge);

    // Damaged: refused with the reason, and the matrix keeps what it held.
    struct Damage {
        const char* file;
        const char* text;
        const char* reason;
    };
    const Damage damages[] = {
        {".MSR", "vantrel measurement record 1\nwindow-samples many\n", "measurement record is damaged"},
        {".DST", "VNTLDIST", "distortion file, which holds the sweep's band, is damaged"},
    };
    std::filesystem::remove(measurementRecordPathFor(balloon));
    for (const Damage& d : damages) {
        const auto path = dir.path() / (std::string("s") + d.file);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << d.text;
        auto untouched = BalloonMatrix::create();
        ASSERT_TRUE(untouched);
        loaded = loadMeasuredBalloon(balloon, *untouched);
        EXPECT_FALSE(loaded);
        EXPECT_NE(loaded.error.find(d.reason), std::string::npos) << loaded.error;
        EXPECT_EQ(untouched->cell(18, 0)[100].re, 0.0f);
        std::filesystem::remove(path);
    }
}

} // namespace
} // namespace vantrel
