#include "analysis/plot_frame.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"

namespace vantrel {

LogAxis::LogAxis(double lo, double hi, int p0, int p1) : lo_(lo), hi_(hi), p0_(p0), p1_(p1) {}

double LogAxis::toPixel(double hz) const
{
    return p0_ + (p1_ - p0_) * std::log(hz / lo_) / std::log(hi_ / lo_);
}

double LogAxis::fromPixel(double pixel) const
{
    return lo_ * std::pow(hi_ / lo_, (pixel - p0_) / (p1_ - p0_));
}

LinearAxis::LinearAxis(double v0, double v1, int p0, int p1) : v0_(v0), v1_(v1), p0_(p0), p1_(p1) {}

double LinearAxis::toPixel(double value) const { return p0_ + (p1_ - p0_) * (value - v0_) / (v1_ - v0_); }

double LinearAxis::fromPixel(double pixel) const { return v0_ + (v1_ - v0_) * (pixel - p0_) / (p1_ - p0_); }

void clearPicture(Canvas& canvas, PictureSize size)
{
    const Pen pen = canvas.setPen({{255, 255, 255}, 1, PenStyle::Null});
    const Brush brush = canvas.setBrush({{255, 255, 255}, false});
    canvas.rectangle(0, 0, size.width, size.height);
    canvas.setBrush(brush);
    canvas.setPen(pen);
}

int labelWidth(std::string_view text) { return kCharWidth * static_cast<int>(text.size()); }

void drawLabel(Canvas& canvas, int x, int y, std::string_view text, Align align, Rgb colour)
{
    canvas.setFont(Font::System);
    canvas.setTextBackground(false);
    canvas.setTextColour(colour);
    if (align == Align::Centre)
        x -= labelWidth(text) / 2;
    else if (align == Align::Right)
        x -= labelWidth(text);
    canvas.textOut(x, y, text);
}

std::string frequencyLabel(double hz)
{
    const long rounded = std::lround(hz);
    if (rounded >= 1000 && rounded % 1000 == 0)
        return std::to_string(rounded / 1000) + "k";
    if (rounded >= 1000)
        return cleanFixedText(hz / 1000.0, 1) + "k";
    if (std::abs(hz - static_cast<double>(rounded)) < 1e-9)
        return std::to_string(rounded);
    return cleanFixedText(hz, 1);
}

void drawFrequencyGrid(Canvas& canvas, PlotRect rect, const LogAxis& axis, bool withTitle)
{
    const Pen old = canvas.setPen({kGridGrey, 1, PenStyle::Solid});
    for (double decade = std::pow(10.0, std::floor(std::log10(axis.lo()))); decade <= axis.hi(); decade *= 10.0) {
        for (int m = 1; m <= 9; ++m) {
            const double hz = decade * m;
            if (hz < axis.lo() * 0.9999 || hz > axis.hi() * 1.0001)
                continue;
            const int x = static_cast<int>(std::lround(axis.toPixel(hz)));
            if (x < rect.left || x >= rect.right)
                continue;
            const bool labelled = m == 1 || m == 2 || m == 5;
            canvas.setPen({labelled ? Rgb{170, 170, 170} : kGridGrey, 1, PenStyle::Solid});
            canvas.moveTo(x, rect.top);
            canvas.lineTo(x, rect.bottom);
            if (labelled)
                drawLabel(canvas, x, rect.bottom + 4, frequencyLabel(hz), Align::Centre);
        }
    }
    if (withTitle)
        drawLabel(canvas, (rect.left + rect.right) / 2, rect.bottom + 20, "Frequency (Hz)", Align::Centre);
    canvas.setPen(old);
}

void drawValueGrid(Canvas& canvas, PlotRect rect, const LinearAxis& axis, double step, Side side, bool gridLines)
{
    const Pen old = canvas.setPen({kGridGrey, 1, PenStyle::Solid});
    const double lo = std::min(axis.v0(), axis.v1());
    const double hi = std::max(axis.v0(), axis.v1());
    for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + 1e-9; v += step) {
        const int y = static_cast<int>(std::lround(axis.toPixel(v)));
        if (gridLines && y > rect.top && y < rect.bottom - 1) {
            canvas.moveTo(rect.left, y);
            canvas.lineTo(rect.right, y);
        }
        const std::string text = cleanFixedText(v, step < 0.1 - 1e-9 ? 2 : step < 1.0 ? 1 : 0);
        if (side == Side::Left)
            drawLabel(canvas, rect.left - 6, y - 7, text, Align::Right);
        else
            drawLabel(canvas, rect.right + 6, y - 7, text, Align::Left);
    }
    canvas.setPen(old);
}

void drawFrame(Canvas& canvas, PlotRect rect)
{
    const Pen pen = canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
    const Brush brush = canvas.setBrush({{0, 0, 0}, true});
    canvas.rectangle(rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1);
    canvas.setBrush(brush);
    canvas.setPen(pen);
}

void drawCurve(Canvas& canvas, PlotRect rect, const LogAxis& xAxis, const LinearAxis& yAxis,
               std::span<const double> x, std::span<const std::optional<double>> y, const Pen& pen)
{
    const Pen old = canvas.setPen(pen);
    bool drawing = false;
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        const double px = xAxis.toPixel(x[i]);
        if (!y[i] || px < rect.left || px > rect.right - 1) {
            drawing = false;
            continue;
        }
        const double py = std::clamp(yAxis.toPixel(*y[i]), static_cast<double>(rect.top),
                                     static_cast<double>(rect.bottom - 1));
        const int ix = static_cast<int>(std::lround(px));
        const int iy = static_cast<int>(std::lround(py));
        if (drawing)
            canvas.lineTo(ix, iy);
        else
            canvas.moveTo(ix, iy);
        drawing = true;
    }
    canvas.setPen(old);
}

void drawLegend(Canvas& canvas, int x, int y, std::span<const LegendEntry> entries)
{
    int widest = 0;
    for (const LegendEntry& e : entries)
        widest = std::max(widest, labelWidth(e.label));
    const int rowHeight = 18;
    const int width = 44 + widest + 8;
    const int height = rowHeight * static_cast<int>(entries.size()) + 8;
    const Pen pen = canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
    const Brush brush = canvas.setBrush({{255, 255, 255}, false});
    canvas.rectangle(x, y, x + width, y + height);
    canvas.setBrush(brush);
    canvas.setPen(pen);
    int row = y + 4;
    for (const LegendEntry& e : entries) {
        const Pen old = canvas.setPen(e.pen);
        canvas.moveTo(x + 8, row + 8);
        canvas.lineTo(x + 36, row + 8);
        canvas.setPen(old);
        drawLabel(canvas, x + 44, row + 1, e.label);
        row += rowHeight;
    }
}

} // namespace vantrel
