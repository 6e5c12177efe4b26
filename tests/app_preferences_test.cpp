#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

#include "app/preferences.h"
#include "temp_dir.h"

using namespace vantrel;
using vantrel::testing::TempDir;

namespace {

PreferencesRecord readRecord(const std::filesystem::path& path)
{
    PreferencesRecord r{};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(r.data()), static_cast<std::streamsize>(r.size()));
    return r;
}

void writeBytes(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

template <typename T> T at(const PreferencesRecord& r, std::size_t offset)
{
    T v;
    std::memcpy(&v, r.data() + offset, sizeof v);
    return v;
}

template <typename T> void put(PreferencesRecord& r, std::size_t offset, T v) { std::memcpy(r.data() + offset, &v, sizeof v); }

} // namespace

TEST(Preferences, RoundTripKeepsEverySettingAndTheCalibrationCurve)
{
    TempDir dir;
    MlsSettings s;
    s.windowTypeIndex = 7;
    s.rateIndex = 6;
    s.smoothingIndex = 5;
    s.fftWindowPosition = 399;
    s.mlsLengthIndex = 2;
    s.fromIndex = 7;
    s.toIndex = 0;
    s.useSavedIr = 0;
    s.inputDeviceId = 3;
    s.outputDeviceId = 19;
    s.outputVolume = 100;
    s.useMatchedFilter = 1;
    s.windowWidthText = "123456789";
    s.frontWindowText = "12";
    s.filterF3dbText = "55.5";
    s.filterQText = "1.5";
    s.filterSlopeText = "2";
    CalibrationCurve curve{};
    for (int i = 0; i < kAxisPoints; ++i)
        curve[static_cast<std::size_t>(i)] = {i * 0.25f - 50.0f, 179.9f - i * 0.5f};

    PreferencesFile file(dir.path().string());
    ASSERT_TRUE(file.save(s, curve));
    EXPECT_EQ(std::filesystem::file_size(file.path()), kPreferencesSize);

    const PreferencesRecord r = readRecord(file.path());
    EXPECT_EQ(at<float>(r, 8), 6.0f) << "the rate index is stored as a float";
    EXPECT_EQ(at<std::int32_t>(r, 24), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 60), "123456789");

    MlsSettings back;
    CalibrationCurve curveBack{};
    PreferencesFile reader(dir.path().string());
    ASSERT_TRUE(reader.load(back, curveBack));
    EXPECT_EQ(back.windowTypeIndex, 7);
    EXPECT_EQ(back.rateIndex, 6);
    EXPECT_EQ(back.smoothingIndex, 5);
    EXPECT_EQ(back.fftWindowPosition, 399);
    EXPECT_EQ(back.mlsLengthIndex, 2);
    EXPECT_EQ(back.fromIndex, 7);
    EXPECT_EQ(back.toIndex, 0);
    EXPECT_EQ(back.useSavedIr, 0);
    EXPECT_EQ(back.inputDeviceId, 3);
    EXPECT_EQ(back.outputDeviceId, 19);
    EXPECT_EQ(back.outputVolume, 100);
    EXPECT_EQ(back.useMatchedFilter, 1);
    EXPECT_EQ(back.windowWidthText, "123456789");
    EXPECT_EQ(back.frontWindowText, "12");
    EXPECT_EQ(back.filterF3dbText, "55.5");
    EXPECT_EQ(back.filterQText, "1.5");
    EXPECT_EQ(back.filterSlopeText, "2");
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_EQ(curveBack[i].level, curve[i].level);
        EXPECT_EQ(curveBack[i].phase, curve[i].phase);
    }
}

TEST(Preferences, FloatWordsTruncateTowardZeroAndReservedBytesSurvive)
{
    TempDir dir;
    MlsSettings s;
    CalibrationCurve curve{};
    PreferencesRecord r{};
    packPreferences(s, curve, r);
    put<float>(r, 0, 2.9f);   // window type
    put<float>(r, 20, -0.5f); // window position
    r[4] = 0xAB;              // reserved
    r[115] = 0xCD;            // reserved
    const auto path = dir.path() / kPreferencesFileName;
    writeBytes(path, r.data(), r.size());

    PreferencesFile file(dir.path().string());
    ASSERT_TRUE(file.load(s, curve));
    EXPECT_EQ(s.windowTypeIndex, 2);
    EXPECT_EQ(s.fftWindowPosition, 0);
    ASSERT_TRUE(file.save(s, curve));
    const PreferencesRecord saved = readRecord(path);
    EXPECT_EQ(saved[4], 0xAB);
    EXPECT_EQ(saved[115], 0xCD);
}

TEST(Preferences, DamagedFieldsTakeTheirInitialValuesAndTheRestStillLoads)
{
    TempDir dir;
    MlsSettings s;
    s.outputVolume = 42;
    CalibrationCurve curve{};
    curve[10] = {3.0f, 45.0f};
    PreferencesRecord r{};
    packPreferences(s, curve, r);
    put<float>(r, 8, 1e9f);                                    // rate index far off the list
    put<float>(r, 0, std::numeric_limits<float>::quiet_NaN()); // window type
    put<std::int32_t>(r, 24, 6);                               // MLS length index past the list
    put<std::int32_t>(r, 32, -1);                              // "To:" index
    put<std::int32_t>(r, 44, 1000);                            // input device
    put<float>(r, 116 + 8 * 20, std::numeric_limits<float>::infinity());
    put<float>(r, 116 + 8 * 21, -10000.0f); // finite, but dividing by its linear value is not
    std::memcpy(r.data() + 60, "ABCDEFGHIJK", 11);             // a text slot without its zero
    writeBytes(dir.path() / kPreferencesFileName, r.data(), r.size());

    MlsSettings loaded;
    loaded.outputVolume = 0;
    CalibrationCurve curveLoaded{};
    PreferencesFile file(dir.path().string());
    ASSERT_TRUE(file.load(loaded, curveLoaded));
    const MlsSettings initial;
    EXPECT_EQ(loaded.rateIndex, initial.rateIndex);
    EXPECT_EQ(loaded.windowTypeIndex, initial.windowTypeIndex);
    EXPECT_EQ(loaded.mlsLengthIndex, initial.mlsLengthIndex);
    EXPECT_EQ(loaded.toIndex, initial.toIndex);
    EXPECT_EQ(loaded.inputDeviceId, initial.inputDeviceId);
    EXPECT_EQ(loaded.outputVolume, 42) << "undamaged fields still load";
    EXPECT_EQ(loaded.windowWidthText, "ABCDEFGHIJ") << "a text is taken up to ten characters";
    EXPECT_EQ(curveLoaded[10].level, 3.0f);
    EXPECT_EQ(curveLoaded[20].level, 0.0f);
    EXPECT_EQ(curveLoaded[20].phase, 0.0f);
    EXPECT_EQ(curveLoaded[21].level, 0.0f);
}

TEST(Preferences, AnAxisWithoutSpanFallsBackToTheInitialLimits)
{
    TempDir dir;
    MlsSettings s;
    s.fromIndex = 9; // 1000 Hz
    s.toIndex = 0;   // 500 Hz
    CalibrationCurve curve{};
    PreferencesRecord r{};
    packPreferences(s, curve, r);
    MlsSettings loaded;
    EXPECT_EQ(unpackPreferences(r, loaded, curve), 1);
    EXPECT_EQ(loaded.fromIndex, MlsSettings{}.fromIndex);
    EXPECT_EQ(loaded.toIndex, MlsSettings{}.toIndex);
}

TEST(Preferences, ShortFileFillsWhatItHoldsAndLeavesTheRest)
{
    TempDir dir;
    MlsSettings s;
    s.rateIndex = 6;
    CalibrationCurve curve{};
    PreferencesRecord r{};
    packPreferences(s, curve, r);
    writeBytes(dir.path() / kPreferencesFileName, r.data(), 20); // up to the smoothing index

    MlsSettings loaded;
    loaded.outputVolume = 77;
    loaded.windowWidthText = "500";
    CalibrationCurve curveLoaded{};
    curveLoaded[0] = {1.0f, 2.0f};
    PreferencesFile file(dir.path().string());
    ASSERT_TRUE(file.load(loaded, curveLoaded));
    EXPECT_EQ(loaded.rateIndex, 6);
    EXPECT_EQ(loaded.outputVolume, 77);
    EXPECT_EQ(loaded.windowWidthText, "500");
    EXPECT_EQ(curveLoaded[0].level, 1.0f);
}

TEST(Preferences, AFileThatOpensButDoesNotReadIsReportedAndChangesNothing)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / kPreferencesFileName);
    MlsSettings s;
    s.outputVolume = 33;
    CalibrationCurve curve{};
    curve[5] = {1.5f, 2.5f};
    PreferencesFile file(dir.path().string());
    EXPECT_FALSE(file.load(s, curve));
    EXPECT_EQ(s.outputVolume, 33);
    EXPECT_EQ(curve[5].level, 1.5f);
    EXPECT_EQ(curve[6].level, 0.0f);
}

TEST(Preferences, MissingFileAndUnwritableDirectoryAreReported)
{
    TempDir dir;
    MlsSettings s;
    CalibrationCurve curve{};
    PreferencesFile missing(dir.path().string());
    EXPECT_FALSE(missing.load(s, curve));
    PreferencesFile nowhere((dir.path() / "no" / "such" / "dir").string());
    EXPECT_FALSE(nowhere.save(s, curve));
}
