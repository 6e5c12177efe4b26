#include "exports/frd_export.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "exports/decimal_text.h"
#include "exports/export_valid_band.h"
#include "exports/safe_output.h"
#include "platform/version.h"

namespace vantrel {

std::vector<FrdAngle> frdAngles(AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    std::vector<FrdAngle> angles;
    for (FrdPlane plane : {FrdPlane::Horizontal, FrdPlane::Vertical})
        for (int a = -180; a <= 180; a += step) {
            const bool horizontal = plane == FrdPlane::Horizontal;
            const int h = (((horizontal ? a : -a) % 360) + 360) % 360;
            const int v = horizontal ? 0 : 90;
            angles.push_back({plane, a, {rowForAngle(v, grid), columnForAngle(h, grid)}, h, v});
        }
    return angles;
}

std::string frdFileName(const std::string& prefix, FrdPlane plane, int degrees)
{
    return prefix + (plane == FrdPlane::Horizontal ? " hor " : " ver ") + signedDegreesText(degrees) + ".frd";
}

std::string frdText(const ExportSource& source, const FrequencyAxis& axis, const FrdAngle& angle, FrdPhase phase,
                    const ExportValidBand& band)
{
    const bool horizontal = angle.plane == FrdPlane::Horizontal;
    std::string text;
    text.reserve(40 * kAxisPoints);
    text += "* Vantrel balloon export, written by Vantrel " + vantrelVersionText() + "\n";
    text += "* Source: " + sourceFileName(source) + "\n";
    text += std::string("* Plane: ") + (horizontal ? "horizontal (V = 0), azimuth " : "vertical (V = +90), elevation ") +
            signedDegreesText(angle.degrees) + " degrees (cell row " + std::to_string(angle.cell.row) + ", column " +
            std::to_string(angle.cell.column) + ": H = " + std::to_string(angle.hDegrees) + ", V = " +
            std::to_string(angle.vDegrees) + ")\n";
    text += "* Settings: " + settingsSummary(source.trailer) + "\n";
    text += std::string("* Phase: ") + (phase == FrdPhase::Wrapped ? "wrapped to -180..180" : "unwrapped") +
            " degrees; level: 90 dB is magnitude 1\n";
    if (source.allPoints)
        text += "* Points: all " + std::to_string(kAxisPoints) + " of the stored axis; only the valid band " + band.text +
                " is the loudspeaker's response, the rest is the filters' roll-off, copies and filler\n";
    else
        text += "* Points: the valid band " + band.text + "\n";
    text += "* frequency_Hz level_dB phase_deg\n";

    const auto cell = source.matrix.cell(angle.cell.row, angle.cell.column);
    double previous = 0.0, offset = 0.0;
    const int first = source.allPoints ? 0 : band.first, last = source.allPoints ? kAxisPoints - 1 : band.last;
    for (int b = first; b <= last; ++b) {
        const ComplexBin bin = cell[static_cast<std::size_t>(b)];
        double degrees = binPhaseDegrees(bin);
        if (phase == FrdPhase::Unwrapped) {
            // Jumps of more than half a turn between neighbouring bins are taken as wraps.
            if (b > first) {
                const double step = degrees + offset - previous;
                offset -= 360.0 * std::round(step / 360.0);
            }
            degrees += offset;
            previous = degrees;
        }
        text += shortestText(axis[b]) + " " + cleanFixedText(binLevelDb(bin), 3) + " " + cleanFixedText(degrees, 2) + "\n";
    }
    return text;
}

std::string writeFrdSeries(const ExportSource& source, const std::string& directory, const std::string& prefix,
                           FrdPhase phase, std::vector<std::string>* written)
{
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return error;
    ExportValidBand band;
    if (std::string error = exportValidBand(source, axis, band); !error.empty()) {
        if (!source.allPoints)
            return error;
        band.text = "(unknown: " + error + ")";
    }
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec)
        return "cannot create the directory " + directory + ": " + ec.message();
    for (const FrdAngle& angle : frdAngles(exportGrid(source.trailer))) {
        const std::string path = (std::filesystem::path(directory) / frdFileName(prefix, angle.plane, angle.degrees)).string();
        if (std::string error = writeTextFile(path, frdText(source, axis, angle, phase, band)); !error.empty())
            return error;
        if (written != nullptr)
            written->push_back(path);
    }
    return {};
}

} // namespace vantrel
