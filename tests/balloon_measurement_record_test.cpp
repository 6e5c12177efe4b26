#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "balloon/measurement_record.h"

namespace vantrel {
namespace {

TEST(MeasurementRecord, ReadsBackAsWritten)
{
    MeasurementRecord r;
    r.excitation = RecordedExcitation::sweep;
    r.sweepF1Hz = 20.5;
    r.sweepF2Hz = 23999.25;
    r.rateHz = 48000;
    r.windowSamples = 240.5;
    r.windowType = 4;
    r.windowPosition = 7;
    r.gate = GateRecord{true, 5.125};
    r.merge = MergeBand{150, 300.5};
    r.outputVolumePercent = 10;
    const std::string text = measurementRecordText(r);
    EXPECT_NE(text.find("sweep-hz 20.5 23999.25\n"), std::string::npos) << text;
    std::string error;
    EXPECT_EQ(parseMeasurementRecord(text, error), r) << error;
    EXPECT_DOUBLE_EQ(r.windowSeconds(), 240.5 / 48000);

    // A newer writer's lines are skipped, CR LF endings and blank lines read.
    const auto later = parseMeasurementRecord("vantrel measurement record 2\r\n\r\nexcitation mls\r\nnew-key 1\r\nrate-hz 44100\r\n", error);
    ASSERT_TRUE(later) << error;
    EXPECT_EQ(later->rateHz, 44100);
}

TEST(MeasurementRecord, RefusesMalformedLinesNamingThem)
{
    const std::string head = "vantrel measurement record 1\n";
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {"", "measurement record: empty"},
        {"vantrel balloon 1\n", "line 1: is not"},
        {head + "excitation noise\n", "line 2: excitation must be mls or sweep"},
        {head + "excitation sweep\n", "a sweep without its sweep-hz line"},
        {head + "sweep-hz 20 10\n", "line 2: sweep-hz must be two frequencies"},
        {head + "excitation mls\nsweep-hz 20 200\n", "sweep-hz given for an MLS"},
        {head + "rate-hz 48000,5\n", "line 2: rate-hz must be one rate"},
        {head + "rate-hz 48000\nrate-hz 44100\n", "line 3: rate-hz appears twice"},
        {head + "window-samples -240\n", "line 2: window-samples"},
        {head + "window-samples nan\n", "line 2: window-samples"},
        {head + "window-type 10\n", "line 2: window-type must be a whole number 0..9"},
        {head + "window-position 4.5\n", "line 2: window-position"},
        {head + "gate maybe 5\n", "line 2: gate must be auto or fixed"},
        {head + "gate auto 0\n", "line 2: gate must be auto or fixed"},
        {head + "merge-hz 300 150\n", "line 2: merge-hz"},
        {head + "output-volume-percent 0\n", "line 2: output-volume-percent must be one drive"},
        {head + "output-volume-percent 101\n", "line 2: output-volume-percent must be one drive"},
        {head + std::string("rate-hz 1\0 2\n", 13), "line 2: holds a NUL byte"},
        {head + std::string(70000, ' '), "larger than"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parseMeasurementRecord(c.text, error)) << c.text;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(MeasurementRecord, LivesBesideItsBalloonAndIsOptional)
{
    const auto dir = std::filesystem::temp_directory_path() / "vantrel_record_test";
    std::filesystem::create_directories(dir);
    const std::string balloon = (dir / "room.bal").string();
    EXPECT_EQ(measurementRecordPathFor(balloon), (dir / "room.MSR").string());
    EXPECT_EQ(measurementRecordPathFor("x.balloon"), "x.balloon.MSR");
    std::filesystem::remove(dir / "room.MSR");

    LoadedRecord none = loadMeasurementRecordFor(balloon);
    EXPECT_FALSE(none.record);
    EXPECT_TRUE(none.error.empty());

    MeasurementRecord r;
    r.windowSamples = 30000;
    r.rateHz = 48000;
    ASSERT_FALSE(saveMeasurementRecord(measurementRecordPathFor(balloon), r));
    EXPECT_EQ(loadMeasurementRecordFor(balloon).record, r);

    std::ofstream(dir / "room.MSR") << "garbage\n";
    LoadedRecord damaged = loadMeasurementRecordFor(balloon);
    EXPECT_FALSE(damaged.record);
    EXPECT_NE(damaged.error.find("room.MSR: measurement record line 1"), std::string::npos) << damaged.error;
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vantrel
