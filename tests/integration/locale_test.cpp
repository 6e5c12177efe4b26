// Every number the program reads and writes keeps the "." decimal point under a decimal-comma
// locale: the measurement, calibration and process paths of vantrel-cli, a whole session through
// the harness (whose Qt application object takes the locale from the environment), and the
// desktop program, each run under LC_ALL=C and under de_DE.UTF-8 with byte-identical results.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "decimal_comma_locale.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace vantrel::testing;

namespace {

struct ShellRun {
    int status = -1;
    std::string out; // standard output, then standard error
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ShellRun shell(const std::string& command)
{
    ShellRun r;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            r.out.append(buf, n);
        const int raw = pclose(p);
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return r;
}

class CommaLocale : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        localeDir_ = commaLocaleDir();
        scratch_ = std::make_unique<TempDir>();
        // One recording shared by the cases, made once in the C locale.
        recordingMade_ = shell("cd '" + scratch_->path().string() + "' && LC_ALL=C '" VANTREL_CLI
                               "' simulate-recording --h 30 --v 0 --order 15 -o axis.RES")
                             .status == 0;
    }
    static void TearDownTestSuite() { scratch_.reset(); }

    void SetUp() override
    {
        if (localeDir_.empty())
            GTEST_SKIP() << "localedef cannot build " << kCommaLocale;
        ASSERT_TRUE(recordingMade_);
        fs::create_directories(dir("c"));
        fs::create_directories(dir("comma"));
    }

    // A fresh directory per locale inside this case's own temporary directory.
    fs::path dir(const std::string& locale) const { return own_.path() / locale; }
    static fs::path recording() { return scratch_->path() / "axis.RES"; }

    // command run in dir(locale) under that locale.
    ShellRun in(const std::string& locale, const std::string& command) const
    {
        const std::string env = locale == "c" ? "LC_ALL=C LANG=C " : commaLocaleEnv(localeDir_);
        return shell("cd '" + dir(locale).string() + "' && " + env + command);
    }
    // The same command in both locales: same status, same output, and the same bytes in file.
    void expectSame(const std::string& command, const std::string& file = {}) const
    {
        const ShellRun c = in("c", command);
        const ShellRun comma = in("comma", command);
        EXPECT_EQ(comma.status, c.status) << command;
        EXPECT_EQ(comma.out, c.out) << command;
        if (!file.empty()) {
            const std::string bytes = readFile(dir("c") / file);
            EXPECT_FALSE(bytes.empty()) << file;
            EXPECT_EQ(readFile(dir("comma") / file), bytes) << file;
        }
    }

    TempDir own_;
    static std::string localeDir_;
    static std::unique_ptr<TempDir> scratch_;
    static bool recordingMade_;
};

std::string CommaLocale::localeDir_;
std::unique_ptr<TempDir> CommaLocale::scratch_;
bool CommaLocale::recordingMade_ = false;

const std::string kCli = "'" VANTREL_CLI "' ";

} // namespace

TEST_F(CommaLocale, TheLocaleIsRealForTheCLibrary)
{
    const ShellRun r = in("comma", "/usr/bin/printf '%.2f' 0,7");
    EXPECT_EQ(r.out, "0,70") << "the test locale must use the decimal comma, or the other cases prove nothing";
}

TEST_F(CommaLocale, CalibrateWritesTheSameTargetFile)
{
    expectSame(kCli + "calibrate --section 0:1:6:80:0.7:0 --section 1:3:0:1000:2.5:-3.5 -o a.trg", "a.trg");
    const std::string text = readFile(dir("comma") / "a.trg");
    EXPECT_NE(text.find("."), std::string::npos);
    EXPECT_EQ(text.find(","), std::string::npos) << text.substr(0, 200);
}

TEST_F(CommaLocale, ProcessGivesTheSameResponseWithAndWithoutACalibration)
{
    std::string res = "'";
    res += recording().string();
    res += "' ";
    expectSame(kCli + "process " + res + "--width 1500.5 --add 2.25 -o plain.txt", "plain.txt");
    expectSame(kCli + "process " + res + "--matched-filter --f3db 80.0 --q 0.70 --slope 4.0 -o matched.txt", "matched.txt");
    ASSERT_EQ(in("c", kCli + "calibrate --section 0:1:6:80:0.7:0 -o cal.trg").status, 0);
    ASSERT_EQ(in("comma", kCli + "calibrate --section 0:1:6:80:0.7:0 -o cal.trg").status, 0);
    expectSame(kCli + "process " + res + "--calibration cal.trg -o calibrated.txt", "calibrated.txt");
    // The matched filter's Q of "0.70" was read as 0 and refused under the comma locale.
    EXPECT_NE(readFile(dir("comma") / "matched.txt"), readFile(dir("comma") / "plain.txt"));
}

TEST_F(CommaLocale, ASessionRecordsTheSameEventsAndPixels)
{
    // Measurement window: a width and a matched filter typed with decimals, an imported
    // recording through IR -> SPL; then the calibration window builds, saves and reloads a curve.
    const std::string script = "press main 1038\\n"
                               "type measure 10012 \"1500.5\"\\n"
                               "type measure 20032 \"0.70\"\\n"
                               "press measure 20034\\n"
                               "file \"" + recording().string() + "\"\\n"
                               "press measure 10007\\n"
                               "press measure 10009\\n"
                               "screenshot measure \"measure.png\"\\n"
                               "press measure 20036\\n"
                               "select calibration 10604 3\\n"
                               "type calibration 10605 \"120.5\"\\n"
                               "type calibration 10606 \"0.7\"\\n"
                               "type calibration 10607 \"-3.5\"\\n"
                               "press calibration 1\\n"
                               "file \"cal.trg\"\\n"
                               "press calibration 10629\\n"
                               "file \"cal.trg\"\\n"
                               "press calibration 10630\\n"
                               "screenshot calibration \"calibration.png\"\\n";
    const std::string command = "printf '" + script + "' | " + kCli + "session --simulate";
    expectSame(command, "measure.png");
    EXPECT_EQ(readFile(dir("comma") / "calibration.png"), readFile(dir("c") / "calibration.png"));
    EXPECT_EQ(readFile(dir("comma") / "cal.trg"), readFile(dir("c") / "cal.trg"));
    const ShellRun comma = in("comma", command);
    EXPECT_EQ(comma.out.find("Out Of Range"), std::string::npos) << comma.out;
    EXPECT_NE(comma.out.find("stored"), std::string::npos) << comma.out;
}

TEST_F(CommaLocale, TheDesktopProgramDrawsTheSameMainWindow)
{
    const std::string command = "QT_QPA_PLATFORM=offscreen '" VANTREL_GUI "' --simulate --speed 2.5 --screenshot main.png";
    expectSame(command, "main.png");
}
