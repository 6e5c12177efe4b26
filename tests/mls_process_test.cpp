// A synthesised recording stored as a *.RES file, processed by the engine (golden response) and
// by `vantrel-cli process` / `vantrel-cli mls` when the executable has been built.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "mls/mls_engine.h"
#include "mls_test_signals.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string sourcePath(const char* relative)
{
    const char* root = std::getenv("VANTREL_SOURCE_DIR");
    return (fs::path(root ? root : VANTREL_TEST_SOURCE_DIR) / relative).string();
}

class MlsProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        engine = std::make_unique<MlsEngine>();
        MlsSettings s; // order 18 at 48 kHz, as a live measurement
        ASSERT_TRUE(engine->generateMlsForPlayback(s).ok());
        test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), 1500, 35, test::OnePole{0.6});
        std::vector<unsigned char> bytes(kResShortSize, 0);
        std::memcpy(bytes.data(), engine->captureCopy().data(), kResSampleBytes);
        std::memcpy(bytes.data() + kResSampleBytes, "5\0\0\0" "5\0\0\0", 8);
        std::ofstream(recording, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.push_back(0);
        std::ofstream(badSize, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static void TearDownTestSuite()
    {
        engine.reset();
        fs::remove(recording);
        fs::remove(badSize);
    }

    // The engine's response to the stored file with the settings given.
    static AxisLevelPhase process(MlsSettings s)
    {
        const ResImport r = engine->importRecording(recording.c_str());
        EXPECT_TRUE(r.ok());
        s.rateIndex = r.rateIndex;
        s.mlsLengthIndex = r.mlsLengthIndex;
        EXPECT_TRUE(engine->rebuildMlsTables(s).ok());
        engine->splitCapture(s);
        engine->computeImpulseResponses(s);
        FrequencyAxis axis;
        EXPECT_TRUE(engine->computeFrequencyResponse(s, axis, CalibrationCurve{}).ok());
        return engine->response();
    }

    static std::string text(const AxisLevelPhase& response)
    {
        FrequencyAxis axis;
        std::string out;
        char line[96];
        for (int j = 0; j < kAxisPoints; ++j) {
            std::snprintf(line, sizeof line, "%.2f    %.2f    %.2f  \r\n", static_cast<double>(axis[j]),
                          static_cast<double>(response[static_cast<std::size_t>(j)].level),
                          static_cast<double>(response[static_cast<std::size_t>(j)].phase));
            out += line;
        }
        return out;
    }

    static inline std::unique_ptr<MlsEngine> engine;
    static inline const std::string recording = (fs::temp_directory_path() / ("vantrel_rec_" + std::to_string(::getpid()) + ".RES")).string();
    static inline const std::string badSize = (fs::temp_directory_path() / ("vantrel_bad_" + std::to_string(::getpid()) + ".RES")).string();
};

struct Golden {
    double levelTolerance = 0, phaseTolerance = 0;
    std::vector<LevelPhase> points;
};

// Lines starting with '#' carry the tolerances ("# tolerance level 0.05 dB phase 0.5 deg").
Golden readGolden(const std::string& path)
{
    Golden g;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("#")) {
            std::sscanf(line.c_str(), "# tolerance level %lf dB phase %lf deg", &g.levelTolerance, &g.phaseTolerance);
            continue;
        }
        double f, level, phase;
        if (std::sscanf(line.c_str(), "%lf %lf %lf", &f, &level, &phase) == 3)
            g.points.push_back({static_cast<float>(level), static_cast<float>(phase)});
    }
    return g;
}

void checkGolden(const char* name, const char* description, const AxisLevelPhase& response)
{
    const std::string path = sourcePath((std::string("tests/golden/") + name).c_str());
    if (std::getenv("VANTREL_UPDATE_GOLDEN")) {
        std::ofstream out(path, std::ios::binary);
        out << "# tolerance level 0.05 dB phase 0.5 deg\n";
        out << "# " << description << "\n# frequency Hz, level dB, phase degrees\n";
        FrequencyAxis axis;
        for (int j = 0; j < kAxisPoints; ++j)
            out << std::to_string(axis[j]) << ' ' << response[static_cast<std::size_t>(j)].level << ' '
                << response[static_cast<std::size_t>(j)].phase << '\n';
    }
    const Golden g = readGolden(path);
    ASSERT_EQ(g.points.size(), static_cast<std::size_t>(kAxisPoints)) << path;
    ASSERT_GT(g.levelTolerance, 0);
    for (std::size_t j = 0; j < g.points.size(); ++j) {
        ASSERT_NEAR(response[j].level, g.points[j].level, g.levelTolerance) << name << " point " << j;
        // Phases near +-180 may wrap either way.
        const double d = std::remainder(static_cast<double>(response[j].phase) - g.points[j].phase, 360.0);
        ASSERT_NEAR(d, 0.0, g.phaseTolerance) << name << " point " << j;
    }
}

TEST_F(MlsProcess, StoredRecordingMatchesTheGoldenResponses)
{
    constexpr const char* kRecording = "order-18 recording at 48 kHz synthesised by mls_process_test: REF the loop-back 1500 "
                                       "samples late, IN 35 samples later through y[n] = 0.4 x[n] + 0.6 y[n-1]";
    checkGolden("mls_lowpass_default.txt", (std::string(kRecording) + "; default settings").c_str(), process(MlsSettings{}));
    MlsSettings matched;
    matched.useMatchedFilter = 1;
    checkGolden("mls_lowpass_matched.txt", (std::string(kRecording) + "; matched filter 80 Hz, Q 0.70, slope 4").c_str(),
                process(matched));
}

TEST_F(MlsProcess, MatchedFilterRangeIsCheckedAfterTheReferencePart)
{
    MlsSettings s;
    s.useMatchedFilter = 1;
    s.filterF3dbText = "4.99";
    (void)process(MlsSettings{});
    FrequencyAxis axis;
    EXPECT_EQ(engine->computeFrequencyResponse(s, axis, CalibrationCurve{}).message, "Filter Cut-Off Frequency Out Of Range (5-1000Hz)");
    EXPECT_GT(engine->refResponse()[300].level, 0.0f);
}

TEST_F(MlsProcess, AResponseThatIsNotFiniteIsRefused)
{
    // A calibration level of -10000 dB turns into a division by 1e-500: the engine refuses the
    // whole response rather than hand infinity to a plot, a file or the balloon.
    (void)process(MlsSettings{});
    MlsSettings s;
    s.useCalibration = 1;
    CalibrationCurve calibration{};
    calibration[300].level = -10000.0f;
    FrequencyAxis axis;
    EXPECT_EQ(engine->computeFrequencyResponse(s, axis, calibration).message, kResponseRangeText);
    calibration[300].level = 0;
    EXPECT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    EXPECT_FALSE(usableCalibrationLevel(-10000));
    EXPECT_FALSE(usableCalibrationLevel(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(usableCalibrationLevel(-770.6));
    EXPECT_FALSE(usableCalibrationLevel(770.7));
}

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun runCli(const std::string& arguments)
{
    const char* dir = std::getenv("VANTREL_BINARY_DIR");
    const fs::path cli = fs::path(dir ? dir : VANTREL_TEST_BINARY_DIR) / "vantrel-cli";
    CliRun r;
    if (!fs::exists(cli))
        return r;
    const std::string command = cli.string() + " " + arguments + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        r.out.append(buffer, got);
    const int status = ::pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST_F(MlsProcess, CommandLineProcessesRefusesAndCaptions)
{
    if (runCli("mls 15").status < 0)
        GTEST_SKIP() << "vantrel-cli is not built";
    const CliRun caption = runCli("mls 15");
    EXPECT_EQ(caption.status, 0);
    EXPECT_EQ(caption.out, "MLS 2,  Taps [ 13,14,-1,-1 ],  Length = 32767   \n");
    EXPECT_EQ(runCli("mls 12").status, 2);

    const CliRun plain = runCli("process " + recording);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, text(process(MlsSettings{})));

    MlsSettings s;
    s.windowTypeIndex = 1;
    s.smoothingIndex = 5;
    s.fftWindowPosition = 40;
    s.addDbText = "-90";
    s.inPolarity = -1;
    const CliRun options = runCli("process " + recording + " --window 1 --smoothing 5 --position 40 --add -90 --invert-in");
    EXPECT_EQ(options.status, 0);
    EXPECT_EQ(options.out, text(process(s)));

    const CliRun tooLong = runCli("process " + recording + " --width 300000");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.out, "Please reduce Timw Window Length\n");
    const CliRun wrongSize = runCli("process " + badSize);
    EXPECT_EQ(wrongSize.status, 1);
    EXPECT_EQ(wrongSize.out, "Accepting 24bit files only\n");
    EXPECT_EQ(runCli("process " + recording + " --window 10").status, 2);
    EXPECT_EQ(runCli("process " + recording + " --bogus").status, 2);
    EXPECT_EQ(runCli("process " + recording + ".missing").status, 2);

    // A calibration file with a level no float can divide by writes nothing.
    const std::string bad = recording + ".trg";
    const std::string out = recording + ".out";
    {
        std::ofstream trg(bad, std::ios::binary);
        for (int j = 0; j < kAxisPoints; ++j)
            trg << "100.00    " << (j == 200 ? "-10000.00" : "0.00") << "    0.00  \r\n";
    }
    fs::remove(out);
    const CliRun refused = runCli("process " + recording + " --calibration " + bad + " -o " + out);
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_NE(refused.out.find("holds a level of no usable size at point 201"), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists(out));
    fs::remove(bad);
}

} // namespace
} // namespace vantrel
