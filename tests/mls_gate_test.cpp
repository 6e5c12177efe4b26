// The reflection-free gate on synthetic impulse responses: a loudspeaker-like pulse (a sharp
// peak, a crossover's ringing and a slow low-frequency tail), its delayed copy as the
// reflection, and the microphone's noise.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "mls/gate.h"

namespace vantrel {
namespace {

constexpr int kRate = 48000;
constexpr int kLength = 8192;
constexpr int kDirect = 340; // where the aligned responses put a microphone 2 m away

double pulse(int n)
{
    if (n < 0)
        return 0;
    const double t = static_cast<double>(n) / kRate;
    const double peak = n == 0 ? 1.0 : n == 1 ? -0.6 : 0.0;
    return peak + 0.3 * std::exp(-t / 0.3e-3) * std::sin(2 * std::numbers::pi * 2200 * t) +
           0.02 * std::exp(-t / 5e-3) * std::sin(2 * std::numbers::pi * 45 * t + 1.0);
}

struct Response {
    double direct = 1;      // the direct sound's level
    double reflectionMs = 0; // after the direct sound; 0: none
    double reflection = 0;   // its level
    double noise = 0;        // rms
};

std::vector<float> synthesise(const Response& r, unsigned seed)
{
    std::vector<float> h(kLength, 0.0f);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const int delay = static_cast<int>(std::lround(r.reflectionMs * kRate / 1000));
    for (int i = 50; i < kLength; ++i)
        h[static_cast<std::size_t>(i)] = static_cast<float>(r.direct * pulse(i - kDirect) +
                                                            (delay > 0 ? r.reflection * pulse(i - kDirect - delay) : 0.0) +
                                                            r.noise * gauss(rng));
    return h;
}

TEST(Gate, FindsTheFirstReflectionThroughRingingAndNoiseAndNothingElse)
{
    struct Case {
        const char* what;
        Response response;
        bool found;
    };
    const Case cases[] = {
        {"floor bounce, quiet room", {1, 3.7, 0.5, 1e-4}, true},
        {"early and weak, on the ringing", {1, 2.0, 0.1, 1e-4}, true},
        {"weak, on the tail and in noise", {1, 6.0, 0.06, 2e-3}, true},
        {"stronger than a direct sound facing away", {0.1, 2.5, 0.6, 1e-4}, true},
        {"anechoic: ringing and tail only", {1, 0, 0, 1e-4}, false},
        {"anechoic and noisy", {1, 0, 0, 1e-2}, false},
        {"reflection drowned in the noise", {1, 4.0, 1e-3, 1e-2}, false},
    };
    for (const Case& c : cases) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(std::string(c.what) + ", seed " + std::to_string(seed));
            const std::vector<float> h = synthesise(c.response, seed);
            const ReflectionSearch found = findFirstReflection(h, kRate);
            EXPECT_NEAR(found.direct, kDirect, 2);
            ASSERT_EQ(found.reflection.has_value(), c.found);
            if (c.found) {
                EXPECT_NEAR((*found.reflection - found.direct) * 1000.0 / kRate, c.response.reflectionMs, 0.2);
            }
        }
    }
}

// A later point of a walk: the direct sound is where the first point found it, however weak.
TEST(Gate, AGivenDirectSoundIsTakenAsItIs)
{
    const std::vector<float> h = synthesise({0.01, 3.0, 1.0, 1e-4}, 7);
    const ReflectionSearch found = findFirstReflection(h, kRate, kDirect);
    EXPECT_EQ(found.direct, kDirect);
    ASSERT_TRUE(found.reflection);
    EXPECT_NEAR((*found.reflection - kDirect) * 1000.0 / kRate, 3.0, 0.2);
}

TEST(Gate, TheWindowEndsTheMarginBeforeTheReflection)
{
    struct Case {
        int direct;
        int reflection;
        int rate;
        int maxPosition;
        int position, width; // expected
    };
    // 0.5 ms lead and margin: 24 samples at 48 kHz, 48 at 96 kHz.
    const Case cases[] = {
        {340, 519, 48000, 400, 316, 519 - 24 - 316},
        {620, 978, 96000, 400, 400, 978 - 48 - 400},   // the position stops at the scroll bar's end
        {10, 200, 48000, 400, 0, 200 - 24},            // and at the response's start
    };
    for (const Case& c : cases) {
        const double gateMs = gateMsFor(c.direct, c.reflection, c.rate);
        const std::optional<GateWindow> w = gateWindowFor(c.direct, gateMs, c.rate, c.maxPosition);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->position, c.position);
        EXPECT_NEAR(w->width, c.width, 1);
        EXPECT_LE(w->position + w->width, c.reflection - c.rate / 2000);
    }
    EXPECT_FALSE(gateWindowFor(340, 0.0, 48000, 400));
    EXPECT_FALSE(gateWindowFor(340, -1.0, 48000, 400));
}

} // namespace
} // namespace vantrel
