// Conversion of the recorded block and the stored-recording (*.RES) reader.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <unistd.h>
#include <vector>

#include "mls/capture.h"

namespace vantrel {
namespace {

TEST(MlsCapture, SplitScalesTakesPeaksBeforePolarityAndStopsAtTheLastFullFrame)
{
    std::vector<std::int32_t> capture(kCaptureCopySamples, 0);
    capture[0] = 42000;
    capture[1] = -84000;
    capture[2] = std::numeric_limits<std::int32_t>::min();
    capture[2 * kConvertedFrames] = std::numeric_limits<std::int32_t>::max(); // frame 263,499: not converted
    std::vector<float> ref(kCaptureCopySamples, 5.0f), in(kCaptureCopySamples, 5.0f);

    const CapturePeaks peaks = splitCapture(capture, ref, in, -1, 1);
    EXPECT_FLOAT_EQ(ref[0], -1.0f);
    EXPECT_FLOAT_EQ(in[0], -2.0f);
    EXPECT_NEAR(ref[1], 51130.56f, 0.01f);
    EXPECT_NEAR(peaks.refPeak, 51130.56f, 0.01f);
    EXPECT_FLOAT_EQ(peaks.inPeak, 2.0f);
    EXPECT_FLOAT_EQ(ref[kConvertedFrames - 1], 0.0f);
    EXPECT_FLOAT_EQ(ref[kConvertedFrames], 5.0f);

    // Short spans convert only as far as they reach.
    std::vector<float> shortRef(10, 5.0f);
    splitCapture(capture, shortRef, in, 1, 1);
    EXPECT_FLOAT_EQ(shortRef[0], 1.0f);
}

class ResFile : public ::testing::Test {
protected:
    std::string path = (std::filesystem::temp_directory_path() / ("vantrel_mls_" + std::to_string(::getpid()) + ".RES")).string();
    void TearDown() override { std::filesystem::remove(path); }

    void write(long size, const char* fields)
    {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size), 0);
        for (long i = 0; i < std::min(size, kResSampleBytes); ++i)
            bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i * 7);
        for (int i = 0; i < 8 && kResSampleBytes + i < size; ++i)
            bytes[static_cast<std::size_t>(kResSampleBytes + i)] = static_cast<unsigned char>(fields[i]);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
    }
};

TEST_F(ResFile, BothAcceptedSizesReadSamplesAndIndexes)
{
    for (long size : {kResShortSize, kResLongSize}) {
        write(size, "6\0\0\0" "3   ");
        std::vector<std::int32_t> copy(kCaptureCopySamples, -1);
        const ResImport r = readResFile(path.c_str(), copy);
        ASSERT_TRUE(r.ok()) << size;
        EXPECT_EQ(r.rateIndex, 6);
        EXPECT_EQ(r.mlsLengthIndex, 3);
        EXPECT_EQ(copy[1], 0x312a231c); // bytes 28, 35, 42, 49 little-endian
        // The last sample's top byte is not in the file and keeps the old contents.
        EXPECT_EQ(static_cast<std::uint32_t>(copy[526999]) >> 24, 0xffu);
        EXPECT_EQ(copy[527000], -1);
    }
}

TEST_F(ResFile, WrongSizesAndBadIndexFieldsAreRefusedWithoutTouchingTheCopy)
{
    struct Case {
        long size;
        const char fields[9];
    };
    const Case cases[] = {
        {2108008, "5\0\0\0" "5\0\0\0"}, {kResShortSize - 1, "5\0\0\0" "5\0\0\0"}, {kResShortSize, "8\0\0\0" "5\0\0\0"},
        {kResShortSize, "5\0\0\0" "6\0\0\0"}, {kResShortSize, "0005" "5\0\0\0"},  {kResShortSize, "x\0\0\0" "5\0\0\0"},
        {kResShortSize, "5\0\0\0" "-1\0\0"},
    };
    for (const Case& c : cases) {
        write(c.size, c.fields);
        std::vector<std::int32_t> copy(kCaptureCopySamples, 3);
        const ResImport r = readResFile(path.c_str(), copy);
        EXPECT_FALSE(r.ok()) << c.size << " " << c.fields;
        EXPECT_EQ(r.message(), "Accepting 24bit files only");
        EXPECT_EQ(copy[0], 3);
    }
    const ResImport missing = readResFile((path + ".none").c_str(), {});
    EXPECT_EQ(missing.outcome, ResImport::Outcome::unableToOpen);
    EXPECT_EQ(missing.message(), "Unable To Open");
}

} // namespace
} // namespace vantrel
