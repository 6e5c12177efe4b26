#include "field/resample.h"

#include <cmath>

#include "field/expansion_levels.h"

namespace vantrel {

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;

} // namespace

ResamplingRecord resampleBalloon(const BalloonMatrix& source, AngleGrid from, const FrequencyAxis& axis,
                                 const ValidBand& band, AngleGrid to, const SphereOptions& options,
                                 BalloonMatrix& target)
{
    const ExpansionLevels expansion(source, from, analyseSphere(source, from, axis, band, options));
    const SphereAnalysis& analysis = expansion.analysis();
    const std::vector<FieldDirection> sourceDirections = fieldDirections(from);
    const int step = gridStepDegrees(to);

    ResamplingRecord record;
    record.fromStep = gridStepDegrees(from);
    record.toStep = step;
    record.centre = options.centre == CentreChoice::found  ? "found"
                    : options.centre == CentreChoice::none ? "none"
                                                           : centreText(options.given);
    std::vector<std::complex<double>> values(analysis.rows.size());
    for (int row = 0; row < lastRow(to); ++row) // the V = -90 row is row 0's, below
        for (int column = 0; column <= lastColumn(to); ++column) {
            const double h = column * step * kRadPerDeg, v = (90 - row * step) * kRadPerDeg;
            const FieldDirection u = fieldDirection(std::sin(h) * std::cos(v), -std::sin(h) * std::sin(v), std::cos(h));
            // Outside the valid band the filler of the nearest source direction.
            CellIndex nearest;
            double best = -2;
            for (const FieldDirection& s : sourceDirections) {
                const double dot = s.x * u.x + s.y * u.y + s.z * u.z;
                if (dot > best) {
                    best = dot;
                    nearest = s.cell;
                }
            }
            const auto filler = source.cell(nearest.row, nearest.column);
            auto into = target.cell(row, column);
            for (int b = 0; b < kDataBins; ++b)
                if (!band.contains(b))
                    into[static_cast<std::size_t>(b)] = filler[static_cast<std::size_t>(b)];
            expansion.fields({u.x, u.y, u.z}, values);
            for (std::size_t i = 0; i < values.size(); ++i)
                into[static_cast<std::size_t>(analysis.rows[i].bin)] = {static_cast<float>(values[i].real()),
                                                                        static_cast<float>(values[i].imag())};
        }
    for (const SphereRow& row : analysis.rows)
        record.points.push_back({row.hz, row.fit.order, row.fit.residualDb,
                                 {row.centre[0] * 1000, row.centre[1] * 1000, row.centre[2] * 1000}});
    target.fillPoleRow(to);
    BalloonTrailer trailer = source.readTrailer();
    trailer.angleGridFlag = angleGridFlag(to);
    target.writeTrailer(trailer);
    return record;
}

} // namespace vantrel
