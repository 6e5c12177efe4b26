// The main job headless: the 667-point balloon (10-degree grid, MLS order 18, 48 kHz) on the
// simulated rig, wall time beside the rig time it stands for.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "app/balloon_job.h"

namespace {

void BM_WholeBalloonTenDegreesOrder18(benchmark::State& state)
{
    vantrel::BalloonJobOptions options;
    options.simulate = true;
    options.grid = vantrel::AngleGrid::Grid10;
    options.order = 18;
    options.rateHz = 48000;
    options.startDirectory = std::filesystem::temp_directory_path().string();
    vantrel::BalloonJobResult result;
    for (auto _ : state)
        result = vantrel::runBalloonJob(options, {}, nullptr);
    state.counters["points"] = result.pointsDone;
    state.counters["rig_s"] = result.rigSeconds;
    state.counters["wall_s"] = result.wallSeconds;
    state.counters["rig_per_wall"] = result.wallSeconds > 0 ? result.rigSeconds / result.wallSeconds : 0;
}
BENCHMARK(BM_WholeBalloonTenDegreesOrder18)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
