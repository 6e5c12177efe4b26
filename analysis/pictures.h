#pragma once
// The pictures of the directivity analysis, drawn on a Canvas of the given size.

#include <span>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity.h"
#include "analysis/plot_frame.h"

namespace vantrel {

inline constexpr PictureSize kPolarMapSize{960, 620};
inline constexpr PictureSize kPolarPlotsSize{1040, 640};
inline constexpr PictureSize kDirectivitySize{960, 900};
inline constexpr PictureSize kCta2034Size{1160, 640};

// Where the polar map puts its level field and colour bar, for whoever checks the pixels.
inline constexpr PlotRect kPolarMapField{80, 56, 820, 520};
inline constexpr PlotRect kPolarMapColourBar{860, 56, 884, 520};

// The polar map's colour scale: 38 colours of 1 dB each, [low, low + 38).
struct MapScale {
    double low = 0;
    double top() const { return low + 38.0; }
    int colourIndex(double level) const;
};
// Relative: -36 .. +2 dB; absolute: up to the next multiple of 3 above the loudest level shown.
MapScale mapScale(const OrbitLevels& orbit, bool absolute);

// Angle against logarithmic frequency, colour for the level (relative to the axis unless
// absolute), contours every 3 dB, colour bar. Levels between measured angles and bins are
// interpolated linearly in dB.
void drawPolarMap(Canvas& canvas, const OrbitLevels& orbit, Plane plane, const FrequencyAxis& axis,
                  AngleGrid grid, bool absolute);

// Polar plots of both planes at the given bins, relative to the axis, dB rings every 6 dB.
void drawPolarPlots(Canvas& canvas, const OrbitLevels& horizontal, const OrbitLevels& vertical,
                    const FrequencyAxis& axis, std::span<const int> bins);

// On-axis and sound power level, directivity index, and both -6 dB beamwidths.
void drawDirectivity(Canvas& canvas, const std::vector<DirectivityRow>& rows);

// The CTA-2034-A curves above, the two DIs on a second axis at the right.
void drawCta2034(Canvas& canvas, const std::vector<Cta2034Row>& rows);

// The bin whose frequency is nearest (on the log scale) to hz.
int nearestBin(const FrequencyAxis& axis, double hz);

} // namespace vantrel
