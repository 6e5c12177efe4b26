#pragma once
// The selection readouts of the left panel. Each text ends in blanks: drawn with an opaque
// background, a shorter new text covers the old one.

#include <string>

#include "platform/number_text.h"

namespace vantrel {

// "Colour Map = %.3f    " of colourScale * 0.02.
std::string colourMapText(int colourScale);
// "Bin = %d, Fr = %.1f, %.1f    ": bin, its frequency in Hz, a level.
std::string binText(int bin, double frequencyHz, double level);
// "Slice = %d    " as the slice scroll bar writes it.
std::string sliceText(int sliceLimit);
// "Slice = %d     " (one blank more) as the repainted panel writes it.
std::string panelSliceText(int sliceLimit);
// "Vertical = %d    ", "Horizontal = %d    ".
std::string verticalText(int row);
std::string horizontalText(int column);

} // namespace vantrel
