#include "app/distortion_report.h"

#include <cmath>
#include <filesystem>
#include <memory>

#include "analysis/directivity.h"
#include "analysis/pictures.h"
#include "mls/sweep.h"
#include "platform/number_text.h"

namespace vantrel {

std::optional<DistortionBalloon> distortionBeside(const std::string& balloonPath, std::string& error)
{
    error.clear();
    const std::string path = distortionPathFor(balloonPath);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return std::nullopt;
    return loadDistortion(path, error);
}

std::string quantityName(DistortionQuantity q)
{
    switch (q) {
    case DistortionQuantity::h2: return "H2";
    case DistortionQuantity::h3: return "H3";
    case DistortionQuantity::thd: return "THD";
    case DistortionQuantity::noise: return "noise";
    }
    return "";
}

void distortionLevels(const DistortionBalloon& distortion, DistortionQuantity q, float offsetDb, BalloonMatrix& out)
{
    for (int row = 0; row < kMatrixRows; ++row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            auto cell = out.cell(row, column);
            std::fill(cell.begin(), cell.begin() + kDataBins, ComplexBin{});
            if (!distortion.measured(row, column))
                continue;
            for (int i = 0; i < kAxisPoints; ++i)
                if (distortion.aboveNoise(row, column, q, i))
                    cell[static_cast<std::size_t>(i)] = encodeBin(distortion.value(row, column, q, i) + offsetDb, 0.0f);
        }
}

std::string distortionCaption(DistortionQuantity q, double hz)
{
    return quantityName(q) + " relative to the fundamental at " + std::to_string(static_cast<long>(std::lround(hz))) +
           " Hz: a level of L dB is L - 90 dB; below the noise: nothing";
}

std::optional<std::vector<ReportItem>> distortionReportItems(const DistortionBalloon& distortion, const ValidBand& band,
                                                             const std::string& source)
{
    std::optional<BalloonMatrix> matrix = BalloonMatrix::create();
    if (!matrix)
        return std::nullopt;
    distortionLevels(distortion, DistortionQuantity::thd, 0.0f, *matrix);
    FrequencyAxis axis;
    axis.build(distortion.axis()[0] / std::pow(distortion.axis()[749] / distortion.axis()[0], 1.0 / 749),
               distortion.axis()[749]);
    const AngleGrid grid = distortion.grid();
    const int step = gridStepDegrees(grid);
    const struct {
        Plane plane;
        const char* file;
        const char* title;
    } maps[] = {{Plane::Horizontal, "thd-map-horizontal.png", "Horizontal THD map: THD relative to the fundamental (dB)"},
                {Plane::Vertical, "thd-map-vertical.png", "Vertical THD map: THD relative to the fundamental (dB)"}};
    std::vector<ReportItem> items;
    for (const auto& m : maps) {
        auto orbit = std::make_shared<const OrbitLevels>(orbitLevels(*matrix, m.plane, grid));
        const Plane plane = m.plane;
        const std::string title = m.title;
        items.push_back({"THD maps", m.file, kPolarMapSize.width, kPolarMapSize.height,
                         [orbit, plane, title, axis, step, band](Canvas& c) {
                             drawPolarMap(c, *orbit, planeLabel(plane), axis, step, true, band);
                             // The map's own title speaks of levels: this one says what the
                             // levels are, and what is missing.
                             c.setPen({{255, 255, 255}, 1, PenStyle::Null});
                             c.setBrush({{255, 255, 255}, false});
                             c.rectangle(0, 0, kPolarMapSize.width, 34);
                             c.setTextColour({0, 0, 0});
                             c.textOut(40, 8, title);
                             c.textOut(40, 22, "below the noise or not measured: the lowest colour");
                         },
                         {}});
    }
    if (auto text = onAxisDistortionText(distortion, source))
        items.push_back({"THD maps", "distortion-on-axis.txt", 0, 0, {}, std::move(*text)});
    return items;
}

namespace {

// The recorder keeps -200 dB where the sweep cannot show a harmonic at all. THD reads -200 also
// where every harmonic lies below the noise, so it follows H2, read over the widest band.
bool measurable(const DistortionBalloon& distortion, int row, int column, DistortionQuantity q, int point)
{
    const DistortionQuantity by = q == DistortionQuantity::thd ? DistortionQuantity::h2 : q;
    return distortion.value(row, column, by, point) > kNoHarmonicDb;
}

} // namespace

std::optional<std::string> onAxisDistortionText(const DistortionBalloon& distortion, const std::string& source)
{
    const AngleGrid grid = distortion.grid();
    const int row = rowForAngle(0, grid), column = columnForAngle(0, grid);
    if (!distortion.measured(row, column))
        return std::nullopt;
    std::string out = "# distortion on axis (H = 0, V = 0) of " + source + ", sweep ";
    appendFixed(out, distortion.f1(), 1);
    out += " .. ";
    appendFixed(out, distortion.f2(), 1);
    out += " Hz\n# Hz  H2_dB H2_% H3_dB H3_% THD_dB THD_%  (relative to the fundamental)\n";
    for (int i = 0; i < kAxisPoints; ++i) {
        appendFixed(out, distortion.axis()[static_cast<std::size_t>(i)], 1);
        for (const DistortionQuantity q : {DistortionQuantity::h2, DistortionQuantity::h3, DistortionQuantity::thd}) {
            if (!measurable(distortion, row, column, q, i)) {
                out += " not-measured not-measured";
                continue;
            }
            if (!distortion.aboveNoise(row, column, q, i)) {
                out += " below-noise below-noise";
                continue;
            }
            const double db = distortion.value(row, column, q, i);
            out += ' ';
            appendFixed(out, db, 2);
            out += ' ';
            appendFixed(out, harmonicPercent(db), 4);
        }
        out += '\n';
    }
    return out;
}

} // namespace vantrel
