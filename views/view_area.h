#pragma once
// The fixed screen regions of the main window's client area that the balloon views share
// (client pixels, y down; right and bottom edges excluded as the Canvas draws them).

#include "platform/canvas.h"

namespace vantrel {

struct ViewRect {
    int left, top, right, bottom;
    constexpr bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

inline constexpr ViewRect kViewArea{420, 5, 1100, 710};
inline constexpr ViewRect kLegendArea{1130, 10, 1160, 709};

// Fills the view area white inside a black 1-pixel frame; pen and brush restored.
void clearViewArea(Canvas& canvas);

} // namespace vantrel
