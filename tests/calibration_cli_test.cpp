// vantrel-cli calibrate: the target file it writes, the Linkwitz refusal and bad usage.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>  // std::system
#include <filesystem>
#include <fstream>
#include <sstream>

#include "calibration/calibration_builder.h"
#include "calibration/target_file.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

struct CliRun {
    int status = -1;
    std::string err;
};

// ctest runs these cases in parallel processes: each process keeps its own scratch directory.
std::filesystem::path scratch(const std::string& name)
{
    static const testing::TempDir dir;
    return dir.path() / name;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CliRun calibrate(const std::string& args)
{
    const auto err = scratch("stderr.txt");
    const std::string command = std::string("'" VANTREL_CLI_PATH "' calibrate ") + args + " 2> '" + err.string() + "'";
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = readText(err);
    return run;
}

TEST(CalibrateCli, HighPassCascadeAtOneKilohertz)
{
    const auto out = scratch("hp.trg");
    std::filesystem::remove(out);
    const CliRun run = calibrate("--section 0:8:0:1:1:0 --section 2:8:0:1:1:0 --section 4:1:6:1000:1:0 -o '" +
                                 out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(readText(out));
    double bestF = 0, bestLevel = 0, bestPhase = 0;
    double f = 0, level = 0, phase = 0;
    int count = 0;
    while (lines >> f >> level >> phase) {
        ++count;
        if (std::abs(std::log(f / 1000.0)) < std::abs(std::log(bestF / 1000.0)) || bestF == 0)
            bestF = f, bestLevel = level, bestPhase = phase;
    }
    EXPECT_EQ(count, 750);
    EXPECT_NEAR(bestLevel, -3.0, 0.1);
    EXPECT_NEAR(bestPhase, 90.0, 1.0);
}

TEST(CalibrateCli, RunsTheSameComputationAsTheWindow)
{
    const auto out = scratch("same.trg");
    ASSERT_EQ(calibrate("--invert --from 4 --to 5 --section 3:3:0:500:2:-6 -o '" + out.string() + "'").status, 0);
    FrequencyAxis axis;
    axis.buildFromIndexes(4, 5);
    FilterSections sections = kDefaultFilterSections;
    sections[3] = {kQParametric, 0, 500.0f, 2.0f, -6.0f};
    CalibrationCurve curve{};
    ASSERT_TRUE(showCalibration(sections, true, axis, curve).refusal.empty());
    EXPECT_EQ(readText(out), formatTargetFile(axis, curve));
}

TEST(CalibrateCli, OddLinkwitzOrderFailsWithTheWindowsMessage)
{
    const auto out = scratch("x.trg");
    std::filesystem::remove(out);
    const CliRun run = calibrate("--section 2:2:2:1000:1:0 -o '" + out.string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "LP Option NOT Applicable To Linkwitz Filters 2\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(calibrate("--section 0:2:5:1000:1:0 -o '" + out.string() + "'").err,
              "HP Option NOT Applicable To Linkwitz Filters\n");
}

TEST(CalibrateCli, BadUsageExitsTwoWithAReason)
{
    const std::string out = " -o '" + scratch("bad.trg").string() + "'";
    for (const std::string& args :
         {"--section 5:1:1:1000:1:0" + out, "--section 0:11:1:1000:1:0" + out, "--section 0:1:16:1000:1:0" + out,
          "--section 0:1:1:1k:1:0" + out, "--section 0:1:1:1000:1" + out, "--section 0:1:1:1000:1:0:7" + out,
          "--section 0:1:1:nan:1:0" + out, "--from 10" + out, "--to -1" + out, "--from 9 --to 0" + out,
          "--bogus" + out, "--section" + out, std::string("--invert")}) {
        const CliRun run = calibrate(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.err.find("calibrate: "), std::string::npos) << args << ": " << run.err;
    }
}

// A microphone's file becomes the target file's curve: interpolated, held flat, its phase kept;
// a malformed one is refused naming its line and writes nothing.
TEST(CalibrateCli, MicFileBecomesTheTargetFile)
{
    const auto mic = scratch("mic.txt");
    std::ofstream(mic) << "\"Sens Factor =-1.4dB\"\n20\t-1.0\t5\n1000\t3.0\t30\n16000\t-2.0\t0\n";
    const auto out = scratch("mic.trg");
    std::filesystem::remove(out);
    const CliRun run = calibrate("--mic-file '" + mic.string() + "' -o '" + out.string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    FrequencyAxis axis;
    CalibrationCurve curve{};
    ASSERT_EQ(readTargetFile(out.string(), curve).status, TargetReadStatus::Complete);
    for (int b = 0; b < kAxisPoints; ++b) {
        const double f = axis[b];
        const float level = curve[static_cast<std::size_t>(b)].level;
        const double expected = f <= 20 ? -1.0 : f >= 16000 ? -2.0 : std::abs(f - 1000) < 3 ? 3.0 : NAN;
        if (!std::isnan(expected)) {
            EXPECT_NEAR(level, expected, 0.02) << f;
        }
    }

    const auto bad = scratch("bad-mic.txt");
    std::ofstream(bad) << "20 0\n1000 3\n900 1\n";
    const auto none = scratch("none.trg");
    std::filesystem::remove(none);
    const CliRun refused = calibrate("--mic-file '" + bad.string() + "' -o '" + none.string() + "'");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("line 3: frequency 900 Hz does not rise"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_EQ(calibrate("--mic-file '" + mic.string() + "' --invert -o '" + none.string() + "'").status, 2);
}

TEST(CalibrateCli, UnwritableOutputIsAFailure)
{
    const CliRun run = calibrate("-o '" + (scratch("no-such-dir") / "x.trg").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no-such-dir"), std::string::npos);
}

} // namespace
} // namespace vantrel
