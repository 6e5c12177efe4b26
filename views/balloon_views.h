#pragma once
// The balloon views of the view area: the point view of "Measurement Mode" and "Test Mode"
// (which also marks the positions the sequence has measured), the repair marks, the colour
// balloon of the three colour modes and the single-column view.

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/selection_state.h"
#include "platform/canvas.h"
#include "views/colour_column.h"
#include "views/view_projection.h"

namespace vantrel {

// What the views read and the grids they keep between paints.
struct BalloonViewState {
    const BalloonMatrix& matrix;
    AngleGrid grid;
    const SelectionState& selection; // viewMode, colourScale, sliceMode, sliceLimit
    int sequencePhase;               // shown as "Cycle_Count"
    PointGrids& grids;
    ScreenPointGrid& screen;
};

// clear = 1 only clears the view area. Otherwise draws the point view of the balloon at
// selection.selectedBin. vIndex and hIndex are the position being measured (angles divided by
// the grid step); mark = 1 adds that position to the measured-position grid instead of
// recomputing the balloon. A position outside the grid marks nothing.
void drawBalloonPoints(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int clear, int vIndex,
                       int hIndex, int mark);

// The source and target cells of a repair as labelled squares on the balloon at bin.
void drawRepairMarks(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int clear, int sourceRow,
                     int sourceColumn, int targetRow, int targetColumn, int bin);

// The balloon surface at bin in the current colour mode, painted column by column from the
// back of the view forward as sliceMode and sliceLimit choose, with the cabinet outline and
// the axes on top.
void drawColourBalloon(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int bin);

// One column of the surface at bin; "Right %d   " or "Left %d   " names it.
void drawColumnView(Canvas& canvas, BalloonViewState& state, ViewAngles angles, int bin, int column);

inline constexpr int kMaxColourBalloonColumns = 74;

// The columns drawColourBalloon paints, in order, for the horizontal view angle h (-180..180).
// Returns how many were written to out (at most 74: two runs of up to 37 columns).
int colourBalloonColumns(AngleGrid grid, int h, int sliceMode, int sliceLimit, int (&out)[kMaxColourBalloonColumns]);

} // namespace vantrel
