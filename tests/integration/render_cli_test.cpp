// vantrel-cli render against the window itself: the same view-area pixels as a session that
// loads the balloon and chooses the view, and clear refusals of bad values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sys/wait.h>
#include <string>

#include "app/main_window_controls.h"
#include "balloon/balloon_file.h"
#include "integration/session_fixture.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

// Louder towards the front and, a little, towards the top; a ripple over frequency.
void synthesiseBalloon(BalloonMatrix& m)
{
    for (int r = 0; r <= 36; ++r)
        for (int c = 0; c <= 72; ++c) {
            const double h = 5 * c * 3.141592653589793 / 180, v = (90 - 5 * r) * 3.141592653589793 / 180;
            auto cell = m.cell(r, c);
            for (int b = 0; b < 750; ++b) {
                const double db = 40 + 28 * std::cos(h) + 6 * std::sin(v) * std::sin(h) + 4 * std::sin(b / 60.0);
                cell[static_cast<std::size_t>(b)] = encodeBin(static_cast<float>(db), 0);
            }
        }
}

struct Cli {
    int status;
    std::string output;
};

Cli render(const std::filesystem::path& dir, const std::string& args)
{
    const std::string command = "cd '" + dir.string() + "' && '" VANTREL_CLI "' render " + args + " 2>&1";
    Cli r{-1, {}};
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            r.output.append(buf, n);
        const int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
}

QImage viewArea(const QImage& window) { return window.copy(420, 5, 680, 705); }

struct RenderCli : ::testing::Test {
    void SetUp() override
    {
        auto m = BalloonMatrix::create();
        ASSERT_TRUE(m);
        synthesiseBalloon(*m);
        ASSERT_FALSE(saveBalloon((dir.path() / "b.BAL").string(), *m, BalloonTrailer{0, 5, 3, 0, 3, 6, 0}));
    }
    TempDir dir;
};

} // namespace

TEST_F(RenderCli, ViewAreaMatchesTheWindowInEveryView)
{
    Session s(dir.path());
    ASSERT_TRUE(loadBalloon((dir.path() / "b.BAL").string(), s.main().matrix()));
    HeadlessWindow& w = *s.platform().window("main");

    // "Fine Mode" at 1 kHz (bin 405, the nearest axis point).
    ASSERT_FALSE(s.run("scroll main 1048 thumbposition 405\npress main 1053\n").error);
    ASSERT_EQ(render(dir.path(), "b.BAL --mode fine --hz 1000 -o f.png").status, 0);
    QImage fine(QString::fromStdString((dir.path() / "f.png").string()));
    ASSERT_EQ(fine.size(), QSize(680, 705));
    EXPECT_EQ(fine.convertToFormat(QImage::Format_RGB32), viewArea(w.image()));

    // A turned view, the other modes, and the column and repair views.
    ASSERT_FALSE(s.run("scroll main 1141 thumbposition 330\nscroll main 1140 thumbposition 380\n"
                       "scroll main 1142 thumbposition 100\nscroll main 1060 thumbposition 20\npress main 1061\n"
                       "scroll main 1049 thumbposition 80\npress main 1052\n")
                     .error);
    ASSERT_EQ(render(dir.path(), "b.BAL --mode coarse --bin 405 --view 30,20,10 --slice 20 --slice-mode left "
                                 "--colour-scale 80 -o c.png")
                  .status,
              0);
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "c.png").string())).convertToFormat(QImage::Format_RGB32),
              viewArea(w.image()));

    ASSERT_FALSE(s.run("scroll main 1046 thumbposition 12\n").error);
    ASSERT_EQ(render(dir.path(), "b.BAL --mode column --column 12 --bin 405 --view 30,20,10 --colour-scale 80 -o k.png").status, 0);
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "k.png").string())).convertToFormat(QImage::Format_RGB32),
              viewArea(w.image()));

    ASSERT_FALSE(s.run("scroll main 1055 thumbposition 3\nscroll main 1056 thumbposition 4\n"
                       "scroll main 1057 thumbposition 20\nscroll main 1058 thumbposition 30\n")
                     .error);
    ASSERT_EQ(render(dir.path(), "b.BAL --mode repair --column 12 --bin 405 --view 30,20,10 --colour-scale 80 "
                                 "--repair-source 3,4 --repair-target 20,30 -o r.png")
                  .status,
              0);
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "r.png").string())).convertToFormat(QImage::Format_RGB32),
              viewArea(w.image()));

    ASSERT_FALSE(s.run("press main 1050\n").error);
    ASSERT_EQ(render(dir.path(), "b.BAL --mode measurement --bin 405 --view 30,20,10 --colour-scale 80 -o m.png").status, 0);
    EXPECT_EQ(QImage(QString::fromStdString((dir.path() / "m.png").string())).convertToFormat(QImage::Format_RGB32),
              viewArea(w.image()));
}

TEST_F(RenderCli, WindowAreaCarriesPanelAndLegendAndTheWarning)
{
    ASSERT_EQ(render(dir.path(), "b.BAL --area window --view 181,0,0 -o w.png").status, 0);
    const QImage img = QImage(QString::fromStdString((dir.path() / "w.png").string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(img.size(), QSize(kMainWidth, kMainHeight));
    EXPECT_EQ(img.pixel(1145, 20), qRgb(128, 0, 0)) << "top legend box";
    EXPECT_EQ(img.pixel(1145, 700), qRgb(0, 0, 128)) << "bottom legend box";
    EXPECT_EQ(img.pixel(225, 35), qRgb(255, 0, 0)) << "turntable 1 not connected";
    int warning = 0;
    for (int y = 15; y < 50; ++y)
        for (int x = 430; x < 800; ++x)
            warning += img.pixel(x, y) == qRgb(196, 32, 0);
    EXPECT_GT(warning, 100);
    EXPECT_EQ(img.pixel(750, 330), qRgb(255, 255, 255)) << "nothing but the warning in the view";

    // Every H = 0 and H = 360 cell lies on the axis: seen from the front, the centre shows the
    // yellow H = 0 squares (12 pixels) under the small green squares of the H = 360 cells.
    ASSERT_EQ(render(dir.path(), "b.BAL --mode measurement --view 0,0,0 -o p.png").status, 0);
    const QImage points(QString::fromStdString((dir.path() / "p.png").string()));
    int yellow = 0, green = 0;
    for (int y = 330 - 5 - 8; y < 330 - 5 + 8; ++y)
        for (int x = 750 - 420 - 8; x < 750 - 420 + 8; ++x) {
            yellow += points.pixel(x, y) == qRgb(255, 255, 0);
            green += points.pixel(x, y) == qRgb(0, 255, 0);
        }
    EXPECT_GT(yellow, 40);
    EXPECT_GT(green, 0);
}

TEST_F(RenderCli, BadValuesAreRefusedWithStatusTwo)
{
    for (const char* args : {"b.BAL --slice 37 -o x.png", "b.BAL --mode sideways -o x.png", "b.BAL --view 1,2 -o x.png",
                             "b.BAL --view 400,0,0 -o x.png", "b.BAL --hz 0 -o x.png", "b.BAL --bin 750 -o x.png",
                             "b.BAL --bin 3 --hz 1000 -o x.png", "b.BAL --repair-source 37,0 -o x.png",
                             "b.BAL --area page -o x.png", "missing.BAL -o x.png", "b.BAL", "b.BAL -o /no/such/dir/x.png"}) {
        const Cli r = render(dir.path(), args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.output;
        EXPECT_NE(r.output.find("vantrel-cli render"), std::string::npos) << args << "\n" << r.output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.png"));
    // A frequency off the balloon's axis is not drawn as its first or last point.
    for (const char* hz : {"1e9", "1", "50001"}) {
        const Cli r = render(dir.path(), std::string("b.BAL --mode fine --hz ") + hz + " -o x.png");
        EXPECT_EQ(r.status, 2) << hz;
        EXPECT_NE(r.output.find("outside the balloon's axis, 10 Hz .. 50000 Hz"), std::string::npos) << r.output;
    }
    // Nor one on the axis but outside the measurement: above 0.45 of the rate, or below the
    // recorded time window's 1/T (5 ms: 200 Hz).
    std::ofstream(dir.path() / "b.MSR") << "vantrel measurement record 1\nrate-hz 48000\nwindow-samples 240\n";
    for (const char* hz : {"30000", "100"}) {
        const Cli r = render(dir.path(), std::string("b.BAL --mode fine --hz ") + hz + " -o x.png");
        EXPECT_EQ(r.status, 2) << hz;
        EXPECT_NE(r.output.find("outside the valid band"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("time window 5 ms"), std::string::npos) << r.output;
    }
    std::filesystem::remove(dir.path() / "b.MSR");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.png"));
    {
        std::ofstream short_file(dir.path() / "short.BAL", std::ios::binary);
        short_file << "not a balloon";
    }
    const Cli foreign = render(dir.path(), "short.BAL -o x.png");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.output.find("This Balloon File is NOT Recognized"), std::string::npos) << foreign.output;
}
