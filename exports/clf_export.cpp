#include "exports/clf_export.h"

#include <array>
#include <cmath>

#include "exports/export_valid_band.h"
#include "exports/safe_output.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::array<const char*, 24> kThirdOctaves{"100",  "125",  "160",  "200",   "250",   "315",
                                                    "400",  "500",  "630",  "800",   "1000",  "1250",
                                                    "1600", "2000", "2500", "3150",  "4000",  "5000",
                                                    "6300", "8000", "10000", "12500", "16000", "20000"};
constexpr int kFirstThird = -10; // 100 Hz is 1000 x 10^(-10/10)
constexpr std::array<const char*, 11> kOctaves{"16",   "31.5", "63",   "125",  "250",  "500",
                                               "1000", "2000", "4000", "8000", "16000"};
constexpr int kFirstOctave = -6; // 16 Hz is 1000 x 10^(3 x -6/10)

// Below every level a measured band reaches: a silent band of a measured cell.
constexpr double kFloorDb = -150.0;

const char* kLineEnd = "\r\n";

// A text that goes into one field: no TAB or line end (a new field or line), no '#' (the rest
// would read as a comment) and no leading '<' (a tag).
std::string fieldRefusal(const char* option, const std::string& text)
{
    if (text.find_first_of("\t\r\n#") != std::string::npos || (!text.empty() && text.front() == '<'))
        return std::string(option) + " '" + text + "' must not hold a TAB, a line break or '#', nor start with '<'";
    return {};
}

double bandEnergy(std::span<const ComplexBin, kCellBins> cell, int first, int last)
{
    double sum = 0;
    for (int b = first; b <= last; ++b) {
        const ComplexBin z = cell[static_cast<std::size_t>(b)];
        sum += static_cast<double>(z.re) * z.re + static_cast<double>(z.im) * z.im;
    }
    return sum / (last - first + 1);
}

bool hasData(std::span<const ComplexBin, kCellBins> cell)
{
    for (int b = 0; b < kDataBins; ++b)
        if (cell[static_cast<std::size_t>(b)].re != 0.0f || cell[static_cast<std::size_t>(b)].im != 0.0f)
            return true;
    return false;
}

} // namespace

std::vector<ClfBand> clfNominalBands(int version)
{
    std::vector<ClfBand> bands;
    const bool thirds = version == 2;
    const std::size_t count = thirds ? kThirdOctaves.size() : kOctaves.size();
    const double width = thirds ? 1.0 : 3.0; // tenths of a decade
    for (std::size_t i = 0; i < count; ++i) {
        const double k = (thirds ? kFirstThird : kFirstOctave) + static_cast<double>(i);
        const double centre = 1000.0 * std::pow(10.0, width * k / 10.0);
        const double edge = std::pow(10.0, width / 20.0);
        bands.push_back({thirds ? kThirdOctaves[i] : kOctaves[i], centre, centre / edge, centre * edge});
    }
    return bands;
}

std::optional<CellIndex> clfCell(int phiDegrees, int thetaDegrees, AngleGrid grid)
{
    const int step = gridStepDegrees(grid);
    if (phiDegrees % step != 0 || thetaDegrees % step != 0 || phiDegrees < 0 || phiDegrees >= 360 ||
        thetaDegrees < 0 || thetaDegrees > 180)
        return std::nullopt;
    const int axisRow = rowForAngle(0, grid);
    if (thetaDegrees == 0 || thetaDegrees == 180) // the axis and the rear: one cell for every arc
        return CellIndex{axisRow, columnForAngle(thetaDegrees, grid)};
    int h = thetaDegrees, v = phiDegrees - 90;
    if (phiDegrees > 180) {
        h = 360 - thetaDegrees;
        v = phiDegrees - 270;
    } else if (v == -90) { // the downward row of the 5-degree grid is only a copy of the upward one
        h = 360 - thetaDegrees;
        v = 90;
    }
    return CellIndex{rowForAngle(v, grid), columnForAngle(h, grid)};
}

std::string clfText(const ExportSource& source, const ClfOptions& options, std::string& error, ClfSummary* summary)
{
    const AngleGrid grid = exportGrid(source.trailer);
    const int version = options.version != 0 ? options.version : grid == AngleGrid::Grid5 ? 2 : 1;
    if (version != 1 && version != 2) {
        error = "the CLF version must be 1 or 2, not " + std::to_string(options.version);
        return {};
    }
    const std::string manufacturer = options.manufacturer.empty() ? "unknown" : options.manufacturer;
    if (options.model.empty()) {
        error = "the CLF model name is empty";
        return {};
    }
    if (error = fieldRefusal("--model", options.model); !error.empty())
        return {};
    if (error = fieldRefusal("--manufacturer", manufacturer); !error.empty())
        return {};
    if (!(options.distanceMetres > 0) || !std::isfinite(options.distanceMetres)) {
        error = "--distance must be a distance above 0 m";
        return {};
    }
    if (!(options.driveVolts > 0) || !std::isfinite(options.driveVolts)) {
        error = "--sensitivity-ref must be a voltage above 0 V";
        return {};
    }
    FrequencyAxis axis;
    if (error = exportAxis(source.trailer, axis); !error.empty())
        return {};
    ExportValidBand valid;
    if (error = exportValidBand(source, axis, valid); !error.empty())
        return {};

    // The bands that lie wholly inside the valid band, each with its first and last bin.
    struct Band {
        ClfBand nominal;
        int first = 0, last = -1;
    };
    std::vector<Band> bands;
    for (const ClfBand& b : clfNominalBands(version)) {
        if (b.lowHz < valid.lowHz || b.highHz > valid.highHz)
            continue;
        Band band{b};
        for (int i = 0; i < kAxisPoints; ++i)
            if (axis[i] >= b.lowHz && axis[i] < b.highHz) {
                if (band.last < 0)
                    band.first = i;
                band.last = i;
            }
        if (band.last >= 0)
            bands.push_back(band);
    }
    if (bands.empty()) {
        error = "no CLF" + std::to_string(version) + " band lies within the balloon's valid band " + valid.text;
        return {};
    }

    // Relative levels on the balloon's own step: [band][arc][polar].
    const int step = gridStepDegrees(grid);
    const int arcs = 360 / step, polars = 180 / step + 1;
    const std::size_t perBand = static_cast<std::size_t>(arcs * polars);
    std::vector<double> relative(bands.size() * perBand);
    std::vector<double> axial(bands.size());
    const CellIndex axisCell = *clfCell(0, 0, grid);
    for (int a = 0; a < arcs; ++a)
        for (int p = 0; p < polars; ++p) {
            const CellIndex c = *clfCell(a * step, p * step, grid);
            const auto cell = source.matrix.cell(c.row, c.column);
            if (!hasData(cell)) {
                error = "the balloon has no measurement in the cell of H = " + std::to_string(c.column * step) +
                        ", V = " + std::to_string(90 - c.row * step) + " (row " + std::to_string(c.row) + ", column " +
                        std::to_string(c.column) + "), which CLF direction phi = " + std::to_string(a * step) +
                        ", theta = " + std::to_string(p * step) + " needs";
                return {};
            }
            for (std::size_t k = 0; k < bands.size(); ++k)
                relative[k * perBand + static_cast<std::size_t>(a * polars + p)] =
                    bandEnergy(cell, bands[k].first, bands[k].last);
        }
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const double onAxis = bandEnergy(source.matrix.cell(axisCell.row, axisCell.column), bands[k].first, bands[k].last);
        if (!(onAxis > 0)) {
            error = std::string("the on-axis cell is silent in the ") + bands[k].nominal.nominal + " Hz band";
            return {};
        }
        axial[k] = 10.0 * std::log10(onAxis) + 90.0 + 20.0 * std::log10(options.distanceMetres);
        for (std::size_t i = 0; i < perBand; ++i) {
            double& v = relative[k * perBand + i];
            v = v > 0 ? std::max(kFloorDb, 10.0 * std::log10(v / onAxis)) : kFloorDb;
        }
    }

    const auto native = [&](std::size_t k, int a, int p) {
        return relative[k * perBand + static_cast<std::size_t>(((a % arcs + arcs) % arcs) * polars + p)];
    };
    const int clfStep = version == 2 ? 5 : 10;
    std::string text;
    text.reserve(bands.size() * static_cast<std::size_t>(360 / clfStep) * (180 / clfStep + 1) * 8 + 4096);
    const auto line = [&](const std::string& s) { text += s + kLineEnd; };
    const std::string tag = "<CLF" + std::to_string(version) + ">";
    line(tag);
    line("<VERSION>\t1");
    line("<MODELNAME>\t" + options.model);
    line("<MANUFACTURER>\t" + manufacturer);
    line(std::string("<MINBAND>\t") + bands.front().nominal.nominal);
    line(std::string("<MAXBAND>\t") + bands.back().nominal.nominal);
    line("<RADIATION>\t<fullsphere>");
    line("<MEASUREMENT-DISTANCE>\t" + cleanFixedText(options.distanceMetres, 2));
    line("<BALLOON-SYMMETRY>\t<none>");
    line("<BALLOON-ARC-ORDER>\t<default>");
    line("<BALLOON-REF>\t<relative>");
    std::string sensitivity = "<SENSITIVITY>", spectrum = "<AXIAL-SPECTRUM>";
    for (std::size_t k = 0; k < bands.size(); ++k) {
        sensitivity += "\t" + cleanFixedText(axial[k] - 20.0 * std::log10(options.driveVolts), 2);
        spectrum += "\t" + cleanFixedText(axial[k], 2);
    }
    line(sensitivity);
    line(spectrum);
    for (std::size_t k = 0; k < bands.size(); ++k) {
        line(std::string("<BAND>\t") + bands[k].nominal.nominal);
        for (int phi = 0; phi < 360; phi += clfStep) {
            std::string row;
            for (int theta = 0; theta <= 180; theta += clfStep) {
                double v = 0;
                if (phi % step == 0 && theta % step == 0) {
                    v = native(k, phi / step, theta / step);
                } else {
                    // Between the balloon's cells: bilinear in theta and phi, in dB.
                    const int a0 = phi / step, p0 = theta / step;
                    const double u = static_cast<double>(phi % step) / step;
                    const double t = static_cast<double>(theta % step) / step;
                    const int p1 = std::min(p0 + 1, polars - 1);
                    const double lower = native(k, a0, p0) * (1 - t) + native(k, a0, p1) * t;
                    const double upper = native(k, a0 + 1, p0) * (1 - t) + native(k, a0 + 1, p1) * t;
                    v = lower * (1 - u) + upper * u;
                }
                if (theta > 0)
                    row += '\t';
                row += cleanFixedText(v, 2);
            }
            line(row);
        }
    }
    text += "<CLF" + std::to_string(version) + "END>" + kLineEnd;
    if (summary != nullptr)
        *summary = {version, bands.front().nominal.nominal, bands.back().nominal.nominal,
                    static_cast<int>(bands.size()), clfStep < step, valid.text};
    return text;
}

std::string writeClf(const ExportSource& source, const ClfOptions& options, const std::string& path, ClfSummary* summary)
{
    std::string error;
    const std::string text = clfText(source, options, error, summary);
    if (!error.empty())
        return error;
    return writeTextFile(path, text);
}

} // namespace vantrel
