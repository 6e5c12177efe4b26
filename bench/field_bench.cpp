// A whole balloon as a sound field, all 750 frequencies of the simulated rig's model mounted
// 30, -50, 80 mm off the rotation centre, on one core:
//  - BM_FieldBasis/5 and /10: the grid's basis (harmonics at its directions, the blocks' Gram
//    matrices and Cholesky factors), once per grid.
//  - BM_ExpandWholeBalloon/5 and /10: every frequency's expansion with the automatic order
//    (solid-angle weights, as `sphere` fits), the basis made.
//  - BM_ExpandWholeBalloonRingLevel/5: the same at the top order with every ring against its
//    own level (as `resample` fits).

#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

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

} // namespace
