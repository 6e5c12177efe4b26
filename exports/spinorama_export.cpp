#include "exports/spinorama_export.h"

#include <filesystem>
#include <system_error>

#include "exports/decimal_text.h"
#include "exports/export_valid_band.h"
#include "exports/safe_output.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

// What the tooling counts as a complete data set.
constexpr int kLeastFrequencies = 98;
constexpr double kLowestNeededHz = 40.0;
constexpr double kHighestNeededHz = 16000.0;

} // namespace

std::vector<SpinoramaCurve> spinoramaCurves(AngleGrid grid)
{
    // Whole degrees with the degree sign U+00B0; no "+" and no "0°" (the axis is "On Axis").
    const auto name = [](int degrees) {
        std::string text = std::to_string(degrees);
        text.append("\xC2\xB0");
        return text;
    };
    const int step = gridStepDegrees(grid);
    std::vector<SpinoramaCurve> curves{{0, "On Axis"}};
    for (int a = step; a < 180; a += step) {
        curves.push_back({a, name(a)});
        curves.push_back({-a, name(-a)});
    }
    curves.push_back({180, name(180)});
    return curves;
}

std::string spinoramaText(const ExportSource& source, Plane plane, std::string& error, SpinoramaSummary* summary)
{
    FrequencyAxis axis;
    if (error = exportAxis(source.trailer, axis); !error.empty())
        return {};
    ExportValidBand valid;
    if (error = exportValidBand(source, axis, valid); !error.empty())
        return {};
    const AngleGrid grid = exportGrid(source.trailer);
    const std::vector<SpinoramaCurve> curves = spinoramaCurves(grid);
    std::vector<CellIndex> cells;
    for (const SpinoramaCurve& c : curves) {
        const CellIndex cell = *orbitCell(plane, grid, c.angle);
        if (!cellHasData(source.matrix, cell)) {
            error = std::string("the balloon has no measurement for the ") +
                    (plane == Plane::Horizontal ? "horizontal" : "vertical") + " curve " + c.name + " (row " +
                    std::to_string(cell.row) + ", column " + std::to_string(cell.column) + ")";
            return {};
        }
        cells.push_back(cell);
    }

    std::string text = plane == Plane::Horizontal ? "\"SPL Horizontal\"\n" : "\"SPL Vertical\"\n";
    std::string units;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        if (i > 0) {
            text += '\t';
            units += '\t';
        }
        text += curves[i].name;
        if (i + 1 < curves.size())
            text += '\t'; // the name stands over the first field of its pair
        units += "Frequency [Hz]\tSPL [dB]";
    }
    text += "\n" + units + "\n";
    int rows = 0;
    double low = 0, high = 0;
    for (int b = 0; b < kAxisPoints; ++b) {
        if (!valid.contains(axis[b]))
            continue;
        const std::string hz = shortestText(axis[b]);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0)
                text += '\t';
            text += hz;
            text += '\t';
            text += cleanFixedText(binDb(source.matrix.cell(cells[i].row, cells[i].column)[static_cast<std::size_t>(b)]), 3);
        }
        text += '\n';
        if (rows++ == 0)
            low = axis[b];
        high = axis[b];
    }
    if (summary != nullptr) {
        summary->curves = static_cast<int>(curves.size());
        summary->frequencies = rows;
        summary->lowHz = low;
        summary->highHz = high;
        summary->validBand = valid.text;
        summary->shortfall.clear();
        if (rows < kLeastFrequencies)
            summary->shortfall += "fewer than " + std::to_string(kLeastFrequencies) + " frequencies; ";
        if (!(low < kLowestNeededHz))
            summary->shortfall += "nothing below " + fixedText(kLowestNeededHz, 0) + " Hz; ";
        if (!(high > kHighestNeededHz))
            summary->shortfall += "nothing above " + fixedText(kHighestNeededHz, 0) + " Hz; ";
        if (!summary->shortfall.empty())
            summary->shortfall.resize(summary->shortfall.size() - 2);
    }
    return text;
}

std::string writeSpinorama(const ExportSource& source, const std::string& directory, SpinoramaSummary* summary)
{
    std::string error;
    const std::string horizontal = spinoramaText(source, Plane::Horizontal, error, summary);
    if (!error.empty())
        return error;
    const std::string vertical = spinoramaText(source, Plane::Vertical, error);
    if (!error.empty())
        return error;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec)
        return "cannot create the directory " + directory + ": " + ec.message();
    const std::filesystem::path dir(directory);
    if (error = writeTextFile((dir / kSpinoramaHorizontalName).string(), horizontal); !error.empty())
        return error;
    return writeTextFile((dir / kSpinoramaVerticalName).string(), vertical);
}

} // namespace vantrel
