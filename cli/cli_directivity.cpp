// vantrel-cli directivity BALLOON.BAL -o DIR [--absolute] [--frequencies F,F,..] [--axis H,V]
// [--plane ANGLE] [--interpolation bilinear|sphere [--centre auto|X,Y,Z]]: the directivity
// analysis of a balloon file as pictures and tables in DIR: the horizontal and vertical polar
// maps, polar plots, sound power, DI and beamwidth with the best listening axis and the
// coverage angles, and the CTA-2034-A curves with the preference numbers; everything over the
// balloon's valid band only.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity_report.h"
#include "analysis/directivity.h"
#include "analysis/metrics.h"
#include "analysis/pictures.h"
#include "analysis/sphere_levels.h"
#include "analysis/tables.h"
#include "cli/cli_command.h"
#include "cli/cli_distortion.h"
#include "balloon/measured_balloon.h"
#include "field/expansion_levels.h"
#include "platform/number_text.h"
#include "platform/qt/picture_file.h"

namespace vantrel {
namespace {

constexpr const char* kName = "directivity";
constexpr std::size_t kMaxFrequencies = 8; // the polar plots' distinct colours

struct DirectivityOptions {
    std::string balloon;
    std::string outDir;
    bool absolute = false;
    std::vector<double> frequencies{500, 1000, 2000, 4000, 8000, 16000};
    bool frequenciesGiven = false;
    std::vector<double> listenerAxis; // H,V in degrees
    std::optional<double> plane;      // roll angle in degrees
    std::string interpolation = "bilinear";
    std::string centre;               // with sphere: auto, X,Y,Z mm, or empty (the rotation centre)
};

int refuse(const std::string& message) { return cliRefusal(kName, message); }
int usageError(const std::string& message) { return cliUsageError(kName, message); }

std::optional<std::string> writeText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        return "cannot write " + path.string();
    return std::nullopt;
}

// The THD polar maps when a distortion file (a walk measured with the sweep) lies beside.
int writeDistortionMaps(const std::string& balloon, const ValidBand& band, const std::string& directory)
{
    std::string error;
    const std::optional<DistortionBalloon> distortion = distortionBeside(balloon, error);
    if (!distortion)
        return error.empty() ? 0 : usageError(error);
    std::vector<std::string> written;
    const std::optional<std::string> failed = writeThdMaps(*distortion, band, directory, written);
    if (!failed)
        if (const auto text = onAxisDistortionText(*distortion, std::filesystem::path(balloon).filename().string())) {
            const std::filesystem::path path = std::filesystem::path(directory) / "distortion-on-axis.txt";
            if (auto error = writeText(path, *text))
                return usageError(*error);
            written.push_back(path.string());
        }
    for (const std::string& path : written)
        std::printf("wrote %s\n", path.c_str());
    std::fflush(stdout);
    if (failed) {
        std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, failed->c_str());
        return kExitUsage;
    }
    return 0;
}

int runDirectivity(const DirectivityOptions& options)
{
    if (options.frequencies.empty() || options.frequencies.size() > kMaxFrequencies)
        return usageError("--frequencies takes 1 to 8 frequencies");
    for (double hz : options.frequencies)
        if (!(hz > 0.0) || !std::isfinite(hz))
            return usageError("--frequencies must be positive frequencies in Hz");
    ListenerAxis listener;
    if (!options.listenerAxis.empty()) {
        if (options.listenerAxis.size() != 2 || !(std::abs(options.listenerAxis[0]) <= 180.0) ||
            !(std::abs(options.listenerAxis[1]) <= 90.0))
            return usageError("--axis takes H,V in degrees, H in -180..180 (+ = left), V in -90..90 (+ = up)");
        listener = {options.listenerAxis[0], options.listenerAxis[1]};
    }
    if (options.plane && !(std::abs(*options.plane) <= 360.0))
        return usageError("--plane takes a roll angle in degrees, -360..360 (0 horizontal, 90 vertical)");
    const bool sphere = options.interpolation == "sphere";
    if (!sphere && options.interpolation != "bilinear")
        return usageError("--interpolation '" + options.interpolation + "': bilinear or sphere");
    CentreChoice centre = CentreChoice::none;
    FieldVector given{};
    if (!options.centre.empty() && !sphere)
        return usageError("--centre needs --interpolation sphere");
    if (options.centre == "auto")
        centre = CentreChoice::found;
    else if (!options.centre.empty()) {
        const auto parsed = parseCentreText(options.centre);
        if (!parsed)
            return usageError("--centre '" + options.centre + "': auto, or X,Y,Z in mm (the loudspeaker's frame)");
        centre = CentreChoice::given;
        given = *parsed;
    }

    std::optional<BalloonMatrix> created = BalloonMatrix::create();
    if (!created)
        return refuse("not enough memory for a balloon");
    BalloonMatrix matrix = std::move(*created);
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(options.balloon, matrix);
    if (!loaded)
        return usageError(options.balloon + ": " + loaded.error);
    const AngleGrid grid = angleGridFromFlag(loaded.settings->angleGridFlag);
    FrequencyAxis axis;
    axis.buildFromIndexes(loaded.settings->fromIndex, loaded.settings->toIndex);
    const ValidBand band = validBand(*loaded.settings, axis, loaded.measured);

    DirectivityReportOptions report;
    report.absolute = options.absolute;
    report.listener = listener;
    report.plane = options.plane;
    if (auto outside = reportBins(options.frequencies, options.frequenciesGiven, axis, band, report.bins))
        return usageError("--frequencies: " + *outside);
    std::optional<ExpansionLevels> expansion;
    if (sphere) {
        const SphereOptions sphereOptions = levelsSphereOptions(grid, centre, given);
        if (const auto refusal = sphereRefusal(matrix, grid, band, sphereOptions))
            return usageError(options.balloon + ": " + *refusal);
        expansion.emplace(matrix, grid, analyseSphere(matrix, grid, axis, band, sphereOptions));
        report.between = &*expansion;
        report.betweenName = "the expansion of order " + std::to_string(sphereOptions.order) + " about " +
                             (centre == CentreChoice::none    ? std::string("the rotation centre")
                              : centre == CentreChoice::found ? std::string("the centre found per frequency")
                                                              : centreText(given) + " mm");
    }
    DirectivityReport built;
    const std::string source = std::filesystem::path(options.balloon).filename().string();
    if (auto refusal = buildDirectivityReport(matrix, grid, axis, band, source, report, built))
        return refuse(*refusal);

    std::error_code ec;
    const std::filesystem::path dir(options.outDir);
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir))
        return usageError("cannot make the output directory " + options.outDir);

    auto write = [&](const ReportItem& item) {
        const std::filesystem::path path = dir / item.file;
        std::optional<std::string> error = item.draw ? savePicturePng(item.width, item.height, item.draw, path.string())
                                                     : writeText(path, item.text);
        if (error) {
            std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, error->c_str());
            return false;
        }
        std::printf("wrote %s\n", path.string().c_str());
        std::fflush(stdout);
        return true;
    };
    for (const ReportItem& item : built.items)
        if (!write(item))
            return kExitUsage;
    if (const int status = writeDistortionMaps(options.balloon, band, options.outDir); status != 0)
        return status;

    if (built.ctaRefusal)
        return refuse("no CTA-2034-A curves: " + *built.ctaRefusal);
    for (const ReportItem& item : built.cta2034)
        if (!write(item))
            return kExitUsage;
    return 0;
}

std::function<int()> setupDirectivity(CLI::App& app)
{
    auto o = std::make_shared<DirectivityOptions>();
    app.add_option("balloon", o->balloon, "the balloon file (*.BAL)")->required();
    app.add_option("-o,--output", o->outDir, "the directory for the pictures and tables (made if missing)")->required();
    app.add_flag("--absolute", o->absolute, "polar maps in plain levels instead of relative to on axis");
    auto* frequencies = addDecimalListOption(app, "--frequencies", o->frequencies,
                                             "polar plot frequencies in Hz, comma-separated, 1 to 8 (nearest axis "
                                             "points, inside the valid band)");
    frequencies->default_str("500,1000,2000,4000,8000,16000");
    addDecimalListOption(app, "--axis", o->listenerAxis,
                         "CTA-2034-A curves around the listener axis H,V in degrees (+ = left, + = up), for "
                         "example the best listening axis of directivity.txt");
    auto plane = std::make_shared<double>(0.0);
    auto* planeOption = addDecimalOption(app, "--plane", *plane,
                                         "also the polar map and plots of the plane through the axis rolled by "
                                         "ANGLE degrees (0 horizontal, 90 vertical, 45 diagonal)");
    app.add_option("--interpolation", o->interpolation,
                   "how --plane, the best listening axis and the CTA-2034-A orbits around --axis read between "
                   "the cells: bilinear (in dB, the cells alone as best-axis candidates) or sphere (the "
                   "spherical-harmonic expansion, best-axis candidates every 2.5 degrees)")
        ->capture_default_str();
    app.add_option("--centre", o->centre,
                   "with --interpolation sphere: expand about the acoustic centre found per frequency (auto) or "
                   "X,Y,Z mm in the loudspeaker's frame (default the rotation centre)");
    return [o, frequencies, plane, planeOption] {
        o->frequenciesGiven = frequencies->count() > 0;
        if (planeOption->count() > 0)
            o->plane = *plane;
        return runDirectivity(*o);
    };
}

const CliRegistration registration({"directivity",
                                    "Polar maps, polar plots, sound power, DI, beamwidth, best listening axis, CTA-2034-A "
                                    "curves and preference numbers of a balloon file, and THD maps when its distortion file "
                                    "lies beside it, as pictures and tables over its valid band",
                                    setupDirectivity});

} // namespace
} // namespace vantrel
