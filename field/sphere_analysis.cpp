#include "field/sphere_analysis.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analysis/tables.h"
#include "field/acoustic_centre.h"
#include "platform/number_text.h"

namespace vantrel {

using Complex = std::complex<double>;

namespace {

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string mm(double metres) { return cleanFixedText(metres * 1000, 1); }

} // namespace

std::string centreText(const FieldVector& centre)
{
    return mm(centre[0]) + " " + mm(centre[1]) + " " + mm(centre[2]);
}

std::optional<FieldVector> parseCentreText(std::string_view text)
{
    FieldVector out{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string_view::npos))
            return std::nullopt;
        double mm = 0;
        if (!parseDecimal(text.substr(start, i < 2 ? comma - start : std::string_view::npos), mm))
            return std::nullopt;
        out[i] = mm / 1000;
        start = comma + 1;
    }
    return out;
}

std::optional<std::string> sphereRefusal(const BalloonMatrix& matrix, AngleGrid grid, const ValidBand& band,
                                         const SphereOptions& options)
{
    const int limit = gridOrderLimit(grid);
    if (options.order > limit)
        return "--order " + std::to_string(options.order) + " is beyond what the " +
               std::to_string(gridStepDegrees(grid)) + "-degree grid holds (at most " + std::to_string(limit) + ")";
    if (options.centre == CentreChoice::given)
        for (std::size_t a = 0; a < 3; ++a)
            if (!(std::abs(options.given[a]) <= kLargestCentre))
                return "--centre " + centreText(options.given) + " mm: " + std::string("xyz").substr(a, 1) + " = " +
                       mm(options.given[a]) + " mm lies outside the 1 m cube about the rotation centre (+-" +
                       mm(kLargestCentre) + " mm)";
    for (const FieldDirection& d : fieldDirections(grid)) {
        const auto cell = matrix.cell(d.cell.row, d.cell.column);
        for (int b = band.first; b <= band.last; ++b) {
            const ComplexBin v = cell[static_cast<std::size_t>(b)];
            if (v.re == 0 && v.im == 0)
                return "the cell of H " + std::to_string(d.cell.column * gridStepDegrees(grid)) + ", V " +
                       std::to_string(90 - d.cell.row * gridStepDegrees(grid)) + " (row " +
                       std::to_string(d.cell.row) + ", column " + std::to_string(d.cell.column) +
                       ") holds nothing at axis point " + std::to_string(b) + ": an unmeasured cell";
            if (!std::isfinite(v.re) || !std::isfinite(v.im))
                return "the cell of row " + std::to_string(d.cell.row) + ", column " + std::to_string(d.cell.column) +
                       " holds no number at axis point " + std::to_string(b);
        }
    }
    return std::nullopt;
}

SphereAnalysis analyseSphere(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                             const ValidBand& band, const SphereOptions& options)
{
    SphereAnalysis out;
    out.grid = grid;
    out.options = options;
    out.orderLimit = gridOrderLimit(grid);
    const std::vector<FieldDirection> directions = fieldDirections(grid);
    const std::size_t count = directions.size();
    const int bins = band.last - band.first + 1;
    std::vector<Complex> fields(count * static_cast<std::size_t>(bins));
    for (int b = band.first; b <= band.last; ++b)
        balloonField(matrix, directions, b,
                     std::span(fields).subspan(count * static_cast<std::size_t>(b - band.first), count));
    const auto fieldOf = [&](int b) {
        return std::span<const Complex>(fields).subspan(count * static_cast<std::size_t>(b - band.first), count);
    };

    const FieldBasis spreadBasis(directions, std::min(out.orderLimit, kSpreadOrder), options.regularisation);
    for (int b = band.first; b <= band.last; ++b) {
        SphereRow row;
        row.bin = b;
        row.hz = axis[b];
        const double k = fieldWavenumber(row.hz);
        if (row.hz <= spreadMethodTopHz()) {
            row.found = spreadCentre(spreadBasis, fieldOf(b), k);
        } else {
            const int lo = std::max(band.first, b - 1), hi = std::min(band.last, b + 1);
            if (hi > lo) {
                row.found = groupDelayCentre(directions, fieldOf(lo), fieldOf(hi),
                                             fieldWavenumber(axis[hi]) - fieldWavenumber(axis[lo]));
                row.byGroupDelay = true;
            }
        }
        if (row.found && !(std::abs((*row.found)[0]) <= kLargestCentre && std::abs((*row.found)[1]) <= kLargestCentre &&
                           std::abs((*row.found)[2]) <= kLargestCentre))
            row.found.reset(); // nothing a balloon about this rig can mean
        out.rows.push_back(row);
    }

    out.bandLowHz = options.bandLowHz > 0 ? options.bandLowHz : axis[band.first];
    out.bandHighHz = options.bandHighHz > 0 ? options.bandHighHz : axis[band.last];
    std::array<std::vector<double>, 3> inBand;
    for (const SphereRow& row : out.rows)
        if (row.found && row.hz >= out.bandLowHz * (1 - 1e-9) && row.hz <= out.bandHighHz * (1 + 1e-9))
            for (std::size_t a = 0; a < 3; ++a)
                inBand[a].push_back((*row.found)[a]);
    if (!inBand[0].empty())
        out.bandCentre = FieldVector{medianOf(inBand[0]), medianOf(inBand[1]), medianOf(inBand[2])};

    std::vector<Complex> centred = fields;
    for (std::size_t i = 0; i < out.rows.size(); ++i) {
        SphereRow& row = out.rows[i];
        if (options.centre == CentreChoice::given)
            row.centre = options.given;
        else if (options.centre == CentreChoice::found) {
            // Where this frequency names none, the centre found at the nearest one that does.
            for (std::size_t d = 0; d < out.rows.size(); ++d) {
                if (i >= d && out.rows[i - d].found) {
                    row.centre = *out.rows[i - d].found;
                    break;
                }
                if (i + d < out.rows.size() && out.rows[i + d].found) {
                    row.centre = *out.rows[i + d].found;
                    break;
                }
            }
        }
        referToCentre(std::span(centred).subspan(count * static_cast<std::size_t>(row.bin - band.first), count),
                      directions, fieldWavenumber(row.hz), row.centre);
    }
    const FieldBasis basis(directions, out.orderLimit, options.regularisation, options.weighting);
    const std::vector<FieldFit> fits = basis.fit(centred, options.order);
    for (std::size_t i = 0; i < out.rows.size(); ++i)
        out.rows[i].fit = fits[i];
    if (options.centre != CentreChoice::none && options.order < 0) {
        const std::vector<FieldFit> about = basis.fit(fields, -1);
        for (std::size_t i = 0; i < out.rows.size(); ++i)
            out.rows[i].uncentredOrder = about[i].order;
    }
    return out;
}

std::string sphereReportText(const SphereAnalysis& a, const std::string& balloonName, const std::string& bandText)
{
    const SphereOptions& o = a.options;
    std::string t = "# vantrel sphere 1\n# balloon " + balloonName + "\n# band " + bandText + "\n";
    t += "# frame: the loudspeaker's, in mm: +z its axis, +y up the baffle, +x = y cross z (its left seen from "
         "behind)\n";
    t += "# expansion: orthonormal complex spherical harmonics, least squares on the " +
         std::to_string(fieldDirections(a.grid).size()) + " directions of the " +
         std::to_string(gridStepDegrees(a.grid)) + "-degree grid weighted by solid angle, Tikhonov " +
         fixedText(o.regularisation * 1e9, 3) + "e-9 (1 + n (n + 1)); orders up to " + std::to_string(a.orderLimit) +
         "\n";
    t += o.order < 0 ? "# order: auto, the lowest whose residual lies " + cleanFixedText(-kAutoResidualDb, 0) +
                           " dB below the field, or within " + cleanFixedText(kAutoFloorDb, 0) +
                           " dB of the residual at order " + std::to_string(a.orderLimit) + "\n"
                     : "# order: " + std::to_string(o.order) + "\n";
    t += o.centre == CentreChoice::none    ? std::string("# centre: the rotation centre\n")
         : o.centre == CentreChoice::found ? std::string("# centre: the one found at each frequency\n")
                                           : "# centre: " + centreText(o.given) + " mm\n";
    t += "# centre found over " + hzText(a.bandLowHz) + " .. " + hzText(a.bandHighHz) + ": " +
         (a.bandCentre ? centreText(*a.bandCentre) + " mm (per coordinate the median of the centres found)"
                       : std::string("none")) +
         "\n";
    t += "# centre found below " + hzText(spreadMethodTopHz()) +
         " by the least angular spread of the expansion, above from the group delay over the directions\n";
    t += "# frequency_Hz order residual_dB condition centre_x_mm centre_y_mm centre_z_mm found_x_mm found_y_mm "
         "found_z_mm method order_about_rotation_centre\n";
    for (const SphereRow& r : a.rows) {
        t += cleanFixedText(r.hz, 2) + " " + std::to_string(r.fit.order) + " " + cleanFixedText(r.fit.residualDb, 2) +
             " " + cleanFixedText(r.fit.condition, 3) + " " + centreText(r.centre) + " " +
             (r.found ? centreText(*r.found) : std::string("- - -")) + " " +
             (r.found ? (r.byGroupDelay ? "delay" : "spread") : "-") + " " +
             (r.uncentredOrder >= 0 ? std::to_string(r.uncentredOrder) : std::string("-")) + "\n";
    }
    return t;
}

void drawSphere(Canvas& canvas, const SphereAnalysis& a, const std::string& title, const std::string& validFrom)
{
    clearPicture(canvas, kSpherePictureSize);
    if (a.rows.empty())
        return;
    std::vector<double> hz;
    std::vector<std::optional<double>> order, about, residual;
    std::array<std::vector<std::optional<double>>, 3> found, applied;
    double lowest = 0, farthest = 0;
    for (const SphereRow& r : a.rows) {
        hz.push_back(r.hz);
        order.push_back(r.fit.order);
        about.push_back(r.uncentredOrder >= 0 ? std::optional<double>(r.uncentredOrder) : std::nullopt);
        residual.push_back(r.fit.residualDb);
        lowest = std::min(lowest, r.fit.residualDb);
        for (std::size_t c = 0; c < 3; ++c) {
            found[c].push_back(r.found ? std::optional<double>((*r.found)[c] * 1000) : std::nullopt);
            applied[c].push_back(r.centre[c] * 1000);
            farthest = std::max({farthest, std::abs(r.centre[c] * 1000), r.found ? std::abs((*r.found)[c] * 1000) : 0.0});
        }
    }
    const LogAxis fx(hz.front(), std::max(hz.back(), hz.front() * 1.01), 80, 900);
    const Pen blue{{0, 60, 220}, 2, PenStyle::Solid}, grey{{150, 150, 150}, 2, PenStyle::Solid};
    const Pen red{{220, 0, 0}, 2, PenStyle::Solid}, green{{0, 140, 0}, 2, PenStyle::Solid};
    const Pen thinRed{{240, 150, 150}, 1, PenStyle::Solid}, thinGreen{{130, 200, 130}, 1, PenStyle::Solid},
        thinBlue{{140, 160, 240}, 1, PenStyle::Solid};
    drawLabel(canvas, 80, 8, title);

    const PlotRect orders{80, 50, 900, 290};
    const int top = a.orderLimit + 1;
    const LinearAxis ao(top, 0, orders.top, orders.bottom);
    drawFrequencyGrid(canvas, orders, fx, false);
    drawValueGrid(canvas, orders, ao, top > 20 ? 5 : 2, Side::Left);
    drawCurve(canvas, orders, fx, ao, hz, about, grey);
    drawCurve(canvas, orders, fx, ao, hz, order, blue);
    drawFrame(canvas, orders);
    drawLabel(canvas, orders.left, orders.top - 18, "Order of the expansion");
    std::vector<LegendEntry> orderLegend{{"Order", blue}};
    if (a.options.centre != CentreChoice::none && a.options.order < 0)
        orderLegend.push_back({"Auto's order about the rotation centre", grey});
    drawLegend(canvas, orders.left + 10, orders.top + 10, orderLegend);

    const PlotRect residuals{80, 340, 900, 580};
    const double floorDb = std::max(-160.0, std::floor(lowest / 20) * 20);
    const LinearAxis ar(0, floorDb, residuals.top, residuals.bottom);
    drawFrequencyGrid(canvas, residuals, fx, false);
    drawValueGrid(canvas, residuals, ar, floorDb < -80 ? 20 : 10, Side::Left);
    drawCurve(canvas, residuals, fx, ar, hz, residual, blue);
    drawFrame(canvas, residuals);
    drawLabel(canvas, residuals.left, residuals.top - 18, "Residual at the grid points against the field (dB)");

    const PlotRect centres{80, 630, 900, 870};
    double range = 500;
    for (double r : {20.0, 50.0, 100.0, 200.0})
        if (farthest <= r) {
            range = r;
            break;
        }
    const LinearAxis ac(range, -range, centres.top, centres.bottom);
    drawFrequencyGrid(canvas, centres, fx, true);
    drawValueGrid(canvas, centres, ac, range / 5, Side::Left);
    drawCurve(canvas, centres, fx, ac, hz, found[0], thinRed);
    drawCurve(canvas, centres, fx, ac, hz, found[1], thinGreen);
    drawCurve(canvas, centres, fx, ac, hz, found[2], thinBlue);
    drawCurve(canvas, centres, fx, ac, hz, applied[0], red);
    drawCurve(canvas, centres, fx, ac, hz, applied[1], green);
    drawCurve(canvas, centres, fx, ac, hz, applied[2], blue);
    drawFrame(canvas, centres);
    drawLabel(canvas, centres.left, centres.top - 18,
              "Centre (mm): the expansion's (bold) and the one found (thin); +z axis, +y up, +x left");
    const std::array<LegendEntry, 3> legend{{{"x", red}, {"y", green}, {"z", blue}}};
    drawLegend(canvas, centres.right - 120, centres.top + 10, legend);
    if (a.bandCentre)
        drawLabel(canvas, centres.left, centres.bottom + 44,
                  "Centre over " + hzText(a.bandLowHz) + " .. " + hzText(a.bandHighHz) + ": " +
                      centreText(*a.bandCentre) + " mm.");
    if (!validFrom.empty())
        drawLabel(canvas, centres.left, centres.bottom + 62, "The band is " + validFrom + ".");
}

} // namespace vantrel
