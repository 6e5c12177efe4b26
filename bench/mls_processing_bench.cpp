// One order-18 recording from converted samples to its 750-point response, beside the bare
// transforms it is built from (2^18 FFT, 2^18 Hadamard), and the permutation-table build.
// Default settings need 4 Hadamard transforms and 2 FFTs; the matched filter adds 3 FFTs.

#include <benchmark/benchmark.h>

#include <memory>

#include "mls/mls_engine.h"
#include "../tests/mls_test_signals.h"

namespace {

using namespace vantrel;

struct Rig {
    Rig()
    {
        (void)engine->generateMlsForPlayback(settings);
        test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), 1200, 30, test::OnePole{0.6});
    }
    std::unique_ptr<MlsEngine> engine = std::make_unique<MlsEngine>();
    MlsSettings settings;
    FrequencyAxis axis;
    CalibrationCurve calibration{};
};

Rig& rig()
{
    static Rig r;
    return r;
}

void processRecording(benchmark::State& state, bool matched)
{
    Rig& r = rig();
    MlsSettings s = r.settings;
    s.useMatchedFilter = matched ? 1 : 0;
    for (auto _ : state) {
        r.engine->splitCapture(s);
        r.engine->computeImpulseResponses(s);
        const MlsStatus status = r.engine->computeFrequencyResponse(s, r.axis, r.calibration);
        benchmark::DoNotOptimize(status);
    }
}

void BM_ProcessOrder18(benchmark::State& state) { processRecording(state, false); }
void BM_ProcessOrder18MatchedFilter(benchmark::State& state) { processRecording(state, true); }

void BM_Fft2e18(benchmark::State& state)
{
    const ComplexFft fft(18, 18);
    AlignedFloats data(2 << 18);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<float>(i % 17) - 8.0f;
    for (auto _ : state) {
        (void)fft.fftForward(data.span(), 1 << 18);
        benchmark::DoNotOptimize(data.data());
    }
}

void BM_Hadamard2e18(benchmark::State& state)
{
    AlignedFloats data(1 << 18);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<float>(i % 5) - 2.0f;
    for (auto _ : state) {
        MlsGenerator::fastHadamardTransform(data.span(), 1 << 18);
        benchmark::DoNotOptimize(data.data());
    }
}

// Tables of one order are kept, so each round builds two orders.
void BM_PermutationTablesOrders17And18(benchmark::State& state)
{
    MlsGenerator generator;
    for (auto _ : state) {
        benchmark::DoNotOptimize(generator.buildTables(17));
        benchmark::DoNotOptimize(generator.buildTables(18));
    }
}

BENCHMARK(BM_ProcessOrder18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessOrder18MatchedFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fft2e18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hadamard2e18)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PermutationTablesOrders17And18)->Unit(benchmark::kMillisecond);

} // namespace
