#pragma once
// The main window's drawing of the balloon, over the window's own state: the full repaint
// (status panel, current view, legend) and each view with the window's current selection.
// The window and `vantrel-cli render` both draw through it, so a render has the window's
// pixels.

#include <functional>
#include <memory>
#include <string>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/selection_state.h"
#include "platform/canvas.h"
#include "views/balloon_views.h"

namespace vantrel {

class BalloonDisplay {
public:
    // Keeps references to the state; the point grids and screen grid are its own (all zero).
    BalloonDisplay(const BalloonMatrix& matrix, const SelectionState& selection, const FrequencyAxis& axis,
                   const AngleGrid& grid, const int& sequencePhase);

    // Status panel, the view of viewMode, legend; on a surface erased to the background.
    void paint(Canvas& canvas, bool turntable1Connected, bool turntable2Connected);
    // The colour balloon in the colour modes, otherwise the point view cleared and redrawn.
    void drawCurrentView(Canvas& canvas);

    void drawBalloonPoints(Canvas& canvas, int clear, int vIndex, int hIndex, int mark);
    void drawColourBalloon(Canvas& canvas);
    void drawColumnView(Canvas& canvas);
    void drawRepairMarks(Canvas& canvas);

    // "Clear Balloon": the three point grids back to their cleared state.
    void resetPointGrids();
    void resetMeasuredPositions();

    PointGrids& grids() { return *grids_; }

    // The balloon the views draw (the responses, or levels made of another quantity), and a
    // caption saying what its levels are, drawn at the view's top left after each view; empty
    // for none.
    void showMatrix(const BalloonMatrix& matrix) { matrix_ = &matrix; }
    // (Asked at each draw: it may name the selected frequency.)
    void setCaption(std::function<std::string()> caption) { caption_ = std::move(caption); }

private:
    BalloonViewState viewState();
    void drawCaption(Canvas& canvas);

    const BalloonMatrix* matrix_;
    std::function<std::string()> caption_;
    const SelectionState& selection_;
    const FrequencyAxis& axis_;
    const AngleGrid& grid_;
    const int& sequencePhase_;
    std::unique_ptr<PointGrids> grids_;
    std::unique_ptr<ScreenPointGrid> screen_;
};

} // namespace vantrel
