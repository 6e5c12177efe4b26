// The main job headless on the simulated rig (MLS order 18, 48 kHz).
//  - BM_ProcessOrder18: one recording from converted samples to its 750-point response, the
//    baseline the walk's wall time is set against.
//  - BM_WalkRigTimes/10 and /5: the 667- and 2629-point walks paced by their results; the rig
//    time of the same walk with the fixed waits follows exactly from its point times (all
//    between the points is the same). Both beside the sound and motion time of the path (every
//    point's capture and every move's motion), and the wall time against the baseline.
//  - BM_WholeBalloonTenDegreesOrder18: the walk with the fixed waits, walked.

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "app/balloon_job.h"
#include "mls/mls_engine.h"
#include "../tests/mls_test_signals.h"

namespace {

using namespace vantrel;

double processSeconds = 0; // BM_ProcessOrder18's time per recording, this run

void BM_ProcessOrder18(benchmark::State& state)
{
    auto engine = std::make_unique<MlsEngine>();
    MlsSettings settings;
    FrequencyAxis axis;
    CalibrationCurve calibration{};
    (void)engine->generateMlsForPlayback(settings);
    test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), 1200, 30, test::OnePole{0.6});
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        engine->splitCapture(settings);
        engine->computeImpulseResponses(settings);
        const MlsStatus status = engine->computeFrequencyResponse(settings, axis, calibration);
        benchmark::DoNotOptimize(status);
    }
    processSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                     static_cast<double>(state.iterations());
}
BENCHMARK(BM_ProcessOrder18)->Unit(benchmark::kMillisecond);

BalloonJobOptions walkOptions(AngleGrid grid, bool paced)
{
    BalloonJobOptions options;
    options.simulate = true;
    options.grid = grid;
    options.order = 18;
    options.rateHz = 48000;
    options.pacing.paced = paced;
    options.startDirectory = std::filesystem::temp_directory_path().string();
    return options;
}

void BM_WalkRigTimes(benchmark::State& state)
{
    const AngleGrid grid = state.range(0) == 5 ? AngleGrid::Grid5 : AngleGrid::Grid10;
    BalloonJobResult r;
    for (auto _ : state)
        r = runBalloonJob(walkOptions(grid, true), {}, nullptr);
    const double path = r.soundAndMotionSeconds;
    state.counters["points"] = r.pointsDone;
    state.counters["path_s"] = path;
    state.counters["paced_rig_s"] = r.pacedRigSeconds;
    state.counters["fixed_rig_s"] = r.fixedWaitRigSeconds;
    state.counters["paced_per_path"] = path > 0 ? r.pacedRigSeconds / path : 0;
    state.counters["fixed_per_path"] = path > 0 ? r.fixedWaitRigSeconds / path : 0;
    state.counters["wall_s"] = r.wallSeconds;
    if (processSeconds > 0)
        state.counters["wall_per_points_x_process"] = r.wallSeconds / (r.pointsDone * processSeconds);
}
BENCHMARK(BM_WalkRigTimes)->Arg(10)->Arg(5)->Unit(benchmark::kSecond)->Iterations(1);

void BM_WholeBalloonTenDegreesOrder18(benchmark::State& state)
{
    BalloonJobResult result;
    for (auto _ : state)
        result = runBalloonJob(walkOptions(AngleGrid::Grid10, false), {}, nullptr);
    state.counters["points"] = result.pointsDone;
    state.counters["rig_s"] = result.rigSeconds;
    state.counters["wall_s"] = result.wallSeconds;
    state.counters["rig_per_wall"] = result.wallSeconds > 0 ? result.rigSeconds / result.wallSeconds : 0;
}
BENCHMARK(BM_WholeBalloonTenDegreesOrder18)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
