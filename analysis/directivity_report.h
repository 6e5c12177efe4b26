#pragma once
// The directivity analysis of a balloon as a list of pictures and tables, each with the file
// name it is saved under: the command line's `directivity` writes them, the main window's
// report shows them on tabs and saves the same files.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/sphere_levels.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/valid_band.h"
#include "platform/canvas.h"

namespace vantrel {

// A picture (draw set: drawn on a white width x height image) or a text table.
struct ReportItem {
    std::string tab;  // where the report window shows it
    std::string file; // its name in a saved folder
    int width = 0, height = 0;
    std::function<void(Canvas&)> draw;
    std::string text;
};

struct DirectivityReportOptions {
    bool absolute = false;      // polar maps in plain levels instead of relative to on axis
    std::vector<int> bins;      // the polar plots' axis points; empty: the middle of the band
    ListenerAxis listener;      // the CTA-2034-A curves around it
    std::optional<double> plane; // also the plane through the axis rolled by this many degrees
    // Where the rolled planes, the best-axis search and the CTA-2034-A orbits around a listener
    // axis off the loudspeaker's read between the cells: nullptr, the
    // bilinear interpolation of the cells' dB and the cells alone as candidates; else these
    // levels (kept alive by the caller until the report is built) and candidates every
    // kBetweenCellsAxisStep degrees, named in directivity.txt by betweenName.
    const DirectionLevels* between = nullptr;
    std::string betweenName;
};

inline constexpr double kBetweenCellsAxisStep = 2.5; // degrees

struct DirectivityReport {
    std::vector<ReportItem> items;    // polar maps and plots, directivity: in the order written
    std::vector<ReportItem> cta2034;  // the CTA-2034-A curves and preference numbers
    std::optional<std::string> ctaRefusal; // why there are none
};

// The frequencies of the polar plots as axis points of the band: each given one inside it (the
// default list's others are left out); the reason when a given one lies outside.
std::optional<std::string> reportBins(const std::vector<double>& hz, bool given, const FrequencyAxis& axis,
                                      const ValidBand& band, std::vector<int>& bins);

// The report of the balloon over its valid band. Nothing when it can be made, else why not (no
// on-axis measurement to refer the levels to). source names the balloon in the tables.
std::optional<std::string> buildDirectivityReport(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                                  const ValidBand& band, const std::string& source,
                                                  const DirectivityReportOptions& options, DirectivityReport& out);

} // namespace vantrel
