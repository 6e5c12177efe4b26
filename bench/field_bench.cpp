// A whole balloon as a sound field, all 750 frequencies of the simulated rig's model mounted
// 30, -50, 80 mm off the rotation centre, on one core:
//  - BM_FieldBasis/5 and /10: the grid's basis (harmonics at its directions, the blocks' Gram
//    matrices and Cholesky factors), once per grid.
//  - BM_ExpandWholeBalloon/5 and /10: every frequency's expansion with the automatic order
//    (solid-angle weights, as `sphere` fits), the basis made.
//  - BM_ExpandWholeBalloonRingLevel/5: the same at the top order with every ring against its
//    own level (as `resample` fits).
//  - BM_PlaneAccuracy/0, /1, /2: not a speed but the accuracy of `directivity --plane 45` read
//    from the 10-degree balloon between its cells, against the rig's model itself on both
//    planes every 5 degrees: bilinear (0), the expansion about the rotation centre (1) and about
//    the centre found per frequency (2). Counters: the worst and rms |error| in dB where the
//    truth lies within 30 dB of its axis, up to 8 kHz and over the whole band, the worst's
//    frequency; and the truth's NBD at the best listening axis each finds against the truth's
//    own best (every 2.5 degrees).
//  - BM_PlaneAgainstWalks/0, /1, /2: the same planes of a measured 10-degree walk against a
//    5-degree walk of the same rig (whose cells these planes pass through), up to 8 kHz where
//    the 5-degree walk lies within 30 dB of its axis; the walks' files from VANTREL_WALK10 and
//    VANTREL_WALK5 (skipped without them), for example the example's `off.BAL` and the same
//    walk with `--grid 5`. Counter beyond_0_5_dB: how many of the compared points miss by more.

#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

#include <cstdlib>
#include <optional>

#include "analysis/metrics.h"
#include "analysis/orbit.h"
#include "balloon/measured_balloon.h"
#include "field/expansion_levels.h"
#include "field/sound_field.h"
#include "platform/sim/loudspeaker.h"

namespace {

using namespace vantrel;

AngleGrid gridOf(const benchmark::State& state) { return state.range(0) == 5 ? AngleGrid::Grid5 : AngleGrid::Grid10; }

std::vector<std::complex<double>> wholeBalloon(const std::vector<FieldDirection>& directions)
{
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const VirtualLoudspeaker rig;
    std::vector<std::complex<double>> fields;
    fields.reserve(directions.size() * kDataBins);
    for (int b = 0; b < kDataBins; ++b)
        for (const FieldDirection& u : directions)
            fields.push_back(rig.atDistance(axis[b], u.polar * 57.29577951308232, -u.azimuth * 57.29577951308232, 2.0,
                                            {0.03, -0.05, 0.08}));
    return fields;
}

void BM_FieldBasis(benchmark::State& state)
{
    const AngleGrid grid = gridOf(state);
    for (auto _ : state) {
        const FieldBasis basis(fieldDirections(grid), gridOrderLimit(grid));
        benchmark::DoNotOptimize(&basis);
    }
}
BENCHMARK(BM_FieldBasis)->Arg(10)->Arg(5)->Unit(benchmark::kMillisecond);

void expand(benchmark::State& state, FieldWeighting weighting, int order)
{
    const AngleGrid grid = gridOf(state);
    const FieldBasis basis(fieldDirections(grid), gridOrderLimit(grid), kDefaultRegularisation, weighting);
    const std::vector<std::complex<double>> fields = wholeBalloon(basis.directions());
    for (auto _ : state) {
        const std::vector<FieldFit> fits = basis.fit(fields, order);
        benchmark::DoNotOptimize(fits.data());
    }
    state.counters["frequencies"] = kDataBins;
}

void BM_ExpandWholeBalloon(benchmark::State& state) { expand(state, FieldWeighting::solidAngle, -1); }
BENCHMARK(BM_ExpandWholeBalloon)->Arg(10)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_ExpandWholeBalloonRingLevel(benchmark::State& state)
{
    expand(state, FieldWeighting::ringLevel, gridOrderLimit(gridOf(state)));
}
BENCHMARK(BM_ExpandWholeBalloonRingLevel)->Arg(5)->Unit(benchmark::kMillisecond);

constexpr VirtualLoudspeaker::Offset kOffset{0.03, -0.05, 0.08};
constexpr double kRadius = 2.0; // m, the rig's

// The rig's model in any direction: the truth the balloon's readings are held against.
class RigLevels : public DirectionLevels {
public:
    explicit RigLevels(const FrequencyAxis& axis) : axis_(axis) {}
    void levels(const Vector3& v, std::array<double, kDataBins>& db) const override
    {
        const FieldDirection u = fieldDirection(v.x, v.y, v.z);
        for (int b = 0; b < kDataBins; ++b)
            db[static_cast<std::size_t>(b)] =
                powerToDb(std::norm(rig_.atDistance(axis_[b], u.polar * 57.29577951308232,
                                                    -u.azimuth * 57.29577951308232, kRadius, kOffset)));
    }

private:
    FrequencyAxis axis_;
    VirtualLoudspeaker rig_;
};

// The planes rolled 45 and 135 degrees every 5 degrees as `read` gives them against `truth`,
// where the truth lies within 30 dB of its axis.
struct PlaneError {
    double worst8 = 0, worstHz = 0, rms8 = 0, worst = 0;
    int beyond = 0, compared = 0;
};

PlaneError planeError(const DirectionLevels& read, const DirectionLevels& truth, const FrequencyAxis& axis,
                      const ValidBand& band)
{
    PlaneError e;
    double sum = 0;
    for (const double roll : {45.0, 135.0}) {
        const OrbitLevels found = rotatedOrbitLevels(read, 5, 0, 0, roll);
        const OrbitLevels exact = rotatedOrbitLevels(truth, 5, 0, 0, roll);
        const std::size_t on = exact.axisIndex();
        for (std::size_t i = 0; i < exact.angles.size(); ++i)
            for (int b = band.first; b <= band.last; ++b) {
                const auto k = static_cast<std::size_t>(b);
                if (axis[b] < 100 || exact.db[i][k] < exact.db[on][k] - 30)
                    continue;
                const double error = std::abs(found.db[i][k] - exact.db[i][k]);
                e.worst = std::max(e.worst, error);
                if (axis[b] > 8000)
                    continue;
                if (error > e.worst8) {
                    e.worst8 = error;
                    e.worstHz = axis[b];
                }
                sum += error * error;
                ++e.compared;
                e.beyond += error > 0.5 ? 1 : 0;
            }
    }
    e.rms8 = std::sqrt(sum / std::max(e.compared, 1));
    return e;
}

void BM_PlaneAccuracy(benchmark::State& state)
{
    const AngleGrid grid = AngleGrid::Grid10;
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    std::optional<BalloonMatrix> made = BalloonMatrix::create();
    BalloonMatrix& matrix = *made;
    const VirtualLoudspeaker rig;
    const int step = gridStepDegrees(grid);
    for (int row = 0; row <= lastRow(grid); ++row)
        for (int column = 0; column <= lastColumn(grid); ++column) {
            auto cell = matrix.cell(row, column);
            for (int b = 0; b < kDataBins; ++b) {
                const std::complex<double> p = rig.atDistance(axis[b], column * step, 90 - row * step, kRadius, kOffset);
                cell[static_cast<std::size_t>(b)] = {static_cast<float>(p.real()), static_cast<float>(p.imag())};
            }
        }
    BalloonTrailer trailer;
    trailer.fromIndex = 3;
    trailer.toIndex = 6;
    trailer.angleGridFlag = angleGridFlag(grid);
    matrix.writeTrailer(trailer);
    const ValidBand band = validBand(trailer, axis);
    const RigLevels truth(axis);

    for (auto _ : state) {
        const SphereLevels bilinear(matrix, grid);
        std::optional<ExpansionLevels> expansion;
        if (state.range(0) > 0) {
            const SphereOptions options =
                levelsSphereOptions(grid, state.range(0) == 2 ? CentreChoice::found : CentreChoice::none);
            expansion.emplace(matrix, grid, analyseSphere(matrix, grid, axis, band, options));
        }
        const DirectionLevels& read = expansion ? static_cast<const DirectionLevels&>(*expansion) : bilinear;
        const PlaneError error = planeError(read, truth, axis, band);
        state.counters["worst_dB_to_8k"] = error.worst8;
        state.counters["worst_Hz"] = error.worstHz;
        state.counters["rms_dB_to_8k"] = error.rms8;
        state.counters["worst_dB"] = error.worst;
        const std::optional<BestAxis> picked =
            expansion ? bestListeningAxis(*expansion, axis, band, 2.5) : bestListeningAxis(matrix, grid, axis, band);
        const std::optional<BestAxis> best = bestListeningAxis(truth, axis, band, 2.5);
        if (picked && best) {
            // The truth's NBD along the axis found.
            std::array<double, kDataBins> db{};
            truth.levels(listenerDirection(picked->axis.h, picked->axis.v), db);
            std::vector<double> hz, at;
            for (int b = band.first; b <= band.last; ++b) {
                hz.push_back(axis[b]);
                at.push_back(db[static_cast<std::size_t>(b)]);
            }
            state.counters["axis_h"] = picked->axis.h;
            state.counters["axis_v"] = picked->axis.v;
            state.counters["true_nbd_there"] = narrowBandDeviation(hz, at).value_or(0);
            state.counters["true_best_nbd"] = best->nbd;
        }
    }
}
BENCHMARK(BM_PlaneAccuracy)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

struct Walk {
    std::optional<BalloonMatrix> matrix = BalloonMatrix::create();
    AngleGrid grid = AngleGrid::Grid10;
    FrequencyAxis axis;
    ValidBand band;
    std::string error;
};

Walk loadWalk(const char* path)
{
    Walk w;
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(path, *w.matrix);
    if (!loaded) {
        w.error = std::string(path) + ": " + loaded.error;
        return w;
    }
    w.grid = angleGridFromFlag(loaded.settings->angleGridFlag);
    w.axis.buildFromIndexes(loaded.settings->fromIndex, loaded.settings->toIndex);
    w.band = validBand(*loaded.settings, w.axis, loaded.measured);
    return w;
}

void BM_PlaneAgainstWalks(benchmark::State& state)
{
    const char* coarsePath = std::getenv("VANTREL_WALK10");
    const char* finePath = std::getenv("VANTREL_WALK5");
    if (!coarsePath || !finePath) {
        state.SkipWithError("VANTREL_WALK10 and VANTREL_WALK5 name the walks");
        return;
    }
    const Walk coarse = loadWalk(coarsePath), fine = loadWalk(finePath);
    if (!coarse.error.empty() || !fine.error.empty() || coarse.grid != AngleGrid::Grid10 ||
        fine.grid != AngleGrid::Grid5) {
        state.SkipWithError("VANTREL_WALK10 must name a 10-degree walk, VANTREL_WALK5 a 5-degree one");
        return;
    }
    for (auto _ : state) {
        const SphereLevels bilinear(*coarse.matrix, coarse.grid);
        std::optional<ExpansionLevels> expansion;
        if (state.range(0) > 0) {
            const SphereOptions options =
                levelsSphereOptions(coarse.grid, state.range(0) == 2 ? CentreChoice::found : CentreChoice::none);
            expansion.emplace(*coarse.matrix, coarse.grid,
                              analyseSphere(*coarse.matrix, coarse.grid, coarse.axis, coarse.band, options));
        }
        const DirectionLevels& read = expansion ? static_cast<const DirectionLevels&>(*expansion) : bilinear;
        const PlaneError error = planeError(read, SphereLevels(*fine.matrix, fine.grid), fine.axis, fine.band);
        state.counters["worst_dB_to_8k"] = error.worst8;
        state.counters["worst_Hz"] = error.worstHz;
        state.counters["rms_dB_to_8k"] = error.rms8;
        state.counters["beyond_0_5_dB"] = error.beyond;
        state.counters["compared"] = error.compared;
    }
}
BENCHMARK(BM_PlaneAgainstWalks)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
