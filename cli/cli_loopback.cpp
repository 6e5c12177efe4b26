// vantrel-cli loopback [--input N] [--output N] [--rate 48000|96000] [--order 13..18] [--wire-jack]:
// plays one sequence through the real sound card, records it, and reports what a user checks
// before a long measurement: the REF and IN peak levels, the REF delay, and the REF-to-IN
// transfer over the band (flat and in phase when both inputs see the same signal).

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "cli/audio_completions.h"
#include "cli/cli_command.h"
#include "platform/number_text.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/portaudio/portaudio_system.h"
#include "platform/relay_window.h"

namespace vantrel {
namespace {

constexpr double kFullScaleUnits = 2147483648.0 / 42000.0; // a full-scale sample after conversion


int failure(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli loopback: %s\n", what.c_str());
    return 1;
}

double dbfs(float peak) { return peak > 0 ? 20 * std::log10(peak / kFullScaleUnits) : -INFINITY; }

struct LoopbackOptions {
    int inputId = 0, outputId = 0, rate = 48000, order = 15;
    bool wire = false;
};

int usageError(const std::string& what) { return cliUsageError("loopback", what); }

int run(const LoopbackOptions& o)
{
    const int inputId = o.inputId, outputId = o.outputId, rate = o.rate, order = o.order;
    const bool wire = o.wire;
    PortAudioSystem audio;
    if (inputId < 0 || inputId >= audio.inputDeviceCount())
        return usageError("no input device " + std::to_string(inputId) + " (" + std::to_string(audio.inputDeviceCount()) +
                          " listed; see vantrel-cli devices)");
    if (outputId < 0 || outputId >= audio.outputDeviceCount())
        return usageError("no output device " + std::to_string(outputId) + " (" + std::to_string(audio.outputDeviceCount()) +
                          " listed; see vantrel-cli devices)");

    MlsSettings settings;
    settings.mlsLengthIndex = order - 13;
    settings.rateIndex = rate == 48000 ? 5 : 6;
    MlsEngine engine;
    if (const MlsStatus status = engine.generateMlsForPlayback(settings); !status.ok())
        return failure(std::string(status.message));
    std::vector<std::int32_t> capture(2 * kCaptureBufferFrames);

    // Completions arrive from the card's thread; what would be message boxes goes to stderr.
    RelayWindow window([](std::string_view text, std::string_view caption) {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
    });
    Completions done;
    auto check = [&](AudioStatus status, const char* suffix = "") {
        if (status != kAudioOk)
            std::fprintf(stderr, "MLS Control: %s%s\n", audio.errorText(status).c_str(), suffix);
        return status == kAudioOk;
    };
    auto closeAll = [&] {
        for (auto step : {&AudioSystem::stopInput, &AudioSystem::resetInput, &AudioSystem::unprepareInput, &AudioSystem::closeInput,
                          &AudioSystem::resetOutput, &AudioSystem::unprepareOutput, &AudioSystem::closeOutput})
            (void)(audio.*step)();
    };
    const auto play = engine.playBuffer().first(2 * kPlayBufferFrames);
    if (!(check(audio.openOutput(outputId, rate, window, done)) && check(audio.prepareOutput(play)) &&
          check(audio.openInput(inputId, rate, window, done)) && check(audio.prepareInput(capture)) &&
          check(audio.queueInput(), " 7") && check(audio.startInput()))) {
        closeAll();
        return 1;
    }
    if (wire) {
        std::string error;
        if (!audio.wireJackLoopBack(error)) {
            closeAll();
            return failure("cannot wire the loop-back: " + error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the server applies the new graph
    }
    if (!check(audio.play())) {
        closeAll();
        return 1;
    }

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(kPlayBufferFrames * 1000 / static_cast<std::size_t>(rate) + 5000);
    while (!(done.output && done.capture) && std::chrono::steady_clock::now() < deadline)
        if (!window.pump())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long lead = audio.playbackStartFrame();
    closeAll();
    if (!done.capture)
        return failure("the sound card did not deliver the recording in time");

    auto copy = engine.captureCopy();
    std::copy_n(capture.begin(), std::min(copy.size(), done.bytes / sizeof(std::int32_t)), copy.begin());
    engine.splitCapture(settings);
    const float refPeak = engine.refPeak(), inPeak = engine.inPeak();
    engine.computeImpulseResponses(settings);

    AudioDeviceCaps in, out;
    (void)audio.inputCaps(inputId, in);
    (void)audio.outputCaps(outputId, out);
    std::printf("Input:  %s\nOutput: %s\n", deviceLabelText(in, inputId).c_str(), deviceLabelText(out, outputId).c_str());
    std::printf("Rate %d Hz, MLS order %d (length %d), %zu bytes recorded\n", rate, order, settings.mlsLength(), done.bytes);
    std::printf("REF peak: %s (%s dBFS)\nIN peak:  %s (%s dBFS)\n", fixedText(refPeak, 1).c_str(),
                fixedText(dbfs(refPeak), 2).c_str(), fixedText(inPeak, 1).c_str(), fixedText(dbfs(inPeak), 2).c_str());
    const int refDelay = engine.refDelay();
    if (refDelay == 0)
        return failure("no REF impulse found: is the output connected to the REF input?");
    std::printf("REF delay: %d samples (%s ms)\n", refDelay, fixedText(1000.0 * refDelay / rate, 2).c_str());
    if (lead >= 0) {
        const long latency = refDelay - 25 - lead;
        std::printf("Loop-back latency: %ld samples (%s ms) after %ld frames recorded before playback\n", latency,
                    fixedText(1000.0 * static_cast<double>(latency) / rate, 2).c_str(), lead);
    }
    if (engine.inDelay() == 0) {
        std::printf("IN: no impulse found\n");
        return 0;
    }

    // IN / REF over one transform of the aligned responses: H(f) = IN(f) / REF(f).
    const int n = 1 << order;
    std::vector<float> a(2 * static_cast<std::size_t>(n)), b(2 * static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        a[2 * i] = engine.inSignal()[i];
        b[2 * i] = engine.refSignal()[i];
    }
    (void)engine.fft().fftForward(a, n);
    (void)engine.fft().fftForward(b, n);
    const double top = std::min(20000.0, rate / 2.0);
    double levelMin = INFINITY, levelMax = -INFINITY, phaseMin = INFINITY, phaseMax = -INFINITY;
    for (std::size_t k = 1; k < static_cast<std::size_t>(n / 2); ++k) {
        const double hz = static_cast<double>(k) * rate / n;
        if (hz < 100 || hz > top)
            continue;
        const std::complex<double> t =
            std::complex<double>(a[2 * k], a[2 * k + 1]) / std::complex<double>(b[2 * k], b[2 * k + 1]);
        const double level = 20 * std::log10(std::abs(t));
        const double phase = std::arg(t) * 180 / std::numbers::pi;
        levelMin = std::min(levelMin, level);
        levelMax = std::max(levelMax, level);
        phaseMin = std::min(phaseMin, phase);
        phaseMax = std::max(phaseMax, phase);
    }
    std::printf("REF to IN, 100 Hz - %s Hz: level %s .. %s dB, phase %s .. %s degrees\n", fixedText(top, 0).c_str(),
                fixedText(levelMin, 2, true).c_str(), fixedText(levelMax, 2, true).c_str(),
                fixedText(phaseMin, 1, true).c_str(), fixedText(phaseMax, 1, true).c_str());
    return 0;
}

std::function<int()> setupLoopback(CLI::App& app)
{
    auto o = std::make_shared<LoopbackOptions>();
    app.add_option("--input", o->inputId, "input device number, as `vantrel-cli devices` lists them")->capture_default_str();
    app.add_option("--output", o->outputId, "output device number")->capture_default_str();
    app.add_option("--rate", o->rate, "sampling rate in Hz, 48000 or 96000")->capture_default_str()->check(CLI::IsMember({48000, 96000}));
    app.add_option("--order", o->order, "MLS order, 13..18")->capture_default_str()->check(CLI::Range(13, 18));
    app.add_flag("--wire-jack", o->wire, "on a JACK server, connect the program's outputs to its inputs (no cables)");
    return [o] { return run(*o); };
}

const CliRegistration registration({"loopback", "Check the sound card and cabling with one sequence played and recorded: peaks, delay, "
                                    "latency and the REF to IN response",
                                    setupLoopback});

} // namespace
} // namespace vantrel
