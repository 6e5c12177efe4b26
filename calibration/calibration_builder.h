#pragma once
// The "Show" computation of the calibration window, free of any window: the five filter
// sections in cascade on the frequency axis, optionally inverted, as the calibration curve
// of level (dB) and phase (degrees), and its display as plot curves 25 and 26.

#include <array>
#include <string>
#include <string_view>

#include "balloon/frequency_axis.h"
#include "calibration/filter_section.h"
#include "mls/mls_settings.h"

namespace vantrel {

// What the calibration window keeps for the whole run, also while it is closed. No file
// stores it: every start begins from the default sections.
struct CalibrationSetup {
    FilterSections sections = kDefaultFilterSections;
    int invertResponse = 0;   // 1: the curve is the inverse of the cascade
    std::string saveFileName; // last target file chosen for saving
    std::string loadFileName; // last target file chosen for loading
    std::string micFileName;  // last microphone calibration file chosen
};

inline constexpr std::string_view kFilterCheckCaption = "UE Message";

struct ShowOutcome {
    std::array<bool, kFilterSectionCount> cutoffRaised{}; // cut-offs below 1 Hz set to 1.0
    std::string refusal; // why no curve was computed; empty when the curve was replaced
};

// Linkwitz-Riley exists only in even orders; the message for the first section that asks
// for a 6 or 18 dB/oct one, empty when there is none.
std::string linkwitzRefusal(const FilterSections& sections);

// Cascade at every axis point, T = Π sectionResponse(f, k), T := 1/T when inverted; then
// level = 10·log10(|T|² + 1e-10) dB, phase = atan2(Im T, Re T) × 57.288 degrees (Re T = 0 read
// as 1e-8). Returns false and leaves curve as it was when any point is not a finite number
// (a cut-off or slope so extreme that the arithmetic overflows).
[[nodiscard]] bool computeCalibrationCurve(const FilterSections& sections, bool invert,
                                           const FrequencyAxis& axis, CalibrationCurve& curve);

// The whole "Show": raise cut-offs below 1 Hz to 1.0, refuse odd Linkwitz orders, compute.
ShowOutcome showCalibration(FilterSections& sections, bool invert, const FrequencyAxis& axis,
                            CalibrationCurve& curve);

// Plot curves 25 (level) and 26 (phase): the curve's 750 points, marked in use with the line
// styles 4 and 5; or all zero and not in use.
void plotCalibrationCurve(const CalibrationCurve& curve, CurveSet& curves);
void clearCalibrationPlot(CurveSet& curves);

} // namespace vantrel
