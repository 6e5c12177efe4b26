// The microphone arc's walk headless on the simulated rig, every figure from one run:
//  - memory: 64 microphones at order 18 over a few stops with the most engines a walk uses
//    (kMaxArcWorkers), the process's peak resident set (getrusage) after it: peak_rss_MB;
//  - the 5-degree balloon at order 16 with 37 and with 8 microphones 5 degrees apart, paced by
//    the motors' motion and the results:
//      rig_s beside sound_motion_s (every stop's capture and every move's motion): rig_ratio;
//      wall_s beside N x the stops x the processing of one response, that time measured in the
//      same run (the mean of each channel's own, whichever engine took it): wall_ratio. The
//      simulated rig computes every microphone's recording on the same cores, which a sound
//      card does beside them; proc_wall_s is the stops' processing with the channels side by
//      side on `workers` engines.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <sstream>

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

void BM_ArcWalk64ChannelsOrder18Memory(benchmark::State& state)
{
    const int stops = static_cast<int>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() / "vantrel-arc-bench-memory";
    std::filesystem::create_directories(dir);
    for (auto _ : state) {
        std::ostringstream events;
        HeadlessPlatform platform(events);
        platform.setPainting(false);
        SimFaults faults;
        faults.arc = simulatedArc(64, 5); // -155..+160 degrees: 64 angles within the half turns
        for (SimArcMicrophone& m : faults.arc)
            m.angleDegrees -= 155;
        DeviceSet devices(true, platform.clock(), platform.log(), faults);
        auto main = MainWindow::start(platform, devices.devices(), dir.string(), false);
        std::istringstream setup("press main 1030\npress main 1004\npress main 1012\npress main 1038\n"
                                 "select measure 10003 5\n");
        if (!main || runSessionScript(platform, setup)) {
            state.SkipWithError("the rig did not start");
            break;
        }
        ArcWalkOptions o;
        for (const SimArcMicrophone& m : faults.arc)
            o.angles.push_back(static_cast<int>(std::lround(m.angleDegrees)));
        o.pacing.paced = true;
        o.autosaveDirectory = dir.string();
        o.workers = kMaxArcWorkers;
        std::atomic<bool> enough{false};
        const ArcWalkResult r = runArcWalk(
            platform, *main, devices.audio(), devices.motors(), o,
            [&](const ArcWalkProgress& p) { enough = p.stopsDone >= stops; }, &enough);
        if (r.outcome != ArcWalkResult::Outcome::interrupted) {
            state.SkipWithError(r.message.c_str());
            break;
        }
        state.counters["stops"] = r.record.stopsDone;
        state.counters["responses"] = r.responses;
        state.counters["workers"] = r.workers;
        state.counters["peak_rss_MB"] = peakResidentMb();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
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
        state.counters["proc_wall_s"] = r.arc->processingWallSeconds;
        state.counters["workers"] = r.arc->workers;
        state.counters["peak_rss_MB"] = peakResidentMb();
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_ArcWalkFiveDegreesOrder16)->Arg(37)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
