#include "analysis/directivity_report.h"

#include <cmath>
#include <memory>

#include "analysis/directivity.h"
#include "analysis/metrics.h"
#include "analysis/pictures.h"
#include "analysis/sphere_levels.h"
#include "analysis/tables.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

// "45" for a whole number of degrees, "22.5" otherwise.
std::string degreesName(double degrees) { return cleanFixedText(degrees, degrees == std::floor(degrees) ? 0 : 1); }

// What the pictures draw from, kept alive by their draw functions.
struct ReportState {
    FrequencyAxis axis;
    ValidBand band;
    int step = 5;
    bool absolute = false;
    std::vector<int> bins;
    OrbitLevels horizontal, vertical, rolled, across;
    std::vector<DirectivityRow> rows;
    DirectivitySummary summary;
    std::vector<Cta2034Row> curves;
    ListenerAxis listener;
    PreferenceNumbers numbers;
};

ReportItem picture(std::string tab, std::string file, PictureSize size, std::function<void(Canvas&)> draw)
{
    return {std::move(tab), std::move(file), size.width, size.height, std::move(draw), {}};
}

} // namespace

std::optional<std::string> reportBins(const std::vector<double>& hz, bool given, const FrequencyAxis& axis,
                                      const ValidBand& band, std::vector<int>& bins)
{
    bins.clear();
    for (double f : hz) {
        if (band.containsHz(f, axis))
            bins.push_back(nearestBin(axis, f));
        else if (given)
            return cleanFixedText(f, 1) + " Hz lies outside the valid band " + validBandText(band, axis);
    }
    if (bins.empty())
        bins.push_back((band.first + band.last) / 2);
    return std::nullopt;
}

std::optional<std::string> buildDirectivityReport(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                                  const ValidBand& band, const std::string& source,
                                                  const DirectivityReportOptions& options, DirectivityReport& out)
{
    out = {};
    const CellIndex onAxis = *orbitCell(Plane::Horizontal, grid, 0);
    if (!cellHasData(matrix, onAxis))
        return "the balloon holds no on-axis measurement (H = 0, V = 0): nothing to refer the levels to";

    auto s = std::make_shared<ReportState>();
    s->axis = axis;
    s->band = band;
    s->step = gridStepDegrees(grid);
    s->absolute = options.absolute;
    s->bins = options.bins;
    if (s->bins.empty())
        s->bins.push_back((band.first + band.last) / 2);
    s->horizontal = orbitLevels(matrix, Plane::Horizontal, grid);
    s->vertical = orbitLevels(matrix, Plane::Vertical, grid);

    out.items.push_back(picture("Polar maps", "polar-map-horizontal.png", kPolarMapSize, [s](Canvas& c) {
        drawPolarMap(c, s->horizontal, planeLabel(Plane::Horizontal), s->axis, s->step, s->absolute, s->band);
    }));
    out.items.push_back(picture("Polar maps", "polar-map-vertical.png", kPolarMapSize, [s](Canvas& c) {
        drawPolarMap(c, s->vertical, planeLabel(Plane::Vertical), s->axis, s->step, s->absolute, s->band);
    }));
    out.items.push_back(picture("Polar plots", "polar-plots.png", kPolarPlotsSize,
                                [s](Canvas& c) { drawPolarPlots(c, s->horizontal, s->vertical, s->axis, s->bins); }));
    if (options.plane) {
        // The plane through the axis at the roll angle and the one square to it, both read
        // from the sphere between the cells.
        const double roll = *options.plane;
        if (options.between) {
            s->rolled = rotatedOrbitLevels(*options.between, s->step, 0.0, 0.0, roll);
            s->across = rotatedOrbitLevels(*options.between, s->step, 0.0, 0.0, roll + 90.0);
        } else {
            s->rolled = rotatedOrbitLevels(matrix, grid, 0.0, 0.0, roll);
            s->across = rotatedOrbitLevels(matrix, grid, 0.0, 0.0, roll + 90.0);
        }
        const std::string name = degreesName(roll);
        const std::string tab = "Plane " + name;
        out.items.push_back(picture(tab, "polar-map-plane-" + name + ".png", kPolarMapSize, [s, roll](Canvas& c) {
            drawPolarMap(c, s->rolled, rolledPlaneLabel(roll), s->axis, s->step, s->absolute, s->band);
        }));
        out.items.push_back(picture(tab, "polar-plots-plane-" + name + ".png", kPolarPlotsSize, [s, roll](Canvas& c) {
            drawPolarPlots(c, s->rolled, s->across, s->axis, s->bins, {rolledPlaneLabel(roll), rolledPlaneLabel(roll + 90.0)});
        }));
    }

    s->summary.bandText = validBandText(band, axis);
    s->summary.validFrom = validFromText(band, axis);
    if (options.between) {
        s->summary.bestAxis = bestListeningAxis(*options.between, axis, band, kBetweenCellsAxisStep);
        s->summary.bestAxisSearch = "flattest direction every " + cleanFixedText(kBetweenCellsAxisStep, 1) +
                                    " degrees of " + options.betweenName;
    } else {
        s->summary.bestAxis = bestListeningAxis(matrix, grid, axis, band);
    }
    s->summary.coverage = coverageAngles(s->horizontal, s->vertical, axis, band);
    s->rows = directivityTable(matrix, grid, axis, band);
    {
        std::vector<double> hz, di;
        for (const DirectivityRow& r : s->rows) {
            hz.push_back(r.frequencyHz);
            di.push_back(r.directivityIndexDb);
        }
        s->summary.diSlope = slopePerOctave(hz, di, 200.0, 16000.0);
    }
    out.items.push_back({"Directivity", "directivity.txt", 0, 0, {}, directivityText(s->rows, source, grid, s->summary)});
    out.items.push_back(picture("Directivity", "directivity.png", kDirectivitySize,
                                [s](Canvas& c) { drawDirectivity(c, s->rows, s->summary); }));

    out.ctaRefusal = cta2034Refusal(matrix, grid);
    if (out.ctaRefusal)
        return std::nullopt;
    s->listener = options.listener;
    s->curves = cta2034Curves(matrix, grid, axis, band, s->listener, options.between);
    s->numbers = preferenceNumbers(s->curves);
    out.cta2034.push_back({"CTA-2034", "cta2034.txt", 0, 0, {},
                           cta2034Text(s->curves, source, s->summary.bandText, s->listener, s->numbers)});
    out.cta2034.push_back(picture("CTA-2034", "cta2034.png", kCta2034Size, [s](Canvas& c) {
        drawCta2034(c, s->curves, s->listener, s->numbers, s->summary.validFrom);
    }));
    return std::nullopt;
}

} // namespace vantrel
