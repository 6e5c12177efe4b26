#include "views/colour_map.h"

#include <cmath>

#include "balloon/selection_state.h"
#include "views/drawing_resources.h"

namespace vantrel {

namespace {

// Truncation toward zero of a screen coordinate, kept inside int so that a wild projection
// cannot overflow the conversion; the canvas clips what lies off the image.
int truncCoordinate(double v)
{
    return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
}

} // namespace

int colourIndex(double level, int colourScale)
{
    const double index = colourScale * 0.02 * level;
    if (std::isnan(index))
        return 0;
    return static_cast<int>(std::clamp(index, -1.0e6, 1.0e6));
}

int colourPointHalfSize(int viewMode)
{
    switch (viewMode) {
    case kRawMode:
    case kCoarseMode:
        return 4;
    case kFineMode:
        return 3;
    default:
        return 0;
    }
}

void drawColourPoint(Canvas& canvas, int index, double x, double y, int viewMode)
{
    const int h = colourPointHalfSize(viewMode);
    if (h == 0 || !std::isfinite(x) || !std::isfinite(y))
        return;
    const ScopedPenBrush select(canvas, ColourPalette::pen(index), ColourPalette::brush(index));
    canvas.rectangle(truncCoordinate(x - h), truncCoordinate(y - h), truncCoordinate(x + h),
                     truncCoordinate(y + h));
}

void drawColourLegend(Canvas& canvas)
{
    {
        const ScopedPenBrush keep(canvas, ColourPalette::pen(0), ColourPalette::brush(0));
        for (int i = 0; i <= kPaletteSize; ++i) {
            canvas.setPen(ColourPalette::pen(i));
            canvas.setBrush(ColourPalette::brush(i));
            const int top = 684 - 18 * i + 10;
            canvas.rectangle(kLegendLeft, top, kLegendRight, top + 15);
        }
    }
    canvas.setTextBackground(false);
    canvas.setTextColour(kBlack);
    canvas.textOut(kLegendTextX, 5, "MAX");
    canvas.textOut(kLegendTextX, 20, "SPL");
    canvas.textOut(kLegendTextX, 690, "MIN");
    canvas.textOut(kLegendTextX, 705, "SPL");
}

} // namespace vantrel
