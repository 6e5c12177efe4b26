// Measurement-microphone calibration files: the layouts makers ship, the correction's sign
// through the measurement's own calibration step, the interpolation and every refusal.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "calibration/mic_file.h"
#include "mls/frequency_response.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

int nearestBin(const FrequencyAxis& axis, double hz)
{
    int best = 0;
    for (int i = 1; i < kAxisPoints; ++i)
        if (std::abs(std::log(axis[i] / hz)) < std::abs(std::log(axis[best] / hz)))
            best = i;
    return best;
}

TEST(MicFile, ReadsTheLayoutsMakersShip)
{
    struct Case {
        const char* name;
        const char* text;
        std::size_t points;
        bool phase;
        double lastDb, lastPhase;
        const char* sensitivity;
    };
    const Case cases[] = {
        {"quoted sensitivity header, TABs", "\"Sens Factor =-1.378dB, AGain =18dB, SERNO: 1234567\"\n20\t-0.5\n"
                                            "1000\t0.0\n20000\t2.25\n",
         3, false, 2.25, 0, "Sens Factor =-1.378dB, AGain =18dB, SERNO: 1234567"},
        {"comments, heading, blanks, CR LF", "* Calibration of mic 1234\r\nFreq(Hz)  SPL(dB)  Phase(deg)\r\n\r\n"
                                             "  20   -1.0   10\r\n1000   0   0\r\n20000   -3.5  -45\r\n",
         3, true, -3.5, -45, ""},
        {"commas", "# sensitivity 12.3 mV/Pa\n20,-1.0\n1000,0\n1.6e4,0.75\n", 3, false, 0.75, 0,
         "# sensitivity 12.3 mV/Pa"},
        {"semicolons with decimal commas", "Hz;dB;deg\n20;-0,5;12,5\n20000;3,25;-170\n", 2, true, 3.25, -170, ""},
        {"TABs with decimal commas", "Freq\tdB\n20\t-0,35\n1000\t0,25\n20000,5\t-1,5\n", 3, false, -1.5, 0, ""},
        {"blanks with decimal commas and phase", "20  -1,25  12,5\n1000  0  0\n2000  0,75  -3,5\n", 3, true, 0.75,
         -3.5, ""},
        {"UTF-8 mark, no final line end", "\xEF\xBB\xBF" "100 1\n200 2", 2, false, 2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MicReadResult r = parseMicText(c.text);
        ASSERT_TRUE(r.calibration) << r.error;
        EXPECT_EQ(r.calibration->points.size(), c.points);
        EXPECT_EQ(r.calibration->hasPhase, c.phase);
        EXPECT_DOUBLE_EQ(r.calibration->points.back().db, c.lastDb);
        EXPECT_DOUBLE_EQ(r.calibration->points.back().phase, c.lastPhase);
        EXPECT_EQ(r.calibration->sensitivityLine, c.sensitivity);
    }
}

TEST(MicFile, RefusesMalformedFilesNamingTheLine)
{
    struct Case {
        const char* name;
        std::string text;
        const char* message; // part of the refusal
    };
    const Case cases[] = {
        {"no numbers", "just a title\nand a heading\n", "no line of frequency and level in its 2 lines"},
        {"one point", "# one\n1000 0\n", "only one point"},
        {"falling frequency", "20 0\n1000 0\n500 1\n", "line 3: frequency 500 Hz does not rise above 1000 Hz"},
        {"repeated frequency", "20 0\n20 1\n", "line 2: frequency 20 Hz does not rise"},
        {"zero frequency", "0 0\n20 1\n", "line 1: frequency 0 Hz is not above 0 Hz"},
        {"NaN level", "20 0\n1000 nan\n", "line 2: 'nan' is not a finite number"},
        {"infinite frequency", "20 0\ninf 1\n", "line 2: 'inf' is not a finite number"},
        {"overflowing level", "20 0\n1000 1e999\n", "line 2: '1e999' is not a finite number"},
        {"level beyond any correction", "20 0\n1000 -9000\n", "line 2: level -9000 dB is beyond any correction"},
        {"text after the numbers", "20 0\n1000 0.5dB\n", "line 2: '0.5dB' is not a finite number"},
        {"four columns", "20 0 0 1\n", "line 1: expected frequency (Hz), level (dB) and optionally phase"},
        {"lone number", "20\n", "line 1: expected frequency"},
        {"phase column comes and goes", "20 0 0\n1000 1\n", "line 2: 2 columns where the lines before have 3"},
        {"comma column beside a decimal comma", "20 0\n1000, 0,25\n", "line 2: cannot tell whether its commas"},
        {"comma beside a point in blank columns", "1,000\t0.5\n", "line 1: cannot tell whether its commas"},
        {"two commas in a number", "20\t0,2,5\n", "line 1: cannot tell whether its commas"},
        {"comma columns after decimal commas", "20\t0,5\n1000,1\n", "line 2: commas separate the columns where"},
        {"decimal commas after comma columns", "20,0.5\n1000\t1,5\n", "line 2: decimal commas where the lines"},
        {"a runaway line", "20 0\n" + std::string(kMicLineLimit + 1, '1') + "\n", "line 2: longer than 4096"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MicReadResult r = parseMicText(c.text);
        EXPECT_FALSE(r.calibration);
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    }
}

TEST(MicFile, AGigabyteLineIsRefusedWithoutReadingItWhole)
{
    testing::TempDir dir;
    const auto path = dir.path() / "runaway.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "* header\n20 0\n";
        const std::string block(1 << 20, '7');
        for (int i = 0; i < 64; ++i) // 64 MB stands for any size: the reader stops at the limit
            out << block;
    }
    const MicReadResult r = readMicFile(path.string());
    EXPECT_FALSE(r.calibration);
    EXPECT_NE(r.error.find("line 3: longer than"), std::string::npos) << r.error;
    const MicReadResult missing = readMicFile((dir.path() / "absent.txt").string());
    EXPECT_NE(missing.error.find("cannot open"), std::string::npos) << missing.error;
}

TEST(MicFile, InterpolatesInLogFrequencyAndHoldsFlatBeyondItsRange)
{
    FrequencyAxis axis; // 10 Hz .. 50 kHz
    const MicReadResult r = parseMicText("100 -2 170\n1000 4 -170\n10000 1 0\n");
    ASSERT_TRUE(r.calibration) << r.error;
    const CalibrationCurve curve = micCurve(*r.calibration, axis);
    for (int b = 0; b < kAxisPoints; ++b) {
        const double f = axis[b];
        const LevelPhase& p = curve[static_cast<std::size_t>(b)];
        double level = 0, phase = 0;
        if (f <= 100) {
            level = -2;
            phase = 170;
        } else if (f <= 1000) {
            const double t = std::log10(f / 100);
            level = -2 + 6 * t;
            phase = 170 + 20 * t; // the short way round through 180
        } else if (f <= 10000) {
            const double t = std::log10(f / 1000);
            level = 4 - 3 * t;
            phase = 190 + 170 * t; // -170 unwrapped to +190, on the short way to 0 (360)
        } else {
            level = 1;
        }
        phase = std::remainder(phase, 360.0);
        ASSERT_NEAR(p.level, level, 1e-4) << f;
        ASSERT_NEAR(std::remainder(p.phase - phase, 360.0), 0, 1e-3) << f;
    }
}

// The measurement's own calibration step divides by the curve: a microphone that reads 3 dB
// high at 1 kHz (and leads by 30 degrees there) lowers the response by 3 dB and 30 degrees.
TEST(MicFile, APositiveFileValueLowersTheMeasuredLevel)
{
    FrequencyAxis axis;
    const MicReadResult r = parseMicText("20 0 0\n1000 3 30\n20000 0 0\n");
    ASSERT_TRUE(r.calibration) << r.error;
    const CalibrationCurve curve = micCurve(*r.calibration, axis);
    AxisLevelPhase response{};
    for (auto& p : response)
        p = {80.0f, 0.0f};
    applyCalibration(curve, response);
    const int k = nearestBin(axis, 1000);
    EXPECT_NEAR(response[static_cast<std::size_t>(k)].level, 80 - curve[static_cast<std::size_t>(k)].level, 1e-3);
    EXPECT_NEAR(curve[static_cast<std::size_t>(k)].level, 3, 0.02);
    EXPECT_NEAR(response[static_cast<std::size_t>(k)].phase, -curve[static_cast<std::size_t>(k)].phase, 1e-2);
    EXPECT_NEAR(response[0].level, 80, 1e-3); // held flat at 0 dB below 20 Hz
}

} // namespace
} // namespace vantrel
