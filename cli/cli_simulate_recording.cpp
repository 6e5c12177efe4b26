// vantrel-cli simulate-recording --h DEG --v DEG [--order 13..18] [--rate-index 5|6]
//   [--sim-room L,W,H[,ALPHA] [--sim-rig-height M]] -o FILE.RES:
// one sequence recorded on the simulated rig with the loudspeaker turned to (H, V), stored as
// a *.RES file that the measurement window's import (and vantrel-cli process) reads.

#include <memory>
#include <cmath>
#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "app/simulated_recording.h"
#include "platform/number_text.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {
namespace {

struct SimulateOptions {
    double h = 0, v = 0;
    int order = 18, rateIndex = 5;
    std::string output;
    std::string simRoom, rigHeight;
};

int run(const SimulateOptions& o)
{
    if (!std::isfinite(o.h) || std::abs(o.h) > 360 || !std::isfinite(o.v) || std::abs(o.v) > 360)
        return cliUsageError("simulate-recording", "--h and --v take angles in degrees from -360 to 360");
    SimulatedRecordingRequest request;
    request.hDegrees = o.h;
    request.vDegrees = o.v;
    request.order = o.order;
    request.rateIndex = o.rateIndex;
    if (!o.simRoom.empty()) {
        SimRoom room;
        if (const std::string error = simRoomFromOptions(o.simRoom, o.rigHeight, SimAudioOptions{}.distance, room);
            !error.empty())
            return cliUsageError("simulate-recording", error);
        request.room = room;
    }
    if (const auto error = recordOnSimulatedRig(request, o.output)) {
        std::fprintf(stderr, "vantrel-cli simulate-recording: %s\n", error->c_str());
        return error->starts_with("cannot write") ? kExitUsage : kExitRefused;
    }
    return 0;
}

std::function<int()> setupSimulate(CLI::App& app)
{
    auto o = std::make_shared<SimulateOptions>();
    addDecimalOption(app, "--h", o->h, "horizontal angle H of the loudspeaker in degrees (-360..360)")->required();
    addDecimalOption(app, "--v", o->v, "vertical angle V in degrees (-360..360)")->required();
    app.add_option("--order", o->order, "MLS order, 13..18")->capture_default_str()->check(CLI::Range(13, 18));
    app.add_option("--rate-index", o->rateIndex, "sampling rate: 5 for 48000 Hz, 6 for 96000 Hz")->capture_default_str()
        ->check(CLI::IsMember({5, 6}));
    app.add_option("-o,--output", o->output, "the recording to write (*.RES)")->required();
    auto* room = app.add_option("--sim-room", o->simRoom,
                                "record in a shoebox room L,W,H[,ALPHA] as measure does: metres, and the absorption of "
                                "every surface (default 0.1)");
    app.add_option("--sim-rig-height", o->rigHeight, "the rig's height above the simulated room's floor, m (default 1.3)")
        ->needs(room);
    return [o] { return run(*o); };
}

const CliRegistration registration({"simulate-recording", "One recording on the simulated rig at (H, V), stored as a *.RES file",
                                    setupSimulate});

} // namespace
} // namespace vantrel
