// vantrel-cli simulate-recording --h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES:
// one sequence recorded on the simulated rig with the loudspeaker turned to (H, V), stored as
// a *.RES file that the measurement window's import (and vantrel-cli process) reads.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli_command.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/rig_angles.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {
namespace {

constexpr const char* kUsage =
    "usage: vantrel-cli simulate-recording --h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES\n";

constexpr ControlSpec kControls[] = {
    {kInputDeviceList, ControlKind::ListBox, "", 0, 0, 100, 50},
    {kOutputDeviceList, ControlKind::ListBox, "", 0, 60, 100, 50},
};
constexpr WindowSpec kWindow{"measure", "MLS Measurement", 400, 200, {255, 255, 255}, kControls};

struct NoClient final : WindowClient {
    void command(int, int) override {}
};

int usageError(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli simulate-recording: %s\n%s", what.c_str(), kUsage);
    return 2;
}

template <typename T>
bool parse(std::string_view text, T& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

int run(std::span<const std::string_view> args)
{
    double h = NAN, v = NAN;
    int order = 18, rateIndex = 5;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (i + 1 >= args.size())
            return usageError(std::string(a) == "-o" || a.starts_with("--") ? "missing value after " + std::string(a)
                                                                             : "unexpected argument '" + std::string(a) + "'");
        const std::string_view value = args[++i];
        if (a == "--h") {
            if (!parse(value, h) || !std::isfinite(h) || std::abs(h) > 360)
                return usageError("--h needs an angle in degrees (-360..360), not '" + std::string(value) + "'");
        } else if (a == "--v") {
            if (!parse(value, v) || !std::isfinite(v) || std::abs(v) > 360)
                return usageError("--v needs an angle in degrees (-360..360), not '" + std::string(value) + "'");
        } else if (a == "--order") {
            if (!parse(value, order) || order < 13 || order > 18)
                return usageError("--order must be 13..18, not '" + std::string(value) + "'");
        } else if (a == "--rate-index") {
            if (!parse(value, rateIndex) || (rateIndex != 5 && rateIndex != 6))
                return usageError("--rate-index must be 5 (48000 Hz) or 6 (96000 Hz), not '" + std::string(value) + "'");
        } else if (a == "-o") {
            output = value;
        } else {
            return usageError("unknown option '" + std::string(a) + "'");
        }
    }
    if (std::isnan(h) || std::isnan(v))
        return usageError("both --h and --v are needed");
    if (output.empty())
        return usageError("-o FILE.RES is needed");

    std::ostringstream events;
    HeadlessPlatform platform(events);
    NoClient client;
    WindowHost& window = platform.createWindow(kWindow, client, nullptr, false);
    const FixedRigAngles angles(h, v);
    SimAudioSystem audio(platform.clock(), angles);
    MlsSettings settings;
    settings.mlsLengthIndex = order - 13;
    settings.rateIndex = rateIndex;
    settings.inputDeviceId = settings.outputDeviceId = 0;
    MlsEngine engine;
    if (const MlsStatus status = engine.generateMlsForPlayback(settings); !status.ok()) {
        std::fprintf(stderr, "vantrel-cli simulate-recording: %.*s\n", static_cast<int>(status.message.size()), status.message.data());
        return 1;
    }
    std::vector<std::int32_t> capture(2 * kCaptureBufferFrames);
    bool ready = false;
    SoundCard card(window, audio, settings, platform.log(), {engine.playBuffer(), capture, engine.captureCopy()},
                   [&ready] { ready = true; });
    if (card.startPlayAndCapture()) {
        platform.advance(7000);
        platform.settle();
    }
    if (!ready) {
        std::fprintf(stderr, "vantrel-cli simulate-recording: the recording failed\n%s", events.str().c_str());
        return 1;
    }
    if (!writeResFile(output, engine.captureCopy(), rateIndex, settings.mlsLengthIndex)) {
        std::fprintf(stderr, "vantrel-cli simulate-recording: cannot write '%s'\n", output.c_str());
        return 2;
    }
    return 0;
}

const CliRegistration registration(
    {"simulate-recording", "--h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES  one recording on the simulated rig", run});

} // namespace
} // namespace vantrel
