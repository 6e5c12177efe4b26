// The swept sine beside the MLS. Speed: one order-18 sweep recording through the
// deconvolution and the harmonic responses (and on to its 750-point response), beside one MLS
// recording through its correlation, and beside two FFTs of 2^18 points (target: the sweep's
// deconvolution and harmonics at most 3 times the two FFTs). Quality: the signal-to-noise of
// the IN impulse response (peak over the rms of its tail) and the sweep's distortion-to-noise
// (H2 over its noise at 1 kHz) on the simulated rig with and without its polynomial, at equal
// length (order 16); reported as counters, dB.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <sstream>

#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/sim_audio.h"
#include "../tests/mls_test_signals.h"

namespace {

using namespace vantrel;

struct Synthetic {
    explicit Synthetic(bool sweep)
    {
        if (sweep)
            (void)engine->generateSweepForPlayback(settings, excitation);
        else
            (void)engine->generateMlsForPlayback(settings);
        test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), 1200, 30, test::OnePole{0.6});
    }
    std::unique_ptr<MlsEngine> engine = std::make_unique<MlsEngine>();
    MlsSettings settings;
    ExcitationSettings excitation{true, 10, 0};
    FrequencyAxis axis;
    CalibrationCurve calibration{};
};

void BM_SweepDeconvolveAndHarmonicsOrder18(benchmark::State& state)
{
    static Synthetic r(true);
    for (auto _ : state) {
        r.engine->splitCapture(r.settings);
        r.engine->computeSweepResponses(r.settings);
        r.engine->computeHarmonics(r.settings, r.axis);
        benchmark::DoNotOptimize(r.engine->harmonics());
    }
}

void BM_SweepWholeResponseOrder18(benchmark::State& state)
{
    static Synthetic r(true);
    for (auto _ : state) {
        r.engine->splitCapture(r.settings);
        r.engine->computeSweepResponses(r.settings);
        r.engine->computeHarmonics(r.settings, r.axis);
        benchmark::DoNotOptimize(r.engine->computeFrequencyResponse(r.settings, r.axis, r.calibration));
    }
}

void BM_MlsCorrelationOrder18(benchmark::State& state)
{
    static Synthetic r(false);
    for (auto _ : state) {
        r.engine->splitCapture(r.settings);
        r.engine->computeImpulseResponses(r.settings);
        benchmark::DoNotOptimize(r.engine->refSignal().data());
    }
}

void BM_MlsWholeResponseOrder18(benchmark::State& state)
{
    static Synthetic r(false);
    for (auto _ : state) {
        r.engine->splitCapture(r.settings);
        r.engine->computeImpulseResponses(r.settings);
        benchmark::DoNotOptimize(r.engine->computeFrequencyResponse(r.settings, r.axis, r.calibration));
    }
}

void BM_TwoFfts2e18(benchmark::State& state)
{
    const ComplexFft fft(18, 18);
    AlignedFloats data(2 << 18);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<float>(i % 17) - 8.0f;
    for (auto _ : state) {
        (void)fft.fftForward(data.span(), 1 << 18);
        (void)fft.fftForward(data.span(), 1 << 18);
        benchmark::DoNotOptimize(data.data());
    }
}

// One recording on the simulated rig, as the measurement window makes it.
struct RigRecording {
    std::ostringstream events;
    HeadlessPlatform platform{events};
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    FixedRigAngles angles{0, 0};
    SimAudioSystem audio;
    MlsSettings settings;
    std::unique_ptr<MlsEngine> engine = std::make_unique<MlsEngine>();
    std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * kCaptureFrames);
    SoundCard card{window, audio, settings, platform.log(), {engine->playBuffer(), capture, engine->captureCopy()}, [] {}};
    FrequencyAxis axis;
    CalibrationCurve calibration{};

    RigRecording(double a2, double a3, const char* preEmphasis, bool sweep)
        : audio(platform.clock(), angles, [&] {
              SimAudioOptions o;
              o.a2 = a2;
              o.a3 = a3;
              return o;
          }())
    {
        settings.mlsLengthIndex = 16 - 13;
        settings.outputVolume = 30;
        settings.preEmphasisText = preEmphasis;
        const ExcitationSettings excitation{true, 10, 0};
        (void)(sweep ? engine->generateSweepForPlayback(settings, excitation) : engine->generateMlsForPlayback(settings));
        (void)card.startPlayAndCapture();
        platform.advance(6000);
        platform.settle();
        engine->splitCapture(settings);
        if (sweep) {
            engine->computeSweepResponses(settings);
            (void)engine->computeFrequencyResponse(settings, axis, calibration);
            engine->computeHarmonics(settings, axis);
        } else {
            engine->computeImpulseResponses(settings);
        }
    }

    double snrDb() const
    {
        const auto in = engine->inSignal();
        double peak = 0, tail = 0;
        for (std::size_t i = 0; i < 60000; ++i) {
            peak = std::max(peak, std::abs(static_cast<double>(in[i])));
            if (i >= 20000)
                tail += static_cast<double>(in[i]) * in[i];
        }
        return 20 * std::log10(peak / std::sqrt(tail / 40000));
    }
    double h2ToNoiseDb() const
    {
        int k = 0;
        while (k < kAxisPoints - 1 && axis[k] < 1000)
            ++k;
        const auto& h = engine->harmonics();
        return h.harmonicDb[0][static_cast<std::size_t>(k)] - h.noiseDb[static_cast<std::size_t>(k)];
    }
};

void BM_SignalToNoiseTable(benchmark::State& state)
{
    for (auto _ : state) {
        const RigRecording mlsLinear(0, 0, "0.0", false), mlsNonlinear(0.05, 0.02, "0.0", false);
        const RigRecording mlsPreLinear(0, 0, "1000", false), mlsPreNonlinear(0.05, 0.02, "1000", false);
        const RigRecording sweepLinear(0, 0, "0.0", true), sweepNonlinear(0.05, 0.02, "0.0", true);
        state.counters["mls_snr_linear"] = mlsLinear.snrDb();
        state.counters["mls_snr_nonlinear"] = mlsNonlinear.snrDb();
        state.counters["mls1k_snr_linear"] = mlsPreLinear.snrDb();
        state.counters["mls1k_snr_nonlinear"] = mlsPreNonlinear.snrDb();
        state.counters["sweep_snr_linear"] = sweepLinear.snrDb();
        state.counters["sweep_snr_nonlinear"] = sweepNonlinear.snrDb();
        state.counters["sweep_h2_to_noise_1k"] = sweepNonlinear.h2ToNoiseDb();
    }
}

BENCHMARK(BM_SweepDeconvolveAndHarmonicsOrder18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepWholeResponseOrder18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MlsCorrelationOrder18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MlsWholeResponseOrder18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoFfts2e18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SignalToNoiseTable)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
