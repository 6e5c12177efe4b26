// vantrel-cli directivity BALLOON.BAL -o DIR [--absolute] [--frequencies F,F,..] [--axis H,V]
// [--plane ANGLE]: the directivity analysis of a balloon file as pictures and tables in DIR:
// the horizontal and vertical polar maps, polar plots, sound power, DI and beamwidth with the
// best listening axis and the coverage angles, and the CTA-2034-A curves with the preference
// numbers; everything over the balloon's valid band only.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity.h"
#include "analysis/metrics.h"
#include "analysis/pictures.h"
#include "analysis/sphere_levels.h"
#include "analysis/tables.h"
#include "cli/cli_command.h"
#include "cli/cli_distortion.h"
#include "balloon/measured_balloon.h"
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
};

// "45" for a whole number of degrees, "22.5" otherwise.
std::string degreesName(double degrees)
{
    return cleanFixedText(degrees, degrees == std::floor(degrees) ? 0 : 1);
}

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
    const std::string bandText = validBandText(band, axis);

    std::vector<int> bins;
    for (double hz : options.frequencies) {
        if (band.containsHz(hz, axis))
            bins.push_back(nearestBin(axis, hz));
        else if (options.frequenciesGiven)
            return usageError("--frequencies: " + cleanFixedText(hz, 1) + " Hz lies outside the valid band " +
                              bandText);
    }
    if (bins.empty())
        bins.push_back((band.first + band.last) / 2);

    const CellIndex onAxis = *orbitCell(Plane::Horizontal, grid, 0);
    if (!cellHasData(matrix, onAxis))
        return refuse("the balloon holds no on-axis measurement (H = 0, V = 0): nothing to refer the levels to");
    const std::optional<std::string> ctaRefusal = cta2034Refusal(matrix, grid);

    std::error_code ec;
    const std::filesystem::path dir(options.outDir);
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir))
        return usageError("cannot make the output directory " + options.outDir);

    const std::string source = std::filesystem::path(options.balloon).filename().string();
    const OrbitLevels horizontal = orbitLevels(matrix, Plane::Horizontal, grid);
    const OrbitLevels vertical = orbitLevels(matrix, Plane::Vertical, grid);
    const int step = gridStepDegrees(grid);

    auto picture = [&](const char* name, PictureSize size, const std::function<void(Canvas&)>& draw) {
        const std::filesystem::path path = dir / name;
        if (auto error = savePicturePng(size.width, size.height, draw, path.string())) {
            std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, error->c_str());
            return false;
        }
        std::printf("wrote %s\n", path.string().c_str());
        std::fflush(stdout);
        return true;
    };
    auto table = [&](const char* name, const std::string& text) {
        const std::filesystem::path path = dir / name;
        if (auto error = writeText(path, text)) {
            std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, error->c_str());
            return false;
        }
        std::printf("wrote %s\n", path.string().c_str());
        std::fflush(stdout);
        return true;
    };

    bool ok = picture("polar-map-horizontal.png", kPolarMapSize, [&](Canvas& c) {
        drawPolarMap(c, horizontal, planeLabel(Plane::Horizontal), axis, step, options.absolute, band);
    });
    ok = ok && picture("polar-map-vertical.png", kPolarMapSize, [&](Canvas& c) {
        drawPolarMap(c, vertical, planeLabel(Plane::Vertical), axis, step, options.absolute, band);
    });
    ok = ok && picture("polar-plots.png", kPolarPlotsSize,
                       [&](Canvas& c) { drawPolarPlots(c, horizontal, vertical, axis, bins); });
    if (ok && options.plane) {
        // The plane through the axis at the roll angle and the one square to it, both read
        // from the sphere between the cells.
        const double roll = *options.plane;
        const OrbitLevels rolled = rotatedOrbitLevels(matrix, grid, 0.0, 0.0, roll);
        const OrbitLevels across = rotatedOrbitLevels(matrix, grid, 0.0, 0.0, roll + 90.0);
        const std::string name = degreesName(roll);
        ok = picture(("polar-map-plane-" + name + ".png").c_str(), kPolarMapSize, [&](Canvas& c) {
            drawPolarMap(c, rolled, rolledPlaneLabel(roll), axis, step, options.absolute, band);
        });
        ok = ok && picture(("polar-plots-plane-" + name + ".png").c_str(), kPolarPlotsSize, [&](Canvas& c) {
            drawPolarPlots(c, rolled, across, axis, bins, {rolledPlaneLabel(roll), rolledPlaneLabel(roll + 90.0)});
        });
    }

    DirectivitySummary summary;
    summary.bandText = bandText;
    summary.validFrom = validFromText(band, axis);
    summary.bestAxis = bestListeningAxis(matrix, grid, axis, band);
    summary.coverage = coverageAngles(horizontal, vertical, axis, band);
    const std::vector<DirectivityRow> rows = directivityTable(matrix, grid, axis, band);
    {
        std::vector<double> hz, di;
        for (const DirectivityRow& r : rows) {
            hz.push_back(r.frequencyHz);
            di.push_back(r.directivityIndexDb);
        }
        summary.diSlope = slopePerOctave(hz, di, 200.0, 16000.0);
    }
    ok = ok && table("directivity.txt", directivityText(rows, source, grid, summary));
    ok = ok && picture("directivity.png", kDirectivitySize, [&](Canvas& c) { drawDirectivity(c, rows, summary); });
    if (!ok)
        return kExitUsage;
    if (const int status = writeDistortionMaps(options.balloon, band, options.outDir); status != 0)
        return status;

    if (ctaRefusal)
        return refuse("no CTA-2034-A curves: " + *ctaRefusal);
    const std::vector<Cta2034Row> curves = cta2034Curves(matrix, grid, axis, band, listener);
    const PreferenceNumbers numbers = preferenceNumbers(curves);
    ok = table("cta2034.txt", cta2034Text(curves, source, bandText, listener, numbers));
    ok = ok && picture("cta2034.png", kCta2034Size, [&](Canvas& c) { drawCta2034(c, curves, listener, numbers, summary.validFrom); });
    return ok ? 0 : kExitUsage;
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
