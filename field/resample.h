#pragma once
// A balloon on another grid through its centred expansion: at every axis point of the valid
// band the field is expanded about the centre found there (sphere_analysis.h) and read at each
// cell of the new grid as expansion_levels.h reads it, the expansion plus what it leaves of the
// measurements interpolated between the source's cells, so that a cell both grids share keeps
// its measured value. Outside the valid band nothing was measured, and each new cell takes the
// filler of the source direction nearest to it.

#include "balloon/balloon_matrix.h"
#include "balloon/resampling_record.h"
#include "field/sphere_analysis.h"

namespace vantrel {

// Fills target's cells of grid `to` (every row and column, the V = -90 row as fillPoleRow
// makes it) and its trailer (the source's, with the new grid); returns the record.
ResamplingRecord resampleBalloon(const BalloonMatrix& source, AngleGrid from, const FrequencyAxis& axis,
                                 const ValidBand& band, AngleGrid to, const SphereOptions& options,
                                 BalloonMatrix& target);

} // namespace vantrel
