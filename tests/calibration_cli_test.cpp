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

TEST(CalibrateCli, UnwritableOutputIsAFailure)
{
    const CliRun run = calibrate("-o '" + (scratch("no-such-dir") / "x.trg").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no-such-dir"), std::string::npos);
}

} // namespace
} // namespace vantrel
