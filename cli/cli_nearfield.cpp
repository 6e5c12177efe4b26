// vantrel-cli nearfield --simulate|--input N --output N [--distance MM] [--radius MM] -o NF.txt:
// one MLS measurement with the microphone a few millimetres in front of the woofer's cone,
// its response written as a near-field curve (analysis/near_field_curve.h) for `merge`.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/near_field_curve.h"
#include "app/simulated_recording.h"
#include "balloon/valid_band.h"
#include "cli/audio_completions.h"
#include "cli/cli_command.h"
#include "mls/numeric_text.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/number_text.h"
#include "platform/portaudio/portaudio_system.h"
#include "platform/relay_window.h"
#include "platform/sim/loudspeaker.h"

namespace vantrel {
namespace {

constexpr std::string_view kName = "nearfield";
constexpr double kFullScaleUnits = 2147483648.0 * kCaptureScale;

struct NearFieldOptions {
    bool simulate = false;
    int input = -1, output = -1;
    double distanceMm = 5;
    double radiusMm = 0;
    int order = 18, rate = 48000, volume = 2;
    std::string path;
};

// One sequence played and recorded on the sound card, left in the engine's capture copy.
std::optional<std::string> recordOnSoundCard(const NearFieldOptions& o, MlsEngine& engine, MlsSettings& settings)
{
    PortAudioSystem audio;
    if (o.input >= audio.inputDeviceCount() || o.output >= audio.outputDeviceCount())
        return "no input device " + std::to_string(o.input) + " or output device " + std::to_string(o.output) +
               " (see vantrel-cli devices)";
    if (const MlsStatus status = engine.generateMlsForPlayback(settings); !status.ok())
        return std::string(status.message);
    std::vector<std::int32_t> capture(2 * kCaptureBufferFrames);
    std::string messages;
    RelayWindow window([&messages](std::string_view text, std::string_view caption) {
        messages += std::string(caption) + ": " + std::string(text) + "\n";
    });
    Completions done;
    std::string failure;
    auto check = [&](AudioStatus status) {
        if (status != kAudioOk && failure.empty())
            failure = "MLS Control: " + audio.errorText(status);
        return status == kAudioOk;
    };
    auto closeAll = [&] {
        for (auto step : {&AudioSystem::stopInput, &AudioSystem::resetInput, &AudioSystem::unprepareInput,
                          &AudioSystem::closeInput, &AudioSystem::resetOutput, &AudioSystem::unprepareOutput,
                          &AudioSystem::closeOutput})
            (void)(audio.*step)();
    };
    const auto play = engine.playBuffer().first(2 * kPlayBufferFrames);
    if (!(check(audio.openOutput(o.output, o.rate, window, done)) && check(audio.prepareOutput(play)) &&
          check(audio.openInput(o.input, o.rate, window, done)) && check(audio.prepareInput(capture)) &&
          check(audio.queueInput()) && check(audio.startInput()) && check(audio.play()))) {
        closeAll();
        return failure;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(kPlayBufferFrames * 1000 / static_cast<std::size_t>(o.rate) + 5000);
    while (!(done.output && done.capture) && std::chrono::steady_clock::now() < deadline)
        if (!window.pump())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    closeAll();
    if (!done.capture)
        return "the sound card did not deliver the recording in time" + (messages.empty() ? "" : "\n" + messages);
    auto copy = engine.captureCopy();
    std::fill(copy.begin(), copy.end(), 0);
    std::copy_n(capture.begin(), std::min(copy.size(), done.bytes / sizeof(std::int32_t)), copy.begin());
    return std::nullopt;
}

int run(NearFieldOptions o)
{
    if (o.simulate == (o.input >= 0 || o.output >= 0))
        return cliUsageError(kName, "give --simulate, or --input N and --output N for the sound card");
    if (!o.simulate && (o.input < 0 || o.output < 0))
        return cliUsageError(kName, "the sound card needs both --input N and --output N");
    if (!(o.distanceMm > 0 && o.distanceMm <= 100))
        return cliUsageError(kName, "--distance " + cleanFixedText(o.distanceMm, 3) +
                                        ": the microphone stands 0..100 mm in front of the cone");
    if (o.radiusMm < 0 || o.radiusMm > 1000)
        return cliUsageError(kName, "--radius " + cleanFixedText(o.radiusMm, 3) + ": a radius is 0..1000 mm");
    if (o.simulate && o.radiusMm == 0)
        o.radiusMm = LoudspeakerDesign{}.woofer.radius * 1000;

    auto engine = std::make_unique<MlsEngine>();
    MlsSettings settings;
    settings.mlsLengthIndex = o.order - 13;
    settings.rateIndex = o.rate == 96000 ? 6 : 5;
    settings.outputVolume = o.volume;
    // The default window (30000 samples) is longer than a short sequence holds: take the
    // longest the order allows, as a walk does.
    if (const long longest = (1L << o.order) - 1; std::lround(textValue(settings.windowWidthText)) > longest)
        settings.windowWidthText = std::to_string(longest);
    const auto error = o.simulate ? recordOnSimulatedRig({0, 0, o.order, settings.rateIndex, o.volume, o.distanceMm / 1000},
                                                         *engine, settings)
                                  : recordOnSoundCard(o, *engine, settings);
    if (error)
        return cliRefusal(kName, *error);
    engine->splitCapture(settings);
    const double inDbfs = 20 * std::log10(std::max(1e-12, static_cast<double>(engine->inPeak()) / kFullScaleUnits));
    if (inDbfs > -0.1)
        return cliRefusal(kName, "the IN channel clipped (peak " + fixedText(inDbfs, 2, true) +
                                     " dBFS) with the microphone this close: give a lower --volume than " +
                                     std::to_string(o.volume) + "; nothing was written");
    engine->computeImpulseResponses(settings);
    if (engine->inDelay() == 0)
        return cliRefusal(kName, "no impulse on the IN channel: is the microphone connected?; nothing was written");
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    const CalibrationCurve none{};
    if (const MlsStatus status = engine->computeFrequencyResponse(settings, axis, none); !status.ok())
        return cliRefusal(kName, status.message);

    NearFieldCurve curve;
    curve.distanceMm = o.distanceMm;
    curve.radiusMm = o.radiusMm;
    curve.outputVolumePercent = o.volume;
    const BalloonTrailer trailer{settings.windowTypeIndex, settings.rateIndex, settings.smoothingIndex,
                                 settings.fftWindowPosition, settings.fromIndex, settings.toIndex, 0};
    const ValidBand band = validBand(trailer, axis);
    for (int i = band.first; i <= band.last; ++i) {
        curve.hz.push_back(axis[i]);
        curve.levelDb.push_back(engine->response()[static_cast<std::size_t>(i)].level);
        curve.phaseDegrees.push_back(engine->response()[static_cast<std::size_t>(i)].phase);
    }
    if (const auto failure = saveNearFieldCurve(o.path, curve))
        return cliUsageError(kName, *failure);
    std::printf("near field: %zu points, %s..%s Hz, microphone %s mm from the cone, IN peak %s dBFS\n", curve.hz.size(),
                cleanFixedText(curve.hz.front(), 1).c_str(), cleanFixedText(curve.hz.back(), 0).c_str(),
                cleanFixedText(o.distanceMm, 1).c_str(), fixedText(inDbfs, 2, true).c_str());
    std::printf("saved: %s\n", o.path.c_str());
    return 0;
}

std::function<int()> setupNearField(CLI::App& app)
{
    auto o = std::make_shared<NearFieldOptions>();
    app.add_flag("--simulate", o->simulate, "measure on the simulated rig, the microphone at the woofer's cone");
    app.add_option("--input", o->input, "input device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--output", o->output, "output device number of the sound card")->check(CLI::Range(0, 19));
    addDecimalOption(app, "--distance", o->distanceMm, "the microphone's distance from the cone, mm (default 5)");
    addDecimalOption(app, "--radius", o->radiusMm,
                     "the low-frequency radiator's radius, mm, kept in the file for merge "
                     "(default on the simulated rig: its woofer's 80)");
    app.add_option("--order", o->order, "MLS order, 13..18")->capture_default_str()->check(CLI::Range(13, 18));
    app.add_option("--rate", o->rate, "sampling rate in Hz: 48000 or 96000")->capture_default_str()
        ->check(CLI::IsMember({48000, 96000}));
    app.add_option("--volume", o->volume, "output volume in percent: a close microphone hears some 30 dB more")
        ->capture_default_str()
        ->check(CLI::Range(1, 100));
    app.add_option("-o", o->path, "the near-field curve to write (text)")->required();
    return [o] { return run(*o); };
}

const CliRegistration registration({"nearfield", "Measure the near field at the woofer's cone and save it as a curve",
                                    setupNearField});

} // namespace
} // namespace vantrel
