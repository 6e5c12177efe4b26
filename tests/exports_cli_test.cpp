// vantrel-cli export as a user runs it: exit statuses, messages and what lands on disk.

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "balloon/balloon_file.h"
#include "cli_run.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// Standard output and error together, for the checks that look for a text in either.
struct CliRun {
    int status;
    std::string output;
};

CliRun cli(const std::string& arguments)
{
    const auto result = testing::runCli("export " + arguments);
    return {result.status, result.out + result.err};
}

std::string quoted(const fs::path& p)
{
    std::string text(1, '\'');
    return text.append(p.string()).append(1, '\'');
}

class ExportCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto m = BalloonMatrix::create();
        ASSERT_TRUE(m);
        balloon = dir.path() / "spk.BAL";
        ASSERT_FALSE(saveBalloon(balloon.string(), *m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}));
    }
    std::size_t entries(const fs::path& p) const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(p), fs::directory_iterator{}));
    }

    TempDir dir;
    fs::path balloon;
};

// The record beside the balloon limits the FRD files to its sweep's band; --all-points keeps
// the stored axis and says which part is measured. Neither names the balloon's folders.
TEST_F(ExportCli, FrdFilesHoldTheRecordedBandUnlessAllPointsAreAsked)
{
    std::ofstream(dir.path() / "spk.MSR") << "vantrel measurement record 1\nexcitation sweep\nsweep-hz 20 10000\n";
    struct Case {
        const char* option;
        std::size_t lines;  // 0: the band's
        const char* points; // the comment on them
    };
    for (const Case& c : {Case{"", 0, "* Points: the valid band "}, Case{" --all-points", 750, "* Points: all 750"}}) {
        const fs::path out = dir.path() / (c.lines ? "all" : "band");
        const CliRun run = cli(quoted(balloon) + " --frd " + quoted(out) + c.option);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("(sweep from 20 Hz)"), std::string::npos) << run.output;
        std::ifstream in(out / "spk hor 0.frd");
        std::string text((std::istreambuf_iterator<char>(in)), {}), line;
        EXPECT_NE(text.find(c.points), std::string::npos) << text.substr(0, 600);
        EXPECT_NE(text.find("* Source: spk.BAL\n"), std::string::npos);
        EXPECT_EQ(text.find(dir.path().string()), std::string::npos);
        std::istringstream lines(text);
        std::size_t count = 0;
        double lowest = 1e9, highest = 0;
        while (std::getline(lines, line))
            if (!line.starts_with("*")) {
                ++count;
                const double hz = std::stod(line.substr(0, line.find(' ')));
                lowest = std::min(lowest, hz);
                highest = std::max(highest, hz);
            }
        if (c.lines) {
            EXPECT_EQ(count, c.lines);
        } else {
            EXPECT_GE(lowest, 20.0);
            EXPECT_LE(highest, 9700.0);
            EXPECT_GT(count, 500u);
        }
    }
}

TEST_F(ExportCli, WritesBothOutputsAndNamesThem)
{
    const CliRun run = cli(quoted(balloon) + " --sofa " + quoted(dir.path() / "b.sofa") + " --frd " + quoted(dir.path() / "frd") +
                        " --phase unwrapped --title 'My title'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("614 directions"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("74 FRD files"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(dir.path() / "b.sofa"));
    EXPECT_TRUE(fs::exists(dir.path() / "frd" / "spk hor +90.frd"));
    EXPECT_TRUE(fs::exists(dir.path() / "frd" / "spk ver -180.frd"));
    EXPECT_EQ(entries(dir.path() / "frd"), 74u);

    ASSERT_EQ(cli(quoted(balloon) + " --frd " + quoted(dir.path() / "named") + " --prefix 'Two way'").status, 0);
    EXPECT_TRUE(fs::exists(dir.path() / "named" / "Two way hor 0.frd"));
}

TEST_F(ExportCli, AWrongSizedBalloonIsRefusedAndWritesNothing)
{
    for (std::uintmax_t size : {std::uintmax_t{100}, BalloonMatrix::kBlockBytes - 1, BalloonMatrix::kBlockBytes + 1}) {
        const fs::path bad = dir.path() / "bad.BAL";
        { std::ofstream(bad, std::ios::binary | std::ios::trunc) << 'x'; }
        fs::resize_file(bad, size);
        const CliRun run = cli(quoted(bad) + " --sofa " + quoted(dir.path() / "b.sofa") + " --frd " + quoted(dir.path() / "frd"));
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("This Balloon File is NOT Recognized"), std::string::npos) << run.output;
        EXPECT_FALSE(fs::exists(dir.path() / "b.sofa"));
        EXPECT_FALSE(fs::exists(dir.path() / "frd"));
    }
}

TEST_F(ExportCli, BadInputAndUnwritableOutputsExitWithStatusTwo)
{
    const fs::path missing = dir.path() / "missing.BAL";
    CliRun run = cli(quoted(missing) + " --sofa " + quoted(dir.path() / "b.sofa"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find(missing.string()), std::string::npos) << run.output;

    EXPECT_EQ(cli(quoted(balloon)).status, 2); // nothing asked for
    EXPECT_EQ(cli(quoted(balloon) + " --frd " + quoted(dir.path() / "f") + " --phase sideways").status, 2);
    EXPECT_EQ(cli(quoted(balloon) + " --frd " + quoted(dir.path() / "f") + " --prefix a/b").status, 2);

    // Outputs under a path whose parent is a file: reported with the path, nothing left.
    const fs::path blocker = dir.path() / "plain";
    std::ofstream(blocker) << "x";
    run = cli(quoted(balloon) + " --sofa " + quoted(blocker / "b.sofa"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find((blocker / "b.sofa").string()), std::string::npos) << run.output;
    run = cli(quoted(balloon) + " --frd " + quoted(blocker / "frd"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find((blocker / "frd").string()), std::string::npos) << run.output;
    EXPECT_EQ(entries(dir.path()), 2u); // the balloon and the blocker only
}

TEST_F(ExportCli, HtmlPageRefusesWhatTheOtherExportsRefuseAndNeedsThreeJs)
{
    const fs::path bad = dir.path() / "foreign.BAL";
    std::ofstream(bad, std::ios::binary) << "not a balloon";
    const fs::path blocker = dir.path() / "plain";
    std::ofstream(blocker) << "x";
    struct Case {
        std::string arguments, environment;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {quoted(bad) + " --html " + quoted(dir.path() / "b.html"), "", 1, "This Balloon File is NOT Recognized"},
        {quoted(balloon) + " --html " + quoted(blocker / "b.html"), "", 2, (blocker / "b.html").string()},
        {quoted(balloon) + " --html " + quoted(dir.path() / "b.html"), "VANTREL_THREE_JS_DIR=" + quoted(dir.path() / "none"), 1,
         "libjs-three"},
    };
    for (const Case& c : cases) {
        const auto run = testing::runCli("export " + c.arguments, c.environment);
        EXPECT_EQ(run.status, c.status) << c.arguments << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
        EXPECT_EQ(entries(dir.path()), 3u) << c.arguments; // the balloons and the blocker only
    }
}

// CLF text and the SPL tables of a measured 10-degree balloon: what is written and said; an
// unmeasured balloon and bad options are refused and leave nothing.
TEST_F(ExportCli, ClfAndSpinoramaTablesOfAMeasuredBalloon)
{
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    for (int row = 0; row <= 18; ++row)
        for (int column = 0; column <= 36; ++column)
            for (auto& bin : m->cell(row, column))
                bin = {0.5f, 0.0f};
    const fs::path measured = dir.path() / "measured.BAL";
    ASSERT_FALSE(saveBalloon(measured.string(), *m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}));
    const fs::path clf = dir.path() / "out.tab";
    const fs::path spin = dir.path() / "spin";
    CliRun run = cli(quoted(measured) + " --clf " + quoted(clf) + " --spinorama " + quoted(spin) +
                     " --model 'Box 1' --manufacturer Acme --distance 2 --sensitivity-ref 2.83");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("CLF1, 10 bands 16 to 8000 Hz"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("36 curves x "), std::string::npos) << run.output;
    const std::string text = testing::readWholeFile(clf);
    EXPECT_EQ(text.rfind("<CLF1>\r\n<VERSION>\t1\r\n<MODELNAME>\tBox 1\r\n<MANUFACTURER>\tAcme\r\n", 0), 0u) << text;
    // Magnitude 0.5 is 83.98 dB at 2 m, 90.00 dB at 1 m; per volt from 2.83 V, 80.96 dB.
    EXPECT_NE(text.find("<AXIAL-SPECTRUM>\t90.00\t"), std::string::npos);
    EXPECT_NE(text.find("<SENSITIVITY>\t80.96\t"), std::string::npos);
    EXPECT_TRUE(fs::exists(spin / "SPL Horizontal.txt") && fs::exists(spin / "SPL Vertical.txt"));

    run = cli(quoted(measured) + " --clf " + quoted(clf) + " --clf-version 2");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("CLF2, 23 bands 100 to 16000 Hz, directions between the balloon's cells interpolated"),
              std::string::npos) << run.output;

    const fs::path none = dir.path() / "none.tab";
    for (const char* bad : {" --clf-version 3", " --distance 0", " --sensitivity-ref -1", " --model 'No #1'"}) {
        run = cli(quoted(measured) + " --clf " + quoted(none) + std::string(bad));
        EXPECT_EQ(run.status, 2) << bad << ": " << run.output;
    }
    run = cli(quoted(balloon) + " --clf " + quoted(none) + " --spinorama " + quoted(dir.path() / "spin2"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("no measurement in the cell of H = 0, V = 0"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(none));
    EXPECT_FALSE(fs::exists(dir.path() / "spin2"));
}

TEST_F(ExportCli, AFrequencyRangeTheMeasurementNeverOffersIsRefused)
{
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    // The words as a foreign writer left them: From: index 12 is on no list.
    m->writeTrailer(BalloonTrailer{0, 5, 3, 0, 12, 6, 1});
    const fs::path odd = dir.path() / "odd.BAL";
    std::ofstream(odd, std::ios::binary).write(reinterpret_cast<const char*>(m->bytes().data()), BalloonMatrix::kBlockBytes);
    const CliRun run = cli(quoted(odd) + " --sofa " + quoted(dir.path() / "b.sofa"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("frequency range"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(dir.path() / "b.sofa"));
}

} // namespace
} // namespace vantrel
