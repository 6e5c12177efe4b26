#include "field/expansion_levels.h"

#include <Eigen/Dense>
#include <algorithm>

#include "analysis/orbit.h"
#include "field/spherical_harmonics.h"

namespace vantrel {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;

std::complex<double> centreShift(const FieldDirection& u, const SphereRow& row)
{
    return std::polar(1.0, fieldWavenumber(row.hz) * (u.x * row.centre[0] + u.y * row.centre[1] + u.z * row.centre[2]));
}

} // namespace

SphereOptions levelsSphereOptions(AngleGrid grid, CentreChoice centre, const FieldVector& given)
{
    SphereOptions options;
    options.order = gridOrderLimit(grid);
    options.weighting = FieldWeighting::ringLevel;
    options.centre = centre;
    options.given = given;
    return options;
}

ExpansionLevels::ExpansionLevels(const BalloonMatrix& matrix, AngleGrid grid, SphereAnalysis analysis)
    : outside_(matrix, grid), grid_(grid), analysis_(std::move(analysis))
{
    for (const SphereRow& row : analysis_.rows)
        order_ = std::max(order_, row.fit.order);
    const auto count = static_cast<Eigen::Index>(shCount(order_));
    const auto rows = static_cast<Eigen::Index>(analysis_.rows.size());
    coefficients_.assign(static_cast<std::size_t>(count * rows), {});
    for (Eigen::Index i = 0; i < rows; ++i) {
        const std::vector<std::complex<double>>& c = analysis_.rows[static_cast<std::size_t>(i)].fit.coefficients;
        std::copy_n(c.begin(), std::min<std::size_t>(c.size(), static_cast<std::size_t>(count)),
                    coefficients_.begin() + i * count);
    }
    const Eigen::Map<const Eigen::MatrixXcd> coefficients(coefficients_.data(), count, rows);
    // The expansion at every cell above the V = -90 row at once.
    const int step = gridStepDegrees(grid);
    std::vector<FieldDirection> cells;
    for (int r = 0; r < lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            const double h = c * step * kRadPerDeg, v = (90 - r * step) * kRadPerDeg;
            cells.push_back(fieldDirection(std::sin(h) * std::cos(v), -std::sin(h) * std::sin(v), std::cos(h)));
        }
    Eigen::MatrixXcd harmonics(static_cast<Eigen::Index>(cells.size()), count);
    std::vector<std::complex<double>> y(static_cast<std::size_t>(count));
    for (std::size_t k = 0; k < cells.size(); ++k) {
        sphericalHarmonics(order_, cells[k].polar, cells[k].azimuth, y);
        for (Eigen::Index j = 0; j < count; ++j)
            harmonics(static_cast<Eigen::Index>(k), j) = y[static_cast<std::size_t>(j)];
    }
    const Eigen::MatrixXcd expanded = harmonics * coefficients;
    residual_.reserve(cells.size() * static_cast<std::size_t>(rows));
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const int r = static_cast<int>(k) / (lastColumn(grid) + 1), c = static_cast<int>(k) % (lastColumn(grid) + 1);
        const auto cell = matrix.cell(r, c);
        for (Eigen::Index i = 0; i < rows; ++i) {
            const SphereRow& row = analysis_.rows[static_cast<std::size_t>(i)];
            const ComplexBin measured = cell[static_cast<std::size_t>(row.bin)];
            residual_.push_back(std::complex<double>(measured.re, measured.im) -
                                expanded(static_cast<Eigen::Index>(k), i) * centreShift(cells[k], row));
        }
    }
}

void ExpansionLevels::fields(const Vector3& v, std::span<std::complex<double>> out) const
{
    const FieldDirection u = fieldDirection(v.x, v.y, v.z);
    const auto count = static_cast<Eigen::Index>(shCount(order_));
    const auto rows = static_cast<Eigen::Index>(analysis_.rows.size());
    std::vector<std::complex<double>> y(static_cast<std::size_t>(count));
    sphericalHarmonics(order_, u.polar, u.azimuth, y);
    const Eigen::Map<const Eigen::MatrixXcd> coefficients(coefficients_.data(), count, rows);
    const Eigen::VectorXcd expanded = coefficients.transpose() * Eigen::Map<const Eigen::VectorXcd>(y.data(), count);
    for (std::size_t i = 0; i < analysis_.rows.size() && i < out.size(); ++i)
        out[i] = expanded(static_cast<Eigen::Index>(i)) * centreShift(u, analysis_.rows[i]);
    // The remainder between the four cells around u, as SphereLevels reads them: the V = -90
    // row from its source, H = 360 (the axis) from H = 0.
    const std::size_t rowCount = analysis_.rows.size();
    const GridPlace place = gridPlace(v, grid_);
    const int r0 = std::min(static_cast<int>(place.row), lastRow(grid_) - 1);
    const int c0 = std::min(static_cast<int>(place.column), lastColumn(grid_) - 1);
    const double tr = place.row - r0, tc = place.column - c0;
    const auto add = [&](int r, int c, double weight) {
        if (weight == 0)
            return;
        if (r == lastRow(grid_)) {
            r = 0;
            c = lastColumn(grid_) - c;
        }
        if (c == lastColumn(grid_))
            c = 0;
        const std::size_t at = static_cast<std::size_t>(r * (lastColumn(grid_) + 1) + c) * rowCount;
        for (std::size_t i = 0; i < rowCount && i < out.size(); ++i)
            out[i] += weight * residual_[at + i];
    };
    add(r0, c0, (1 - tr) * (1 - tc));
    add(r0, c0 + 1, (1 - tr) * tc);
    add(r0 + 1, c0, tr * (1 - tc));
    add(r0 + 1, c0 + 1, tr * tc);
}

void ExpansionLevels::levels(const Vector3& u, std::array<double, kDataBins>& db) const
{
    outside_.levels(u, db);
    std::vector<std::complex<double>> values(analysis_.rows.size());
    fields(u, values);
    for (std::size_t i = 0; i < values.size(); ++i)
        db[static_cast<std::size_t>(analysis_.rows[i].bin)] = powerToDb(std::norm(values[i]));
}

} // namespace vantrel
