#include "analysis/cta2034.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <vector>

#include "analysis/orbit.h"
#include "analysis/sphere_levels.h"

namespace vantrel {

namespace {

// Sound-power weights of the standard's Appendix C for the orbit angles 0, 10, .., 180
// degrees: the share of the sphere each 10-degree measurement stands for. Used for +a and -a
// alike on both orbits; 0 and 180 degrees, common to both, count once.
constexpr std::array<double, 19> kSoundPowerWeights{
    0.000604486, 0.004730189, 0.008955027, 0.012387354, 0.014989611, 0.016868154, 0.018165962,
    0.019006744, 0.019477787, 0.019629373, 0.019477787, 0.019006744, 0.018165962, 0.016868154,
    0.014989611, 0.012387354, 0.008955027, 0.004730189, 0.000604486};

// Predicted In-Room response: 12 % Listening Window, 44 % Early Reflections, 44 % Sound
// Power, combined as powers (the standard's estimated in-room weighting).
constexpr double kPirListeningWindow = 0.12;
constexpr double kPirEarlyReflections = 0.44;
constexpr double kPirSoundPower = 0.44;

constexpr int kOrbitStep = 10;

// Every orbit angle the curves read: -170..180 on both planes.
bool everyOrbitCell(AngleGrid grid, const auto& visit)
{
    for (Plane plane : {Plane::Horizontal, Plane::Vertical})
        for (int a = -170; a <= 180; a += kOrbitStep)
            if (!visit(plane, *orbitCell(plane, grid, a), a))
                return false;
    return true;
}

// Both orbits around a listener axis, every kOrbitStep from -170 to 180 degrees, read at every
// axis point at once from levels between the cells.
struct OrbitTable {
    std::array<std::vector<std::array<double, kDataBins>>, 2> db; // horizontal, vertical
    static std::size_t index(int angle) { return static_cast<std::size_t>((angle + 170) / kOrbitStep); }
};

OrbitTable orbitTable(const DirectionLevels& levels, ListenerAxis listener)
{
    OrbitTable t;
    for (std::size_t p = 0; p < 2; ++p)
        for (int a = -170; a <= 180; a += kOrbitStep)
            levels.levels(orbitDirection(listener.h, listener.v, p == 0 ? 0.0 : 90.0, a), t.db[p].emplace_back());
    return t;
}

class OrbitPowers {
public:
    OrbitPowers(const BalloonMatrix& matrix, AngleGrid grid, int bin, ListenerAxis listener, const OrbitTable* table)
        : matrix_(matrix), grid_(grid), bin_(bin), listener_(listener), sphere_(matrix, grid), table_(table)
    {
    }

    double at(Plane plane, int angle) const
    {
        if (!listener_.isOnAxis() && table_) {
            const double db =
                table_->db[plane == Plane::Horizontal ? 0 : 1][OrbitTable::index(angle)][static_cast<std::size_t>(bin_)];
            return std::pow(10.0, (db - 90.0) / 10.0);
        }
        if (!listener_.isOnAxis()) {
            const Vector3 u = orbitDirection(listener_.h, listener_.v, plane == Plane::Horizontal ? 0.0 : 90.0, angle);
            return std::pow(10.0, (sphere_.db(u, bin_) - 90.0) / 10.0);
        }
        const CellIndex c = *orbitCell(plane, grid_, angle);
        return binPower(matrix_.cell(c.row, c.column)[static_cast<std::size_t>(bin_)]);
    }

    // Mean of the powers (the spatial average of the standard: mean squared pressure).
    double mean(Plane plane, std::initializer_list<int> angles) const
    {
        double sum = 0.0;
        for (int a : angles)
            sum += at(plane, a);
        return sum / static_cast<double>(angles.size());
    }

private:
    const BalloonMatrix& matrix_;
    AngleGrid grid_;
    int bin_;
    ListenerAxis listener_;
    SphereLevels sphere_;
    const OrbitTable* table_;
};

} // namespace

std::optional<std::string> cta2034Refusal(const BalloonMatrix& matrix, AngleGrid grid)
{
    std::optional<std::string> refusal;
    everyOrbitCell(grid, [&](Plane plane, CellIndex cell, int angle) {
        if (cellHasData(matrix, cell))
            return true;
        char text[200];
        std::snprintf(text, sizeof text,
                      "the balloon holds no measurement at %s angle %d degrees (row %d, column %d), "
                      "which the CTA-2034-A curves need",
                      plane == Plane::Horizontal ? "horizontal" : "vertical", angle, cell.row, cell.column);
        refusal = text;
        return false;
    });
    return refusal;
}

std::vector<Cta2034Row> cta2034Curves(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                      const ValidBand& band, ListenerAxis listener, const DirectionLevels* between)
{
    std::optional<OrbitTable> table;
    if (between && !listener.isOnAxis())
        table = orbitTable(*between, listener);
    constexpr Plane H = Plane::Horizontal;
    constexpr Plane V = Plane::Vertical;
    std::vector<Cta2034Row> rows;
    rows.reserve(static_cast<std::size_t>(band.size()));
    for (int b = band.first; b <= band.last; ++b) {
        const OrbitPowers p(matrix, grid, b, listener, table ? &*table : nullptr);

        // Listening Window: on axis, +-10 degrees vertical, +-10, +-20, +-30 degrees
        // horizontal, nine curves averaged.
        const double listeningWindow =
            (p.at(H, 0) + p.at(V, 10) + p.at(V, -10) + p.at(H, 10) + p.at(H, -10) + p.at(H, 20) + p.at(H, -20) +
             p.at(H, 30) + p.at(H, -30)) / 9.0;

        // Early Reflections: the mean of five bounce curves, each the mean of its angles.
        //   floor bounce: 20, 30, 40 degrees down (vertical);
        //   ceiling bounce: 40, 50, 60 degrees up (vertical);
        //   front wall bounce: 0, +-10, +-20, +-30 degrees horizontal;
        //   side wall bounces: +-40, +-50, +-60, +-70, +-80 degrees horizontal;
        //   rear wall bounce: the horizontal rear half, +-90 .. +-170 and 180 degrees.
        const double floorBounce = p.mean(V, {-20, -30, -40});
        const double ceilingBounce = p.mean(V, {40, 50, 60});
        const double frontWall = p.mean(H, {0, 10, -10, 20, -20, 30, -30});
        const double sideWalls = p.mean(H, {40, -40, 50, -50, 60, -60, 70, -70, 80, -80});
        const double rearWall = p.mean(H, {90, -90, 100, -100, 110, -110, 120, -120, 130, -130, 140, -140, 150,
                                           -150, 160, -160, 170, -170, 180});
        const double earlyReflections = (floorBounce + ceilingBounce + frontWall + sideWalls + rearWall) / 5.0;

        // Sound Power: the 70 orbit measurements (both circles, 0 and 180 once), each weighted
        // by its share of the sphere.
        double weighted = 0.0;
        double weights = 0.0;
        for (int a = -170; a <= 180; a += kOrbitStep) {
            const double w = kSoundPowerWeights[static_cast<std::size_t>(std::abs(a) / kOrbitStep)];
            weighted += w * p.at(H, a);
            weights += w;
            if (a != 0 && a != 180) {
                weighted += w * p.at(V, a);
                weights += w;
            }
        }
        const double soundPower = weighted / weights;

        const double predictedInRoom = kPirListeningWindow * listeningWindow +
                                       kPirEarlyReflections * earlyReflections + kPirSoundPower * soundPower;

        Cta2034Row r;
        r.frequencyHz = axis[b];
        r.onAxis = powerToDb(p.at(H, 0));
        r.listeningWindow = powerToDb(listeningWindow);
        r.earlyReflections = powerToDb(earlyReflections);
        r.soundPower = powerToDb(soundPower);
        r.predictedInRoom = powerToDb(predictedInRoom);
        r.soundPowerDi = r.listeningWindow - r.soundPower;
        r.earlyReflectionsDi = r.listeningWindow - r.earlyReflections;
        rows.push_back(r);
    }
    return rows;
}

} // namespace vantrel
