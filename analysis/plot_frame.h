#pragma once
// The shared look of the analysis pictures: white page, black frames, light grey grid lines,
// the window's default font, logarithmic frequency and linear value axes, curves and legends.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace vantrel {

struct PictureSize {
    int width = 0;
    int height = 0;
};

struct PlotRect {
    int left = 0, top = 0, right = 0, bottom = 0; // right and bottom excluded
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

inline constexpr Rgb kGridGrey{205, 205, 205};
inline constexpr int kCharWidth = 7; // average advance of the default font, for placing labels

// Frequency on a logarithmic axis from pixel p0 (lo) to p1 (hi).
class LogAxis {
public:
    LogAxis(double lo, double hi, int p0, int p1);
    double toPixel(double hz) const;
    double fromPixel(double pixel) const;
    double lo() const { return lo_; }
    double hi() const { return hi_; }

private:
    double lo_, hi_;
    double p0_, p1_;
};

// A value on a linear axis: v0 at pixel p0, v1 at pixel p1.
class LinearAxis {
public:
    LinearAxis(double v0, double v1, int p0, int p1);
    double toPixel(double value) const;
    double fromPixel(double pixel) const;
    double v0() const { return v0_; }
    double v1() const { return v1_; }

private:
    double v0_, v1_;
    double p0_, p1_;
};

enum class Align { Left, Centre, Right };
enum class Side { Left, Right };

// The whole picture painted white.
void clearPicture(Canvas& canvas, PictureSize size);
// Text in the default font with a transparent background; y is the top of the text.
void drawLabel(Canvas& canvas, int x, int y, std::string_view text, Align align = Align::Left,
               Rgb colour = {0, 0, 0});
int labelWidth(std::string_view text);

// "20", "500", "1k", "20k".
std::string frequencyLabel(double hz);

// Grid lines at 1, 2 and 5 per decade (labelled) and the other whole multiples (unlabelled);
// "Frequency (Hz)" under the labels when withTitle.
void drawFrequencyGrid(Canvas& canvas, PlotRect rect, const LogAxis& axis, bool withTitle);
// Grid lines and labels every `step` over the axis's range, labels on the given side.
void drawValueGrid(Canvas& canvas, PlotRect rect, const LinearAxis& axis, double step, Side side,
                   bool gridLines = true);
void drawFrame(Canvas& canvas, PlotRect rect);

// A curve through (x[i], y[i]); a missing y breaks it. Points beyond the value range are held
// at the frame.
void drawCurve(Canvas& canvas, PlotRect rect, const LogAxis& xAxis, const LinearAxis& yAxis,
               std::span<const double> x, std::span<const std::optional<double>> y, const Pen& pen);

struct LegendEntry {
    std::string label;
    Pen pen;
};
// A white box with a sample line and the label of each entry, top-left corner at (x, y).
void drawLegend(Canvas& canvas, int x, int y, std::span<const LegendEntry> entries);

} // namespace vantrel
