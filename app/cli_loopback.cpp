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

#include "app/cli_command.h"
#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/portaudio/portaudio_system.h"
#include "platform/relay_window.h"

namespace vantrel {
namespace {

constexpr const char* kUsage =
    "usage: vantrel-cli loopback [--input N] [--output N] [--rate 48000|96000] [--order 13..18] [--wire-jack]\n"
    "  --wire-jack  on a JACK server, connect the program's outputs to its inputs (no cables)\n";
constexpr double kFullScaleUnits = 2147483648.0 / 42000.0; // a full-scale sample after conversion


struct Completions final : AudioCompletion {
    bool output = false, capture = false;
    std::size_t bytes = 0;
    void outputDone() override { output = true; }
    void captureDone(std::size_t b) override
    {
        capture = true;
        bytes = b;
    }
};

int usageError(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli loopback: %s\n%s", what.c_str(), kUsage);
    return 2;
}

int failure(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli loopback: %s\n", what.c_str());
    return 1;
}

bool parseInt(std::string_view text, int& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

double dbfs(float peak) { return peak > 0 ? 20 * std::log10(peak / kFullScaleUnits) : -INFINITY; }

int run(std::span<const std::string_view> args)
{
    int inputId = 0, outputId = 0, rate = 48000, order = 15;
    bool wire = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (a == "--wire-jack") {
            wire = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usageError("unknown option or missing value: '" + std::string(a) + "'");
        const std::string_view value = args[++i];
        int* target = a == "--input" ? &inputId : a == "--output" ? &outputId : a == "--rate" ? &rate : a == "--order" ? &order : nullptr;
        if (!target)
            return usageError("unknown option '" + std::string(a) + "'");
        if (!parseInt(value, *target))
            return usageError(std::string(a) + " needs a number, not '" + std::string(value) + "'");
    }
    if (rate != 48000 && rate != 96000)
        return usageError("--rate must be 48000 or 96000");
    if (order < 13 || order > 18)
        return usageError("--order must be 13..18");

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
    std::printf("REF peak: %.1f (%.2f dBFS)\nIN peak:  %.1f (%.2f dBFS)\n", refPeak, dbfs(refPeak), inPeak, dbfs(inPeak));
    const int refDelay = engine.refDelay();
    if (refDelay == 0)
        return failure("no REF impulse found: is the output connected to the REF input?");
    std::printf("REF delay: %d samples (%.2f ms)\n", refDelay, 1000.0 * refDelay / rate);
    if (lead >= 0) {
        const long latency = refDelay - 25 - lead;
        std::printf("Loop-back latency: %ld samples (%.2f ms) after %ld frames recorded before playback\n", latency,
                    1000.0 * static_cast<double>(latency) / rate, lead);
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
    std::printf("REF to IN, 100 Hz - %.0f Hz: level %+.2f .. %+.2f dB, phase %+.1f .. %+.1f degrees\n", top, levelMin,
                levelMax, phaseMin, phaseMax);
    return 0;
}

const CliRegistration registration({"loopback",
                                    "[--input N] [--output N] [--rate 48000|96000] [--order 13..18] [--wire-jack]  check the "
                                    "sound card and cabling with one sequence",
                                    run});

} // namespace
} // namespace vantrel
