#include "analysis/compare.h"

#include <cmath>
#include <numbers>

#include "analysis/sphere_weights.h"

namespace vantrel {

std::optional<std::string> compareRefusal(const BalloonTrailer& a, const BalloonTrailer& b)
{
    if (angleGridFromFlag(a.angleGridFlag) != angleGridFromFlag(b.angleGridFlag))
        return std::string("the balloons were measured on different grids (") +
               std::to_string(gridStepDegrees(angleGridFromFlag(a.angleGridFlag))) + " and " +
               std::to_string(gridStepDegrees(angleGridFromFlag(b.angleGridFlag))) + " degrees)";
    FrequencyAxis axisA, axisB;
    axisA.buildFromIndexes(a.fromIndex, a.toIndex);
    axisB.buildFromIndexes(b.fromIndex, b.toIndex);
    if (axisA.from() != axisB.from() || axisA.to() != axisB.to())
        return "the balloons have different frequency axes (" + std::to_string(std::lround(axisA.from())) + " .. " +
               std::to_string(std::lround(axisA.to())) + " Hz and " + std::to_string(std::lround(axisB.from())) +
               " .. " + std::to_string(std::lround(axisB.to())) + " Hz)";
    return std::nullopt;
}

BalloonComparison compareBalloons(const BalloonMatrix& a, const BalloonMatrix& b, AngleGrid grid,
                                  const FrequencyAxis& axis, int first, int last, const CompareScope& scope)
{
    const std::vector<WeightedDirection> directions = sphereWeights(grid);
    const CellIndex onAxis = *orbitCell(Plane::Horizontal, grid, 0);
    BalloonComparison out;
    double sumSquares = 0, weights = 0;
    bool any = false, anyPhase = false;
    for (int bin = first; bin <= last; ++bin) {
        const auto at = static_cast<std::size_t>(bin);
        CompareRow row;
        row.frequencyHz = axis[bin];
        row.onAxisDb = binDb(b.cell(onAxis.row, onAxis.column)[at]) - binDb(a.cell(onAxis.row, onAxis.column)[at]);
        row.soundPowerDb = soundPowerDb(b, directions, bin) - soundPowerDb(a, directions, bin);
        row.directivityIndexDb = row.onAxisDb - row.soundPowerDb;
        const double axisDbA = binDb(a.cell(onAxis.row, onAxis.column)[at]);
        for (const WeightedDirection& d : directions) {
            if (scope.frontOnly && d.direction.x < -1e-9)
                continue;
            const CellIndex c = d.direction.cell;
            const ComplexBin binA = a.cell(c.row, c.column)[at];
            const ComplexBin binB = b.cell(c.row, c.column)[at];
            if (scope.withinDb && binDb(binA) < axisDbA - *scope.withinDb)
                continue;
            const double difference = binDb(binB) - binDb(binA);
            // arg(B conj(A)): the phase of B / A without dividing by a tiny A
            const double phase = std::atan2(double(binB.im) * binA.re - double(binB.re) * binA.im,
                                            double(binB.re) * binA.re + double(binB.im) * binA.im) * 180 / std::numbers::pi;
            ++out.points;
            row.largestDb = std::max(row.largestDb, std::abs(difference));
            row.largestPhaseDeg = std::max(row.largestPhaseDeg, std::abs(phase));
            if (!anyPhase || std::abs(phase) > std::abs(out.largestPhase.db)) {
                out.largestPhase = {phase, d.direction, bin, axis[bin]};
                anyPhase = true;
            }
            sumSquares += d.solidAngle * difference * difference;
            weights += d.solidAngle;
            if (!any || std::abs(difference) > std::abs(out.largest.db)) {
                out.largest = {difference, d.direction, bin, axis[bin]};
                any = true;
            }
        }
        out.rows.push_back(row);
    }
    out.rmsDb = weights > 0 ? std::sqrt(sumSquares / weights) : 0.0;
    return out;
}

std::vector<std::array<double, kDataBins>> orbitDifference(const OrbitLevels& a, const OrbitLevels& b, bool relative)
{
    std::vector<std::array<double, kDataBins>> out(a.db.size());
    const auto& axisA = a.db[a.axisIndex()];
    const auto& axisB = b.db[b.axisIndex()];
    for (std::size_t p = 0; p < a.db.size() && p < b.db.size(); ++p)
        for (std::size_t k = 0; k < static_cast<std::size_t>(kDataBins); ++k) {
            out[p][k] = b.db[p][k] - a.db[p][k];
            if (relative)
                out[p][k] -= axisB[k] - axisA[k];
        }
    return out;
}

} // namespace vantrel
