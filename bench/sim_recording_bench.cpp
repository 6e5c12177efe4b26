// What one point of a balloon costs on the simulated rig: the recording of one order-18
// sequence through the virtual loudspeaker (2^19-point transforms), and the model's exact
// response over the 750-point axis at one direction.

#include <benchmark/benchmark.h>

#include <vector>

#include "balloon/frequency_axis.h"
#include "mls/mls_engine.h"
#include "platform/relay_window.h"
#include "platform/sim/rig_angles.h"
#include "platform/sim/sim_audio.h"

namespace {

// Completions are not wanted here: the recording itself is what is measured.
class StillClock final : public vantrel::Clock {
public:
    std::uint32_t tickMs() const override { return 0; }
    std::uint32_t delayMs(std::uint32_t ms) override { return ms; }
    void callAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

struct NoCompletion final : vantrel::AudioCompletion {
    void outputDone() override {}
    void captureDone(std::size_t) override {}
};

void BM_SimulatedRecordingOrder18(benchmark::State& state)
{
    StillClock clock;
    vantrel::FixedRigAngles angles(30.0, 0.0);
    vantrel::SimAudioSystem audio(clock, angles);
    vantrel::RelayWindow window({});
    NoCompletion done;
    auto engine = std::make_unique<vantrel::MlsEngine>();
    vantrel::MlsSettings settings;
    (void)engine->generateMlsForPlayback(settings);
    std::vector<std::int32_t> capture(2 * 263500);
    for (auto _ : state) {
        audio.openOutput(0, 48000, window, done);
        audio.prepareOutput(engine->playBuffer().first(2 * 268000));
        audio.openInput(0, 48000, window, done);
        audio.prepareInput(capture);
        audio.queueInput();
        audio.startInput();
        audio.play();
        benchmark::DoNotOptimize(capture.data());
        audio.closeOutput();
        audio.closeInput();
    }
}
BENCHMARK(BM_SimulatedRecordingOrder18)->Unit(benchmark::kMillisecond);

void BM_ModelResponseOnTheAxis(benchmark::State& state)
{
    StillClock clock;
    vantrel::FixedRigAngles angles(0.0, 90.0);
    vantrel::SimAudioSystem audio(clock, angles);
    vantrel::FrequencyAxis axis;
    for (auto _ : state) {
        std::complex<double> sum;
        for (int i = 0; i < vantrel::kAxisPoints; ++i)
            sum += audio.inTransfer(axis[i], 45.0, 30.0);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ModelResponseOnTheAxis)->Unit(benchmark::kMicrosecond);

} // namespace
