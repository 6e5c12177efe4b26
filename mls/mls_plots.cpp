#include "mls/mls_plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/number_text.h"
#include "views/drawing_resources.h"

namespace vantrel {

namespace {

constexpr Pen kDefaultPen{{0, 0, 0}, 1, PenStyle::Solid};
constexpr Brush kDefaultBrush{{255, 255, 255}, false};
constexpr Pen kNoPen{{0, 0, 0}, 1, PenStyle::Null};
constexpr int kPlotPoints = 750;

// Pixel positions truncate toward zero and are clamped to lo..hi; values no int can hold
// (NaN from a damaged curve included) land on the clamp bounds instead of overflowing.
int clampedPixel(double value, int lo, int hi)
{
    if (std::isnan(value))
        return hi;
    if (value <= lo)
        return lo;
    if (value >= hi)
        return hi;
    return static_cast<int>(value);
}

// A pixel position that may lie anywhere on the surface: truncated, kept within int range.
int pixel(double value) { return clampedPixel(value, -100000, 100000); }

void blank(Canvas& c, int width, int height, Rgb colour)
{
    const Pen pen = c.setPen(kNoPen);
    const Brush brush = c.setBrush({colour, false});
    c.rectangle(0, 0, width, height);
    c.setBrush(brush);
    c.setPen(pen);
}

void dot(Canvas& c, int x, int y)
{
    c.moveTo(x, y);
    c.lineTo(x + 1, y);
}

void titleBox(Canvas& c, int textX, std::string_view title)
{
    c.setPen(kDefaultPen);
    c.setBrush({kTitleYellow, false});
    c.rectangle(280, 1, 400, 15);
    c.setBrush(kDefaultBrush);
    c.setTextBackground(false);
    c.setFont(Font::Arial);
    c.textOut(textX, 2, title);
}

std::string formatted(double value, int decimals) { return fixedText(value, decimals); }

std::string cut4(std::string text) { return text.substr(0, 4); }

// The frequencies of the log grid: every unit below 10, every ten below 100, and so on up to
// steps of 10 kHz, starting at from.
double nextGridFrequency(double f)
{
    if (f < 10)
        return f + 1;
    if (f < 100)
        return f + 10;
    if (f < 1000)
        return f + 100;
    if (f < 10000)
        return f + 1000;
    return f + 10000;
}

// The label of a grid frequency, empty for the unlabelled ones (50, 500 and 5000 Hz, the
// sevens and the nines stay bare so that the labels do not crowd).
std::string frequencyLabel(double f)
{
    static constexpr double kUnits[] = {1, 2, 3, 4, 5, 6, 8, 10, 20, 30, 40, 60, 80, 100, 200, 300, 400, 600};
    static constexpr double kKilo[] = {1000, 2000, 3000, 4000, 6000, 8000, 10000, 20000, 30000, 40000, 60000, 80000};
    for (const double u : kUnits)
        if (f == u)
            return formatted(f, 0);
    for (const double k : kKilo)
        if (f == k)
            return formatted(f / 1000, 0) + "k";
    return {};
}

void polyline(Canvas& c, const Curve& values, int points, double base, double scale, int lo, int hi)
{
    std::array<Point, kPlotPoints> line;
    const auto n = static_cast<std::size_t>(std::clamp(points, 0, kPlotPoints));
    for (std::size_t j = 0; j < n; ++j)
        line[j] = {static_cast<int>(j), clampedPixel(base - scale * values[j], lo, hi)};
    c.polyline(std::span(line).first(n));
}

} // namespace

void AreaCanvas::polyline(std::span<const Point> points)
{
    std::array<Point, kPlotPoints> shifted;
    if (points.size() > shifted.size()) {
        Canvas::polyline(points);
        return;
    }
    for (std::size_t j = 0; j < points.size(); ++j)
        shifted[j] = {points[j].x + dx_, points[j].y + dy_};
    base_.polyline(std::span(shifted).first(points.size()));
}

bool curveInUse(const CurveSet& curves, int curve)
{
    return curves[static_cast<std::size_t>(curve)][static_cast<std::size_t>(curveFlagElement(curve))] == 1.0f;
}

Pen curvePen(const CurveSet& curves, int curve)
{
    const Curve& c = curves[static_cast<std::size_t>(curve)];
    const auto at = [&](int offset) { return c[static_cast<std::size_t>(curveFlagElement(curve) + offset)]; };
    const auto channel = [&](int offset) { return static_cast<std::uint8_t>(clampedPixel(at(offset), 0, 255)); };
    Pen pen;
    pen.colour = {channel(1), channel(2), channel(3)};
    pen.width = clampedPixel(at(4), 1, 16);
    switch (clampedPixel(at(5), -1, 4)) {
    case 2: pen.style = PenStyle::Dot; break;
    case 3: pen.style = PenStyle::Dash; break;
    default: pen.style = PenStyle::Solid; break;
    }
    return pen;
}

int frequencyPixel(double f, double fromHz, double toHz)
{
    const double k = kPlotPoints / std::log10(toHz / fromHz);
    const double c = -std::log10(fromHz) * k;
    return pixel(std::log10(f) * k + c);
}

void drawLevelMeter(Canvas& surface, PlotRect area, Rgb background, float refLevel, float inLevel)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, background);
    const int b = area.height;
    c.setPen(kDefaultPen);
    c.setBrush(kDefaultBrush);
    for (const int x : {5, 22}) {
        for (int k = 0; k < 18; ++k)
            c.rectangle(x, b - 10 * k - 13, x + 13, b - 10 * k - 2);
    }
    c.moveTo(0, 11);
    c.lineTo(area.width + 5, 11);

    c.setPen(kNoPen);
    const float levels[] = {refLevel, inLevel};
    for (int column = 0; column < 2; ++column) {
        const int x = column == 0 ? 5 : 22;
        for (int k = 0; k < 18; ++k) {
            if (!(levels[column] >= 2.0f * static_cast<float>(k)))
                continue;
            c.setBrush(ColourPalette::brush(20 + k));
            c.rectangle(x, b - 10 * k - 13, x + 13, b - 10 * k - 2);
        }
    }
    c.setBrush(kDefaultBrush);
    c.setPen(kDefaultPen);
}

void drawImpulsePlot(Canvas& surface, PlotRect area, const ImpulsePlotInput& in)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, kPlotWhite);
    c.setTextColour(kBlack);
    c.setTextBackground(false);

    c.setPen({kGridDots, 1, PenStyle::Solid});
    for (int y = 11; y <= 187; y += 11)
        for (int x = 0; x <= 748; x += 2)
            dot(c, x, y);
    c.setPen(kPenRed1);
    for (const int y : {55, 143}) {
        c.moveTo(0, y);
        c.lineTo(750, y);
    }
    // The column dots come after the zero lines and so stay visible where they cross them.
    c.setPen({kGridDots, 1, PenStyle::Solid});
    for (int x = 20; x <= 740; x += 20)
        for (int y = 1; y <= 197; y += 2)
            dot(c, x, y);

    titleBox(c, 290, "Input Voltage vs. Time");
    for (int i = 0; i <= 8; ++i)
        c.textOut(-15, 11 * i - 5, cut4(formatted(100 - 20 * i, 0)));
    c.textOut(-33, 50, "In1");
    for (int i = 0; i <= 9; ++i)
        c.textOut(-18, 11 * i + 92, cut4(formatted(80 - 20 * i, 0)));
    c.textOut(-33, 137, "In2");

    c.setFont(Font::Helv);
    c.setTextBackground(true, kPlotWhite);
    const int p = in.fftWindowPosition;
    const auto sample = [p](std::span<const float> s) {
        return p >= 0 && static_cast<std::size_t>(p) < s.size() ? static_cast<double>(s[static_cast<std::size_t>(p)]) : 0.0;
    };
    const std::string readout = "Ref = " + fixedText(sample(in.refSignal), 2) + ", In = " + fixedText(sample(in.inSignal), 2) +
                                ", Bin = " + std::to_string(p);
    c.textOut(500, 3, readout);

    if (curveInUse(in.curves, 20)) {
        c.setPen(curvePen(in.curves, 20));
        polyline(c, in.curves[20], kPlotPoints, 55, 1, 0, 198);
    }
    if (curveInUse(in.curves, 21)) {
        c.setPen(curvePen(in.curves, 21));
        polyline(c, in.curves[21], kPlotPoints, 143, 5, 0, 198);
    }
    if (in.showWindow && curveInUse(in.curves, 22) && p >= 0 && p < kPlotPoints) {
        c.setPen(kPenGreen1);
        const Curve& w = in.curves[22];
        for (int j = 0; j <= 749 - p; ++j) {
            const int x = j + p;
            const int y = clampedPixel(143 - 80.0 * w[static_cast<std::size_t>(j)], 0, 200);
            if (j == 0)
                c.moveTo(x, 143);
            c.lineTo(x, y);
        }
    }
    c.setPen(kDefaultPen);
    c.setFont(Font::System);
}

void drawTimeScale(Canvas& surface, PlotRect area, Rgb background, double rateHz)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, background);
    c.setTextColour(kBlack);
    c.setTextBackground(false);
    c.setFont(Font::Arial);
    if (rateHz > 0)
        for (int x = 0; x <= 720; x += 40)
            c.textOut(x + 1, 2, formatted(x * 1000.0 / rateHz, 2));
    c.textOut(755, 2, "ms");
    c.setFont(Font::System);
}

void drawSplPlot(Canvas& surface, PlotRect area, const SplPlotInput& in)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, kPlotWhite);
    c.setTextColour(kBlack);

    c.setPen({kGridDots, 1, PenStyle::Solid});
    for (int y = 25; y <= 350; y += 25)
        for (int x = 0; x <= 748; x += 2)
            dot(c, x, y);
    if (in.fromHz > 0 && in.toHz > in.fromHz) {
        for (double f = in.fromHz; f < in.toHz + 1; f = nextGridFrequency(f)) {
            const int x = frequencyPixel(f, in.fromHz, in.toHz);
            for (int y = 0; y <= 350; y += 2)
                dot(c, x, y);
        }
    }
    titleBox(c, 300, "SPL vs. Frequency");

    c.setTextBackground(true, kPlotWhite);
    for (int i = 0; i < 10; ++i) {
        if (!curveInUse(in.curves, i))
            continue;
        c.setPen(curvePen(in.curves, i));
        polyline(c, in.curves[static_cast<std::size_t>(i)], kPlotPoints, 100, 5, 0, 350);
        c.moveTo(30, 15 * i + 10);
        c.lineTo(50, 15 * i + 10);
    }
    c.setFont(Font::Helv);
    for (int i = 0; i < 10; ++i)
        if (curveInUse(in.curves, i))
            c.textOut(5, 15 * i + 5, "SPL");

    if (in.showPhase) {
        for (int i = 10; i < 20; ++i) {
            if (!curveInUse(in.curves, i))
                continue;
            c.setPen(curvePen(in.curves, i));
            polyline(c, in.curves[static_cast<std::size_t>(i)], kPlotPoints, 175, 1, 0, 350);
            c.moveTo(80, 15 * i - 140);
            c.lineTo(100, 15 * i - 140);
        }
        for (int i = 10; i < 20; ++i)
            if (curveInUse(in.curves, i))
                c.textOut(60, 15 * i - 145, "PH");
    }

    if (curveInUse(in.curves, kCalibrationLevelCurve)) {
        c.setPen(curvePen(in.curves, kCalibrationLevelCurve));
        polyline(c, in.curves[kCalibrationLevelCurve], kPlotPoints, 100, 5, 0, 350);
    }
    if (curveInUse(in.curves, kCalibrationPhaseCurve)) {
        c.setPen(curvePen(in.curves, kCalibrationPhaseCurve));
        polyline(c, in.curves[kCalibrationPhaseCurve], kPlotPoints, 175, 1, 0, 350);
    }

    char text[96];
    std::snprintf(text, sizeof text, "V-Angle %d, H-Angle %d       ", in.currentVAngle, in.currentHAngle);
    c.textOut(430, 2, text);
    std::snprintf(text, sizeof text, "Vertical %d, Horizontal %d     ", in.selectedRow, in.selectedColumn);
    c.textOut(600, 2, text);
    c.setPen(kDefaultPen);
    c.setFont(Font::System);
}

void drawLevelScale(Canvas& surface, PlotRect area, Rgb background)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, background);
    c.setTextColour(kBlack);
    c.setTextBackground(false);
    c.setFont(Font::Arial);
    for (int i = 0; i <= 14; ++i)
        c.textOut(3, 25 * i + 3, cut4(formatted(110 - 5 * i, 0)));
    c.textOut(3, 363, "dB");
    c.setFont(Font::System);
}

void drawFrequencyScale(Canvas& surface, PlotRect area, Rgb background, double fromHz, double toHz)
{
    AreaCanvas c(surface, area);
    blank(c, area.width, area.height, background);
    c.setTextColour(kBlack);
    c.setTextBackground(false);
    c.setFont(Font::Arial);
    if (fromHz > 0 && toHz > fromHz) {
        for (double f = fromHz; f < toHz; f = nextGridFrequency(f)) {
            const std::string label = frequencyLabel(f);
            if (!label.empty())
                c.textOut(frequencyPixel(f, fromHz, toHz) - 1, 2, label);
        }
    }
    c.textOut(755, 2, "Hz");
    c.setFont(Font::System);
}

} // namespace vantrel
