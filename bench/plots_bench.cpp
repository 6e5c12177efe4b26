// What the measurement window draws after every point of a walk, on the window's image canvas:
// the level plot full of results (ten level and ten phase curves, the level curves two pixels
// wide) and the impulse plot, beside a plain fill of the same area; and one wide curve drawn
// a segment at a time against one polyline.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <memory>
#include <vector>

#include "mls/curve_slots.h"
#include "mls/measurement_controls.h"
#include "mls/mls_plots.h"
#include "platform/qt/image_canvas.h"

namespace {

using namespace vantrel;

struct Window {
    Window() : image(1210, 790, QImage::Format_RGB32), canvas(image)
    {
        ensureGuiApplication();
        image.fill(QColor(158, 194, 216));
        MlsSettings s;
        for (int r = 0; r < 10; ++r) { // ten results, as a walk leaves them
            markResultSlots(s, *curves);
            for (std::size_t j = 0; j < 750; ++j) {
                const double x = static_cast<double>(j);
                (*curves)[static_cast<std::size_t>(kSplCurve0 + s.splSlot)][j] =
                    static_cast<float>(-20 + 10 * std::sin(x / 60 + r) + 3 * std::sin(x * 0.7));
                (*curves)[static_cast<std::size_t>(kPhaseCurve0 + s.phaseSlot)][j] =
                    static_cast<float>(std::fmod(x * (r + 1), 360.0) - 180);
            }
            advanceResultSlots(s);
        }
    }
    QImage image;
    ImageCanvas canvas;
    std::unique_ptr<CurveSet> curves = std::make_unique<CurveSet>();
};

void BM_SplPlotTenResults(benchmark::State& state)
{
    Window w;
    const SplPlotInput input{*w.curves};
    for (auto _ : state)
        drawSplPlot(w.canvas, kSplPlotRect, input);
}
BENCHMARK(BM_SplPlotTenResults)->Unit(benchmark::kMillisecond);

void BM_ImpulsePlot(benchmark::State& state)
{
    Window w;
    std::vector<float> ref(1 << 18), in(1 << 18);
    for (std::size_t j = 0; j < ref.size(); ++j) {
        ref[j] = static_cast<float>(std::exp(-0.01 * static_cast<double>(j % 4000)) * std::sin(0.3 * static_cast<double>(j)));
        in[j] = 0.5f * ref[j];
    }
    const ImpulsePlotInput input{*w.curves, ref, in, 1200, true};
    for (auto _ : state)
        drawImpulsePlot(w.canvas, kImpulsePlotRect, input);
}
BENCHMARK(BM_ImpulsePlot)->Unit(benchmark::kMillisecond);

// One level curve, 750 points two pixels wide: a lineTo per point (a painter per segment)
// against the polyline (one painter); the same pixels.
std::vector<Point> levelCurve()
{
    std::vector<Point> points;
    for (int j = 0; j < 750; ++j)
        points.push_back({104 + j, 400 + static_cast<int>(60 * std::sin(j / 40.0) + 8 * std::sin(j * 0.7))});
    return points;
}

void BM_WideCurveSegmentBySegment(benchmark::State& state)
{
    Window w;
    const std::vector<Point> points = levelCurve();
    w.canvas.setPen({{196, 0, 0}, 2, PenStyle::Solid});
    for (auto _ : state)
        w.canvas.Canvas::polyline(points); // the base class's moveTo and lineTo per point
}
BENCHMARK(BM_WideCurveSegmentBySegment)->Unit(benchmark::kMillisecond);

void BM_WideCurveOnePainter(benchmark::State& state)
{
    Window w;
    const std::vector<Point> points = levelCurve();
    w.canvas.setPen({{196, 0, 0}, 2, PenStyle::Solid});
    for (auto _ : state)
        w.canvas.polyline(points);
}
BENCHMARK(BM_WideCurveOnePainter)->Unit(benchmark::kMillisecond);

void BM_PlainFillOfTheLevelPlot(benchmark::State& state)
{
    Window w;
    for (auto _ : state)
        QPainter(&w.image).fillRect(QRect(kSplPlotRect.x, kSplPlotRect.y, kSplPlotRect.width, kSplPlotRect.height),
                                     QColor(255, 255, 255));
}
BENCHMARK(BM_PlainFillOfTheLevelPlot)->Unit(benchmark::kMillisecond);

} // namespace
