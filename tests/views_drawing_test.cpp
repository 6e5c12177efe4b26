#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "platform/qt/image_canvas.h"
#include "views/colour_column.h"
#include "views/colour_map.h"
#include "views/drawing_resources.h"
#include "views/readout_text.h"
#include "views/status_panel.h"
#include "views/view_area.h"

namespace vantrel {
namespace {

// Keeps the calls the views make, in order, with the pen and brush in force at each.
class RecordingCanvas final : public Canvas {
public:
    struct Rect {
        int left, top, right, bottom;
        Pen pen;
        Brush brush;
    };
    struct Text {
        int x, y;
        std::string text;
        bool opaque;
    };

    Pen setPen(const Pen& p) override { return std::exchange(pen, p); }
    Brush setBrush(const Brush& b) override { return std::exchange(brush, b); }
    Font setFont(Font f) override { return std::exchange(font, f); }
    void setTextColour(Rgb) override {}
    void setTextBackground(bool o, Rgb) override { opaque = o; }
    void rectangle(int l, int t, int r, int b) override { rects.push_back({l, t, r, b, pen, brush}); }
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int x, int y, std::string_view s) override { texts.push_back({x, y, std::string(s), opaque}); }

    const Text* textAt(int x, int y) const
    {
        for (const Text& t : texts)
            if (t.x == x && t.y == y)
                return &t;
        return nullptr;
    }

    Pen pen{{1, 2, 3}, 3, PenStyle::Dash};
    Brush brush{{4, 5, 6}, true};
    Font font = Font::Times;
    bool opaque = true;
    std::vector<Rect> rects;
    std::vector<Text> texts;
};

void expectRestored(const RecordingCanvas& c)
{
    EXPECT_EQ(c.pen.colour, (Rgb{1, 2, 3}));
    EXPECT_EQ(c.pen.width, 3);
    EXPECT_EQ(c.brush.colour, (Rgb{4, 5, 6}));
    EXPECT_TRUE(c.brush.hollow);
    EXPECT_EQ(c.font, Font::Times);
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGuiApplication();
        image = QImage(1210, 790, QImage::Format_RGB32);
        image.fill(QColor(158, 194, 216));
    }
    Rgb pixel(int x, int y) const
    {
        const QRgb p = image.pixel(x, y);
        return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                static_cast<std::uint8_t>(qBlue(p))};
    }
    // True when every pixel of [left, right) x [top, bottom) is colour.
    bool filledWith(int left, int top, int right, int bottom, Rgb colour) const
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                if (!(pixel(x, y) == colour))
                    return false;
        return true;
    }
    QImage image;
};

TEST(ColourIndex, ScalesTruncatesAndOverflowsToTheTopColour)
{
    EXPECT_EQ(colourIndex(40.0, 60), 48);
    EXPECT_EQ(ColourPalette::colour(colourIndex(40.0, 60)), kPaletteColours[37]);
    EXPECT_EQ(colourIndex(0.0, 60), 0);
    EXPECT_EQ(colourIndex(40.0, 0), 0);
    EXPECT_EQ(colourIndex(10.9, 50), 10);
    EXPECT_EQ(colourIndex(30.83, 100), 61);
    EXPECT_EQ(colourIndex(std::nan(""), 60), 0);
    EXPECT_EQ(ColourPalette::colour(-3), kPaletteColours[0]);
    EXPECT_EQ(kPaletteColours[18], kPaletteColours[19]);
    EXPECT_EQ(kPaletteColours[17], kPaletteColours[20]);
}

TEST(ColourPoint, SquareSizeFollowsTheViewMode)
{
    RecordingCanvas c;
    drawColourPoint(c, 48, 500.7, 300.2, kRawMode);
    drawColourPoint(c, 5, 500.0, 300.0, kCoarseMode);
    drawColourPoint(c, 5, 500.0, 300.0, kFineMode);
    drawColourPoint(c, 5, 500.0, 300.0, kMeasurementMode);
    drawColourPoint(c, 5, 500.0, 300.0, kTestMode);
    ASSERT_EQ(c.rects.size(), 3u);
    const auto& raw = c.rects[0];
    EXPECT_EQ(raw.left, 496);
    EXPECT_EQ(raw.top, 296);
    EXPECT_EQ(raw.right, 504);
    EXPECT_EQ(raw.bottom, 304);
    EXPECT_EQ(raw.brush.colour, kPaletteColours[37]);
    EXPECT_EQ(raw.pen.colour, kPaletteColours[37]);
    EXPECT_EQ(c.rects[1].right - c.rects[1].left, 8);
    EXPECT_EQ(c.rects[2].left, 497);
    EXPECT_EQ(c.rects[2].right, 503);
    EXPECT_EQ(c.rects[2].brush.colour, kPaletteColours[5]);
    expectRestored(c);
}

// Grid points on a 40-pixel lattice: x = 100 + 40 column, y = 100 + 40 row; level = column.
ScreenPointGrid latticeGrid()
{
    ScreenPointGrid g{};
    for (int r = 0; r < kScreenGridSize; ++r)
        for (int c = 0; c < kScreenGridSize; ++c)
            g[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] =
                {100.0f + 40.0f * static_cast<float>(c), 100.0f + 40.0f * static_cast<float>(r), 0.0f,
                 static_cast<float>(c), 0.0f};
    return g;
}

struct Centre {
    int x, y;
    friend bool operator==(Centre, Centre) = default;
};

std::vector<Centre> centres(const RecordingCanvas& c)
{
    std::vector<Centre> out;
    for (const auto& r : c.rects)
        out.push_back({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return out;
}

TEST(ColourColumn, PointCountPerModeAndTheHalfWayColumn)
{
    const ScreenPointGrid g = latticeGrid();
    struct Case {
        AngleGrid grid;
        int column, viewMode;
        std::size_t squares;
    };
    for (const Case k : {Case{AngleGrid::Grid5, 3, kRawMode, 36}, Case{AngleGrid::Grid5, 3, kCoarseMode, 144},
                         Case{AngleGrid::Grid5, 3, kFineMode, 576}, Case{AngleGrid::Grid10, 3, kRawMode, 18},
                         Case{AngleGrid::Grid10, 30, kFineMode, 288}, Case{AngleGrid::Grid5, 36, kRawMode, 36},
                         Case{AngleGrid::Grid5, 36, kCoarseMode, 1}, Case{AngleGrid::Grid5, 36, kFineMode, 1},
                         Case{AngleGrid::Grid10, 18, kCoarseMode, 1}, Case{AngleGrid::Grid5, 72, kCoarseMode, 144},
                         Case{AngleGrid::Grid5, 3, kMeasurementMode, 0}, Case{AngleGrid::Grid5, 3, kTestMode, 0},
                         Case{AngleGrid::Grid5, 99, kRawMode, 36}, Case{AngleGrid::Grid5, 100, kRawMode, 0},
                         Case{AngleGrid::Grid5, -1, kRawMode, 0}}) {
        RecordingCanvas c;
        drawColourColumn(c, g, k.grid, k.column, 60, k.viewMode);
        EXPECT_EQ(c.rects.size(), k.squares) << "column " << k.column << " mode " << k.viewMode;
        expectRestored(c);
    }
    // An unknown grid flag reads as the 5-degree grid.
    RecordingCanvas c;
    drawColourColumn(c, g, angleGridFromFlag(7), 3, 60, kRawMode);
    EXPECT_EQ(c.rects.size(), 36u);
}

TEST(ColourColumn, CoarseMidpointsAndLevels)
{
    ScreenPointGrid g = latticeGrid();
    g[0][4].level = 20.0f; // P00
    g[0][5].level = 30.0f; // P01: midpoint level 25 -> index 30 at scale 60
    g[1][4].level = 0.0f;  // P10: midpoint level 10 -> 12
    g[1][5].level = 10.0f; // P11: centre level 15 -> 18
    g[1][4].y = 144.0f;    // centre y averages P10 and P01: (144 + 100) / 2 = 122
    RecordingCanvas c;
    drawColourColumn(c, g, AngleGrid::Grid5, 4, 60, kCoarseMode);
    ASSERT_GE(c.rects.size(), 4u);
    std::vector<Centre> got = centres(c);
    got.resize(4);
    EXPECT_EQ(got, (std::vector<Centre>{{260, 100}, {280, 100}, {260, 122}, {280, 122}}));
    EXPECT_EQ(c.rects[0].brush.colour, kPaletteColours[24]);
    EXPECT_EQ(c.rects[1].brush.colour, kPaletteColours[30]);
    EXPECT_EQ(c.rects[2].brush.colour, kPaletteColours[12]);
    EXPECT_EQ(c.rects[3].brush.colour, kPaletteColours[18]);

    // Right of the half-way column the neighbour is the column to the left.
    RecordingCanvas right;
    drawColourColumn(right, latticeGrid(), AngleGrid::Grid5, 40, 60, kCoarseMode);
    EXPECT_EQ(centres(right)[1], (Centre{1680, 100}));
}

TEST(ColourColumn, FineSubdivisionOrder)
{
    RecordingCanvas c;
    drawColourColumn(c, latticeGrid(), AngleGrid::Grid5, 2, 0, kFineMode);
    ASSERT_EQ(c.rects.size(), 576u);
    // (row fraction, column fraction) in quarters of the 40-pixel cell from (180, 100).
    const int order[16][2] = {{0, 0}, {2, 0}, {0, 2}, {2, 2}, {1, 0}, {1, 2}, {3, 2}, {3, 0},
                              {0, 1}, {0, 3}, {2, 1}, {2, 3}, {1, 1}, {3, 1}, {1, 3}, {3, 3}};
    const std::vector<Centre> got = centres(c);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(got[static_cast<std::size_t>(i)], (Centre{180 + 10 * order[i][1], 100 + 10 * order[i][0]})) << i;
    EXPECT_EQ(got[16], (Centre{180, 140}));
    for (const auto& r : c.rects)
        ASSERT_EQ(r.brush.colour, kPaletteColours[0]);
}

TEST_F(ImageTest, LegendBoxesStepUpFromColourZero)
{
    ImageCanvas canvas(image);
    drawColourLegend(canvas);
    const Rgb background{158, 194, 216};
    for (int i = 0; i <= 38; ++i) {
        const int top = 694 - 18 * i;
        ASSERT_TRUE(filledWith(1130, top, 1160, top + 15, kPaletteColours[static_cast<std::size_t>(std::min(i, 37))])) << i;
        ASSERT_EQ(pixel(1160, top + 5), background) << i;
        ASSERT_EQ(pixel(1129, top + 5), background) << i;
        if (i > 0) {
            ASSERT_TRUE(filledWith(1130, top + 15, 1160, top + 18, background)) << i;
        }
    }
    EXPECT_EQ(pixel(1145, 709), background);
    EXPECT_EQ(pixel(1145, 9), background);
    // The texts beside the scale leave something dark next to both ends.
    auto darkIn = [&](int top, int bottom) {
        for (int y = top; y < bottom; ++y)
            for (int x = 1162; x < 1205; ++x)
                if (pixel(x, y).r < 80 && pixel(x, y).g < 80)
                    return true;
        return false;
    };
    EXPECT_TRUE(darkIn(5, 35));
    EXPECT_TRUE(darkIn(690, 720));
}

TEST(StatusPanel, ReadoutTextsAndPlaces)
{
    StatusPanelState state;
    state.binFrequency = 5000.04f;
    state.binLevel = 23.45;
    state.selection.selectedRow = 7;
    state.selection.repairTargetColumn = 72;
    RecordingCanvas c;
    drawStatusPanel(c, state);

    auto expectText = [&](int x, int y, const std::string& text, bool opaque) {
        const auto* t = c.textAt(x, y);
        ASSERT_NE(t, nullptr) << text;
        EXPECT_EQ(t->text, text);
        EXPECT_EQ(t->opaque, opaque) << text;
    };
    expectText(20, 240, "Presentation", false);
    expectText(265, 560, "Repair", false);
    expectText(255, 575, "With This Data", false);
    expectText(255, 660, "Replace This Data", false);
    expectText(240, 20, "Disconnected", false);
    expectText(240, 435, "Disconnected", false);
    expectText(265, 319, "Slice = 36     ", true);
    expectText(10, 347, "Colour Map = 1.200    ", true);
    expectText(10, 388, "Bin = 460, Fr = 5000.0, 23.4    ", true);
    expectText(265, 354, "Vertical = 7    ", true);
    expectText(265, 389, "Horizontal = 0    ", true);
    expectText(260, 591, "Vertical = 0    ", true);
    expectText(260, 626, "Horizontal = 0    ", true);
    expectText(260, 675, "Vertical = 0    ", true);
    expectText(260, 711, "Horizontal = 72    ", true);
    EXPECT_EQ(c.pen.colour, (Rgb{1, 2, 3}));
    EXPECT_EQ(c.brush.colour, (Rgb{4, 5, 6}));
    EXPECT_EQ(c.font, Font::Times);

    EXPECT_EQ(colourMapText(0), "Colour Map = 0.000    ");
    EXPECT_EQ(colourMapText(100), "Colour Map = 2.000    ");
    EXPECT_EQ(sliceText(5), "Slice = 5    ");
    EXPECT_EQ(binText(749, 50000.0, -25.0), "Bin = 749, Fr = 50000.0, -25.0    ");
}

TEST_F(ImageTest, StatusPanelLinkBoxesAndFrames)
{
    ImageCanvas canvas(image);
    StatusPanelState state;
    state.turntable1Connected = true;
    drawStatusPanel(canvas, state);
    const Rgb green{0, 255, 0}, red{255, 0, 0}, black{0, 0, 0};
    // Right-hand ends of the boxes, clear of the texts.
    EXPECT_TRUE(filledWith(360, 17, 389, 39, green));
    EXPECT_TRUE(filledWith(360, 432, 389, 454, red));
    EXPECT_EQ(pixel(220, 15), black);
    EXPECT_EQ(pixel(389, 39), black);
    EXPECT_EQ(pixel(390, 39), (Rgb{158, 194, 216}));
    // The group frames: the left edge of "Presentation", the bottom of "Repair", and the
    // gap left in the top edge for the title.
    EXPECT_EQ(pixel(5, 300), black);
    EXPECT_EQ(pixel(300, 747), black);
    EXPECT_EQ(pixel(200, 246), black);
    EXPECT_EQ(pixel(60, 246), (Rgb{158, 194, 216}));
}

TEST_F(ImageTest, ClearedViewAreaIsWhiteInABlackFrame)
{
    ImageCanvas canvas(image);
    clearViewArea(canvas);
    EXPECT_TRUE(filledWith(421, 6, 1099, 709, kWhite));
    EXPECT_EQ(pixel(420, 5), kBlack);
    EXPECT_EQ(pixel(1099, 709), kBlack);
    EXPECT_EQ(pixel(1100, 300), (Rgb{158, 194, 216}));
    EXPECT_EQ(pixel(700, 710), (Rgb{158, 194, 216}));
}

TEST(StatusPanel, StateClampsTheBinAndPaintsZeroAsItsLevel)
{
    FrequencyAxis axis;
    SelectionState selection;
    selection.selectedBin = 800; // clamped to 749, the axis's last point
    const StatusPanelState state = makeStatusPanelState(selection, axis, true, false);
    EXPECT_EQ(state.selection.selectedBin, 749);
    EXPECT_FLOAT_EQ(state.binFrequency, 50000.0f);
    EXPECT_EQ(state.binLevel, 0.0);
    EXPECT_TRUE(state.turntable1Connected);
    EXPECT_FALSE(state.turntable2Connected);
}

} // namespace
} // namespace vantrel

namespace vantrel {
namespace {

// The canvas writes solid squares straight into the image; they must be the pixels Qt's own
// painter draws for a filled rectangle with a 1-pixel outline (right and bottom excluded).
TEST_F(ImageTest, DirectSquaresMatchThePainter)
{
    QImage reference = image.copy();
    ImageCanvas canvas(image);
    struct Case {
        int l, t, r, b;
        bool hollow;
    };
    for (const Case& k : {Case{10, 10, 16, 14, false}, Case{100, 50, 102, 52, false}, 
                          Case{40, 40, 52, 50, true}, Case{60, 60, 68, 68, false}}) {
        canvas.setPen(Pen{{192, 0, 0}, 1, PenStyle::Solid});
        canvas.setBrush(Brush{{0, 0, 255}, k.hollow});
        canvas.rectangle(k.l, k.t, k.r, k.b);
        QPainter p(&reference);
        if (!k.hollow)
            p.fillRect(QRect(k.l, k.t, k.r - k.l, k.b - k.t), QColor(0, 0, 255));
        p.setPen(QPen(QColor(192, 0, 0), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(k.l, k.t, k.r - k.l - 1, k.b - k.t - 1));
    }
    canvas.setPen(Pen{{0, 0, 0}, 1, PenStyle::Null});
    canvas.setBrush(Brush{{0, 255, 0}, false});
    canvas.rectangle(200, 200, 205, 203);
    QPainter(&reference).fillRect(QRect(200, 200, 5, 3), QColor(0, 255, 0));
    EXPECT_EQ(image, reference);
    EXPECT_EQ(pixel(11, 11), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixel(15, 13), (Rgb{192, 0, 0}));
    EXPECT_EQ(pixel(16, 13), (Rgb{158, 194, 216}));

    // Squares across the image's edges are clipped to it, the outline where the square has it.
    canvas.setPen(Pen{{192, 0, 0}, 1, PenStyle::Solid});
    canvas.setBrush(Brush{{0, 0, 255}, false});
    canvas.rectangle(-3, -3, 2, 2);
    canvas.rectangle(1205, 785, 1215, 795);
    EXPECT_EQ(pixel(0, 0), (Rgb{0, 0, 255}));
    EXPECT_EQ(pixel(1, 1), (Rgb{192, 0, 0}));
    EXPECT_EQ(pixel(2, 2), (Rgb{158, 194, 216}));
    EXPECT_EQ(pixel(1205, 785), (Rgb{192, 0, 0}));
    EXPECT_EQ(pixel(1209, 789), (Rgb{0, 0, 255}));
}

// A plot curve drawn as one polyline must be the pixels of moveTo and a lineTo per point, for
// every pen the curve attributes allow; the pen position afterwards is the last point.
TEST_F(ImageTest, PolylineDrawsTheSegmentsLineToDraws)
{
    std::vector<Point> points;
    for (int j = 0; j < 300; ++j) // steep, flat, repeated and off-image points
        points.push_back({40 + j, j % 50 == 7 ? points.back().y : 400 + static_cast<int>(380 * std::sin(j * 0.37))});
    points.push_back({-20, 900});
    for (const Pen& pen : {Pen{{200, 0, 0}, 1, PenStyle::Solid}, Pen{{0, 90, 0}, 3, PenStyle::Solid},
                           Pen{{0, 0, 200}, 2, PenStyle::Dot}, Pen{{50, 50, 50}, 4, PenStyle::Dash},
                           Pen{{9, 9, 9}, 5, PenStyle::Null}}) {
        QImage reference = image.copy();
        ImageCanvas segments(reference);
        segments.setPen(pen);
        segments.moveTo(points[0].x, points[0].y);
        for (std::size_t j = 1; j < points.size(); ++j)
            segments.lineTo(points[j].x, points[j].y);
        segments.lineTo(700, 20);

        QImage drawn = image.copy();
        ImageCanvas line(drawn);
        line.setPen(pen);
        line.polyline(points);
        line.lineTo(700, 20);
        EXPECT_EQ(drawn, reference) << "width " << pen.width << " style " << static_cast<int>(pen.style);
    }
}

} // namespace
} // namespace vantrel
