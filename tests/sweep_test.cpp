// The swept sine on the simulated rig against truth from outside the code: the MLS cell of the
// same direction, and the closed-form harmonics of the rig's polynomial through its
// loudspeaker model.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
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
        if (sweep)
            engine->computeSweepResponses(settings);
        else
            engine->computeImpulseResponses(settings);
        // The window's order: the harmonics take the calibration of their response.
        const MlsStatus s = engine->computeFrequencyResponse(settings, axis, calibration);
        if (sweep && s.ok())
            engine->computeHarmonics(settings, axis);
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

// A microphone's deviation is no distortion: each harmonic is corrected at its own frequency,
// so that a curve rising by C(2 f) - C(f) lowers H2 by as much.
TEST(SweptSine, CalibrationCorrectsEachHarmonicAtItsOwnFrequency)
{
    SimAudioOptions options;
    options.a2 = 0.05;
    options.a3 = 0.1;
    RigMeasurement rig(0, 0, 16, options, 30);
    const ExcitationSettings sweep{true, 10, 0};
    ASSERT_EQ(rig.measure(&sweep), "");
    const HarmonicResponses plain = rig.engine->harmonics();
    const auto curveDb = [](double hz) { // a presence rise of 6 dB
        const double x = hz / 5000;
        return 6 * x * x / (1 + x * x);
    };
    for (int j = 0; j < kAxisPoints; ++j)
        rig.calibration[static_cast<std::size_t>(j)] = {static_cast<float>(curveDb(rig.axis[j])), 0.0f};
    rig.settings.useCalibration = 1;
    ASSERT_EQ(rig.measure(&sweep), "");
    const HarmonicResponses& corrected = rig.engine->harmonics();
    int compared = 0;
    for (int j = 0; j < kAxisPoints; ++j) {
        const auto at = static_cast<std::size_t>(j);
        const double f = rig.axis[j];
        for (std::size_t h = 0; h < 2; ++h) {
            if (plain.harmonicDb[h][at] < plain.noiseDb[at] + 20)
                continue;
            ++compared;
            const double n = static_cast<double>(h) + 2;
            EXPECT_NEAR(corrected.harmonicDb[h][at], plain.harmonicDb[h][at] - (curveDb(n * f) - curveDb(f)), 0.1)
                << "H" << n << " at " << f << " Hz";
        }
    }
    EXPECT_GT(compared, 600);
}

// The analyser on a recording made here, free of noise and of a loudspeaker: REF the played
// sweep, IN the sweep through y = x + a2 x^2 + a3 x^3 (x at 1 at its peak), plus, when asked, a
// pure harmonic of order k as rub and buzz make it: sin(k phi(t)) with the sweep's published
// phase phi(t) = 2 pi f1 L (e^(t/L) - 1), kept below 0.8 of Nyquist.
struct SyntheticSweep {
    SweepPlan plan;
    std::unique_ptr<SweepAnalyser> analyser = std::make_unique<SweepAnalyser>();
    ComplexFft fft{kMinMlsOrder, kMaxMlsOrder};
    FrequencyAxis axis;
    HarmonicResponses out;

    SyntheticSweep(int order, double f1, double f2)
    {
        MlsSettings settings;
        settings.mlsLengthIndex = order - 13;
        const SweepPlanResult planned = planSweep(settings, {true, f1, f2});
        EXPECT_TRUE(planned.ok()) << planned.error;
        plan = planned.plan;
        std::vector<std::int32_t> play(2 * static_cast<std::size_t>(kPlayFrames));
        analyser->generate(plan, settings, play, fft);
        double peak = 0;
        for (int j = 0; j < plan.sweepSamples; ++j)
            peak = std::max(peak, std::abs(static_cast<double>(play[2 * static_cast<std::size_t>(kPlayLead + j)])));
        for (int j = 0; j < plan.sweepSamples; ++j)
            sweep.push_back(play[2 * static_cast<std::size_t>(kPlayLead + j)] / peak);
    }

    void analyse(double a2, double a3, int smoothing, int buzzOrder = 0, double buzz = 0)
    {
        std::vector<float> ref(kSignalLength), in(kSignalLength), copy(kSignalLength), scratch(kScratchLength),
            first(kScratchLength);
        constexpr int kDelay = 300;
        const double rate = plan.rate, l = plan.lSeconds;
        const double buzzEnd = buzzOrder > 0 ? rate * l * std::log(0.4 * rate / (buzzOrder * plan.f1)) : 0;
        constexpr double kTaper = 256;
        for (std::size_t j = 0; j < sweep.size(); ++j) {
            const double x = sweep[j], t = static_cast<double>(j);
            double y = x + a2 * x * x + a3 * x * x * x;
            if (t < buzzEnd) {
                const double edge = std::min({1.0, t / kTaper, (buzzEnd - t) / kTaper});
                const double phase = 2 * std::numbers::pi * plan.f1 * l * std::expm1(t / rate / l);
                y += buzz * (0.5 - 0.5 * std::cos(std::numbers::pi * edge)) * std::sin(buzzOrder * phase);
            }
            ref[kDelay + j] = static_cast<float>(x);
            in[kDelay + j] = static_cast<float>(y);
        }
        (void)analyser->deconvolve(plan, {ref, in, copy, scratch, first}, MlsSettings{}.frontWindowText, fft);
        analyser->harmonics(axis, smoothing, out, fft);
    }

    std::vector<double> sweep;
};

// Every axis point reads a harmonic as the closed form has it, or -200 dB where the sweep
// cannot show it: no smoothing carries a value across a band edge or lowers the points inside
// it, and a short sweep's fade-out, starting well below f2, lifts none. (The lowest octaves are
// left to the resolution of the short harmonic windows.)
TEST(SweptSine, HarmonicsReadTheClosedFormOrNothing)
{
    struct Case {
        int order;
        double f1, f2;
        int smoothing;
    };
    // f2 at most a sixth of the rate: harmonic 3 of a sampled polynomial then does not fold.
    const Case cases[] = {{16, 10, 7000, 0}, {16, 10, 7000, 5}, {14, 200, 8000, 3}, {13, 100, 7000, 2}};
    constexpr double a2 = 0.1, a3 = 0.1;
    const double truth[2] = {20 * std::log10(a2 / 2 / (1 + 0.75 * a3)), 20 * std::log10(a3 / 4 / (1 + 0.75 * a3))};
    for (const Case& c : cases) {
        SyntheticSweep s(c.order, c.f1, c.f2);
        s.analyse(a2, a3, c.smoothing);
        for (std::size_t h = 0; h < 2; ++h) {
            const double n = static_cast<double>(h) + 2;
            int read = 0;
            for (int j = 0; j < kAxisPoints; ++j) {
                const auto at = static_cast<std::size_t>(j);
                const double f = s.axis[j], v = s.out.harmonicDb[h][at];
                const auto where = [&] {
                    std::ostringstream text;
                    text << 'H' << n << " at " << f << " Hz, order " << c.order << ", smoothing " << c.smoothing;
                    return text.str();
                };
                if (n * f > c.f2 || f < 2 * c.f1) {
                    EXPECT_EQ(v, kNoHarmonicDb) << where();
                } else if (v != kNoHarmonicDb && f >= std::max(400.0, 5 * c.f1)) {
                    ++read;
                    EXPECT_NEAR(v, truth[h], 0.5) << where();
                    EXPECT_TRUE(s.out.measured(s.out.harmonicDb[h], at)) << where();
                }
            }
            EXPECT_GT(read, 50) << "H" << n << ", order " << c.order;
        }
    }
}

// Rub and buzz put harmonics of every order ahead of the linear response; none of them may
// count as the noise the harmonics are measured against.
TEST(SweptSine, HighOrderHarmonicsStayOutOfTheNoise)
{
    SyntheticSweep s(18, 10, 24000);
    s.analyse(0, 0, 0);
    const AxisValues clean = s.out.noiseDb;
    for (const int order : {30, 150, 600}) {
        s.analyse(0, 0, 0, order, 0.01); // at -40 dB
        for (int j = 0; j < kAxisPoints; ++j) {
            const auto at = static_cast<std::size_t>(j);
            EXPECT_LT(s.out.noiseDb[at], std::max(clean[at] + 1.0, -100.0)) << "order " << order << " at " << s.axis[j] << " Hz";
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
