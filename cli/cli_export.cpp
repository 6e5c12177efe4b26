// vantrel-cli export: a balloon file as an AES69 directivity file, FRD files per angle, CLF text,
// the CTA-2034 tooling's SPL tables and an HTML page that turns it in a browser.

#include <cstdio>
#include <memory>
#include <string>

#include "cli/cli_command.h"
#include "balloon/measured_balloon.h"
#include "exports/export_run.h"

namespace vantrel {
namespace {

constexpr std::string_view kCommand = "export";

struct ExportOptions {
    std::string balloon, phase = "wrapped";
    ExportRequest request;
    bool allPoints = false;
};

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
