#include "analysis/directivity.h"

#include <cmath>
#include <numbers>

namespace vantrel {

std::size_t OrbitLevels::axisIndex() const
{
    for (std::size_t i = 0; i < angles.size(); ++i)
        if (angles[i] == 0)
            return i;
    return 0;
}

OrbitLevels orbitLevels(const BalloonMatrix& matrix, Plane plane, AngleGrid grid)
{
    OrbitLevels out;
    for (const OrbitPoint& p : orbitPoints(plane, grid)) {
        out.angles.push_back(p.angle);
        std::array<double, kDataBins>& row = out.db.emplace_back();
        const auto cell = matrix.cell(p.cell.row, p.cell.column);
        for (int b = 0; b < kDataBins; ++b)
            row[static_cast<std::size_t>(b)] = binDb(cell[static_cast<std::size_t>(b)]);
    }
    return out;
}

double soundPowerDb(const BalloonMatrix& matrix, std::span<const WeightedDirection> directions, int bin)
{
    double sum = 0.0;
    for (const WeightedDirection& d : directions) {
        const CellIndex c = d.direction.cell;
        sum += d.solidAngle * binPower(matrix.cell(c.row, c.column)[static_cast<std::size_t>(bin)]);
    }
    return powerToDb(sum / (4.0 * std::numbers::pi));
}

namespace {

// The angle where the level first reaches -dropDb relative to the axis, walking from the
// axis by `direction` (+1 or -1) through the orbit's points.
std::optional<double> fallAngle(const OrbitLevels& orbit, int bin, double dropDb, int direction)
{
    const std::size_t axis = orbit.axisIndex();
    const auto b = static_cast<std::size_t>(bin);
    const double reference = orbit.db[axis][b];
    if (reference <= kSilentDb)
        return std::nullopt;
    // Interpolated in pressure amplitude: on a lobe narrower than a few grid steps, dB
    // would put the point far too close to the louder angle.
    const double target = std::pow(10.0, -dropDb / 20.0);
    double previous = 1.0;
    for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(axis) + direction;
         i >= 0 && i < static_cast<std::ptrdiff_t>(orbit.angles.size()); i += direction) {
        const auto k = static_cast<std::size_t>(i);
        const double relative = orbit.db[k][b] - reference;
        const double amplitude = std::pow(10.0, relative / 20.0);
        if (relative <= -dropDb) {
            const auto j = static_cast<std::size_t>(i - direction);
            const double t = (previous - target) / (previous - amplitude);
            return orbit.angles[j] + t * (orbit.angles[k] - orbit.angles[j]);
        }
        previous = amplitude;
    }
    return std::nullopt;
}

} // namespace

std::optional<double> beamwidthDegrees(const OrbitLevels& orbit, int bin, double dropDb)
{
    const std::optional<double> up = fallAngle(orbit, bin, dropDb, +1);
    const std::optional<double> down = fallAngle(orbit, bin, dropDb, -1);
    if (!up || !down)
        return std::nullopt;
    return *up - *down;
}

std::vector<DirectivityRow> directivityTable(const BalloonMatrix& matrix, AngleGrid grid,
                                             const FrequencyAxis& axis, const ValidBand& band)
{
    const std::vector<WeightedDirection> directions = sphereWeights(grid);
    const OrbitLevels horizontal = orbitLevels(matrix, Plane::Horizontal, grid);
    const OrbitLevels vertical = orbitLevels(matrix, Plane::Vertical, grid);
    const std::size_t axisPoint = horizontal.axisIndex();

    std::vector<DirectivityRow> rows;
    rows.reserve(static_cast<std::size_t>(band.size()));
    for (int b = band.first; b <= band.last; ++b) {
        DirectivityRow r;
        r.frequencyHz = axis[b];
        r.onAxisDb = horizontal.db[axisPoint][static_cast<std::size_t>(b)];
        r.soundPowerDb = soundPowerDb(matrix, directions, b);
        r.directivityIndexDb = r.onAxisDb - r.soundPowerDb;
        r.beamwidthHorizontal = beamwidthDegrees(horizontal, b);
        r.beamwidthVertical = beamwidthDegrees(vertical, b);
        rows.push_back(r);
    }
    return rows;
}

} // namespace vantrel
