#include "exports/export_run.h"

#include <filesystem>

#include <netcdf.h>
#include <zlib.h>
#include <vector>

#include "balloon/sphere_directions.h"
#include "exports/export_valid_band.h"
#include "exports/spinorama_export.h"

namespace vantrel {

std::string exportLibraryVersions()
{
    return std::string("netCDF ") + nc_inq_libvers() + "\nzlib " + zlibVersion();
}

namespace {

std::string fileStem(const std::string& path) { return std::filesystem::path(path).stem().string(); }

} // namespace

std::string exportRequestProblem(const ExportRequest& r, const std::string& balloonPath)
{
    if (r.sofa.empty() && r.frd.empty() && r.html.empty() && r.clf.empty() && r.spinorama.empty())
        return "nothing to do: give --sofa OUT.sofa, --frd DIR, --html OUT.html, --clf OUT.tab, --spinorama DIR or several";
    const std::string prefix = r.prefix.empty() ? fileStem(balloonPath) : r.prefix;
    if (prefix.empty() || prefix.find('/') != std::string::npos)
        return "--prefix must be a file name without '/', not '" + prefix + "'";
    return {};
}

std::string runExportRequest(const ExportSource& source, const ExportRequest& r, const ThreeJs& three,
                             const ExportReport& report)
{
    if (std::string problem = exportRequestProblem(r, source.sourceName); !problem.empty())
        return problem;
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return error;
    ExportValidBand band;
    const std::string bandUnknown = exportValidBand(source, axis, band);
    const std::string pointsText = source.allPoints
                                       ? std::to_string(kAxisPoints) + " frequencies (all stored points; valid band " +
                                             (bandUnknown.empty() ? band.text : "unknown") + ")"
                                       : std::to_string(band.last - band.first + 1) + " frequencies (valid band " +
                                             band.text + ")";
    const std::string directions = std::to_string(sphereDirections(exportGrid(source.trailer)).size());

    if (!r.sofa.empty()) {
        if (std::string error = writeSofa(source, r.metadata, r.sofa); !error.empty())
            return error;
        report.written(r.sofa + ": " + directions + " directions x " + pointsText);
    }
    if (!r.frd.empty()) {
        std::vector<std::string> written;
        const std::string prefix = r.prefix.empty() ? fileStem(source.sourceName) : r.prefix;
        const std::string error = writeFrdSeries(source, r.frd, prefix, r.phase, &written);
        report.written(r.frd + ": " + std::to_string(written.size()) + " FRD files of " + pointsText);
        if (!error.empty())
            return error;
    }
    if (!r.html.empty()) {
        if (std::string error = writeHtml(source, three, r.html); !error.empty())
            return error;
        report.written(r.html + ": balloon page of " + directions + " directions x " + std::to_string(kAxisPoints) +
                       " frequencies" + (bandUnknown.empty() ? "; valid band " + band.text : std::string()));
    }
    if (!r.clf.empty()) {
        ClfOptions clf = r.clfOptions;
        clf.manufacturer = r.metadata.manufacturer;
        if (clf.model.empty())
            clf.model = fileStem(source.sourceName);
        ClfSummary summary;
        if (std::string error = writeClf(source, clf, r.clf, &summary); !error.empty())
            return error;
        report.written(r.clf + ": CLF" + std::to_string(summary.version) + ", " + std::to_string(summary.bands) +
                       " bands " + summary.minBand + " to " + summary.maxBand + " Hz" +
                       (summary.interpolated ? ", directions between the balloon's cells interpolated" : "") +
                       "; valid band " + summary.validBand);
    }
    if (!r.spinorama.empty()) {
        SpinoramaSummary summary;
        if (std::string error = writeSpinorama(source, r.spinorama, &summary); !error.empty())
            return error;
        report.written(r.spinorama + ": SPL Horizontal and SPL Vertical, " + std::to_string(summary.curves) +
                       " curves x " + std::to_string(summary.frequencies) + " frequencies; valid band " +
                       summary.validBand);
        if (!summary.shortfall.empty())
            report.warning("the CTA-2034 tooling will find the data incomplete: " + summary.shortfall);
    }
    return {};
}

} // namespace vantrel
