#include "views/colour_column.h"

#include <cmath>

#include "balloon/selection_state.h"
#include "views/colour_map.h"

namespace vantrel {

namespace {

// A sub-point of a cell: position and level, kept in float32 and truncated only when drawn.
struct SubPoint {
    float x;
    float y;
    float level;
};

SubPoint toSub(const ScreenGridPoint& p) { return {p.x, p.y, p.level}; }

SubPoint average(const SubPoint& a, const SubPoint& b)
{
    return {(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.level + b.level) * 0.5f};
}

double truncated(double v) { return std::trunc(v); }

void drawAt(Canvas& canvas, double level, double x, double y, int colourScale, int viewMode)
{
    drawColourPoint(canvas, colourIndex(level, colourScale), truncated(x), truncated(y), viewMode);
}

void drawSub(Canvas& canvas, const SubPoint& p, int colourScale, int viewMode)
{
    drawAt(canvas, p.level, p.x, p.y, colourScale, viewMode);
}

} // namespace

void drawColourColumn(Canvas& canvas, const ScreenPointGrid& points, AngleGrid grid, int column,
                      int colourScale, int viewMode)
{
    if (viewMode != kRawMode && viewMode != kCoarseMode && viewMode != kFineMode)
        return;
    const int n = lastRow(grid);
    if (column < 0 || column >= kScreenGridSize)
        return;
    const bool centreColumn = column == n;
    const int neighbour = column < n ? column + 1 : column - 1;
    if (!centreColumn && neighbour >= kScreenGridSize)
        return;

    auto at = [&](int r, int c) -> const ScreenGridPoint& {
        return points[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
    };

    for (int r = 0; r < n; ++r) {
        const ScreenGridPoint& p00 = at(r, column);
        drawAt(canvas, p00.level, p00.x, p00.y, colourScale, viewMode);
        if (viewMode == kRawMode)
            continue;
        if (centreColumn)
            return;
        const ScreenGridPoint& p01 = at(r, neighbour);
        const ScreenGridPoint& p10 = at(r + 1, column);
        const ScreenGridPoint& p11 = at(r + 1, neighbour);

        if (viewMode == kCoarseMode) {
            // Midpoints in double, level averaged inside the index rule.
            auto mid = [](float a, float b) { return (static_cast<double>(a) + b) * 0.5; };
            drawAt(canvas, mid(p00.level, p01.level), mid(p00.x, p01.x), mid(p00.y, p01.y), colourScale, viewMode);
            drawAt(canvas, mid(p00.level, p10.level), mid(p00.x, p10.x), mid(p00.y, p10.y), colourScale, viewMode);
            drawAt(canvas, mid(p00.level, p11.level), mid(p00.x, p11.x), mid(p10.y, p01.y), colourScale, viewMode);
            continue;
        }

        // Fine: (row fraction, column fraction) from P00 towards P10 and P01.
        const SubPoint s00 = toSub(p00), s01 = toSub(p01), s10 = toSub(p10), s11 = toSub(p11);
        const SubPoint half0 = average(s00, s10);     // (1/2, 0)
        const SubPoint zeroHalf = average(s00, s01);  // (0, 1/2)
        const SubPoint oneHalf = average(s10, s11);   // (1, 1/2)
        const SubPoint halfOne = average(s01, s11);   // (1/2, 1)
        const SubPoint centre = average(s00, s11);    // (1/2, 1/2)
        const SubPoint quarter0 = average(s00, half0);          // (1/4, 0)
        const SubPoint threeQuarter0 = average(s10, half0);     // (3/4, 0)
        const SubPoint zeroQuarter = average(s00, zeroHalf);    // (0, 1/4)
        const SubPoint zeroThreeQuarter = average(s01, zeroHalf); // (0, 3/4)
        const SubPoint quarterHalf = average(zeroHalf, centre); // (1/4, 1/2)
        const SubPoint threeQuarterHalf = average(centre, oneHalf); // (3/4, 1/2)
        const SubPoint halfQuarter = average(half0, centre);    // (1/2, 1/4)
        const SubPoint halfThreeQuarter = average(halfOne, centre); // (1/2, 3/4)
        const SubPoint q11 = average(s00, centre); // (1/4, 1/4)
        const SubPoint q31 = average(s10, centre); // (3/4, 1/4)
        const SubPoint q13 = average(s01, centre); // (1/4, 3/4)
        const SubPoint q33 = average(s11, centre); // (3/4, 3/4)
        for (const SubPoint& p : {half0, zeroHalf, centre, quarter0, quarterHalf, threeQuarterHalf,
                                  threeQuarter0, zeroQuarter, zeroThreeQuarter, halfQuarter,
                                  halfThreeQuarter, q11, q31, q13, q33})
            drawSub(canvas, p, colourScale, viewMode);
    }
}

} // namespace vantrel
