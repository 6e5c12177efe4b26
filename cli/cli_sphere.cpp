// vantrel-cli sphere B.BAL -o DIR [--order N|auto] [--centre auto|X,Y,Z] [--band F1,F2]: the
// balloon as a sound field: its acoustic centre from its phase, and per axis point of the valid
// band its spherical-harmonic expansion about the chosen centre; DIR/sphere.txt (order,
// residual, condition and centre per frequency), DIR/sphere.png and DIR/coefficients.txt.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "analysis/tables.h"
#include "balloon/measured_balloon.h"
#include "cli/cli_command.h"
#include "exports/safe_output.h"
#include "field/sphere_analysis.h"
#include "field/sphere_coefficients.h"
#include "platform/number_text.h"
#include "platform/qt/picture_file.h"

namespace vantrel {
namespace {

constexpr const char* kName = "sphere";

struct SphereCliOptions {
    std::string balloon, outDir, order = "auto", centre;
    std::vector<double> band;
};

int runSphere(const SphereCliOptions& o)
{
    SphereOptions options;
    if (o.order != "auto") {
        const auto n = parseWholeNumber(o.order, 0, 1000);
        if (!n)
            return cliUsageError(kName, "--order '" + o.order + "': auto, or a whole number 0 or more");
        options.order = static_cast<int>(*n);
    }
    if (o.centre == "auto")
        options.centre = CentreChoice::found;
    else if (!o.centre.empty()) {
        const auto given = parseCentreText(o.centre);
        if (!given)
            return cliUsageError(kName, "--centre '" + o.centre + "': auto, or X,Y,Z in mm (the loudspeaker's frame)");
        options.centre = CentreChoice::given;
        options.given = *given;
    }
    if (!o.band.empty()) {
        if (o.band.size() != 2 || !(o.band[0] > 0.0) || !(o.band[1] > o.band[0]))
            return cliUsageError(kName, "--band takes two frequencies F1,F2 in Hz with 0 < F1 < F2");
        options.bandLowHz = o.band[0];
        options.bandHighHz = o.band[1];
    }

    std::optional<BalloonMatrix> created = BalloonMatrix::create();
    if (!created)
        return cliRefusal(kName, "not enough memory for a balloon");
    BalloonMatrix matrix = std::move(*created);
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(o.balloon, matrix);
    if (!loaded)
        return cliUsageError(kName, o.balloon + ": " + loaded.error);
    const AngleGrid grid = angleGridFromFlag(loaded.settings->angleGridFlag);
    FrequencyAxis axis;
    axis.buildFromIndexes(loaded.settings->fromIndex, loaded.settings->toIndex);
    const ValidBand band = validBand(*loaded.settings, axis, loaded.measured);
    if (!o.band.empty() && !(o.band[0] <= axis[band.last] && o.band[1] >= axis[band.first]))
        return cliUsageError(kName, "--band " + cleanFixedText(o.band[0], 1) + "," + cleanFixedText(o.band[1], 1) +
                                        " lies outside the valid band " + validBandText(band, axis));
    if (const auto refusal = sphereRefusal(matrix, grid, band, options))
        return cliUsageError(kName, o.balloon + ": " + *refusal);

    std::error_code ec;
    const std::filesystem::path dir(o.outDir);
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir))
        return cliUsageError(kName, "cannot make the output directory " + o.outDir);

    const SphereAnalysis analysis = analyseSphere(matrix, grid, axis, band, options);
    const std::string name = std::filesystem::path(o.balloon).filename().string();
    std::vector<SphereCoefficients> expansions;
    for (const SphereRow& r : analysis.rows)
        expansions.push_back({r.hz, r.fit.order, r.centre, r.fit.coefficients});
    const struct {
        const char* file;
        std::string text;
    } texts[] = {{"sphere.txt", sphereReportText(analysis, name, validBandText(band, axis))},
                 {"coefficients.txt", sphereCoefficientsText(expansions)}};
    for (const auto& t : texts) {
        const std::string path = (dir / t.file).string();
        if (const std::string error = writeTextFile(path, t.text); !error.empty())
            return cliUsageError(kName, error);
        std::printf("wrote %s\n", path.c_str());
    }
    const std::string picture = (dir / "sphere.png").string();
    if (const auto error = savePicturePng(
            kSpherePictureSize.width, kSpherePictureSize.height,
            [&](Canvas& c) { drawSphere(c, analysis, name + " as a sound field", validFromText(band, axis)); },
            picture))
        return cliUsageError(kName, *error);
    std::printf("wrote %s\n", picture.c_str());
    std::printf("band %s\n", validBandText(band, axis).c_str());
    if (analysis.bandCentre)
        std::printf("centre over %s .. %s: %s mm (x y z: +z the axis, +y up the baffle)\n",
                    hzText(analysis.bandLowHz).c_str(), hzText(analysis.bandHighHz).c_str(),
                    centreText(*analysis.bandCentre).c_str());
    else
        std::printf("no centre found over %s .. %s\n", hzText(analysis.bandLowHz).c_str(),
                    hzText(analysis.bandHighHz).c_str());
    // The order the centring saves, at the axis point nearest 10 kHz.
    const SphereRow* at = nullptr;
    for (const SphereRow& r : analysis.rows)
        if (!at || std::abs(std::log(r.hz / 10000)) < std::abs(std::log(at->hz / 10000)))
            at = &r;
    if (at && at->uncentredOrder >= 0)
        std::printf("order at %s: %d about the centre, %d about the rotation centre\n", hzText(at->hz).c_str(),
                    at->fit.order, at->uncentredOrder);
    std::fflush(stdout);
    return 0;
}

std::function<int()> setupSphere(CLI::App& app)
{
    auto o = std::make_shared<SphereCliOptions>();
    app.add_option("balloon", o->balloon, "the balloon file (*.BAL)")->required();
    app.add_option("-o,--output", o->outDir, "the directory for sphere.txt, sphere.png and coefficients.txt")
        ->required();
    app.add_option("--order", o->order, "the expansion's order, or auto: chosen per frequency")
        ->type_name("N|auto")
        ->capture_default_str();
    app.add_option("--centre", o->centre,
                   "refer the phase to the acoustic centre found per frequency (auto), or to X,Y,Z mm in the "
                   "loudspeaker's frame, before the expansion")
        ->type_name("auto|X,Y,Z");
    addDecimalListOption(app, "--band", o->band, "the band F1,F2 Hz over which one centre is reported");
    return [o] { return runSphere(*o); };
}

const CliRegistration registration({"sphere",
                                    "The balloon as a sound field: its acoustic centre and its spherical-harmonic "
                                    "expansion per frequency, with the residual, the condition and the coefficients",
                                    setupSphere});

} // namespace
} // namespace vantrel
