// The swept sine on the simulated rig against truth from outside the code: the MLS cell of the
// same direction, and the closed-form harmonics of the rig's polynomial through its
// loudspeaker model.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "mls/mls_engine.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {
namespace {

// One measurement through the sound-card logic on the simulated rig, processed by the engine
// up to the cell on the 750-point axis.
double db(std::complex<double> x) { return 20 * std::log10(std::abs(x)); }

struct RigMeasurement {
    std::ostringstream events;
    HeadlessPlatform platform{events};
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    FixedRigAngles angles;
    SimAudioSystem audio;
    MlsSettings settings;
    std::unique_ptr<MlsEngine> engine = std::make_unique<MlsEngine>();
    std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * kCaptureFrames);
    int ready = 0;
    SoundCard card{window, audio, settings, platform.log(), {engine->playBuffer(), capture, engine->captureCopy()},
                   [this] { ++ready; }};
    FrequencyAxis axis; // 10 Hz .. 50 kHz
    CalibrationCurve calibration{};

    RigMeasurement(double h, double v, int order, SimAudioOptions options = {}, int volume = 10)
        : angles(h, v), audio(platform.clock(), angles, options)
    {
        settings.mlsLengthIndex = order - 13;
        settings.outputVolume = volume;
    }

    // The cell, or the refusal's text.
    std::string measure(const ExcitationSettings* sweep)
    {
        engine->clearWorkArrays();
        if (sweep) {
            if (const MlsStatus s = engine->generateSweepForPlayback(settings, *sweep); !s.ok())
                return std::string(s.message);
        } else {
            EXPECT_TRUE(engine->generateMlsForPlayback(settings).ok());
        }
        const int before = ready;
        EXPECT_TRUE(card.startPlayAndCapture());
        platform.advance(6000);
        platform.settle();
        EXPECT_EQ(ready, before + 1);
        engine->splitCapture(settings);
        if (sweep) {
            engine->computeSweepResponses(settings);
            engine->computeHarmonics(settings, axis);
        } else {
            engine->computeImpulseResponses(settings);
        }
        const MlsStatus s = engine->computeFrequencyResponse(settings, axis, calibration);
        return std::string(s.message);
    }
};


// The MLS cell has errors of its own of about 0.1 dB (its silent tail, its noise): between 150 and
// 300 Hz it reads a steady 0.09..0.10 dB above the sweep (the worst 0.1003 dB at 220 Hz), the
// sweep lying nearer the model. The bound leaves that share of the MLS a margin of 0.02 dB.
TEST(SweptSine, LinearCellEqualsTheMlsCell)
{
    RigMeasurement rig(0, 45, 18);
    ASSERT_EQ(rig.measure(nullptr), "");
    const AxisLevelPhase mls = rig.engine->response();
    const ExcitationSettings sweep{true, 10, 0};
    ASSERT_EQ(rig.measure(&sweep), "");
    const AxisLevelPhase& swept = rig.engine->response();
    double worstDb = 0, worstDeg = 0;
    for (int j = 0; j < kAxisPoints; ++j) {
        if (rig.axis[j] < 100 || rig.axis[j] > 20000)
            continue;
        const auto at = static_cast<std::size_t>(j);
        worstDb = std::max(worstDb, std::abs(static_cast<double>(swept[at].level) - mls[at].level));
        worstDeg = std::max(worstDeg, std::abs(std::remainder(static_cast<double>(swept[at].phase) - mls[at].phase, 360.0)));
    }
    EXPECT_LT(worstDb, 0.12);
    EXPECT_LT(worstDeg, 1.0);
}

// Harmonic 2 at a2 A / 2 and 3 at a3 A^2 / 4 relative to the fundamental, each through the
// loudspeaker at its own frequency.
TEST(SweptSine, HarmonicsFollowTheClosedForm)
{
    SimAudioOptions options;
    options.a2 = 0.05;
    options.a3 = 0.1;
    constexpr int kVolume = 30;
    RigMeasurement rig(0, 0, 16, options, kVolume);
    const ExcitationSettings sweep{true, 10, 0};
    ASSERT_EQ(rig.measure(&sweep), "");
    const HarmonicResponses& h = rig.engine->harmonics();
    const double a = kVolume * 83386.0 * 256 / 2147483648.0; // the sweep's peak, fraction of full scale
    int compared[2] = {0, 0};
    double worst[2] = {0, 0};
    for (int j = 0; j < kAxisPoints; ++j) {
        const double f = rig.axis[j];
        const auto at = static_cast<std::size_t>(j);
        if (f < 200 || f > 7000)
            continue;
        const double fundamental = db(rig.audio.inTransfer(f, 0, 0));
        const double truth[2] = {db(options.a2 * a / 2) + db(rig.audio.inTransfer(2 * f, 0, 0)) - fundamental,
                                 db(options.a3 * a * a / 4) + db(rig.audio.inTransfer(3 * f, 0, 0)) - fundamental};
        for (std::size_t n = 0; n < 2; ++n) {
            if (h.harmonicDb[n][at] < h.noiseDb[at] + 20)
                continue;
            ++compared[n];
            worst[n] = std::max(worst[n], std::abs(h.harmonicDb[n][at] - truth[n]));
        }
        // THD follows from the harmonics above the noise.
        double sum = 0;
        for (const AxisValues& v : h.harmonicDb)
            if (h.measured(v, at))
                sum += std::pow(10.0, v[at] / 10);
        EXPECT_NEAR(h.thdDb[at], sum > 0 ? 10 * std::log10(sum) : kNoHarmonicDb, 0.01);
    }
    EXPECT_GT(compared[0], 300);
    EXPECT_GT(compared[1], 300);
    EXPECT_LT(worst[0], 0.5);
    EXPECT_LT(worst[1], 0.5);
}

// The same polynomial spreads over the MLS response as noise once the played signal is not
// two-valued (with pre-emphasis: a binary sequence through x^2 and x^3 gives only a constant
// and a gain), while the sweep's linear response stays with the linear rig's.
TEST(SweptSine, DistortionRaisesTheMlsFloorNotTheSweepResponse)
{
    const auto floorDb = [](const MlsEngine& engine) { // peak over the rms of the tail, dB
        const auto in = engine.inSignal();
        double peak = 0, tail = 0;
        for (std::size_t i = 0; i < 60000; ++i) {
            peak = std::max(peak, std::abs(static_cast<double>(in[i])));
            if (i >= 20000)
                tail += static_cast<double>(in[i]) * in[i];
        }
        return 20 * std::log10(peak / std::sqrt(tail / 40000));
    };
    double mlsRange[2] = {}, sweepRange[2] = {};
    AxisLevelPhase sweepCell[2];
    const ExcitationSettings sweep{true, 10, 0};
    for (int nonlinear = 0; nonlinear < 2; ++nonlinear) {
        SimAudioOptions options;
        options.a2 = 0.05 * nonlinear;
        options.a3 = 0.02 * nonlinear;
        RigMeasurement rig(0, 0, 16, options, 30);
        rig.settings.preEmphasisText = "1000";
        ASSERT_EQ(rig.measure(nullptr), "");
        mlsRange[nonlinear] = floorDb(*rig.engine);
        rig.settings.preEmphasisText = "0.0";
        ASSERT_EQ(rig.measure(&sweep), "");
        sweepRange[nonlinear] = floorDb(*rig.engine);
        sweepCell[nonlinear] = rig.engine->response();
    }
    EXPECT_GT(mlsRange[0] - mlsRange[1], 3.0);
    EXPECT_LT(sweepRange[0] - sweepRange[1], 1.0);
    EXPECT_GT(sweepRange[1], mlsRange[1] + 6);
    const FrequencyAxis axis;
    for (int j = 0; j < kAxisPoints; ++j) {
        if (axis[j] >= 100 && axis[j] <= 20000) {
            EXPECT_NEAR(sweepCell[1][static_cast<std::size_t>(j)].level, sweepCell[0][static_cast<std::size_t>(j)].level, 0.1)
                << axis[j] << " Hz";
        }
    }
}

TEST(SweptSine, RefusesWhatCannotBePlayedNamingTheValue)
{
    struct Case {
        double f1, f2;
        int lengthIndex;
        const char* named;
    };
    const Case cases[] = {{1000, 1000, 3, "f1 = 1000 Hz"},
                          {20, 30000, 3, "f2 = 30000 Hz lies above the Nyquist frequency 24000 Hz"},
                          {0, 20000, 3, "f1 = 0 Hz"},
                          {20, -5, 3, "f2 = -5 Hz must lie above 0 Hz"},
                          {2000, 2200, 0, "its harmonics need"},
                          {5, 20000, 0, "does not fit the length 8191"}};
    for (const Case& c : cases) {
        MlsSettings settings;
        settings.mlsLengthIndex = c.lengthIndex;
        const SweepPlanResult r = planSweep(settings, {true, c.f1, c.f2});
        EXPECT_NE(r.error.find(c.named), std::string::npos) << r.error;
    }
    MlsSettings settings;
    EXPECT_TRUE(planSweep(settings, {true, 10, 0}).ok());
}

} // namespace
} // namespace vantrel
