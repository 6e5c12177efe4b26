#pragma once
// H2, H3 and THD of a sweep measurement as extra curves of the SPL plot: each at the level of
// the fundamental plus its own level relative to it, on the plot's scale (y = 100 - 5 (dB - 90)),
// broken where the harmonic lies below the noise.

#include "mls/frequency_response.h"
#include "mls/mls_plots.h"
#include "mls/sweep.h"

namespace vantrel {

void drawHarmonicCurves(Canvas& surface, PlotRect area, const AxisLevelPhase& response, const HarmonicResponses& harmonics);

} // namespace vantrel
