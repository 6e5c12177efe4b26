// The balloon views: projection, point view, repair marks, colour balloon and column view,
// checked by the calls they make and by their pixels on the window's image canvas.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/qt/image_canvas.h"
#include "views/balloon_views.h"
#include "views/drawing_resources.h"

namespace vantrel {
namespace {

// Draws on a window-sized image and keeps the rectangles and texts it was asked for.
class TeeCanvas final : public Canvas {
public:
    struct Rect {
        int left, top, right, bottom;
        Pen pen;
        Brush brush;
        int cx() const { return (left + right) / 2; }
        int cy() const { return (top + bottom) / 2; }
    };
    struct Text {
        int x, y;
        std::string text;
        Font font;
        Rgb colour;
    };

    TeeCanvas() : image(1210, 790, QImage::Format_RGB32), canvas(image) { image.fill(QColor(158, 194, 216)); }

    Pen setPen(const Pen& p) override { canvas.setPen(p); return std::exchange(pen, p); }
    Brush setBrush(const Brush& b) override { canvas.setBrush(b); return std::exchange(brush, b); }
    Font setFont(Font f) override { canvas.setFont(f); return std::exchange(font, f); }
    void setTextColour(Rgb c) override { canvas.setTextColour(c); colour = c; }
    void setTextBackground(bool o, Rgb c) override { canvas.setTextBackground(o, c); }
    void rectangle(int l, int t, int r, int b) override
    {
        rects.push_back({l, t, r, b, pen, brush});
        canvas.rectangle(l, t, r, b);
    }
    void moveTo(int x, int y) override { canvas.moveTo(x, y); }
    void lineTo(int x, int y) override { canvas.lineTo(x, y); }
    void textOut(int x, int y, std::string_view s) override
    {
        texts.push_back({x, y, std::string(s), font, colour});
        canvas.textOut(x, y, s);
    }

    const Text* textAt(int x, int y) const
    {
        const Text* last = nullptr;
        for (const Text& t : texts)
            if (t.x == x && t.y == y)
                last = &t;
        return last;
    }
    Rgb pixel(int x, int y) const
    {
        const QRgb p = image.pixel(x, y);
        return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                static_cast<std::uint8_t>(qBlue(p))};
    }
    bool anyPixel(int left, int top, int right, int bottom, Rgb c) const
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (pixel(x, y) == c)
                    return true;
        return false;
    }
    // Rectangles filled in a palette colour (the colour squares of the surface).
    std::vector<Rect> paletteSquares() const
    {
        std::vector<Rect> out;
        for (const Rect& r : rects)
            if (r.right - r.left < 10 && !r.brush.hollow && r.pen.colour == r.brush.colour)
                out.push_back(r);
        return out;
    }

    QImage image;
    ImageCanvas canvas;
    Pen pen;
    Brush brush;
    Font font = Font::System;
    Rgb colour;
    std::vector<Rect> rects;
    std::vector<Text> texts;
};

// The views' state over a zero balloon.
struct Views {
    Views() : matrix(*BalloonMatrix::create()), grids(std::make_unique<PointGrids>()), screen(std::make_unique<ScreenPointGrid>()) {}
    BalloonViewState state() { return {matrix, grid, selection, phase, *grids, *screen}; }
    ViewAngles angles() const { return selection.viewAngles(); }
    // Every cell of the grid at bin gets levelDb (level (levelDb - 10) / 2).
    void fill(int bin, float levelDb)
    {
        for (int r = 0; r <= lastRow(grid); ++r)
            for (int c = 0; c <= lastColumn(grid); ++c)
                matrix.cell(r, c)[static_cast<std::size_t>(bin)] = encodeBin(levelDb, 0);
    }

    BalloonMatrix matrix;
    AngleGrid grid = AngleGrid::Grid5;
    SelectionState selection;
    int phase = 0;
    std::unique_ptr<PointGrids> grids;
    std::unique_ptr<ScreenPointGrid> screen;
};

constexpr ViewAngles kZeroView{0, 0, 0};

class BalloonViews : public ::testing::Test {
protected:
    void SetUp() override { ensureGuiApplication(); }
};

TEST_F(BalloonViews, HorizontalViewBeyond180ShowsOnlyTheWarning)
{
    for (int scrollH : {179, 541}) {
        Views v;
        v.selection.viewScrollH = scrollH;
        TeeCanvas c;
        auto st = v.state();
        drawBalloonPoints(c, st, v.angles(), 0, 0, 0, 0);
        ASSERT_EQ(c.texts.size(), 1u) << scrollH;
        EXPECT_EQ(c.texts[0].text, scrollH == 179 ? "Invalid Horizontal View 181.0 deg  " : "Invalid Horizontal View -181.0 deg  ");
        EXPECT_EQ(c.texts[0].font, Font::Times);
        EXPECT_EQ(c.texts[0].x, 430);
        EXPECT_EQ(c.texts[0].y, 15);
        EXPECT_TRUE(c.rects.empty()) << "no point is drawn";
        EXPECT_TRUE(c.anyPixel(430, 15, 700, 50, Rgb{196, 32, 0})) << "the warning is red";
        EXPECT_EQ(c.colour, kBlack) << "text colour restored";
        EXPECT_EQ(c.font, Font::System);

        TeeCanvas colour;
        v.selection.viewMode = kFineMode;
        drawColourBalloon(colour, st, v.angles(), 460);
        ASSERT_EQ(colour.texts.size(), 1u);
        EXPECT_EQ(colour.rects.size(), 1u) << "only the cleared view area";
    }
    for (int scrollH : {180, 540}) {
        Views v;
        v.selection.viewScrollH = scrollH;
        TeeCanvas c;
        auto st = v.state();
        drawBalloonPoints(c, st, v.angles(), 0, 0, 0, 0);
        ASSERT_NE(c.textAt(430, 15), nullptr);
        EXPECT_EQ(c.textAt(430, 15)->text, scrollH == 180 ? "Horizontal View 180.0 deg  " : "Horizontal View -180.0 deg  ");
        EXPECT_FALSE(c.rects.empty());
    }
}

TEST_F(BalloonViews, ProjectionAgreesWithThePerspectiveFormula)
{
    const ViewProjection flat(kZeroView);
    for (double level : {0.0, 10.0, 40.0}) {
        const ScreenXY p = flat.project(0, 0, level, kBalloonDistance);
        EXPECT_DOUBLE_EQ(p.x, 750.0);
        EXPECT_DOUBLE_EQ(p.y, 330.0);
    }
    // Unrotated: x = X 5500 / (D - Z) + 750, y = -Y 5500 / (D - Z) + 330.
    const ScreenXY q = flat.project(10, 4, 20, kBalloonDistance);
    EXPECT_NEAR(q.x, 10 * 5500.0 / 680 + 750, 1e-9);
    EXPECT_NEAR(q.y, -4 * 5500.0 / 680 + 330, 1e-9);
    // The X axis runs horizontally through the centre.
    const ScreenXY xl = flat.project(-23, 0, 0, kAxisDistance), xr = flat.project(23, 0, 0, kAxisDistance);
    EXPECT_DOUBLE_EQ(xl.y, 330.0);
    EXPECT_DOUBLE_EQ(xr.y, 330.0);
    EXPECT_NEAR(xr.x - 750, 23 * 5500.0 / 400, 1e-9);

    // Behind the viewer the depth is clamped at 1.
    const ScreenXY behind = flat.project(1, 0, 900, kBalloonDistance);
    EXPECT_NEAR(behind.x, 750 + 5500.0, 1e-9);

    // A horizontal view of 90 degrees turns +Z (H = 0) onto the screen's x axis.
    const ViewProjection turned(ViewAngles{-90, 0, 0});
    const ScreenXY side = turned.project(0, 0, 30, kBalloonDistance);
    EXPECT_NEAR(side.x, 750 - 30 * 5500.0 / 700, 1e-9);
    EXPECT_NEAR(side.y, 330, 1e-9);

    // A level-0 cell lands on the centre whatever its angles and the view.
    for (ViewAngles a : {ViewAngles{-1, 1, 0}, ViewAngles{120, -300, 45}, ViewAngles{-180, 360, -90}}) {
        const ViewProjection view(a);
        for (int r : {0, 7, 18, 36})
            for (int col : {0, 13, 72}) {
                const ScreenXY s = view.project(spherePoint(r, col, AngleGrid::Grid5, 0), kBalloonDistance);
                ASSERT_DOUBLE_EQ(s.x, 750.0);
                ASSERT_DOUBLE_EQ(s.y, 330.0);
            }
    }
}

TEST_F(BalloonViews, SphereMappingPutsRowsAndColumnsOnTheirDirections)
{
    const ModelPoint axis = spherePoint(18, 0, AngleGrid::Grid5, 30);
    EXPECT_NEAR(axis.z, 30, 1e-5);
    const ModelPoint h90 = spherePoint(18, 18, AngleGrid::Grid5, 30); // V = 0, H = 90
    EXPECT_NEAR(h90.x, 30, 1e-5);
    EXPECT_NEAR(h90.y, 0, 1e-5);
    EXPECT_NEAR(h90.z, 0, 1e-5);
    const ModelPoint up = spherePoint(0, 9, AngleGrid::Grid10, 10); // V = +90, H = 90
    EXPECT_NEAR(up.x, 0, 1e-5);
    EXPECT_NEAR(up.y, -10, 1e-5);
}

TEST_F(BalloonViews, PointViewTextsAxesAndTheFourKindsOfSquares)
{
    Views v;
    v.selection.viewScrollH = 360;
    v.selection.viewScrollV = 360;
    v.phase = 3;
    // Level 40 at (row 18, column 18) = (V 0, H 90); every other cell is 0, at the centre.
    v.matrix.cell(18, 18)[460] = encodeBin(90, 0);
    TeeCanvas c;
    auto st = v.state();
    drawBalloonPoints(c, st, v.angles(), 1, 0, 0, 0);
    ASSERT_EQ(c.rects.size(), 1u) << "the clearing form only clears";
    c.rects.clear();
    drawBalloonPoints(c, st, v.angles(), 0, 2, 7, 0);
    EXPECT_EQ(c.textAt(430, 15)->text, "Horizontal View 0.0 deg  ");
    EXPECT_EQ(c.textAt(430, 35)->text, "Vertical View 0.0 deg  ");
    EXPECT_EQ(c.textAt(430, 55)->text, "Side View 0.0 deg  ");
    EXPECT_EQ(c.textAt(430, 75)->text, "Horizontal Measure 35 deg     ");
    EXPECT_EQ(c.textAt(430, 95)->text, "Vertical Measure 0 deg     ");
    EXPECT_EQ(c.textAt(430, 115)->text, "Side Measure 10 deg     ");
    EXPECT_EQ(c.textAt(430, 640)->text, "Cycle_Count 3     ");
    EXPECT_EQ(c.textAt(430, 660)->text, "top_limit 2     ");
    EXPECT_EQ(c.textAt(430, 680)->text, "bottom_limit 7   ");

    // Rows 0..35 by columns 0..72: a small square each, plus the pole, equator and H = 0 marks.
    int small = 0, grey = 0, blue = 0, yellow = 0;
    for (const auto& r : c.rects) {
        const int w = r.right - r.left;
        if (w == 4)
            ++small;
        else if (w == 8 && r.brush.colour == (Rgb{128, 128, 128}))
            ++grey;
        else if (w == 8 && r.brush.colour == (Rgb{0, 0, 255}))
            ++blue;
        else if (w == 12 && r.brush.colour == (Rgb{255, 255, 0}))
            ++yellow;
    }
    EXPECT_EQ(small, 36 * 73);
    EXPECT_EQ(grey, 73);
    EXPECT_EQ(blue, 73);
    EXPECT_EQ(yellow, 36);

    // The measured point: green beyond the equator rule, then the blue equator square over
    // it, outlined black, 8 pixels wide.
    const int x = static_cast<int>(750 + 40 * 5500.0 / 700);
    EXPECT_EQ(c.pixel(x, 330), (Rgb{0, 0, 255}));
    EXPECT_EQ(c.pixel(x - 4, 330), kBlack);
    EXPECT_EQ(c.pixel(x + 3, 330), kBlack);
    EXPECT_EQ(c.pixel(x + 4, 330), kWhite) << "the square is 8 pixels wide";
    // The black axes run through the centre: the X axis from 750 - 316 to 750 + 316.
    EXPECT_EQ(c.pixel(500, 330), kBlack);
    EXPECT_EQ(c.pixel(750, 100), kBlack);
    EXPECT_EQ(c.pixel(750, 14), kBlack);
    EXPECT_EQ(c.pixel(750, 13), kWhite) << "the Y axis stops before its end point";
}

TEST_F(BalloonViews, TestModeAfterClearBalloonLeavesOneMarkOffCentre)
{
    Views v;
    v.selection.viewMode = kTestMode;
    resetPointGrid(v.grids->balloon);
    resetPointGrid(v.grids->measured);
    resetPointGrid(v.grids->repair);
    TeeCanvas c;
    auto st = v.state();
    drawBalloonPoints(c, st, v.angles(), 0, 0, 0, 1);
    ASSERT_NE(c.textAt(600, 680), nullptr);
    EXPECT_EQ(c.textAt(600, 680)->text, "Matrix  [18] [0]         ");
    std::set<std::pair<int, int>> offCentre;
    int atCentre = 0;
    for (const auto& r : c.rects) {
        if (r.cx() == 750 && r.cy() == 330)
            ++atCentre;
        else
            offCentre.insert({r.cx(), r.cy()});
    }
    EXPECT_EQ(offCentre.size(), 1u) << "only the marked position lies off the centre";
    EXPECT_GT(atCentre, 2000);

    // A sequence step at H = 90, V = 0 marks row 18, column 18 on the sphere of radius 30.
    v.selection.viewScrollH = 360;
    v.selection.viewScrollV = 360;
    TeeCanvas step;
    drawBalloonPoints(step, st, v.angles(), 0, 0, 18, 1);
    EXPECT_EQ(step.textAt(600, 680)->text, "Matrix  [18] [18]         ");
    const ModelPoint& m = v.grids->measured[18][18];
    EXPECT_NEAR(std::sqrt(m.x * m.x + m.y * m.y + m.z * m.z), 30, 1e-4);
    EXPECT_EQ(m.flag, 1.0f);
    const int x = static_cast<int>(750 + 30 * 5500.0 / 700);
    EXPECT_EQ(step.pixel(x, 330), (Rgb{0, 0, 255})) << "the equator square of the mark";

    // A position outside the grid writes nothing.
    const auto before = *v.grids;
    TeeCanvas off;
    drawBalloonPoints(off, st, v.angles(), 0, -19, 3, 1);
    drawBalloonPoints(off, st, v.angles(), 0, 0, 73, 1);
    drawBalloonPoints(off, st, v.angles(), 0, 40, -1, 1);
    EXPECT_EQ(std::memcmp(&before, v.grids.get(), sizeof before), 0);
    EXPECT_EQ(off.textAt(600, 680), nullptr);
}

TEST_F(BalloonViews, ColourBalloonRunTable)
{
    int cols[kMaxColourBalloonColumns];
    auto run = [&](AngleGrid g, int h, int mode, int s) {
        const int n = colourBalloonColumns(g, h, mode, s, cols);
        return std::vector<int>(cols, cols + n);
    };
    auto range = [](int from, int to) {
        std::vector<int> out;
        for (int c = from; from <= to ? c <= to : c >= to; c += from <= to ? 1 : -1)
            out.push_back(c);
        return out;
    };
    auto cat = [](std::vector<int> a, const std::vector<int>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const auto g5 = AngleGrid::Grid5;
    EXPECT_EQ(run(g5, 90, kSliceFull, 36), cat(range(36, 72), range(36, 0))) << "h = 90: runs 1, 2";
    EXPECT_EQ(run(g5, 91, kSliceFull, 36), cat(range(72, 37), range(0, 35))) << "h = 91: runs 3, 4";
    EXPECT_EQ(run(g5, -1, kSliceFull, 36), cat(range(36, 0), range(36, 72))) << "h = -1: runs 2, 1";
    EXPECT_EQ(run(g5, -91, kSliceFull, 36), cat(range(0, 35), range(72, 37))) << "h = -91: runs 4, 3";
    EXPECT_EQ(run(g5, 0, kSliceLeft, 5), range(36, 41));
    EXPECT_EQ(run(g5, -180, kSliceRight, 5), range(0, 4));

    for (int h : {-90, 0, 90})
        EXPECT_EQ(run(g5, h, kSliceRight, 0), std::vector<int>{36}) << h;
    for (int h : {-180, -91, 91, 180})
        EXPECT_TRUE(run(g5, h, kSliceRight, 0).empty()) << h;

    // h in 91..180 with "Full": column 36 is left out on the 5-degree grid; every column is
    // painted once on the 10-degree grid.
    const auto back5 = run(g5, 120, kSliceFull, 36);
    EXPECT_EQ(back5.size(), 72u);
    EXPECT_EQ(std::count(back5.begin(), back5.end(), 36), 0);
    auto back10 = run(AngleGrid::Grid10, 180, kSliceFull, 36);
    std::sort(back10.begin(), back10.end());
    EXPECT_EQ(back10, range(0, 36));
}

TEST_F(BalloonViews, FineColourBalloonPaintsSurfaceCabinetAndBlueAxes)
{
    Views v;
    v.selection.viewMode = kFineMode;
    v.selection.viewScrollH = 360;
    v.selection.viewScrollV = 360;
    v.fill(100, 70); // level 30: index trunc(1.2 * 30) = 36
    TeeCanvas c;
    auto st = v.state();
    drawColourBalloon(c, st, v.angles(), 100);
    // Rows 0..35 of 73 columns (column 36 twice), 16 points a cell except column 36's one.
    const auto squares = c.paletteSquares();
    EXPECT_EQ(squares.size(), static_cast<std::size_t>(72 * 36 * 16 + 2));
    for (const auto& r : squares) {
        ASSERT_EQ(r.brush.colour, kPaletteColours[36]);
        ASSERT_EQ(r.right - r.left, 6);
    }
    EXPECT_EQ(c.textAt(600, 680)->text, "Matrix  [36] [72]         ");
    EXPECT_EQ(c.textAt(430, 15)->text, "Horizontal View 0.0 deg  ");
    // The cabinet's front face at Z = 0 from D = 2800: its top edge at y = 330 - 40 * 5500 / 2800.
    const int top = static_cast<int>(330 - 40 * 5500.0 / 2800);
    const int side = static_cast<int>(750 + 20 * 5500.0 / 2800);
    EXPECT_TRUE(c.anyPixel(side - 5, top - 2, side - 4, top + 3, kBlack));
    EXPECT_TRUE(c.anyPixel(side - 2, 390, side + 3, 391, kBlack));
    // The blue axes from D = 400 reach beyond the surface (radius 30 from D = 700).
    EXPECT_TRUE(c.anyPixel(1050, 328, 1051, 333, Rgb{0, 0, 164}));
    EXPECT_TRUE(c.anyPixel(748, 30, 753, 31, Rgb{0, 0, 164}));
    // Inside the sphere's outline the surface is the colour of level 30.
    EXPECT_EQ(c.pixel(750 + 150, 330 + 100), kPaletteColours[36]);
}

TEST_F(BalloonViews, ColumnViewPaintsOneColumnAndNamesItsSide)
{
    Views v;
    v.grid = AngleGrid::Grid10;
    v.selection.viewMode = kRawMode;
    v.fill(460, 50);
    auto st = v.state();
    TeeCanvas outside;
    drawColumnView(outside, st, v.angles(), 460, 40);
    EXPECT_TRUE(outside.paletteSquares().empty());
    ASSERT_NE(outside.textAt(650, 680), nullptr);
    EXPECT_EQ(outside.textAt(650, 680)->text, "Left 40   ");
    EXPECT_EQ(outside.textAt(450, 680)->text, "Matrix  [18] [36]         ");

    TeeCanvas right;
    drawColumnView(right, st, v.angles(), 460, 5);
    EXPECT_EQ(right.paletteSquares().size(), 18u) << "rows 0..17 in Raw Mode";
    EXPECT_EQ(right.textAt(800, 680)->text, "Right 5   ");
}

TEST_F(BalloonViews, RepairMarksLabelTheirCells)
{
    Views v;
    v.selection.viewScrollH = 360;
    v.selection.viewScrollV = 360;
    v.fill(460, 70);
    auto st = v.state();
    TeeCanvas c;
    drawRepairMarks(c, st, v.angles(), 0, 18, 18, 18, 54, 460);
    EXPECT_EQ(c.textAt(430, 75)->text, "Horizontal Measure 90 deg     ");
    EXPECT_EQ(c.textAt(430, 95)->text, "Vertical Measure 90 deg     ");
    EXPECT_EQ(c.textAt(430, 115)->text, "Horizontal Measure 270 deg     ");
    EXPECT_EQ(c.textAt(430, 155)->text, "Side Measure 0 deg     ");
    EXPECT_EQ(c.textAt(600, 680)->text, "From Matrix  [18] [18]    ");
    EXPECT_EQ(c.textAt(800, 680)->text, "To Matrix  [18] [54]    ");
    std::vector<TeeCanvas::Rect> marks;
    for (const auto& r : c.rects)
        if (r.brush.hollow)
            marks.push_back(r);
    ASSERT_EQ(marks.size(), 2u);
    // Level 30 at H = 90 and H = 270 on the equator, seen from the front.
    const int dx = static_cast<int>(30 * 5500.0 / 700);
    EXPECT_EQ(marks[0].cx(), 750 + dx);
    EXPECT_EQ(marks[1].cx(), 750 - dx - 1) << "trunc toward zero of 750 - 235.7";
    EXPECT_EQ(marks[0].right - marks[0].left, 10);
    EXPECT_EQ(marks[0].pen.width, 2);
    const auto* label = c.textAt(750 + dx + 7, 330 - 5);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text, "18-18  ");
    EXPECT_EQ(label->font, Font::Arial);
    EXPECT_EQ(c.font, Font::System);
}

} // namespace
} // namespace vantrel
