// The main window's view controls driven by control id: mode and slice buttons, the grid
// buttons, the selection, repair and rotation scroll bars, "Clear Balloon", "Test Balloon"
// and "Repair", checked by the window's pixels, its readouts and the balloon.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/main_window_controls.h"
#include "integration/session_fixture.h"
#include "platform/qt/image_canvas.h"
#include "views/drawing_resources.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

Rgb at(const HeadlessWindow& w, int x, int y)
{
    const QRgb p = w.image().pixel(x, y);
    return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)), static_cast<std::uint8_t>(qBlue(p))};
}

// True when text, drawn as a readout (default font, black on opaque white), is exactly what
// the window shows at (x, y): drawing it again changes no pixel.
bool showsText(const HeadlessWindow& w, int x, int y, const std::string& text, Font font = Font::System)
{
    QImage copy = w.image().copy();
    ImageCanvas c(copy);
    c.setFont(font);
    c.setTextColour(Rgb{0, 0, 0});
    c.setTextBackground(true, Rgb{255, 255, 255});
    c.textOut(x, y, text);
    return copy == w.image();
}

int countColour(const HeadlessWindow& w, Rgb colour, int left = 421, int top = 6, int right = 1099, int bottom = 709)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += at(w, x, y) == colour;
    return n;
}

int countPalette(const HeadlessWindow& w)
{
    int n = 0;
    for (int y = 6; y < 709; ++y)
        for (int x = 421; x < 1099; ++x) {
            const Rgb p = at(w, x, y);
            for (std::size_t i = 1; i < 37; ++i)
                if (p == kPaletteColours[i]) {
                    ++n;
                    break;
                }
        }
    return n;
}

// A balloon that rises from 12 dB at the back to 68 dB on axis at every bin (levels 1 to 29,
// colours 1 to 34 at the initial colour scale).
void synthesiseBalloon(BalloonMatrix& m, AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    for (int r = 0; r <= lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            const double h = step * c * 3.141592653589793 / 180;
            const float db = static_cast<float>(40 + 28 * std::cos(h));
            auto cell = m.cell(r, c);
            for (int b = 0; b < 750; ++b)
                cell[static_cast<std::size_t>(b)] = encodeBin(db, 0);
        }
}

struct ViewSession : ::testing::Test {
    TempDir dir;
    Session s{dir.path()};
    HeadlessWindow& w = *s.platform().window("main");
    void run(const std::string& script) { ASSERT_FALSE(s.run(script).error) << script; }
};

} // namespace

TEST_F(ViewSession, FineModeShowsTheSurfaceCabinetAndBlueAxes)
{
    synthesiseBalloon(s.main().matrix(), AngleGrid::Grid5);
    run("press main 1053\n");
    if (const char* out = std::getenv("VANTREL_TEST_SHOTS"))
        w.image().save(QString::fromStdString(std::string(out) + "/fine.png"));
    EXPECT_TRUE(w.isChecked(1053));
    EXPECT_FALSE(w.isChecked(1050));
    EXPECT_EQ(s.main().selection().viewMode, 3);
    EXPECT_GT(countPalette(w), 40000) << "the coloured surface";
    EXPECT_GT(countColour(w, Rgb{0, 0, 164}), 300) << "the blue axes";
    EXPECT_TRUE(showsText(w, 600, 680, "Matrix  [36] [72]         "));
    EXPECT_TRUE(showsText(w, 430, 15, "Horizontal View 1.0 deg  "));
    // A repaint draws the same view again, between the panel and the legend.
    const QImage direct = w.image().copy(421, 6, 678, 703);
    w.repaintNow();
    EXPECT_EQ(w.image().copy(421, 6, 678, 703), direct);
    EXPECT_TRUE(showsText(w, 10, 388, "Bin = 460, Fr = 1877.7, 0.0    ")) << "the painted bin readout ends in 0.0";
}

// A job nobody watches draws nothing; once watched, a repaint draws the view in full.
TEST_F(ViewSession, UnwatchedWindowsKeepTheirPixelsUntilPaintingReturns)
{
    synthesiseBalloon(s.main().matrix(), AngleGrid::Grid5);
    const QImage before = w.image().copy();
    s.platform().setPainting(false);
    run("press main 1053\n");
    EXPECT_EQ(s.main().selection().viewMode, 3) << "the button works unseen";
    EXPECT_EQ(w.image(), before);
    s.platform().setPainting(true);
    w.repaintNow();
    EXPECT_GT(countPalette(w), 40000);
}

TEST_F(ViewSession, SliceButtonsDrawTheColourBalloonEvenInMeasurementMode)
{
    synthesiseBalloon(s.main().matrix(), AngleGrid::Grid5);
    run("press main 1062\n");
    EXPECT_TRUE(w.isChecked(1062));
    EXPECT_TRUE(w.isChecked(1050)) << "the mode stays";
    EXPECT_EQ(s.main().selection().sliceMode, 1);
    // Measurement Mode draws no colour square, but the cabinet and the blue axes are there.
    EXPECT_EQ(countPalette(w), 0);
    EXPECT_GT(countColour(w, Rgb{0, 0, 164}), 300);
    run("press main 1051\nscroll main 1060 thumbposition 0\n");
    EXPECT_TRUE(showsText(w, 265, 319, "Slice = 0    "));
    // "Right" with slice 0, seen from the front, paints the H = 180 column only.
    const int right0 = countPalette(w);
    run("press main 1063\n");
    EXPECT_EQ(countPalette(w), right0) << "\"Full\" with slice 0 paints column 36 twice";
    run("scroll main 1060 linedown\n");
    EXPECT_GT(countPalette(w), right0);
    EXPECT_GT(right0, 0);
}

TEST_F(ViewSession, GridButtonsSwitchTheGridAndKeepOneMark)
{
    run("press main 1031\n");
    EXPECT_EQ(s.main().angleGrid(), AngleGrid::Grid10);
    EXPECT_TRUE(w.isChecked(1031));
    EXPECT_FALSE(w.isChecked(1030));
    run("press main 1030\n");
    EXPECT_EQ(s.main().angleGrid(), AngleGrid::Grid5);
    EXPECT_TRUE(w.isChecked(1030));
}

TEST_F(ViewSession, ScrollBarsClampRedrawAndWriteTheirReadouts)
{
    s.main().matrix().cell(0, 0)[749] = encodeBin(50.0f, 0.0f);
    run("scroll main 1048 thumbposition 749\nscroll main 1048 linedown\n");
    EXPECT_EQ(w.scrollPos(1048), 749);
    EXPECT_TRUE(showsText(w, 10, 388, "Bin = 749, Fr = 50000.0, 20.0    "));
    run("scroll main 1048 lineup\n");
    EXPECT_TRUE(showsText(w, 10, 388, "Bin = 748, Fr = 49435.4, -25.0    ")) << "row 0, column 0, unclamped";

    run("scroll main 1049 thumbposition 5\nscroll main 1049 pageup\n");
    EXPECT_EQ(s.main().selection().colourScale, 0);
    EXPECT_TRUE(showsText(w, 10, 347, "Colour Map = 0.000    "));

    // The view rotation bars: beyond 180 degrees only the warning is drawn.
    run("scroll main 1141 thumbtrack 179\n");
    EXPECT_EQ(s.main().selection().viewScrollH, 179);
    EXPECT_GT(countColour(w, Rgb{196, 32, 0}), 100);
    {
        QImage copy = w.image().copy();
        ImageCanvas c(copy);
        c.setFont(Font::Times);
        c.setTextColour(Rgb{196, 32, 0});
        c.setTextBackground(true, Rgb{255, 255, 255});
        c.textOut(430, 15, "Invalid Horizontal View 181.0 deg  ");
        EXPECT_EQ(copy, w.image());
    }
    run("scroll main 1141 thumbtrack 180\n");
    EXPECT_EQ(countColour(w, Rgb{196, 32, 0}), 0);
    EXPECT_TRUE(showsText(w, 430, 15, "Horizontal View 180.0 deg  "));
    // The end of a scroll redraws nothing.
    run("scroll main 1141 thumbtrack 541\nscroll main 1141 endscroll\n");
    EXPECT_GT(countColour(w, Rgb{196, 32, 0}), 100);
    EXPECT_EQ(w.scrollPos(1141), 541);
}

TEST_F(ViewSession, RepairBarsSwitchToRawModeAndShowTheColumnAndMarks)
{
    synthesiseBalloon(s.main().matrix(), AngleGrid::Grid5);
    run("scroll main 1056 thumbposition 10\n");
    EXPECT_TRUE(w.isChecked(1051));
    EXPECT_FALSE(w.isChecked(1050));
    EXPECT_TRUE(showsText(w, 260, 626, "Horizontal = 10    "));
    EXPECT_TRUE(showsText(w, 600, 680, "From Matrix  [0] [10]    "));
    EXPECT_TRUE(showsText(w, 800, 680, "To Matrix  [0] [0]    "));
    // The end of the scroll still redraws on the repair bars.
    const int before = countPalette(w);
    run("press main 1053\nscroll main 1058 endscroll\n");
    EXPECT_TRUE(w.isChecked(1051));
    EXPECT_EQ(countPalette(w), before) << "the column view again, after Fine Mode's surface";
    run("scroll main 1046 thumbposition 40\n");
    EXPECT_TRUE(showsText(w, 265, 388, "Horizontal = 40    "));
    EXPECT_TRUE(showsText(w, 650, 680, "Left 40   "));
}

TEST_F(ViewSession, RepairCopiesTheSourceCellOverTheTarget)
{
    BalloonMatrix& m = s.main().matrix();
    synthesiseBalloon(m, AngleGrid::Grid5);
    m.cell(3, 4)[100] = encodeBin(33.0f, 12.0f);
    m.cell(20, 50)[755] = ComplexBin{7, 8};
    run("scroll main 1055 thumbposition 3\nscroll main 1056 thumbposition 4\n"
        "scroll main 1057 thumbposition 20\nscroll main 1058 thumbposition 50\npress main 1050\n");
    EXPECT_TRUE(w.isChecked(1050));
    run("press main 1059\n");
    EXPECT_EQ(std::memcmp(m.cell(3, 4).data(), m.cell(20, 50).data(), 750 * sizeof(ComplexBin)), 0);
    EXPECT_EQ(m.cell(20, 50)[755].re, 7) << "bins beyond 749 stay";
    EXPECT_TRUE(w.isChecked(1051));
    EXPECT_TRUE(showsText(w, 600, 680, "From Matrix  [3] [4]    "));
    EXPECT_TRUE(showsText(w, 800, 680, "To Matrix  [20] [50]    "));
}

TEST_F(ViewSession, ClearBalloonThenTestModeMarksOnePosition)
{
    run("press main 1044\npress main 1054\n");
    EXPECT_TRUE(w.isChecked(1054));
    EXPECT_TRUE(showsText(w, 600, 680, "Matrix  [18] [0]         "));
    // Every other mark sits at the centre, the last one drawn a small green square; the mark
    // of (V 0, H 0) at radius 30 lies a few pixels off it in the initial view (1, 1, 0).
    EXPECT_EQ(at(w, 750, 330), (Rgb{0, 255, 0}));
    EXPECT_EQ(at(w, 741, 338), (Rgb{255, 255, 0})) << "the H = 0 square of the mark at (745, 334)";
    EXPECT_EQ(at(w, 738, 338), (Rgb{255, 255, 255}));
    // A sequence step at H = 90, V = 0 marks row 18, column 18 on the sphere of radius 30.
    s.main().drawBalloonPoints(0, 0, 18, 1);
    const int x = static_cast<int>(750 + 30 * 5500.0 / 700);
    EXPECT_EQ(at(w, x, 330), (Rgb{0, 0, 255}));
    EXPECT_EQ(at(w, x - 4, 330), (Rgb{0, 0, 0}));
    EXPECT_TRUE(showsText(w, 600, 680, "Matrix  [18] [18]         "));
}

TEST_F(ViewSession, TestBalloonWalksTheTenDegreePathWithItsWaits)
{
    run("press main 1031\n");
    const auto start = s.platform().now();
    run("press main 1029\n");
    EXPECT_EQ(s.platform().now() - start, 18u * 37u * 50u) << "50 ms before each of 666 points";
    EXPECT_TRUE(w.isChecked(1054));
    EXPECT_FALSE(w.isChecked(1050));
    const PointGrids& g = s.main().display().grids();
    for (int r = 0; r < 18; ++r)
        for (int c = 0; c <= 36; ++c)
            ASSERT_EQ(g.measured[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)].level, 30.0f) << r << " " << c;
    // The last V index, -8, is even: its row (17) runs from column 36 down to 0.
    EXPECT_TRUE(showsText(w, 600, 680, "Matrix  [17] [0]         "));
    EXPECT_TRUE(showsText(w, 430, 660, "top_limit -8     "));
}
