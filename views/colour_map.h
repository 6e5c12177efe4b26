#pragma once
// The colour scale of the colour views: level to palette index, the square that marks one
// point, and the legend beside the view area.

#include "platform/canvas.h"

namespace vantrel {

// index = trunc(colourScale * 0.02 * level), toward zero. Not clamped to the palette: 38 and
// above are drawn in colour 37. A NaN level gives 0.
int colourIndex(double level, int colourScale);

// Half-size of the point square: 4 in Raw and Coarse mode, 3 in Fine mode, 0 (nothing drawn)
// in Measurement and Test mode.
int colourPointHalfSize(int viewMode);

// One filled square trunc(x - h), trunc(y - h), trunc(x + h), trunc(y + h) (2h pixels wide,
// the right and bottom edge excluded) in palette colour index; pen and brush restored.
void drawColourPoint(Canvas& canvas, int index, double x, double y, int viewMode);

// Legend region: x 1130..1160, y 10..709; its texts at x 1162.
inline constexpr int kLegendLeft = 1130;
inline constexpr int kLegendRight = 1160;
inline constexpr int kLegendTextX = 1162;

// 39 boxes of 18 pixels pitch, colour 0 at the bottom (y 694..708) up to a second colour-37
// box at the top (y 10..24), then "MAX"/"SPL" above and "MIN"/"SPL" below, transparent.
void drawColourLegend(Canvas& canvas);

} // namespace vantrel
