// One "Fine Mode" repaint of a fully measured 5-degree balloon ("Full", slice 36) on the
// window's image canvas, beside a plain white fill of the view area. The repaint has to stay
// well under a frame (16 ms) for a dragged view scroll bar to turn the balloon smoothly.

#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <memory>

#include "platform/qt/image_canvas.h"
#include "views/balloon_views.h"
#include "views/view_area.h"

namespace vantrel {
namespace {

struct Scene {
    Scene() : matrix(*BalloonMatrix::create()), image(1210, 790, QImage::Format_RGB32), canvas(image)
    {
        ensureGuiApplication();
        image.fill(QColor(158, 194, 216));
        for (int r = 0; r <= 36; ++r)
            for (int c = 0; c <= 72; ++c) {
                const double h = 5 * c * 3.141592653589793 / 180, v = (90 - 5 * r) * 3.141592653589793 / 180;
                auto cell = matrix.cell(r, c);
                for (int b = 0; b < 750; ++b)
                    cell[static_cast<std::size_t>(b)] =
                        encodeBin(static_cast<float>(40 + 28 * std::cos(h) + 6 * std::sin(v) * std::sin(h)), 0);
            }
        selection.viewMode = kFineMode;
        selection.sliceMode = kSliceFull;
        selection.sliceLimit = 36;
    }
    BalloonViewState state() { return {matrix, AngleGrid::Grid5, selection, 0, *grids, *screen}; }

    BalloonMatrix matrix;
    SelectionState selection;
    std::unique_ptr<PointGrids> grids = std::make_unique<PointGrids>();
    std::unique_ptr<ScreenPointGrid> screen = std::make_unique<ScreenPointGrid>();
    QImage image;
    ImageCanvas canvas;
};

void BM_ViewAreaFill(benchmark::State& st)
{
    Scene s;
    for (auto _ : st) {
        clearViewArea(s.canvas);
        benchmark::DoNotOptimize(s.image.constBits());
    }
}
BENCHMARK(BM_ViewAreaFill)->Unit(benchmark::kMillisecond);

// The view turned a degree each repaint, as a dragged horizontal view bar does; h stays in
// the front half so that both column runs are painted.
void BM_FineColourBalloon(benchmark::State& st)
{
    Scene s;
    auto state = s.state();
    int turn = 0;
    for (auto _ : st) {
        s.selection.viewScrollH = 330 + (turn++ % 60);
        drawColourBalloon(s.canvas, state, s.selection.viewAngles(), 460);
        benchmark::DoNotOptimize(s.image.constBits());
    }
}
BENCHMARK(BM_FineColourBalloon)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel
