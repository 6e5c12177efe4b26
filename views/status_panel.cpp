#include "views/status_panel.h"

#include <initializer_list>
#include <utility>

#include "views/drawing_resources.h"
#include "views/readout_text.h"

namespace vantrel {

namespace {

void polyline(Canvas& canvas, std::initializer_list<std::pair<int, int>> points)
{
    auto it = points.begin();
    canvas.moveTo(it->first, it->second);
    for (++it; it != points.end(); ++it)
        canvas.lineTo(it->first, it->second);
}

void drawLinkStatus(Canvas& canvas, const LinkBox& box, bool connected)
{
    drawLinkBox(canvas, box, kWindowBackground);
    drawLinkBox(canvas, box, connected ? kLinkConnected : kLinkDisconnected);
    canvas.textOut(box.textX, box.textY, connected ? "Connected" : "Disconnected");
}

} // namespace

StatusPanelState makeStatusPanelState(const SelectionState& selection, const FrequencyAxis& axis,
                                      bool turntable1Connected,
                                      bool turntable2Connected)
{
    StatusPanelState state;
    state.selection = selection;
    state.selection.clampAll();
    state.binFrequency = axis[state.selection.selectedBin];
    state.binLevel = 0.0;
    state.turntable1Connected = turntable1Connected;
    state.turntable2Connected = turntable2Connected;
    return state;
}

void drawLinkBox(Canvas& canvas, const LinkBox& box, Rgb colour)
{
    const ScopedPenBrush select(canvas, kPenBlack1, Brush{colour, false});
    canvas.rectangle(box.left, box.top, box.right, box.bottom);
}

void drawStatusPanel(Canvas& canvas, const StatusPanelState& state)
{
    const SelectionState& s = state.selection;
    const Font oldFont = canvas.setFont(Font::System);
    const Pen oldPen = canvas.setPen(kPenBlack1);
    canvas.setTextColour(kBlack);
    canvas.setTextBackground(false);

    // The frames leave a gap in their top edge for the group title.
    canvas.textOut(20, 240, "Presentation");
    polyline(canvas, {{15, 246}, {5, 246}, {5, 425}, {390, 425}, {390, 246}, {110, 246}});

    canvas.textOut(265, 560, "Repair");
    polyline(canvas, {{260, 566}, {250, 566}, {250, 747}, {385, 747}, {385, 566}, {320, 566}});
    canvas.textOut(255, 575, "With This Data");
    canvas.textOut(255, 660, "Replace This Data");

    drawLinkStatus(canvas, kLinkBox1, state.turntable1Connected);
    drawLinkStatus(canvas, kLinkBox2, state.turntable2Connected);

    canvas.setTextBackground(true, kWhite);
    canvas.textOut(265, 319, panelSliceText(s.sliceLimit));
    canvas.textOut(10, 347, colourMapText(s.colourScale));
    canvas.textOut(10, 388, binText(s.selectedBin, state.binFrequency, state.binLevel));
    canvas.textOut(265, 354, verticalText(s.selectedRow));
    canvas.textOut(265, 389, horizontalText(s.selectedColumn));
    canvas.textOut(260, 591, verticalText(s.repairSourceRow));
    canvas.textOut(260, 626, horizontalText(s.repairSourceColumn));
    canvas.textOut(260, 675, verticalText(s.repairTargetRow));
    canvas.textOut(260, 711, horizontalText(s.repairTargetColumn));

    canvas.setPen(oldPen);
    canvas.setFont(oldFont);
}

} // namespace vantrel
