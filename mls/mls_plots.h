#pragma once
// The measurement window's six plot areas, drawn straight onto the window surface and
// redrawn in full from the curve set and the settings; nothing is kept between calls.
//
// Every area is first blanked to its background, then drawn with coordinates relative to its
// top-left corner. Drawing is not clipped to the area: the impulse plot's labels lie at
// negative x, to the left of it.

#include <span>

#include "mls/measurement_controls.h"
#include "mls/mls_settings.h"
#include "platform/canvas.h"

namespace vantrel {

// A Canvas that shifts every coordinate by an area's corner.
class AreaCanvas final : public Canvas {
public:
    AreaCanvas(Canvas& base, PlotRect area) : base_(base), dx_(area.x), dy_(area.y) {}

    Pen setPen(const Pen& pen) override { return base_.setPen(pen); }
    Brush setBrush(const Brush& brush) override { return base_.setBrush(brush); }
    Font setFont(Font font) override { return base_.setFont(font); }
    void setTextColour(Rgb colour) override { base_.setTextColour(colour); }
    void setTextBackground(bool opaque, Rgb colour = {255, 255, 255}) override { base_.setTextBackground(opaque, colour); }
    void rectangle(int left, int top, int right, int bottom) override
    {
        base_.rectangle(left + dx_, top + dy_, right + dx_, bottom + dy_);
    }
    void moveTo(int x, int y) override { base_.moveTo(x + dx_, y + dy_); }
    void lineTo(int x, int y) override { base_.lineTo(x + dx_, y + dy_); }
    void textOut(int x, int y, std::string_view text) override { base_.textOut(x + dx_, y + dy_, text); }
    void polyline(std::span<const Point> points) override;

private:
    Canvas& base_;
    int dx_, dy_;
};

inline constexpr Rgb kPlotWhite{255, 255, 255};
inline constexpr Rgb kGridDots{164, 164, 0};
inline constexpr Rgb kTitleYellow{255, 255, 64};

// Where a curve keeps its in-use flag: element 752 for the impulse curves and the time window
// (20..22), 750 for the others. Colour, width and style follow the flag.
constexpr int curveFlagElement(int curve) { return curve >= 20 && curve <= 22 ? 752 : 750; }
bool curveInUse(const CurveSet& curves, int curve);
// The pen of a curve's attributes: colours truncated to 0..255, width at least 1, style 0 or
// 1 solid, 2 dotted, 3 dashed; any other style draws solid.
Pen curvePen(const CurveSet& curves, int curve);

// Level units of the meter: peak / 1100. Box k (0..17) lights at 2k and above.
void drawLevelMeter(Canvas& surface, PlotRect area, Rgb background, float refLevel, float inLevel);

struct ImpulsePlotInput {
    const CurveSet& curves;
    std::span<const float> refSignal; // aligned responses, read at fftWindowPosition
    std::span<const float> inSignal;
    int fftWindowPosition = 0;        // samples
    bool showWindow = true;
};
void drawImpulsePlot(Canvas& surface, PlotRect area, const ImpulsePlotInput& input);

// Labels every 40 samples in ms at rateHz.
void drawTimeScale(Canvas& surface, PlotRect area, Rgb background, double rateHz);

struct SplPlotInput {
    const CurveSet& curves;
    double fromHz = 10, toHz = 50000;
    bool showPhase = true;
    int currentVAngle = 0, currentHAngle = 0; // degrees
    int selectedRow = 0, selectedColumn = 0;
};
void drawSplPlot(Canvas& surface, PlotRect area, const SplPlotInput& input);

void drawLevelScale(Canvas& surface, PlotRect area, Rgb background);
void drawFrequencyScale(Canvas& surface, PlotRect area, Rgb background, double fromHz, double toHz);

// The x of frequency f on a 750-pixel log axis from fromHz to toHz: trunc(log10 f k + c),
// k = 750 / log10(to/from), c = -log10(from) k.
int frequencyPixel(double f, double fromHz, double toHz);

} // namespace vantrel
