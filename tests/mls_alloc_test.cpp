// Nothing between receiving a recording and returning its frequency response allocates or
// plans an FFT: this executable counts every operator new.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "mls/mls_engine.h"
#include "mls_test_signals.h"

namespace {
std::atomic<long> allocations{0};
}

// The replacements pair malloc with free themselves; GCC cannot see that through the
// sized and array forms.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace vantrel {
namespace {

TEST(MlsAllocation, ProcessingARecordingNeitherAllocatesNorPlans)
{
    auto engine = std::make_unique<MlsEngine>();
    MlsSettings s;
    ASSERT_TRUE(engine->generateMlsForPlayback(s).ok());
    test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), 800, 20, test::OnePole{0.5});
    FrequencyAxis axis;
    CalibrationCurve calibration{};
    calibration.fill({1.0f, 10.0f});

    const long before = allocations.load();
    const auto plans = ComplexFft::planCount();
    engine->splitCapture(s);
    engine->computeImpulseResponses(s);
    const MlsStatus plain = engine->computeFrequencyResponse(s, axis, calibration);
    s.useMatchedFilter = 1;
    s.useCalibration = 1;
    s.windowTypeIndex = 5;
    s.windowWidthText = "200";
    s.fftWindowPosition = 300;
    const MlsStatus matched = engine->computeFrequencyResponse(s, axis, calibration);
    s.useMatchedFilter = 0;
    const MlsStatus symmetric = engine->computeFrequencyResponse(s, axis, calibration);
    const long after = allocations.load();

    EXPECT_TRUE(plain.ok());
    EXPECT_TRUE(matched.ok());
    EXPECT_TRUE(symmetric.ok());
    EXPECT_EQ(after - before, 0);
    EXPECT_EQ(ComplexFft::planCount(), plans);
    EXPECT_NE(engine->refDelay(), 0);
}

} // namespace
} // namespace vantrel
