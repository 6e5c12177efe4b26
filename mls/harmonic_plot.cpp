#include "mls/harmonic_plot.h"

#include <algorithm>
#include <cmath>

namespace vantrel {

void drawHarmonicCurves(Canvas& surface, PlotRect area, const AxisLevelPhase& response, const HarmonicResponses& harmonics)
{
    AreaCanvas c(surface, area);
    struct Trace {
        const AxisValues& values;
        Pen pen;
        const char* label;
    };
    const Trace traces[] = {{harmonics.harmonicDb[0], {{0, 0, 196}, 1, PenStyle::Dash}, "H2"},
                            {harmonics.harmonicDb[1], {{0, 140, 0}, 1, PenStyle::Dash}, "H3"},
                            {harmonics.thdDb, {{196, 0, 0}, 1, PenStyle::Dot}, "THD"}};
    const int bottom = std::min(area.height - 1, 350);
    c.setFont(Font::Helv);
    c.setTextColour({0, 0, 0});
    for (std::size_t t = 0; t < std::size(traces); ++t) {
        const Trace& trace = traces[t];
        c.setPen(trace.pen);
        bool drawing = false;
        for (int j = 0; j < kAxisPoints && j < area.width; ++j) {
            const auto at = static_cast<std::size_t>(j);
            if (!harmonics.measured(trace.values, at)) {
                drawing = false;
                continue;
            }
            const double db = response[at].level - 90.0 + trace.values[at];
            const int y = std::clamp(static_cast<int>(std::lround(100 - 5 * db)), 0, bottom);
            if (drawing)
                c.lineTo(j, y);
            else
                c.moveTo(j, y);
            drawing = true;
        }
        const int row = 40 + 15 * static_cast<int>(t);
        c.moveTo(area.width - 90, row);
        c.lineTo(area.width - 70, row);
        c.textOut(area.width - 64, row - 5, trace.label);
    }
    c.setFont(Font::System);
}

} // namespace vantrel
