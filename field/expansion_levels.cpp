#include "field/expansion_levels.h"

#include <algorithm>
#include <vector>

#include "analysis/orbit.h"
#include "field/spherical_harmonics.h"

namespace vantrel {

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
    : outside_(matrix, grid), analysis_(std::move(analysis))
{
    for (const SphereRow& row : analysis_.rows)
        order_ = std::max(order_, row.fit.order);
}

void ExpansionLevels::levels(const Vector3& v, std::array<double, kDataBins>& db) const
{
    outside_.levels(v, db);
    // The harmonics once per direction, every axis point's coefficients against them.
    const FieldDirection u = fieldDirection(v.x, v.y, v.z);
    std::vector<std::complex<double>> y(static_cast<std::size_t>(shCount(order_)));
    sphericalHarmonics(order_, u.polar, u.azimuth, y);
    for (const SphereRow& row : analysis_.rows) {
        std::complex<double> sum = 0;
        const std::size_t count = std::min(row.fit.coefficients.size(), y.size());
        for (std::size_t j = 0; j < count; ++j)
            sum += row.fit.coefficients[j] * y[j];
        // The centre's phase factor has magnitude 1: the level needs none of it.
        db[static_cast<std::size_t>(row.bin)] = powerToDb(std::norm(sum));
    }
}

} // namespace vantrel
