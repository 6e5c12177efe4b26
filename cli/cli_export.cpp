// vantrel-cli export: a balloon file as an AES69 directivity file, FRD files per angle, CLF text,
// the CTA-2034 tooling's SPL tables and an HTML page that turns it in a browser.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "balloon/measured_balloon.h"
#include "balloon/sphere_directions.h"
#include "exports/clf_export.h"
#include "exports/export_valid_band.h"
#include "exports/frd_export.h"
#include "exports/html_export.h"
#include "exports/sofa_export.h"
#include "exports/spinorama_export.h"

namespace vantrel {
namespace {

constexpr std::string_view kCommand = "export";

struct ExportOptions {
    std::string balloon, sofa, frd, html, prefix, phase = "wrapped";
    SofaMetadata metadata;
    std::string clf, spinorama;
    ClfOptions clfOptions;
    bool allPoints = false;
};

int runExport(const ExportOptions& o)
{
    if (o.sofa.empty() && o.frd.empty() && o.html.empty() && o.clf.empty() && o.spinorama.empty())
        return cliUsageError(kCommand,
                             "nothing to do: give --sofa OUT.sofa, --frd DIR, --html OUT.html, --clf OUT.tab, --spinorama DIR or several");
    const std::string prefix = o.prefix.empty() ? std::filesystem::path(o.balloon).stem().string() : o.prefix;
    if (prefix.empty() || prefix.find('/') != std::string::npos)
        return cliUsageError(kCommand, "--prefix must be a file name without '/', not '" + prefix + "'");

    ThreeJs three; // read first: without it the page cannot be made, and nothing is written
    if (!o.html.empty())
        if (std::string error = readThreeJs(threeJsDirectory(), three); !error.empty())
            return cliRefusal(kCommand, error);

    auto matrix = BalloonMatrix::create();
    if (!matrix)
        return cliRefusal(kCommand, "not enough memory for the balloon");
    const MeasuredBalloonLoad load = loadMeasuredBalloon(o.balloon, *matrix);
    if (!load) {
        if (load.error == kBalloonNotRecognized)
            return cliRefusal(kCommand, load.error);
        // The warning text is laid out for a message box: "path\n\nreason".
        std::string message = load.error;
        for (std::size_t at; (at = message.find("\n\n")) != std::string::npos;)
            message.replace(at, 2, ": ");
        return cliUsageError(kCommand, message);
    }
    // The trailer as the file holds it: an export must not pass a replaced setting off as
    // the measurement's own, so a frequency range off the lists is refused below.
    const ExportSource source{*matrix, matrix->readTrailer(), o.balloon, load.measured, o.allPoints};
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return cliUsageError(kCommand, error);
    ExportValidBand band;
    const std::string bandUnknown = exportValidBand(source, axis, band);
    const std::string pointsText = o.allPoints ? std::to_string(kAxisPoints) + " frequencies (all stored points; valid band " +
                                                     (bandUnknown.empty() ? band.text : "unknown") + ")"
                                               : std::to_string(band.last - band.first + 1) + " frequencies (valid band " +
                                                     band.text + ")";

    if (!o.sofa.empty()) {
        if (std::string error = writeSofa(source, o.metadata, o.sofa); !error.empty())
            return cliUsageError(kCommand, error);
        std::printf("%s: %zu directions x %s\n", o.sofa.c_str(), sphereDirections(exportGrid(source.trailer)).size(),
                    pointsText.c_str());
    }
    if (!o.frd.empty()) {
        std::vector<std::string> written;
        const FrdPhase phase = o.phase == "unwrapped" ? FrdPhase::Unwrapped : FrdPhase::Wrapped;
        const std::string error = writeFrdSeries(source, o.frd, prefix, phase, &written);
        std::printf("%s: %zu FRD files of %s\n", o.frd.c_str(), written.size(), pointsText.c_str());
        if (!error.empty())
            return cliUsageError(kCommand, error);
    }
    if (!o.html.empty()) {
        if (std::string error = writeHtml(source, three, o.html); !error.empty())
            return cliUsageError(kCommand, error);
        std::printf("%s: balloon page of %zu directions x %d frequencies%s\n", o.html.c_str(),
                    sphereDirections(exportGrid(source.trailer)).size(), kAxisPoints,
                    bandUnknown.empty() ? ("; valid band " + band.text).c_str() : "");
    }
    if (!o.clf.empty()) {
        ClfOptions clf = o.clfOptions;
        clf.manufacturer = o.metadata.manufacturer;
        if (clf.model.empty())
            clf.model = std::filesystem::path(o.balloon).stem().string();
        ClfSummary summary;
        if (std::string error = writeClf(source, clf, o.clf, &summary); !error.empty())
            return cliUsageError(kCommand, error);
        std::printf("%s: CLF%d, %d bands %s to %s Hz%s; valid band %s\n", o.clf.c_str(), summary.version, summary.bands,
                    summary.minBand.c_str(), summary.maxBand.c_str(),
                    summary.interpolated ? ", directions between the balloon's cells interpolated" : "",
                    summary.validBand.c_str());
    }
    if (!o.spinorama.empty()) {
        SpinoramaSummary summary;
        if (std::string error = writeSpinorama(source, o.spinorama, &summary); !error.empty())
            return cliUsageError(kCommand, error);
        std::printf("%s: SPL Horizontal and SPL Vertical, %d curves x %d frequencies; valid band %s\n",
                    o.spinorama.c_str(), summary.curves, summary.frequencies, summary.validBand.c_str());
        if (!summary.shortfall.empty())
            std::fprintf(stderr, "vantrel-cli export: warning: the CTA-2034 tooling will find the data incomplete: %s\n",
                         summary.shortfall.c_str());
    }
    return 0;
}

std::function<int()> setupExport(CLI::App& app)
{
    auto o = std::make_shared<ExportOptions>();
    app.add_option("BALLOON", o->balloon, "the balloon file (*.BAL)")->required();
    app.add_option("--sofa", o->sofa, "write an AES69 directivity file (FreeFieldDirectivityTF 1.1)");
    app.add_option("--frd", o->frd, "write FRD files of the horizontal and vertical planes into this directory");
    app.add_option("--html", o->html, "write one self-contained HTML page that turns the balloon in a browser");
    app.add_option("--prefix", o->prefix, "first part of the FRD file names (default: the balloon file's name)");
    app.add_flag("--all-points", o->allPoints,
                 "FRD and SOFA: all 750 stored points instead of the valid band (the files say which part is measured)");
    app.add_option("--phase", o->phase, "FRD phase: wrapped to -180..180 (default) or unwrapped")
        ->check(CLI::IsMember({"wrapped", "unwrapped"}));
    SofaMetadata& m = o->metadata;
    app.add_option("--title", m.title, "SOFA Title");
    app.add_option("--author", m.author, "SOFA AuthorContact");
    app.add_option("--organization", m.organization, "SOFA Organization");
    app.add_option("--license", m.license, "SOFA License");
    app.add_option("--source-type", m.sourceType, "SOFA SourceType (default: Loudspeaker)");
    app.add_option("--manufacturer", m.manufacturer, "SOFA SourceManufacturer, CLF <MANUFACTURER>");
    app.add_option("--description", m.description, "SOFA Description (default: the measurement settings)");
    app.add_option("--clf", o->clf, "write CLF text (TAB-delimited, CLF2 from a 5-degree balloon, CLF1 from a 10-degree one)");
    app.add_option("--clf-version", o->clfOptions.version, "force CLF1 or CLF2")->check(CLI::IsMember({1, 2}));
    app.add_option("--model", o->clfOptions.model, "CLF model name (default: the balloon file's name)");
    app.add_option("--distance", o->clfOptions.distanceMetres, "measuring distance in m, for the levels at 1 m (default 1)");
    app.add_option("--sensitivity-ref", o->clfOptions.driveVolts,
                   "drive voltage in V of the measurement; the CLF sensitivity is given per 1 V (default 1)");
    app.add_option("--spinorama", o->spinorama, "write \"SPL Horizontal.txt\" and \"SPL Vertical.txt\" for CTA-2034 tools into DIR");
    return [o] { return runExport(*o); };
}

const CliRegistration registration({"export",
                                    "A balloon file as an AES69 directivity file, FRD files per angle, CLF text, the "
                                    "CTA-2034 tooling's SPL tables or an HTML page, each over its valid band",
                                    setupExport});

} // namespace
} // namespace vantrel
