#include "views/balloon_display.h"

#include "views/colour_map.h"
#include "views/status_panel.h"
#include "views/view_area.h"

namespace vantrel {

BalloonDisplay::BalloonDisplay(const BalloonMatrix& matrix, const SelectionState& selection, const FrequencyAxis& axis,
                               const AngleGrid& grid, const int& sequencePhase)
    : matrix_(&matrix), selection_(selection), axis_(axis), grid_(grid), sequencePhase_(sequencePhase),
      grids_(std::make_unique<PointGrids>()), screen_(std::make_unique<ScreenPointGrid>())
{
}

BalloonViewState BalloonDisplay::viewState()
{
    return {*matrix_, grid_, selection_, sequencePhase_, *grids_, *screen_};
}

void BalloonDisplay::paint(Canvas& canvas, bool turntable1Connected, bool turntable2Connected)
{
    drawStatusPanel(canvas, makeStatusPanelState(selection_, axis_, turntable1Connected, turntable2Connected));
    drawCurrentView(canvas);
    drawColourLegend(canvas);
}

void BalloonDisplay::drawCaption(Canvas& canvas)
{
    if (!caption_)
        return;
    const std::string caption = caption_();
    const Font font = canvas.setFont(Font::System);
    canvas.setTextColour({0, 0, 0});
    canvas.setTextBackground(true, {255, 255, 255});
    canvas.textOut(kViewArea.left + 8, kViewArea.top + 8, caption);
    canvas.setFont(font);
}

void BalloonDisplay::drawCurrentView(Canvas& canvas)
{
    if (selection_.colourView()) {
        drawColourBalloon(canvas);
        return;
    }
    drawBalloonPoints(canvas, 1, 0, 0, 0);
    drawBalloonPoints(canvas, 0, 0, 0, 0);
}

void BalloonDisplay::drawBalloonPoints(Canvas& canvas, int clear, int vIndex, int hIndex, int mark)
{
    BalloonViewState state = viewState();
    vantrel::drawBalloonPoints(canvas, state, selection_.viewAngles(), clear, vIndex, hIndex, mark);
    if (clear == 0)
        drawCaption(canvas);
}

void BalloonDisplay::drawColourBalloon(Canvas& canvas)
{
    BalloonViewState state = viewState();
    vantrel::drawColourBalloon(canvas, state, selection_.viewAngles(), selection_.selectedBin);
    drawCaption(canvas);
}

void BalloonDisplay::drawColumnView(Canvas& canvas)
{
    BalloonViewState state = viewState();
    vantrel::drawColumnView(canvas, state, selection_.viewAngles(), selection_.selectedBin, selection_.selectedColumn);
    drawCaption(canvas);
}

void BalloonDisplay::drawRepairMarks(Canvas& canvas)
{
    BalloonViewState state = viewState();
    const SelectionState& s = selection_;
    vantrel::drawRepairMarks(canvas, state, s.viewAngles(), 0, s.repairSourceRow, s.repairSourceColumn,
                             s.repairTargetRow, s.repairTargetColumn, s.selectedBin);
    drawCaption(canvas);
}

void BalloonDisplay::resetPointGrids()
{
    resetPointGrid(grids_->balloon);
    resetPointGrid(grids_->measured);
    resetPointGrid(grids_->repair);
}

void BalloonDisplay::resetMeasuredPositions() { resetPointGrid(grids_->measured); }

} // namespace vantrel
