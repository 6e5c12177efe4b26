// The microphone arc's walk headless on the simulated rig, every figure from one run:
//  - memory: 64 microphones at order 18 over a few stops with the most engines a walk uses
//    (kMaxArcWorkers), the process's peak resident set (getrusage) after it: peak_rss_MB;
//  - the 5-degree balloon at order 16 with 37 and with 8 microphones 5 degrees apart, paced by
//    the motors' motion and the results:
//      rig_s beside sound_motion_s (every stop's capture and every move's motion): rig_ratio;
//      standing_s, the tables' fixed waits that outlast motion and recording (turntable 2's
//      2 s after every move);
//      wall_s beside N x the stops x the processing of one response, that time measured in the
//      same run: wall_ratio with the mean of each channel's own time in the walk, whichever
//      engine took it beside another; wall_ratio_alone with the mean of the walk's first four
//      stops processed one channel at a time. The simulated rig computes every microphone's
//      recording on the same cores, which a sound card does beside them: sim_record_s, and
//      wall_ratio_alone_no_sim without it; proc_wall_s is the stops' processing with the
//      channels side by side on `workers` engines.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "app/arc_walk.h"
#include "app/balloon_job.h"
#include "app/main_window.h"
#include "devices/device_set.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "platform/sim/sim_arc.h"

namespace {

using namespace vantrel;

double peakResidentMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// The first stops of a paced arc walk on the simulated rig, driven as the window's controls
// would set it up: grid command 1030 (5 degrees) or 1031 (10), MLS length index, the engines.
ArcWalkResult firstStops(std::vector<SimArcMicrophone> arc, int gridCommand, int lengthIndex, int workers, int stops,
                         const std::filesystem::path& dir)
{
    std::filesystem::create_directories(dir);
    std::ostringstream events;
    HeadlessPlatform platform(events);
    platform.setPainting(false);
    SimFaults faults;
    faults.arc = std::move(arc);
    DeviceSet devices(true, platform.clock(), platform.log(), faults);
    auto main = MainWindow::start(platform, devices.devices(), dir.string(), false);
    std::istringstream setup("press main " + std::to_string(gridCommand) +
                             "\npress main 1004\npress main 1012\npress main 1038\nselect measure 10003 " +
                             std::to_string(lengthIndex) + "\n");
    ArcWalkResult r;
    if (!main || runSessionScript(platform, setup)) {
        r.message = "the rig did not start";
        return r;
    }
    ArcWalkOptions o;
    for (const SimArcMicrophone& m : faults.arc)
        o.angles.push_back(static_cast<int>(std::lround(m.angleDegrees)));
    o.pacing.paced = true;
    o.autosaveDirectory = dir.string();
    o.workers = workers;
    std::atomic<bool> enough{false};
    r = runArcWalk(
        platform, *main, devices.audio(), devices.motors(), o,
        [&](const ArcWalkProgress& p) { enough = p.stopsDone >= stops; }, &enough);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return r;
}

void BM_ArcWalk64ChannelsOrder18Memory(benchmark::State& state)
{
    const int stops = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::vector<SimArcMicrophone> arc = simulatedArc(64, 5); // -155..+160: within the half turns
        for (SimArcMicrophone& m : arc)
            m.angleDegrees -= 155;
        const ArcWalkResult r = firstStops(std::move(arc), 1030, 5, kMaxArcWorkers, stops,
                                           std::filesystem::temp_directory_path() / "vantrel-arc-bench-memory");
        if (r.outcome != ArcWalkResult::Outcome::interrupted) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        state.counters["stops"] = r.record.stopsDone;
        state.counters["responses"] = r.responses;
        state.counters["workers"] = r.workers;
        state.counters["peak_rss_MB"] = peakResidentMb();
    }
}
// First, so that the peak is this walk's and not one before it.
BENCHMARK(BM_ArcWalk64ChannelsOrder18Memory)->Arg(3)->Iterations(1)->Unit(benchmark::kSecond);

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
        // One response's processing by itself: the walk's first stops, one channel at a time.
        const ArcWalkResult alone = firstStops(simulatedArc(microphones, 5), 1030, 3, 1, 4, dir / "alone");
        if (alone.outcome != ArcWalkResult::Outcome::interrupted || alone.responses == 0) {
            state.SkipWithError(alone.message.c_str());
            break;
        }
        const double aloneResponse = alone.processingSeconds / alone.responses;
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
        state.counters["standing_s"] = r.arc->standingSeconds;
        state.counters["wall_s"] = r.wallSeconds;
        state.counters["response_ms"] = 1000 * perResponse;
        state.counters["wall_ratio"] = r.wallSeconds / (r.arc->responses * perResponse);
        state.counters["alone_response_ms"] = 1000 * aloneResponse;
        state.counters["wall_ratio_alone"] = r.wallSeconds / (r.arc->responses * aloneResponse);
        state.counters["proc_wall_s"] = r.arc->processingWallSeconds;
        state.counters["sim_record_s"] = r.arc->recordingWallSeconds;
        state.counters["wall_ratio_alone_no_sim"] =
            (r.wallSeconds - r.arc->recordingWallSeconds) / (r.arc->responses * aloneResponse);
        state.counters["workers"] = r.arc->workers;
        state.counters["peak_rss_MB"] = peakResidentMb();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ArcWalkFiveDegreesOrder16)->Arg(37)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
