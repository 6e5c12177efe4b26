#include "views/balloon_views.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "views/drawing_resources.h"
#include "views/view_area.h"

namespace vantrel {

namespace {

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kGrey{128, 128, 128};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};

template <typename... Args>
std::string format(const char* pattern, Args... args)
{
    char text[96];
    const int n = std::snprintf(text, sizeof text, pattern, args...);
    if (n < 0)
        return {};
    return std::string(text, static_cast<std::size_t>(std::min<int>(n, sizeof text - 1)));
}

ModelPoint& at(PointGrid& grid, int row, int column)
{
    return grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool onGrid(int row, int column, AngleGrid grid)
{
    return row >= 0 && row <= lastRow(grid) && column >= 0 && column <= lastColumn(grid);
}

// The readouts of the views: default font, black on an opaque white cell.
void prepareTexts(Canvas& canvas)
{
    canvas.setFont(Font::System);
    canvas.setTextColour(kBlack);
    canvas.setTextBackground(true, kWhite);
}

void square(Canvas& canvas, int x, int y, int half, const Pen& pen, Rgb fill)
{
    canvas.setPen(pen);
    canvas.setBrush(Brush{fill, false});
    canvas.rectangle(x - half, y - half, x + half, y + half);
}

// The balloon at bin on the sphere, every cell of the grid flagged.
void fillBalloonGrid(PointGrid& points, const BalloonMatrix& matrix, AngleGrid grid, int bin)
{
    for (int r = 0; r <= lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            const float level = matrix.cellLevel(r, c, bin);
            ModelPoint p = spherePoint(r, c, grid, level);
            p.level = level;
            p.flag = 1.0f;
            at(points, r, c) = p;
        }
}

// Steps shared by the colour and column views: the balloon grid at bin, the name of its last
// cell at textX, and its projection into the screen grid.
void projectSurface(Canvas& canvas, BalloonViewState& state, const ViewProjection& view, int bin, int textX)
{
    PointGrid& points = state.grids.balloon;
    fillBalloonGrid(points, state.matrix, state.grid, bin);
    // Each cell's name is written over the previous one at the same place; the last, widest
    // one covers them all, so only it is drawn.
    canvas.textOut(textX, 680, format("Matrix  [%d] [%d]         ", lastRow(state.grid), lastColumn(state.grid)));

    for (int r = 0; r <= 36; ++r)
        for (int c = 0; c <= 72; ++c) {
            ScreenGridPoint& s = state.screen[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            s.x = s.y = s.z = s.level = 0;
        }
    for (int r = 0; r <= lastRow(state.grid); ++r)
        for (int c = 0; c <= lastColumn(state.grid); ++c) {
            const ModelPoint& p = at(points, r, c);
            const ScreenXY xy = view.project(p, kBalloonDistance);
            ScreenGridPoint& s = state.screen[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            s.x = static_cast<float>(xy.x);
            s.y = static_cast<float>(xy.y);
            s.level = p.level;
        }
}

void drawCabinet(Canvas& canvas, const ViewProjection& view)
{
    static constexpr double box[8][3] = {{-20, -40, 0}, {20, -40, 0}, {20, -40, -30}, {-20, -40, -30},
                                         {-20, 40, 0},  {20, 40, 0},  {20, 40, -30},  {-20, 40, -30}};
    static constexpr int edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                         {6, 7}, {7, 4}, {0, 4}, {3, 7}, {1, 5}, {2, 6}};
    static constexpr double octagon[8][2] = {{-15, 0}, {-11, 10}, {0, 15},   {11, 10},
                                             {15, 0},  {11, -10}, {0, -15}, {-11, -10}};
    const Pen old = canvas.setPen(kPenBlack2);
    auto moveTo = [&](double x, double y, double z) {
        const ScreenXY s = view.project(x, y, z, kCabinetDistance);
        canvas.moveTo(screenInt(s.x), screenInt(s.y));
    };
    auto lineTo = [&](double x, double y, double z) {
        const ScreenXY s = view.project(x, y, z, kCabinetDistance);
        canvas.lineTo(screenInt(s.x), screenInt(s.y));
    };
    for (const auto& e : edges) {
        const auto& a = box[e[0]];
        const auto& b = box[e[1]];
        moveTo(a[0], a[1], a[2]);
        lineTo(b[0], b[1], b[2]);
    }
    moveTo(octagon[0][0], octagon[0][1], 0);
    for (int i = 1; i <= 8; ++i)
        lineTo(octagon[i % 8][0], octagon[i % 8][1], 0);
    canvas.setPen(old);
}

// The start of both point views: a clear request, the projection's validity, then the font
// and the view's angle texts. Nothing when the view was cleared or cannot be drawn.
std::optional<ViewProjection> beginPointView(Canvas& canvas, ViewAngles angles, int clear, Font& oldFont)
{
    if (clear == 1) {
        clearViewArea(canvas);
        return std::nullopt;
    }
    const ViewProjection view(angles);
    if (!drawViewValidity(canvas, view))
        return std::nullopt;
    oldFont = canvas.setFont(Font::System);
    prepareTexts(canvas);
    drawViewTexts(canvas, view);
    return view;
}

} // namespace

void drawBalloonPoints(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int clear, int vIndex,
                       int hIndex, int mark)
{
    Font oldFont = Font::System;
    const std::optional<ViewProjection> began = beginPointView(canvas, angles, clear, oldFont);
    if (!began)
        return;
    const ViewProjection& view = *began;
    const AngleGrid grid = state.grid;
    const int step = gridStepDegrees(grid);
    canvas.textOut(430, 75, format("Horizontal Measure %d deg     ", hIndex * step));
    canvas.textOut(430, 95, format("Vertical Measure %d deg     ", angles.v));
    canvas.textOut(430, 115, format("Side Measure %d deg     ", vIndex * step));
    canvas.textOut(430, 640, format("Cycle_Count %d     ", state.sequencePhase));
    canvas.textOut(430, 660, format("top_limit %d     ", vIndex));
    canvas.textOut(430, 680, format("bottom_limit %d   ", hIndex));

    const ScopedPenBrush keep(canvas, kPenBlack1, Brush{kWhite, false});
    drawModelAxes(canvas, view, kPenBlack1);

    const int equator = lastRow(grid) / 2;
    if (mark == 1) {
        const int row = equator - vIndex;
        if (onGrid(row, hIndex, grid)) {
            ModelPoint p = spherePoint(row, hIndex, grid, 30);
            p.level = 30;
            p.flag = 1.0f;
            at(state.grids.measured, row, hIndex) = p;
            canvas.textOut(600, 680, format("Matrix  [%d] [%d]         ", row, hIndex));
        }
    } else {
        PointGrid& points = state.grids.balloon;
        const int bin = state.selection.selectedBin;
        for (int r = 0; r <= 36; ++r)
            for (int c = 0; c <= 72; ++c)
                at(points, r, c).level = state.matrix.cellLevel(r, c, bin);
        // The 10-degree grid leaves its pole row as it was: only rows 0..17 are placed.
        const int rows = grid == AngleGrid::Grid10 ? 17 : 36;
        for (int r = 0; r <= rows; ++r)
            for (int c = 0; c <= lastColumn(grid); ++c) {
                ModelPoint& p = at(points, r, c);
                const ModelPoint s = spherePoint(r, c, grid, p.level);
                p.x = s.x;
                p.y = s.y;
                p.z = s.z;
                p.flag = 1.0f;
            }
    }
    if (state.selection.viewMode == kTestMode)
        for (int r = 0; r < 36; ++r)
            for (int c = 0; c <= 72; ++c)
                at(state.grids.balloon, r, c) = at(state.grids.measured, r, c);

    // The pole row V = -90 is not drawn.
    for (int r = 0; r < lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            const ModelPoint& p = at(state.grids.balloon, r, c);
            if (p.flag != 1.0f)
                continue;
            const ScreenXY s = view.project(p, kBalloonDistance);
            const int x = screenInt(s.x), y = screenInt(s.y);
            if (r >= equator)
                square(canvas, x, y, 2, kPenGreen1, kGreen);
            else
                square(canvas, x, y, 2, kPenRed1, kRed);
            if (r == 0)
                square(canvas, x, y, 4, kPenBlack1, kGrey);
            if (r == equator)
                square(canvas, x, y, 4, kPenBlack1, kBlue);
            if (c == 0)
                square(canvas, x, y, 6, kPenBlack1, kYellow);
        }
    canvas.setFont(oldFont);
}

void drawRepairMarks(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int clear, int sourceRow,
                     int sourceColumn, int targetRow, int targetColumn, int bin)
{
    Font oldFont = Font::System;
    const std::optional<ViewProjection> began = beginPointView(canvas, angles, clear, oldFont);
    if (!began)
        return;
    const ViewProjection& view = *began;
    const AngleGrid grid = state.grid;
    const int step = gridStepDegrees(grid);
    canvas.textOut(430, 75, format("Horizontal Measure %d deg     ", sourceColumn * step));
    canvas.textOut(430, 95, format("Vertical Measure %d deg     ", sourceRow * step));
    canvas.textOut(430, 115, format("Horizontal Measure %d deg     ", targetColumn * step));
    canvas.textOut(430, 135, format("Vertical Measure %d deg     ", targetRow * step));
    canvas.textOut(430, 155, format("Side Measure %d deg     ", angles.v));

    const ScopedPenBrush keep(canvas, kPenBlack1, Brush{kWhite, false});
    drawModelAxes(canvas, view, kPenBlack1);

    PointGrid& points = state.grids.repair;
    auto markCell = [&](int row, int column, const char* name, int nameX) {
        for (int r = 0; r <= 36; ++r)
            for (int c = 0; c <= 72; ++c)
                at(points, r, c) = ModelPoint{};
        if (row >= 0 && row <= 36 && column >= 0 && column <= 72) {
            const float level = state.matrix.cellLevel(row, column, bin);
            ModelPoint p = spherePoint(row, column, grid, level);
            p.level = level;
            p.flag = 1.0f;
            at(points, row, column) = p;
        }
        canvas.setFont(Font::System);
        canvas.textOut(nameX, 680, format("%s  [%d] [%d]    ", name, row, column));
        canvas.setPen(kPenBlack2);
        canvas.setBrush(Brush{kBlack, true});
        for (int r = 0; r <= lastRow(grid); ++r)
            for (int c = 0; c <= lastColumn(grid); ++c) {
                const ModelPoint& p = at(points, r, c);
                if (p.flag != 1.0f)
                    continue;
                const ScreenXY s = view.project(p, kBalloonDistance);
                const int x = screenInt(s.x), y = screenInt(s.y);
                canvas.rectangle(x - 5, y - 5, x + 5, y + 5);
                canvas.setFont(Font::Arial);
                canvas.textOut(screenInt(s.x + 7), screenInt(s.y - 5), format("%d-%d  ", row, column));
                canvas.setFont(Font::System);
            }
    };
    markCell(sourceRow, sourceColumn, "From Matrix", 600);
    markCell(targetRow, targetColumn, "To Matrix", 800);
    canvas.setFont(oldFont);
}

int colourBalloonColumns(AngleGrid grid, int h, int sliceMode, int sliceLimit, int (&out)[kMaxColourBalloonColumns])
{
    const int n = lastRow(grid); // the column facing H = 180
    const int last = lastColumn(grid);
    const int s = sliceLimit;
    int count = 0;
    auto put = [&](int column) {
        if (count < kMaxColourBalloonColumns)
            out[count++] = column;
    };
    auto run = [&](int which) {
        switch (which) {
        case 1:
            for (int c = n; c <= std::min(last, n + s); ++c)
                put(c);
            break;
        case 2:
            for (int c = n; c >= std::max(0, n - s); --c)
                put(c);
            break;
        case 3:
            for (int c = last; c >= std::max(n + 1, last - s + 1); --c)
                put(c);
            break;
        case 4:
            for (int c = 0; c <= std::min(n, s - 1); ++c)
                put(c);
            break;
        default:
            break;
        }
    };
    // Columns nearer the viewer are painted last, over those behind them.
    const bool front = h >= -90 && h <= 90;
    const int leftRun = front ? 1 : 3;
    const int rightRun = front ? 2 : 4;
    if (sliceMode == kSliceLeft) {
        run(leftRun);
    } else if (sliceMode == kSliceRight) {
        run(rightRun);
    } else if (h >= 0) {
        run(leftRun);
        run(rightRun);
    } else {
        run(rightRun);
        run(leftRun);
    }
    return count;
}

namespace {

// The start of both surface views: a cleared view area, the projection's validity, then the
// font and the projected surface, its per-point text at textX. Nothing when it cannot be drawn.
std::optional<ViewProjection> beginSurfaceView(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int bin,
                                               int textX, Font& oldFont)
{
    clearViewArea(canvas);
    const ViewProjection view(angles);
    if (!drawViewValidity(canvas, view))
        return std::nullopt;
    oldFont = canvas.setFont(Font::System);
    prepareTexts(canvas);
    projectSurface(canvas, state, view, bin, textX);
    return view;
}

} // namespace

void drawColourBalloon(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int bin)
{
    Font oldFont = Font::System;
    const std::optional<ViewProjection> began = beginSurfaceView(canvas, state, angles, bin, 600, oldFont);
    if (!began)
        return;
    const ViewProjection& view = *began;

    const SelectionState& sel = state.selection;
    int columns[kMaxColourBalloonColumns];
    const int h = static_cast<int>(view.horizontalView());
    const int count = colourBalloonColumns(state.grid, h, sel.sliceMode, sel.sliceLimit, columns);
    for (int i = 0; i < count; ++i)
        drawColourColumn(canvas, state.screen, state.grid, columns[i], sel.colourScale, sel.viewMode);

    drawCabinet(canvas, view);
    drawModelAxes(canvas, view, kPenBlue2);
    drawViewTexts(canvas, view);
    canvas.setFont(oldFont);
}

void drawColumnView(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int bin, int column)
{
    Font oldFont = Font::System;
    const std::optional<ViewProjection> began = beginSurfaceView(canvas, state, angles, bin, 450, oldFont);
    if (!began)
        return;
    const ViewProjection& view = *began;

    const SelectionState& sel = state.selection;
    if (column >= 0 && column <= lastColumn(state.grid))
        drawColourColumn(canvas, state.screen, state.grid, column, sel.colourScale, sel.viewMode);

    drawModelAxes(canvas, view, kPenBlue2);
    drawViewTexts(canvas, view);
    // The split at 36 holds on both grids.
    if (column <= 36)
        canvas.textOut(800, 680, format("Right %d   ", column));
    else
        canvas.textOut(650, 680, format("Left %d   ", column));
    canvas.setFont(oldFont);
}

} // namespace vantrel
