#pragma once
// A balloon's two orbits as the "SPL Horizontal.txt" and "SPL Vertical.txt" tables that the open
// CTA-2034 community tooling loads (its parser of these files takes line 1 as a quoted title,
// line 2 as the curve names, skips line 3 and reads Hz/dB pairs, one pair per curve, TAB
// between fields, converting every field as text).
//
// Layout of each file (UTF-8, TAB between fields, LF line ends):
//   line 1  "SPL Horizontal" (the quotes included: the loader drops the first and last character)
//   line 2  the curve names, each over its pair: On Axis, 10°, -10°, 20°, -20°, ... 170°, -170°, 180°
//   line 3  units: "Frequency [Hz]" and "SPL [dB]" for every pair
//   then    one row per frequency of the valid band: Hz and dB for every curve, in name order
// Angles follow the orbits of analysis/orbit.h: on the horizontal orbit +a is a to the
// loudspeaker's left (the V = 0 row at H = a), on the vertical orbit +a is a up the baffle (the
// V = +90 row at H = -a); the axis and the rear come from the V = 0 row. Levels are absolute:
// 20 log10 |z| + 90 dB (magnitude 1 is 90 dB), three decimals.

#include <string>
#include <vector>

#include "analysis/orbit.h"
#include "exports/export_source.h"

namespace vantrel {

inline constexpr const char* kSpinoramaHorizontalName = "SPL Horizontal.txt";
inline constexpr const char* kSpinoramaVerticalName = "SPL Vertical.txt";

// The curves of one file in their order: angle in degrees (0 for "On Axis") and name.
struct SpinoramaCurve {
    int angle = 0;
    std::string name;
};
std::vector<SpinoramaCurve> spinoramaCurves(AngleGrid grid);

struct SpinoramaSummary {
    int curves = 0;
    int frequencies = 0;
    double lowHz = 0, highHz = 0;
    // What the tooling will find missing for a complete data set; empty when nothing is.
    std::string shortfall;
    std::string validBand; // ExportValidBand::text
};

// The text of one file. Empty error on success.
std::string spinoramaText(const ExportSource& source, Plane plane, std::string& error,
                          SpinoramaSummary* summary = nullptr);

// Both files into directory (created when missing), each through a temporary name.
[[nodiscard]] std::string writeSpinorama(const ExportSource& source, const std::string& directory,
                                         SpinoramaSummary* summary = nullptr);

} // namespace vantrel
