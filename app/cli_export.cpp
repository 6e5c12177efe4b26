// vantrel-cli export: a balloon file as an AES69 directivity file and as FRD files per angle.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/cli_command.h"
#include <span>
#include <string_view>
#include "balloon/balloon_file.h"
#include "balloon/sphere_directions.h"
#include "exports/frd_export.h"
#include "exports/sofa_export.h"

namespace vantrel {
namespace {

constexpr std::string_view kCommand = "export";

struct ExportOptions {
    std::string balloon, sofa, frd, prefix, phase = "wrapped";
    SofaMetadata metadata;
};

int cliUsageError(std::string_view command, const std::string& message)
{
    std::fprintf(stderr, "vantrel-cli %.*s: %s\n", static_cast<int>(command.size()), command.data(), message.c_str());
    return 2;
}

int cliRefusal(std::string_view command, std::string_view message)
{
    std::fprintf(stderr, "vantrel-cli %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
                 static_cast<int>(message.size()), message.data());
    return 1;
}

int runExport(const ExportOptions& o)
{
    if (o.sofa.empty() && o.frd.empty())
        return cliUsageError(kCommand, "nothing to do: give --sofa OUT.sofa, --frd DIR or both");
    const std::string prefix = o.prefix.empty() ? std::filesystem::path(o.balloon).stem().string() : o.prefix;
    if (prefix.empty() || prefix.find('/') != std::string::npos)
        return cliUsageError(kCommand, "--prefix must be a file name without '/', not '" + prefix + "'");

    auto matrix = BalloonMatrix::create();
    if (!matrix)
        return cliRefusal(kCommand, "not enough memory for the balloon");
    const BalloonLoadResult load = loadBalloon(o.balloon, *matrix);
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
    const ExportSource source{*matrix, matrix->readTrailer(), o.balloon};
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return cliUsageError(kCommand, error);

    if (!o.sofa.empty()) {
        if (std::string error = writeSofa(source, o.metadata, o.sofa); !error.empty())
            return cliUsageError(kCommand, error);
        std::printf("%s: %zu directions x %d frequencies\n", o.sofa.c_str(),
                    sphereDirections(exportGrid(source.trailer)).size(), kAxisPoints);
    }
    if (!o.frd.empty()) {
        std::vector<std::string> written;
        const FrdPhase phase = o.phase == "unwrapped" ? FrdPhase::Unwrapped : FrdPhase::Wrapped;
        const std::string error = writeFrdSeries(source, o.frd, prefix, phase, &written);
        std::printf("%s: %zu FRD files\n", o.frd.c_str(), written.size());
        if (!error.empty())
            return cliUsageError(kCommand, error);
    }
    return 0;
}

int runExportArgs(std::span<const std::string_view> args)
{
    ExportOptions o;
    SofaMetadata& m = o.metadata;
    const std::pair<std::string_view, std::string*> options[] = {
        {"--sofa", &o.sofa}, {"--frd", &o.frd}, {"--prefix", &o.prefix}, {"--phase", &o.phase},
        {"--title", &m.title}, {"--author", &m.author}, {"--organization", &m.organization},
        {"--license", &m.license}, {"--source-type", &m.sourceType}, {"--manufacturer", &m.manufacturer},
        {"--description", &m.description}};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        std::string* target = nullptr;
        for (const auto& [flag, field] : options)
            if (a == flag)
                target = field;
        if (target != nullptr) {
            if (i + 1 >= args.size())
                return cliUsageError(kCommand, std::string(a) + " needs a value");
            *target = std::string(args[++i]);
        } else if (a.starts_with("-")) {
            return cliUsageError(kCommand, "unknown option '" + std::string(a) + "'");
        } else if (o.balloon.empty()) {
            o.balloon = std::string(a);
        } else {
            return cliUsageError(kCommand, "more than one balloon file given ('" + std::string(a) + "')");
        }
    }
    if (o.balloon.empty())
        return cliUsageError(kCommand, "no balloon file given");
    if (o.phase != "wrapped" && o.phase != "unwrapped")
        return cliUsageError(kCommand, "--phase is wrapped or unwrapped, not '" + o.phase + "'");
    return runExport(o);
}

const CliRegistration registration({"export",
                                    "BALLOON.BAL [--sofa OUT.sofa] [--frd DIR] [--prefix NAME] [--phase wrapped|unwrapped] "
                                    "[--title T] [--author A] [--organization O] [--license L] [--source-type S] "
                                    "[--manufacturer M] [--description D]  AES69 directivity file and FRD files per angle",
                                    runExportArgs});

} // namespace
} // namespace vantrel
