#include "field/resample.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "field/spherical_harmonics.h"

namespace vantrel {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;

FieldDirection cellDirection(int row, int column, int step)
{
    const double h = column * step * kRadPerDeg, v = (90 - row * step) * kRadPerDeg;
    return fieldDirection(std::sin(h) * std::cos(v), -std::sin(h) * std::sin(v), std::cos(h));
}

// The source's value at fractional row and column by bilinear interpolation of `at(row,
// column)`, the V = -90 row read from its source as the walk's copy holds it.
template <typename At>
std::complex<double> bilinear(double row, double column, AngleGrid grid, const At& at)
{
    const int r0 = std::min(static_cast<int>(row), lastRow(grid) - 1);
    const int c0 = std::min(static_cast<int>(column), lastColumn(grid) - 1);
    const double tr = row - r0, tc = column - c0;
    const auto read = [&](int r, int c, double weight) -> std::complex<double> {
        if (weight == 0)
            return 0;
        if (r == lastRow(grid)) {
            r = 0;
            c = lastColumn(grid) - c;
        }
        // H = 360 is the axis, as H = 0 is: read the column a walk measures.
        return weight * at(r, c == lastColumn(grid) ? 0 : c);
    };
    return read(r0, c0, (1 - tr) * (1 - tc)) + read(r0, c0 + 1, (1 - tr) * tc) + read(r0 + 1, c0, tr * (1 - tc)) +
           read(r0 + 1, c0 + 1, tr * tc);
}

} // namespace

ResamplingRecord resampleBalloon(const BalloonMatrix& source, AngleGrid from, const FrequencyAxis& axis,
                                 const ValidBand& band, AngleGrid to, const SphereOptions& options,
                                 BalloonMatrix& target)
{
    const SphereAnalysis analysis = analyseSphere(source, from, axis, band, options);
    const std::vector<FieldDirection> sourceDirections = fieldDirections(from);
    const int step = gridStepDegrees(to);
    const int top = analysis.orderLimit;
    const int count = shCount(top);

    struct Cell {
        int row, column;
        FieldDirection u;
        CellIndex nearest;
    };
    std::vector<Cell> cells;
    for (int row = 0; row < lastRow(to); ++row) // the V = -90 row is row 0's, below
        for (int column = 0; column <= lastColumn(to); ++column) {
            Cell c{row, column, cellDirection(row, column, step), {}};
            double best = -2;
            for (const FieldDirection& s : sourceDirections) {
                const double dot = s.x * c.u.x + s.y * c.u.y + s.z * c.u.z;
                if (dot > best) {
                    best = dot;
                    c.nearest = s.cell;
                }
            }
            cells.push_back(c);
        }
    // Every cell of the source grid, to hold the expansion against what was measured there.
    const int fromStep = gridStepDegrees(from);
    std::vector<Cell> measured;
    for (int row = 0; row < lastRow(from); ++row)
        for (int column = 0; column <= lastColumn(from); ++column)
            measured.push_back({row, column, cellDirection(row, column, fromStep), {row, column}});
    const auto harmonicsAt = [&](const std::vector<Cell>& at) {
        Eigen::MatrixXcd out(static_cast<Eigen::Index>(at.size()), count);
        std::vector<std::complex<double>> y(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < at.size(); ++i) {
            sphericalHarmonics(top, at[i].u.polar, at[i].u.azimuth, y);
            for (int j = 0; j < count; ++j)
                out(static_cast<Eigen::Index>(i), j) = y[static_cast<std::size_t>(j)];
        }
        return out;
    };
    const Eigen::MatrixXcd harmonics = harmonicsAt(cells);
    const Eigen::MatrixXcd measuredHarmonics = harmonicsAt(measured);

    for (const Cell& c : cells) {
        const auto filler = source.cell(c.nearest.row, c.nearest.column);
        auto into = target.cell(c.row, c.column);
        for (int b = 0; b < kDataBins; ++b)
            if (!band.contains(b))
                into[static_cast<std::size_t>(b)] = filler[static_cast<std::size_t>(b)];
    }
    ResamplingRecord record;
    record.fromStep = gridStepDegrees(from);
    record.toStep = step;
    record.centre = options.centre == CentreChoice::found  ? "found"
                    : options.centre == CentreChoice::none ? "none"
                                                           : centreText(options.given);
    Eigen::VectorXcd coefficients(count);
    const int fromColumns = lastColumn(from) + 1;
    std::vector<std::complex<double>> residual(measured.size());
    for (const SphereRow& row : analysis.rows) {
        coefficients.setZero();
        for (std::size_t j = 0; j < row.fit.coefficients.size(); ++j)
            coefficients(static_cast<Eigen::Index>(j)) = row.fit.coefficients[j];
        const Eigen::VectorXcd values = harmonics * coefficients;
        const Eigen::VectorXcd fitted = measuredHarmonics * coefficients;
        const double k = fieldWavenumber(row.hz);
        const auto shift = [&](const FieldDirection& u) {
            return std::polar(1.0, k * (u.x * row.centre[0] + u.y * row.centre[1] + u.z * row.centre[2]));
        };
        // What the expansion leaves of each measurement, interpolated between the cells and
        // added back: every measured cell keeps its value, and the cells between them the
        // part of their neighbours' no expansion on the coarse grid holds.
        for (std::size_t i = 0; i < measured.size(); ++i) {
            const ComplexBin v = source.cell(measured[i].row, measured[i].column)[static_cast<std::size_t>(row.bin)];
            residual[i] = std::complex<double>(v.re, v.im) - fitted(static_cast<Eigen::Index>(i)) * shift(measured[i].u);
        }
        const auto residualAt = [&](int r, int c) { return residual[static_cast<std::size_t>(r * fromColumns + c)]; };
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const FieldDirection& u = cells[i].u;
            const double scale = static_cast<double>(step) / fromStep;
            const std::complex<double> p = values(static_cast<Eigen::Index>(i)) * shift(u) +
                                           bilinear(cells[i].row * scale, cells[i].column * scale, from, residualAt);
            target.cell(cells[i].row, cells[i].column)[static_cast<std::size_t>(row.bin)] = {
                static_cast<float>(p.real()), static_cast<float>(p.imag())};
        }
        record.points.push_back({row.hz, row.fit.order, row.fit.residualDb,
                                 {row.centre[0] * 1000, row.centre[1] * 1000, row.centre[2] * 1000}});
    }
    target.fillPoleRow(to);
    BalloonTrailer trailer = source.readTrailer();
    trailer.angleGridFlag = angleGridFlag(to);
    target.writeTrailer(trailer);
    return record;
}

} // namespace vantrel
