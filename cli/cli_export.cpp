// vantrel-cli export: a balloon file as an AES69 directivity file, FRD files per angle, CLF text,
// the CTA-2034 tooling's SPL tables and an HTML page that turns it in a browser.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_command.h"
#include "balloon/measured_balloon.h"
#include "analysis/tables.h"
#include "exports/export_run.h"
#include "field/acoustic_centre.h"
#include "field/sphere_analysis.h"
#include "platform/number_text.h"

namespace vantrel {
namespace {

constexpr std::string_view kCommand = "export";

struct ExportOptions {
    std::string balloon, phase = "wrapped";
    ExportRequest request;
    bool allPoints = false;
    std::string centre;
    std::vector<double> centreBand;
};

// The SOFA file's source position: the acoustic centre given (X,Y,Z mm) or found over the
// band; into metadata in the receivers' frame. Empty on success, else the reason.
std::string sourceCentre(const ExportOptions& o, const BalloonMatrix& matrix, const BalloonTrailer& trailer,
                         const MeasuredWith& measured, SofaMetadata& metadata)
{
    const AngleGrid grid = angleGridFromFlag(trailer.angleGridFlag);
    FrequencyAxis axis;
    axis.buildFromIndexes(trailer.fromIndex, trailer.toIndex);
    ValidBand band = validBand(trailer, axis, measured);
    SphereOptions options;
    options.order = 0; // the centres alone
    FieldVector centre{};
    std::string how;
    if (o.centre == "auto") {
        if (!o.centreBand.empty()) {
            if (o.centreBand.size() != 2 || !(o.centreBand[0] > 0) || !(o.centreBand[1] > o.centreBand[0]))
                return "--centre-band takes two frequencies F1,F2 in Hz with 0 < F1 < F2";
            while (band.first < band.last && axis[band.first] < o.centreBand[0])
                ++band.first;
            while (band.last > band.first && axis[band.last] > o.centreBand[1])
                --band.last;
            if (axis[band.first] < o.centreBand[0] || axis[band.last] > o.centreBand[1])
                return "--centre-band " + cleanFixedText(o.centreBand[0], 1) + "," + cleanFixedText(o.centreBand[1], 1) +
                       " holds no axis point of the valid band";
        }
        if (const auto refusal = sphereRefusal(matrix, grid, band, options))
            return *refusal;
        const SphereAnalysis found = analyseSphere(matrix, grid, axis, band, options);
        if (!found.bandCentre)
            return "no acoustic centre found over " + hzText(axis[band.first]) + " .. " + hzText(axis[band.last]);
        centre = *found.bandCentre;
        how = "The acoustic centre found from the balloon's phase over " + hzText(axis[band.first]) + " .. " +
              hzText(axis[band.last]) +
              " (per coordinate the median of the centres per frequency: the least angular spread of its "
              "spherical-harmonic expansion below " + hzText(spreadMethodTopHz()) +
              ", the group delay over the directions above; Ben Hagai, Pollow, Vorlaender and Rafaely, JASA 2011)";
    } else {
        const auto given = parseCentreText(o.centre);
        if (!given)
            return "--centre '" + o.centre + "': auto, or X,Y,Z in mm (the loudspeaker's frame)";
        options.centre = CentreChoice::given;
        options.given = *given;
        if (const auto refusal = sphereRefusal(matrix, grid, band, options))
            return *refusal;
        centre = *given;
        how = "The acoustic centre as given";
    }
    // The loudspeaker's frame (+z axis, +y up, +x left) renamed into the receivers' (+x axis,
    // +y left, +z up).
    metadata.sourcePosition = std::array<double, 3>{centre[2], centre[0], centre[1]};
    metadata.sourceReference = how + ": " + centreText(centre) +
                               " mm in the loudspeaker's frame (+z its axis, +y up the baffle, +x its left), "
                               "from the rotation centre at the origin; the data's phase stays referred to the "
                               "rotation centre";
    return {};
}

int runExport(ExportOptions o)
{
    o.request.phase = o.phase == "unwrapped" ? FrdPhase::Unwrapped : FrdPhase::Wrapped;
    if (std::string problem = exportRequestProblem(o.request, o.balloon); !problem.empty())
        return cliUsageError(kCommand, problem);

    ThreeJs three; // read first: without it the page cannot be made, and nothing is written
    if (!o.request.html.empty())
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
    // the measurement's own, so a frequency range off the lists is refused.
    if (!o.centre.empty()) {
        if (o.request.sofa.empty())
            return cliUsageError(kCommand, "--centre sets the SOFA file's source position: give --sofa");
        if (const std::string error = sourceCentre(o, *matrix, matrix->readTrailer(), load.measured, o.request.metadata);
            !error.empty())
            return cliUsageError(kCommand, error);
    }
    const ExportSource source{*matrix, matrix->readTrailer(), o.balloon, load.measured, o.allPoints};
    const ExportReport report{[](const std::string& line) { std::printf("%s\n", line.c_str()); },
                              [](const std::string& warning) {
                                  std::fprintf(stderr, "vantrel-cli export: warning: %s\n", warning.c_str());
                              }};
    if (std::string error = runExportRequest(source, o.request, three, report); !error.empty())
        return cliUsageError(kCommand, error);
    return 0;
}

std::function<int()> setupExport(CLI::App& app)
{
    auto o = std::make_shared<ExportOptions>();
    app.add_option("BALLOON", o->balloon, "the balloon file (*.BAL)")->required();
    ExportRequest& r = o->request;
    app.add_option("--sofa", r.sofa, "write an AES69 directivity file (FreeFieldDirectivityTF 1.1)");
    app.add_option("--frd", r.frd, "write FRD files of the horizontal and vertical planes into this directory");
    app.add_option("--html", r.html, "write one self-contained HTML page that turns the balloon in a browser");
    app.add_option("--prefix", r.prefix, "first part of the FRD file names (default: the balloon file's name)");
    app.add_flag("--all-points", o->allPoints,
                 "FRD and SOFA: all 750 stored points instead of the valid band (the files say which part is measured)");
    app.add_option("--phase", o->phase, "FRD phase: wrapped to -180..180 (default) or unwrapped")
        ->check(CLI::IsMember({"wrapped", "unwrapped"}));
    SofaMetadata& m = r.metadata;
    app.add_option("--title", m.title, "SOFA Title");
    app.add_option("--author", m.author, "SOFA AuthorContact");
    app.add_option("--organization", m.organization, "SOFA Organization");
    app.add_option("--license", m.license, "SOFA License");
    app.add_option("--source-type", m.sourceType, "SOFA SourceType (default: Loudspeaker)");
    app.add_option("--manufacturer", m.manufacturer, "SOFA SourceManufacturer, CLF <MANUFACTURER>");
    app.add_option("--description", m.description, "SOFA Description (default: the measurement settings)");
    app.add_option("--centre", o->centre,
                   "SOFA SourcePosition: the acoustic centre found from the balloon's phase (auto, the median "
                   "over --centre-band) or X,Y,Z mm in the loudspeaker's frame")
        ->type_name("auto|X,Y,Z");
    addDecimalListOption(app, "--centre-band", o->centreBand, "the band F1,F2 Hz the found centre is taken over");
    app.add_option("--clf", r.clf, "write CLF text (TAB-delimited, CLF2 from a 5-degree balloon, CLF1 from a 10-degree one)");
    app.add_option("--clf-version", r.clfOptions.version, "force CLF1 or CLF2")->check(CLI::IsMember({1, 2}));
    app.add_option("--model", r.clfOptions.model, "CLF model name (default: the balloon file's name)");
    app.add_option("--distance", r.clfOptions.distanceMetres, "measuring distance in m, for the levels at 1 m (default 1)");
    app.add_option("--sensitivity-ref", r.clfOptions.driveVolts,
                   "drive voltage in V of the measurement; the CLF sensitivity is given per 1 V (default 1)");
    app.add_option("--spinorama", r.spinorama, "write \"SPL Horizontal.txt\" and \"SPL Vertical.txt\" for CTA-2034 tools into DIR");
    return [o] { return runExport(*o); };
}

const CliRegistration registration({"export",
                                    "A balloon file as an AES69 directivity file, FRD files per angle, CLF text, the "
                                    "CTA-2034 tooling's SPL tables or an HTML page, each over its valid band",
                                    setupExport});

} // namespace
} // namespace vantrel
