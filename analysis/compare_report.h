#pragma once
// A balloon B held against a reference A as a list of pictures and one table with their file
// names (difference maps of both planes, the comparison plot, compare.txt), the summary lines
// and, with a tolerance, the verdict: the command line's `compare` writes them, the main
// window's report shows them and saves the same files.

#include <optional>
#include <string>
#include <vector>

#include "analysis/directivity_report.h"
#include "balloon/balloon_matrix.h"
#include "balloon/valid_band.h"

namespace vantrel {

struct CompareInput {
    const BalloonMatrix& matrix;
    BalloonTrailer settings; // as loaded, sanitised
    MeasuredWith measured;
    std::string name; // the file as the user named it
};

struct CompareReportOptions {
    std::optional<double> tolerance; // dB; none: no verdict
    std::vector<double> band;        // F1, F2 in Hz, or empty: the valid band
    bool front = false;
    std::optional<double> within;
};

struct CompareReport {
    std::vector<ReportItem> items;
    std::vector<std::string> summary; // compared, largest, phase, rms, the verdict
    std::optional<bool> pass;         // with a tolerance
};

// Why the options cannot be used, in the command line's words (empty when they can).
std::string compareOptionsProblem(const CompareReportOptions& options);

// The comparison, or why there is none (different grids or axes, a band without axis points,
// no direction within the asked level).
std::optional<std::string> buildCompareReport(const CompareInput& a, const CompareInput& b,
                                              const CompareReportOptions& options, CompareReport& out);

} // namespace vantrel
