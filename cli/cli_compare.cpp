// vantrel-cli compare A.BAL B.BAL -o DIR [--tolerance DB] [--band F1,F2] [--front] [--within DB]:
// balloon B against
// balloon A (a unit against its reference): difference maps of both planes (B minus A,
// relative and absolute), the differences of on-axis level, sound power and DI, the largest
// difference with its direction and frequency, and with a tolerance a pass/fail verdict in
// the exit status (0 pass, 1 fail), so a production line can hold each unit to its reference.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/compare.h"
#include "analysis/pictures.h"
#include "analysis/tables.h"
#include "balloon/measured_balloon.h"
#include "cli/cli_command.h"
#include "platform/number_text.h"
#include "platform/qt/picture_file.h"

namespace vantrel {
namespace {

constexpr const char* kName = "compare";

struct CompareOptions {
    std::string a, b, outDir;
    double tolerance = 0;
    bool toleranceGiven = false;
    std::vector<double> band;
    bool front = false;
    double within = 0;
    bool withinGiven = false;
};

int usageError(const std::string& message) { return cliUsageError(kName, message); }

std::string directionText(const SphereDirection& d)
{
    return "H " + std::to_string(d.hDegrees) + ", V " + std::to_string(d.vDegrees) + " (azimuth " +
           cleanFixedText(d.azimuthDegrees, 1) + ", elevation " + cleanFixedText(d.elevationDegrees, 1) + " degrees)";
}

std::string signedDb(double db)
{
    const std::string text = cleanFixedText(db, 3);
    return db > 0 && text != "0.000" ? "+" + text : text;
}

int runCompare(const CompareOptions& o)
{
    if (o.toleranceGiven && !(o.tolerance >= 0.0 && std::isfinite(o.tolerance)))
        return usageError("--tolerance takes a level difference in dB, 0 or more");
    if (o.withinGiven && !(o.within > 0.0 && std::isfinite(o.within)))
        return usageError("--within takes a level below the axis in dB, above 0");
    if (!o.band.empty() && (o.band.size() != 2 || !(o.band[0] > 0.0) || !(o.band[1] > o.band[0]) ||
                            !std::isfinite(o.band[1])))
        return usageError("--band takes two frequencies F1,F2 in Hz with 0 < F1 < F2");

    std::optional<BalloonMatrix> createdA = BalloonMatrix::create();
    std::optional<BalloonMatrix> createdB = BalloonMatrix::create();
    if (!createdA || !createdB)
        return cliRefusal(kName, "not enough memory for two balloons");
    BalloonMatrix a = std::move(*createdA);
    BalloonMatrix b = std::move(*createdB);
    const MeasuredBalloonLoad loadedA = loadMeasuredBalloon(o.a, a);
    if (!loadedA)
        return usageError(o.a + ": " + loadedA.error);
    const MeasuredBalloonLoad loadedB = loadMeasuredBalloon(o.b, b);
    if (!loadedB)
        return usageError(o.b + ": " + loadedB.error);
    if (auto refusal = compareRefusal(*loadedA.settings, *loadedB.settings))
        return usageError("cannot compare " + o.a + " and " + o.b + ": " + *refusal);

    const AngleGrid grid = angleGridFromFlag(loadedA.settings->angleGridFlag);
    FrequencyAxis axis;
    axis.buildFromIndexes(loadedA.settings->fromIndex, loadedA.settings->toIndex);
    // Only where both hold measurements.
    const ValidBand bandA = validBand(*loadedA.settings, axis, loadedA.measured);
    const ValidBand bandB = validBand(*loadedB.settings, axis, loadedB.measured);
    // The higher low edge names its reason in the captions.
    ValidBand band = bandB.first > bandA.first ? bandB : bandA;
    band.first = std::max(bandA.first, bandB.first);
    band.last = std::min(bandA.last, bandB.last);
    if (!o.band.empty()) {
        while (band.first <= band.last && axis[band.first] < o.band[0])
            ++band.first;
        while (band.last >= band.first && axis[band.last] > o.band[1])
            --band.last;
        if (band.first > band.last)
            return usageError("--band " + cleanFixedText(o.band[0], 1) + "," + cleanFixedText(o.band[1], 1) +
                              " holds no axis point of the valid band " + validBandText(band, axis));
    }

    std::error_code ec;
    const std::filesystem::path dir(o.outDir);
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir))
        return usageError("cannot make the output directory " + o.outDir);

    CompareScope scope;
    scope.frontOnly = o.front;
    if (o.withinGiven)
        scope.withinDb = o.within;
    const BalloonComparison comparison = compareBalloons(a, b, grid, axis, band.first, band.last, scope);
    if (comparison.points == 0)
        return usageError("no direction of A lies within " + cleanFixedText(o.within, 1) + " dB of its axis in the band");
    std::string scopeText = o.front ? "the front hemisphere" : "the sphere";
    if (o.withinGiven)
        scopeText += " where A lies within " + cleanFixedText(o.within, 1) + " dB of its axis";
    const int step = gridStepDegrees(grid);

    auto picture = [&](const std::string& name, PictureSize size, const std::function<void(Canvas&)>& draw) {
        const std::filesystem::path path = dir / name;
        if (auto error = savePicturePng(size.width, size.height, draw, path.string())) {
            std::fprintf(stderr, "vantrel-cli %s: %s\n", kName, error->c_str());
            return false;
        }
        std::printf("wrote %s\n", path.string().c_str());
        std::fflush(stdout);
        return true;
    };

    bool ok = true;
    for (Plane plane : {Plane::Horizontal, Plane::Vertical}) {
        const OrbitLevels orbitA = orbitLevels(a, plane, grid);
        const OrbitLevels orbitB = orbitLevels(b, plane, grid);
        for (bool relative : {true, false}) {
            const auto difference = orbitDifference(orbitA, orbitB, relative);
            double largest = 0;
            for (const auto& row : difference)
                for (int k = band.first; k <= band.last; ++k)
                    largest = std::max(largest, std::abs(row[static_cast<std::size_t>(k)]));
            const std::string name = std::string("difference-map-") +
                                     (plane == Plane::Horizontal ? "horizontal" : "vertical") +
                                     (relative ? "" : "-absolute") + ".png";
            ok = ok && picture(name, kPolarMapSize, [&](Canvas& c) {
                drawDifferenceMap(c, difference, planeLabel(plane), axis, step, band, relative, largest);
            });
        }
    }

    const LargestDifference& largest = comparison.largest;
    const std::string largestText = signedDb(largest.db) + " dB at " + directionText(largest.direction) + ", " +
                                    cleanFixedText(largest.frequencyHz, 2) + " Hz";
    std::string verdict;
    const bool pass = std::abs(largest.db) <= o.tolerance;
    if (o.toleranceGiven)
        verdict = std::string(pass ? "PASS" : "FAIL") + ": largest difference " +
                  cleanFixedText(std::abs(largest.db), 3) + " dB " + (pass ? "within" : "beyond") +
                  " the tolerance of " + cleanFixedText(o.tolerance, 3) + " dB";

    std::string text = "# B minus A: B = " + o.b + ", A = " + o.a + "\n";
    text += "# band " + hzText(axis[band.first]) + " .. " + hzText(axis[band.last]) + " (inside both valid bands; A " +
            validFromText(bandA, axis) + "; B " + validFromText(bandB, axis) + ")\n";
    const LargestDifference& phase = comparison.largestPhase;
    const std::string phaseText = signedDb(phase.db) + " degrees at " + directionText(phase.direction) + ", " +
                                  cleanFixedText(phase.frequencyHz, 2) + " Hz";
    text += "# compared: " + scopeText + "\n";
    text += "# largest difference " + largestText + "\n";
    text += "# largest phase difference " + phaseText + "\n";
    text += "# rms difference over " + scopeText + " and band, solid-angle weighted, " +
            cleanFixedText(comparison.rmsDb, 3) + " dB\n";
    if (!verdict.empty())
        text += "# " + verdict + "\n";
    text += "# frequency_Hz on_axis_dB sound_power_dB DI_dB largest_over_sphere_dB largest_phase_deg (each B - A)\n";
    for (const CompareRow& r : comparison.rows) {
        for (double v : {r.frequencyHz, r.onAxisDb, r.soundPowerDb, r.directivityIndexDb}) {
            text += cleanFixedText(v, v == r.frequencyHz ? 2 : 3);
            text += ' ';
        }
        text += cleanFixedText(r.largestDb, 3);
        text += ' ';
        text += cleanFixedText(r.largestPhaseDeg, 2);
        text += '\n';
    }
    const std::filesystem::path tablePath = dir / "compare.txt";
    {
        std::ofstream out(tablePath, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "vantrel-cli %s: cannot write %s\n", kName, tablePath.string().c_str());
            return kExitUsage;
        }
        std::printf("wrote %s\n", tablePath.string().c_str());
    }
    ok = ok && picture("compare.png", kComparePlotSize, [&](Canvas& c) {
        drawComparison(c, comparison, "B = " + std::filesystem::path(o.b).filename().string() +
                                          " minus A = " + std::filesystem::path(o.a).filename().string(),
                       validFromText(band, axis));
    });
    if (!ok)
        return kExitUsage;

    std::printf("compared: %s\n", scopeText.c_str());
    std::printf("largest difference %s\n", largestText.c_str());
    std::printf("largest phase difference %s\n", phaseText.c_str());
    std::printf("rms difference %s dB\n", cleanFixedText(comparison.rmsDb, 3).c_str());
    if (!verdict.empty())
        std::printf("%s\n", verdict.c_str());
    std::fflush(stdout);
    return o.toleranceGiven && !pass ? kExitRefused : 0;
}

std::function<int()> setupCompare(CLI::App& app)
{
    auto o = std::make_shared<CompareOptions>();
    app.add_option("a", o->a, "the reference balloon file A (*.BAL)")->required();
    app.add_option("b", o->b, "the balloon file B held against A (*.BAL)")->required();
    app.add_option("-o,--output", o->outDir, "the directory for the pictures and the table (made if missing)")
        ->required();
    auto* tolerance = addDecimalOption(app, "--tolerance", o->tolerance,
                                       "largest |B - A| in dB that passes; exit status 1 beyond it");
    addDecimalListOption(app, "--band", o->band, "compare only F1..F2 Hz (inside the valid band)");
    app.add_flag("--front", o->front, "compare only the front hemisphere (within 90 degrees of the axis)");
    auto* within = addDecimalOption(app, "--within", o->within,
                                    "compare only where A lies within DB of its own axis at that frequency");
    return [o, tolerance, within] {
        o->toleranceGiven = tolerance->count() > 0;
        o->withinGiven = within->count() > 0;
        return runCompare(*o);
    };
}

const CliRegistration registration({"compare",
                                    "Balloon B against balloon A: difference maps, on-axis, sound power and DI "
                                    "differences, the largest difference, pass or fail against a tolerance",
                                    setupCompare});

} // namespace
} // namespace vantrel
