#pragma once
// The pictures of the directivity analysis, drawn on a Canvas of the given size.

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/compare.h"
#include "analysis/cta2034.h"
#include "analysis/directivity.h"
#include "analysis/plot_frame.h"
#include "analysis/tables.h"

namespace vantrel {

inline constexpr PictureSize kPolarMapSize{960, 620};
inline constexpr PictureSize kPolarPlotsSize{1040, 640};
inline constexpr PictureSize kDirectivitySize{960, 900};
inline constexpr PictureSize kCta2034Size{1160, 740};
inline constexpr PictureSize kComparePlotSize{960, 560};

// Where the polar map puts its level field and colour bar, for whoever checks the pixels.
inline constexpr PlotRect kPolarMapField{80, 56, 820, 520};
inline constexpr PlotRect kPolarMapColourBar{860, 56, 884, 520};

// The polar map's colour scale: 38 colours of `step` dB each, [low, low + 38 step).
struct MapScale {
    double low = 0;
    double step = 1.0;      // dB per colour
    double labelStep = 6.0; // dB between the colour bar's labels
    double top() const { return low + 38.0 * step; }
    int colourIndex(double level) const;
};
// Relative: -36 .. +2 dB; absolute: up to the next multiple of 3 above the loudest level of
// the valid band.
MapScale mapScale(const OrbitLevels& orbit, bool absolute, const ValidBand& band);
// Symmetric about 0 (the palette's middle green), wide enough for largestDb.
MapScale differenceScale(double largestDb);

// How a map or a plot names its plane: "Horizontal" and what + means.
struct PlaneLabel {
    std::string name;
    std::string sense;
};
PlaneLabel planeLabel(Plane plane);
// The plane through the axis rolled by the angle (0 horizontal, 90 vertical).
PlaneLabel rolledPlaneLabel(double rollDegrees);

// Angle against logarithmic frequency over the valid band, colour for the level (relative to
// the axis unless absolute), contours every 3 dB from -3 dB down (absolute: from 3 dB under
// the top of the scale), colour bar. Levels between the orbit's points and bins are
// interpolated linearly in dB.
void drawPolarMap(Canvas& canvas, const OrbitLevels& orbit, const PlaneLabel& plane, const FrequencyAxis& axis,
                  int stepDegrees, bool absolute, const ValidBand& band);

// A map of level differences (one row of dB per orbit point, -180..+180 every stepDegrees) on
// differenceScale(largestDb); relative says whether each balloon was taken re its own axis.
void drawDifferenceMap(Canvas& canvas, const std::vector<std::array<double, kDataBins>>& difference,
                       const PlaneLabel& plane, const FrequencyAxis& axis, int stepDegrees, const ValidBand& band,
                       bool relative, double largestDb);

// Polar plots of two planes at the given bins, relative to the axis, dB rings every 6 dB.
void drawPolarPlots(Canvas& canvas, const OrbitLevels& horizontal, const OrbitLevels& vertical,
                    const FrequencyAxis& axis, std::span<const int> bins,
                    const std::pair<PlaneLabel, PlaneLabel>& labels = {planeLabel(Plane::Horizontal),
                                                                        planeLabel(Plane::Vertical)});

// On-axis and sound power level, directivity index, and both -6 dB beamwidths (the coverage
// angles at the one-third-octave centres marked on them); the best listening axis in the
// title.
void drawDirectivity(Canvas& canvas, const std::vector<DirectivityRow>& rows, const DirectivitySummary& summary);

// The CTA-2034-A curves above, the two DIs on a second axis at the right, the preference
// numbers under the legend; validFrom (validFromText) names the band in the title.
void drawCta2034(Canvas& canvas, const std::vector<Cta2034Row>& rows, ListenerAxis listener,
                 const PreferenceNumbers& numbers, const std::string& validFrom);

// B - A of on-axis level, sound power and DI against frequency, and the largest difference
// over the sphere at each frequency; validFrom (validFromText) names the band under the plot.
void drawComparison(Canvas& canvas, const BalloonComparison& comparison, const std::string& title,
                    const std::string& validFrom);

// The bin whose frequency is nearest (on the log scale) to hz.
int nearestBin(const FrequencyAxis& axis, double hz);

} // namespace vantrel
