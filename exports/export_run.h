#pragma once
// One export request of a balloon (the files asked for and their options) and its run: the
// command line's export and the desktop's File > Export both go through it, so the same options
// write the same bytes.

#include <functional>
#include <string>

#include "exports/clf_export.h"
#include "exports/export_source.h"
#include "exports/frd_export.h"
#include "exports/html_export.h"
#include "exports/sofa_export.h"

namespace vantrel {

struct ExportRequest {
    std::string sofa, frd, html, clf, spinorama; // outputs; empty: not asked for
    std::string prefix;                           // FRD file names; empty: the balloon file's name
    FrdPhase phase = FrdPhase::Wrapped;
    SofaMetadata metadata;
    ClfOptions clfOptions;
};

// What a run says as it goes: one line per output written, and warnings the user must see.
struct ExportReport {
    std::function<void(const std::string&)> written;
    std::function<void(const std::string&)> warning;
};

// The libraries the exports write with ("netCDF 4.9.0 ...\nzlib 1.2.13"), one a line.
std::string exportLibraryVersions();

// Why the request cannot run before anything is read (nothing asked for, a prefix that is no
// file name); empty when it can. balloonPath names the default prefix.
std::string exportRequestProblem(const ExportRequest& request, const std::string& balloonPath);

// Writes every output asked for, in the order SOFA, FRD, HTML, CLF, SPL tables, and stops at
// the first failure (its reason returned; the outputs before it stay written, each whole).
// three: read beforehand when an HTML page is asked for.
[[nodiscard]] std::string runExportRequest(const ExportSource& source, const ExportRequest& request,
                                           const ThreeJs& three, const ExportReport& report);

} // namespace vantrel
