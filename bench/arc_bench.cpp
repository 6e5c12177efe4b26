// The microphone arc's walk headless on the simulated rig: the 5-degree balloon at order 16
// with 37 and with 8 microphones 5 degrees apart, paced by its results.
//  - rig_s beside sound_motion_s (every stop's capture and every move's motion): rig_ratio.
//  - wall_s beside N x the stops x the processing of one response, that time measured in the
//    same run (the mean over its responses): wall_ratio. The simulated rig computes every
//    microphone's recording on the same two cores, which a sound card does beside them.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "app/balloon_job.h"
#include "platform/sim/sim_arc.h"

namespace {

using namespace vantrel;

void BM_ArcWalkFiveDegreesOrder16(benchmark::State& state)
{
    const int microphones = static_cast<int>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() / ("vantrel-arc-bench-" + std::to_string(microphones));
    std::filesystem::create_directories(dir);
    BalloonJobOptions o;
    o.simulate = true;
    o.grid = AngleGrid::Grid5;
    o.order = 16;
    o.rateHz = 48000;
    o.pacing.paced = true;
    o.faults.arc = simulatedArc(microphones, 5);
    o.startDirectory = dir.string();
    for (auto _ : state) {
        const BalloonJobResult r = runBalloonJob(o, {}, nullptr);
        if (r.outcome != BalloonJobResult::Outcome::completed || !r.arc) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        const double perResponse = r.arc->processingSeconds / r.arc->responses;
        state.counters["stops"] = r.arc->record.stops;
        state.counters["rig_s"] = r.rigSeconds;
        state.counters["sound_motion_s"] = r.soundAndMotionSeconds;
        state.counters["rig_ratio"] = r.rigSeconds / r.soundAndMotionSeconds;
        state.counters["wall_s"] = r.wallSeconds;
        state.counters["response_ms"] = 1000 * perResponse;
        state.counters["wall_ratio"] = r.wallSeconds / (r.arc->responses * perResponse);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ArcWalkFiveDegreesOrder16)->Arg(37)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
