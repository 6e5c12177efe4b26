#include "app/simulated_recording.h"

#include <sstream>
#include <vector>

#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/rig_angles.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {

namespace {

// The sound-card logic fills these two lists; nobody looks at them here.
// Long enough for the capture of any order at either rate (5.5 s at 48 kHz).
constexpr std::uint32_t kRecordingWaitMs = 7000;

} // namespace

std::optional<std::string> recordOnSimulatedRig(const SimulatedRecordingRequest& request, MlsEngine& engine,
                                                MlsSettings& settings)
{
    std::ostringstream events;
    HeadlessPlatform platform(events);
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    const FixedRigAngles angles(request.hDegrees, request.vDegrees);
    SimAudioOptions options;
    options.nearFieldDistance = request.nearFieldM;
    if (request.room)
        options.extraPaths = [room = *request.room, distance = options.distance](double h, double v) {
            return roomSimPaths(room, distance, h, v);
        };
    SimAudioSystem audio(platform.clock(), angles, options);
    settings.mlsLengthIndex = request.order - 13;
    settings.rateIndex = request.rateIndex;
    settings.outputVolume = request.volume;
    if (const MlsStatus status = engine.generateMlsForPlayback(settings); !status.ok())
        return std::string(status.message);
    std::vector<std::int32_t> capture(2 * kCaptureBufferFrames);
    bool ready = false;
    SoundCard card(window, audio, settings, platform.log(), {engine.playBuffer(), capture, engine.captureCopy()},
                   [&ready] { ready = true; });
    if (card.startPlayAndCapture()) {
        platform.advance(kRecordingWaitMs);
        platform.settle();
    }
    if (!ready)
        return "the recording failed\n" + events.str();
    return std::nullopt;
}

std::optional<std::string> recordOnSimulatedRig(const SimulatedRecordingRequest& request, const std::string& path)
{
    auto engine = std::make_unique<MlsEngine>();
    MlsSettings settings;
    if (auto error = recordOnSimulatedRig(request, *engine, settings))
        return error;
    if (!writeResFile(path, engine->captureCopy(), settings.rateIndex, settings.mlsLengthIndex))
        return "cannot write '" + path + "'";
    return std::nullopt;
}

} // namespace vantrel
