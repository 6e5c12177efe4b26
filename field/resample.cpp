#include "field/resample.h"

#include <Eigen/Dense>
#include <cmath>

#include "field/spherical_harmonics.h"

namespace vantrel {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;

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
            const double h = column * step * kRadPerDeg, v = (90 - row * step) * kRadPerDeg;
            Cell c{row, column,
                   fieldDirection(std::sin(h) * std::cos(v), -std::sin(h) * std::sin(v), std::cos(h)), {}};
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
    Eigen::MatrixXcd harmonics(static_cast<Eigen::Index>(cells.size()), count);
    std::vector<std::complex<double>> y(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        sphericalHarmonics(top, cells[i].u.polar, cells[i].u.azimuth, y);
        for (int j = 0; j < count; ++j)
            harmonics(static_cast<Eigen::Index>(i), j) = y[static_cast<std::size_t>(j)];
    }

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
    for (const SphereRow& row : analysis.rows) {
        coefficients.setZero();
        for (std::size_t j = 0; j < row.fit.coefficients.size(); ++j)
            coefficients(static_cast<Eigen::Index>(j)) = row.fit.coefficients[j];
        const Eigen::VectorXcd values = harmonics * coefficients;
        const double k = fieldWavenumber(row.hz);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const FieldDirection& u = cells[i].u;
            const std::complex<double> p =
                values(static_cast<Eigen::Index>(i)) *
                std::polar(1.0, k * (u.x * row.centre[0] + u.y * row.centre[1] + u.z * row.centre[2]));
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
