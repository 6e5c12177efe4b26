#include "analysis/compare_report.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include "analysis/compare.h"
#include "analysis/pictures.h"
#include "analysis/tables.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

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

struct CompareState {
    FrequencyAxis axis;
    ValidBand band;
    int step = 5;
    BalloonComparison comparison;
    std::string title;
};

} // namespace

std::string compareOptionsProblem(const CompareReportOptions& o)
{
    if (o.tolerance && !(*o.tolerance >= 0.0 && std::isfinite(*o.tolerance)))
        return "--tolerance takes a level difference in dB, 0 or more";
    if (o.within && !(*o.within > 0.0 && std::isfinite(*o.within)))
        return "--within takes a level below the axis in dB, above 0";
    if (!o.band.empty() && (o.band.size() != 2 || !(o.band[0] > 0.0) || !(o.band[1] > o.band[0]) ||
                            !std::isfinite(o.band[1])))
        return "--band takes two frequencies F1,F2 in Hz with 0 < F1 < F2";
    return {};
}

std::optional<std::string> buildCompareReport(const CompareInput& inA, const CompareInput& inB,
                                              const CompareReportOptions& o, CompareReport& out)
{
    out = {};
    if (std::string problem = compareOptionsProblem(o); !problem.empty())
        return problem;
    if (auto refusal = compareRefusal(inA.settings, inB.settings))
        return "cannot compare " + inA.name + " and " + inB.name + ": " + *refusal;
    const BalloonMatrix& a = inA.matrix;
    const BalloonMatrix& b = inB.matrix;
    auto s = std::make_shared<CompareState>();
    const AngleGrid grid = angleGridFromFlag(inA.settings.angleGridFlag);
    FrequencyAxis& axis = s->axis;
    axis.buildFromIndexes(inA.settings.fromIndex, inA.settings.toIndex);
    // Only where both hold measurements.
    const ValidBand bandA = validBand(inA.settings, axis, inA.measured);
    const ValidBand bandB = validBand(inB.settings, axis, inB.measured);
    // The higher low edge names its reason in the captions.
    ValidBand& band = s->band;
    band = bandB.first > bandA.first ? bandB : bandA;
    band.first = std::max(bandA.first, bandB.first);
    band.last = std::min(bandA.last, bandB.last);
    if (!o.band.empty()) {
        while (band.first <= band.last && axis[band.first] < o.band[0])
            ++band.first;
        while (band.last >= band.first && axis[band.last] > o.band[1])
            --band.last;
        if (band.first > band.last)
            return "--band " + cleanFixedText(o.band[0], 1) + "," + cleanFixedText(o.band[1], 1) +
                   " holds no axis point of the valid band " + validBandText(band, axis);
    }
    CompareScope scope;
    scope.frontOnly = o.front;
    if (o.within)
        scope.withinDb = *o.within;
    s->comparison = compareBalloons(a, b, grid, axis, band.first, band.last, scope);
    const BalloonComparison& comparison = s->comparison;
    if (comparison.points == 0)
        return "no direction of A lies within " + cleanFixedText(o.within.value_or(0), 1) + " dB of its axis in the band";
    std::string scopeText = o.front ? "the front hemisphere" : "the sphere";
    if (o.within)
        scopeText += " where A lies within " + cleanFixedText(*o.within, 1) + " dB of its axis";
    s->step = gridStepDegrees(grid);

    for (Plane plane : {Plane::Horizontal, Plane::Vertical}) {
        const OrbitLevels orbitA = orbitLevels(a, plane, grid);
        const OrbitLevels orbitB = orbitLevels(b, plane, grid);
        for (bool relative : {true, false}) {
            auto difference = std::make_shared<const std::vector<std::array<double, kDataBins>>>(
                orbitDifference(orbitA, orbitB, relative));
            double largest = 0;
            for (const auto& row : *difference)
                for (int k = band.first; k <= band.last; ++k)
                    largest = std::max(largest, std::abs(row[static_cast<std::size_t>(k)]));
            const std::string name = std::string("difference-map-") +
                                     (plane == Plane::Horizontal ? "horizontal" : "vertical") +
                                     (relative ? "" : "-absolute") + ".png";
            out.items.push_back({"Difference maps", name, kPolarMapSize.width, kPolarMapSize.height,
                                 [s, difference, plane, relative, largest](Canvas& c) {
                                     drawDifferenceMap(c, *difference, planeLabel(plane), s->axis, s->step, s->band,
                                                       relative, largest);
                                 },
                                 {}});
        }
    }

    const LargestDifference& largest = comparison.largest;
    const std::string largestText = signedDb(largest.db) + " dB at " + directionText(largest.direction) + ", " +
                                    cleanFixedText(largest.frequencyHz, 2) + " Hz";
    std::string verdict;
    if (o.tolerance) {
        const bool pass = std::abs(largest.db) <= *o.tolerance;
        out.pass = pass;
        verdict = std::string(pass ? "PASS" : "FAIL") + ": largest difference " +
                  cleanFixedText(std::abs(largest.db), 3) + " dB " + (pass ? "within" : "beyond") +
                  " the tolerance of " + cleanFixedText(*o.tolerance, 3) + " dB";
    }

    std::string text = "# B minus A: B = " + inB.name + ", A = " + inA.name + "\n";
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
    out.items.push_back({"Comparison", "compare.txt", 0, 0, {}, std::move(text)});
    s->title = "B = " + std::filesystem::path(inB.name).filename().string() +
               " minus A = " + std::filesystem::path(inA.name).filename().string();
    out.items.push_back({"Comparison", "compare.png", kComparePlotSize.width, kComparePlotSize.height, [s](Canvas& c) {
                             drawComparison(c, s->comparison, s->title, validFromText(s->band, s->axis));
                         },
                         {}});

    out.summary = {"compared: " + scopeText, "largest difference " + largestText, "largest phase difference " + phaseText,
                   "rms difference " + cleanFixedText(comparison.rmsDb, 3) + " dB"};
    if (!verdict.empty())
        out.summary.push_back(verdict);
    return std::nullopt;
}

} // namespace vantrel
