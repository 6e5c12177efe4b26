// Impulse responses from synthesised recordings, the time windows, the frequency-response
// steps and the whole chain against filters of known response.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "mls/frequency_response.h"
#include "mls/matched_filter.h"
#include "mls/mls_engine.h"
#include "mls/time_windows.h"
#include "mls_test_signals.h"

namespace vantrel {
namespace {

using test::OnePole;

class MlsChain : public ::testing::Test {
protected:
    static void SetUpTestSuite() { engine = std::make_unique<MlsEngine>(); }
    static void TearDownTestSuite() { engine.reset(); }

    // Plays the sequence for the settings and records it with the given delays.
    static void record(const MlsSettings& s, int refDelay, int inExtra, OnePole in = {}, double gain = 1.0)
    {
        ASSERT_TRUE(engine->generateMlsForPlayback(s).ok());
        test::synthesiseCapture(engine->playBuffer(), engine->captureCopy(), refDelay, inExtra, in, gain);
        engine->splitCapture(s);
        engine->computeImpulseResponses(s);
    }

    static MlsSettings order(int mlsOrder)
    {
        MlsSettings s;
        s.mlsLengthIndex = mlsOrder - 13;
        return s;
    }

    static int peakIndex(std::span<const float> v)
    {
        return static_cast<int>(std::max_element(v.begin(), v.begin() + 300000, [](float a, float b) { return std::fabs(a) < std::fabs(b); }) - v.begin());
    }

    static inline std::unique_ptr<MlsEngine> engine;
    static inline const double unit = 10.0 * kLevelStep * 256.0 / 42000.0; // converted amplitude at volume 10
    FrequencyAxis axis;
    CalibrationCurve calibration{};
};

TEST_F(MlsChain, LoopBackDelayIsFoundAndThePeakLandsAfterTheLead)
{
    const MlsSettings s = order(18);
    for (int d : {10, 5000, 99999}) {
        SCOPED_TRACE(d);
        record(s, d, 0);
        EXPECT_EQ(engine->refDelay(), d);
        EXPECT_EQ(engine->inDelay(), d);
        EXPECT_EQ(engine->alignLead(), 10);
        EXPECT_EQ(peakIndex(engine->refSignal()), 60);
        EXPECT_EQ(peakIndex(engine->inSignal()), 60);
        if (d < 100) { // later, the 263,499-frame recording ends before the period does
            EXPECT_NEAR(engine->refSignal()[60] / unit, 2.0, 0.01);
        }
        EXPECT_NEAR(engine->refPeak(), unit, 1e-3);
        for (int i = 0; i < 50; ++i)
            ASSERT_EQ(engine->refSignal()[static_cast<std::size_t>(i)], 0.0f);
        EXPECT_EQ(engine->inImpulseCopy()[60], engine->inSignal()[60]);
    }

    record(s, 3, 0);
    EXPECT_EQ(engine->alignLead(), 3);
    EXPECT_EQ(peakIndex(engine->refSignal()), 53);
}

TEST_F(MlsChain, InLaterThanRefKeepsItsDelayAndInvertRefFlipsTheResponse)
{
    MlsSettings s = order(15);
    record(s, 400, 20);
    EXPECT_EQ(engine->inDelay(), 420);
    EXPECT_EQ(peakIndex(engine->inSignal()), 80);
    const float refPeak = engine->refSignal()[60];

    s.refPolarity = -1;
    record(s, 400, 20);
    EXPECT_FLOAT_EQ(engine->refSignal()[60], -refPeak);
    EXPECT_EQ(engine->refDelay(), 400);
}

// Behind a gate the period is made the exact circular response of a room. A pure delay then
// gives ((L + 1) delta - 1) / L, without the sidelobes of the period's silent last 1000 samples
// (about sqrt(1000) / L at every lag). An echo 3000 samples late outlasts that silence: the
// response of direct sound and echo is the sum of their own, which it is not without the fold.
TEST_F(MlsChain, RoomProcessingGivesTheCircularResponseOfAWholeSequence)
{
    const MlsSettings s = order(14);
    ASSERT_TRUE(engine->generateMlsForPlayback(s).ok());
    const int delay = 400, echoLag = 3000, length = (1 << 14) - 1;
    auto response = [&](double direct, double echo, double noiseLevel, bool room) {
        const std::span<const std::int32_t> play = engine->playBuffer();
        std::span<std::int32_t> capture = engine->captureCopy();
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 2147483648.0);
        auto right = [&](long frame) { return frame >= 0 && frame < kPlayFrames - kPlayLead ? double(play[2 * (frame + kPlayLead) + 1]) : 0.0; };
        for (long k = 0; k < kCaptureFrames; ++k) {
            capture[2 * k] = static_cast<std::int32_t>(right(k - delay));
            const double in = direct * right(k - delay) + echo * right(k - delay - echoLag) + noiseLevel * noise(rng);
            capture[2 * k + 1] = static_cast<std::int32_t>(in);
        }
        engine->splitCapture(s);
        engine->computeImpulseResponses(s, room);
        const std::span<const float> in = engine->inSignal();
        return std::vector<float>(in.begin() + 50, in.begin() + 50 + length);
    };
    // rms of x - y - z relative to the peak of x (index 10)
    auto rms = [&](const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& z) {
        double power = 0;
        for (int i = 0; i < length; ++i) {
            const double d = x[static_cast<std::size_t>(i)] - y[static_cast<std::size_t>(i)] - z[static_cast<std::size_t>(i)];
            power += d * d;
        }
        return std::sqrt(power / length) / x[10];
    };
    const std::vector<float> none(static_cast<std::size_t>(length), 0.0f);
    for (const bool room : {false, true}) {
        SCOPED_TRACE(room);
        std::vector<float> ideal = response(0.5, 0.0, 0.0, room);
        const float peak = ideal[10];
        std::fill(ideal.begin(), ideal.end(), -peak / (length + 1));
        ideal[10] = peak;
        if (room)
            EXPECT_LT(rms(response(0.5, 0.0, 0.0, room), ideal, none), 3e-5);
        else
            EXPECT_GT(rms(response(0.5, 0.0, 0.0, room), ideal, none), 1e-3);
    }
    const double folded = rms(response(0.5, 0.15, 2e-4, true), response(0.5, 0.0, 2e-4, true), response(0.0, 0.15, 0.0, true));
    const double unfolded = rms(response(0.5, 0.15, 2e-4, false), response(0.5, 0.0, 2e-4, false), response(0.0, 0.15, 0.0, false));
    EXPECT_LT(folded, 3e-5);
    EXPECT_GT(unfolded, 20 * folded);
}

TEST_F(MlsChain, SilentReferenceGivesNoImpulseResponse)
{
    const MlsSettings s = order(13);
    ASSERT_TRUE(engine->generateMlsForPlayback(s).ok());
    std::fill(engine->captureCopy().begin(), engine->captureCopy().end(), 0);
    engine->splitCapture(s);
    engine->computeImpulseResponses(s);
    EXPECT_EQ(engine->refDelay(), 0);
    EXPECT_TRUE(std::all_of(engine->refSignal().begin(), engine->refSignal().end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(engine->computeFrequencyResponse(s, axis, calibration).message, "Please Generate Impulse Response First");
}

TEST_F(MlsChain, IdenticalChannelsGiveAFlatLevelAtTheReferenceMaximum)
{
    MlsSettings s = order(15);
    s.fftWindowPosition = 52; // IN enters the FFT where REF does
    s.addDbText = "3.5";
    record(s, 300, 0);
    ASSERT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    const float m = engine->refResponse()[100].level + engine->refCorrection()[100];
    EXPECT_GT(m, 60.0f);
    for (int j = 0; j < kAxisPoints; ++j) {
        const auto& r = engine->response()[static_cast<std::size_t>(j)];
        if (j + 2 < kAxisPoints && axis[j + 2] < 24000.0f) { // smoothing reaches 2 points aside
            ASSERT_NEAR(r.level, m + 3.5f, 0.01f) << j;
            ASSERT_NEAR(r.phase, 0.0f, 0.01f) << j;
        } else if (axis[j - 2] >= 24000.0f) {
            ASSERT_EQ(engine->refCorrection()[static_cast<std::size_t>(j)], 0.0f) << j;
            ASSERT_NEAR(engine->inResponse()[static_cast<std::size_t>(j)].level, -130.0f, 0.5f) << j;
        }
    }

    // Kaiser-Bessel starts at 1.242 where Rectangular is 1: the REF maximum, and so the level,
    // rises by 20 log10(1.242).
    s.windowTypeIndex = 2;
    ASSERT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    const float rectangular = engine->response()[300].level;
    s.windowTypeIndex = 3;
    ASSERT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    EXPECT_NEAR(engine->response()[300].level - rectangular, 20 * std::log10(1.242), 0.02);

    // Dividing by a calibration curve of +6 dB, +30 degrees.
    s.windowTypeIndex = 0;
    s.useCalibration = 1;
    calibration.fill({6.0f, 30.0f});
    ASSERT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    EXPECT_NEAR(engine->response()[300].level, m + 3.5f - 6.0f, 0.01f);
    EXPECT_NEAR(engine->response()[300].phase, -30.0f, 0.01f);
}

// IN through a one-pole low-pass: level - M follows 20 log10 |H| and the phase arg H.
TEST_F(MlsChain, KnownFilterIsMeasuredWithItsLevelAndPhase)
{
    MlsSettings s = order(16);
    s.fftWindowPosition = 52;
    s.smoothingIndex = 5;
    const OnePole filter{0.8};
    record(s, 700, 0, filter);
    ASSERT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
    const float m = engine->refResponse()[100].level + engine->refCorrection()[100];
    for (int j = 50; j < kAxisPoints; ++j) {
        if (axis[j] > 15000.0f)
            break;
        const std::complex<double> h = filter.response(axis[j], 48000.0);
        const auto& r = engine->response()[static_cast<std::size_t>(j)];
        ASSERT_NEAR(r.level - m, 20 * std::log10(std::abs(h)), 0.2) << axis[j];
        ASSERT_NEAR(r.phase, std::arg(h) * kDegreesPerRadian, 1.5) << axis[j];
    }
}

TEST_F(MlsChain, WindowChecksRefuseWithTheirMessages)
{
    MlsSettings s = order(18);
    record(s, 100, 0);
    s.windowWidthText = "300000";
    EXPECT_EQ(engine->computeFrequencyResponse(s, axis, calibration).message, "Please reduce Timw Window Length");
    s = order(13);
    s.mlsLengthIndex = 0; // the default width exceeds 8191 points
    EXPECT_EQ(engine->computeFrequencyResponse(s, axis, calibration).message, "Please reduce Timw Window Length");

    s = order(18);
    for (int type = 5; type <= 9; ++type) {
        s.windowTypeIndex = type;
        s.fftWindowPosition = 400;
        EXPECT_EQ(engine->computeFrequencyResponse(s, axis, calibration).message,
                  "Please reduce Time Window Length\n OR Re-position the Time Window");
    }
    s.windowWidthText = "300";
    s.fftWindowPosition = 301;
    EXPECT_TRUE(engine->computeFrequencyResponse(s, axis, calibration).ok());
}

TEST(MlsFrequencySteps, BandAverageDividesByBinsPlusOne)
{
    FrequencyAxis axis; // 10 Hz .. 50 kHz
    std::vector<float> re(32768, 1.0f), im(32768, 0.0f);
    AxisComplex out{};
    const double binHz = 48000.0 / 32768;
    bandAverage(re, im, axis, binHz, 16384, 24000.0, false, out);
    int single = 0, six = 0;
    for (int j = 1; j < 749; ++j) {
        const long lo = static_cast<long>(axis[j - 1] / binHz), hi = static_cast<long>(axis[j] / binHz);
        if (axis[j] >= 24000.0f) {
            ASSERT_EQ(out[static_cast<std::size_t>(j)].real(), 0.0f);
        } else if (lo == hi) {
            ASSERT_FLOAT_EQ(out[static_cast<std::size_t>(j)].real(), 0.5f) << j;
            ++single;
        } else if (hi - lo >= 5) {
            ASSERT_FLOAT_EQ(out[static_cast<std::size_t>(j)].real(), 6.0f / 7.0f) << j;
            ++six;
        }
    }
    EXPECT_GT(single, 10);
    EXPECT_GT(six, 10);
    EXPECT_EQ(out[0], out[1]);

    // The REF pass fills points above Nyquist with the 1 kHz value.
    bandAverage(re, im, axis, binHz, 16384, 24000.0, true, out);
    EXPECT_EQ(out[748].real(), out[static_cast<std::size_t>(oneKilohertzIndex(axis))].real());
    EXPECT_EQ(out[749], out[748]);

    // An axis from 1 kHz makes point 0 the filler; it is still 0 when the points above
    // Nyquist take it, whatever an earlier pass left there.
    FrequencyAxis high;
    high.build(1000.0, 50000.0);
    ASSERT_EQ(oneKilohertzIndex(high), 0);
    out.fill({7.0f, 7.0f});
    bandAverage(re, im, high, binHz, 16384, 24000.0, true, out);
    EXPECT_EQ(out[748], std::complex<float>(0.0f, 0.0f));
    EXPECT_GT(out[1].real(), 0.0f);
}

TEST(MlsFrequencySteps, SmoothingAndUnwrapping)
{
    AxisLevelPhase in{}, out{};
    for (int j = 0; j < kAxisPoints; ++j)
        in[static_cast<std::size_t>(j)] = {static_cast<float>(j) * j, static_cast<float>(j)};
    smoothResponse(in, 5, out); // "1/3 oct": 11 points, mean of j^2 is j^2 + 10
    EXPECT_FLOAT_EQ(out[100].level, 100.0f * 100 + 10);
    EXPECT_FLOAT_EQ(out[100].phase, 100.0f);
    EXPECT_EQ(out[0].level, out[5].level);
    EXPECT_EQ(out[749].level, out[744].level);
    smoothResponse(in, 0, out);
    EXPECT_EQ(out[123].level, in[123].level);

    // A steady -7 degree step per point, wrapped into -180..180, unwraps to the straight line.
    AxisLevelPhase wrapped{};
    for (int j = 0; j < kAxisPoints; ++j)
        wrapped[static_cast<std::size_t>(j)].phase = static_cast<float>(std::remainder(-7.0 * j, 360.0));
    unwrapPhase(wrapped);
    for (int j = 1; j < kAxisPoints; ++j)
        ASSERT_NEAR(wrapped[static_cast<std::size_t>(j)].phase, -7.0 * j, 1e-3) << j;
    EXPECT_EQ(wrapped[0].phase, wrapped[1].phase);
}

// A delayed response's phase turns by up to a turn between axis points at a few kilohertz;
// with noise on it the smoothed phase must still be the mean of the true phases, taken about
// any delay near the true one, where unwrapping alone lands fifths of a turn off.
TEST(MlsFrequencySteps, SmoothingAboutTheDelayKeepsTheMeanOfTheTruePhases)
{
    const FrequencyAxis axis;
    struct Case {
        double delayMs, assumedMs;
    };
    int plainMisses = 0;
    for (const Case c : {Case{0.5, 0.5}, Case{7.0, 7.0}, Case{7.0, 6.3}, Case{12.0, 12.5}}) {
        SCOPED_TRACE(c.delayMs);
        std::mt19937 noise(7);
        std::uniform_real_distribution<double> jitter(-30.0, 30.0);
        std::array<double, kAxisPoints> truth{};
        AxisLevelPhase work{}, plain{}, plainOut{}, out{};
        for (int j = 0; j < kAxisPoints; ++j) {
            truth[static_cast<std::size_t>(j)] = -360.0 * axis[j] * c.delayMs / 1000 + jitter(noise);
            work[static_cast<std::size_t>(j)] = {static_cast<float>(j), static_cast<float>(std::remainder(truth[static_cast<std::size_t>(j)], 360.0))};
        }
        plain = work;
        smoothAboutDelay(work, axis, c.assumedMs / 1000, 2, out);
        unwrapPhase(plain);
        smoothResponse(plain, 2, plainOut);
        for (int j = 3; j < kAxisPoints - 2; ++j) { // the unwrapping repeats point 1 at point 0
            if (axis[j] > 24000)
                break;
            double mean = 0;
            for (int i = j - 2; i <= j + 2; ++i)
                mean += truth[static_cast<std::size_t>(i)] / 5;
            ASSERT_NEAR(std::remainder(out[static_cast<std::size_t>(j)].phase - mean, 360.0), 0.0, 0.05) << axis[j];
            EXPECT_FLOAT_EQ(out[static_cast<std::size_t>(j)].level, static_cast<float>(j));
            plainMisses += std::fabs(std::remainder(plainOut[static_cast<std::size_t>(j)].phase - mean, 360.0)) > 1.0;
        }
    }
    EXPECT_GT(plainMisses, 100); // what the unwrapping alone gives
}

TEST(MlsTimeWindows, ShapesStartEndAndRotateAsDescribed)
{
    const int n = 32768;
    std::vector<float> ref(n, 9.0f), in(n, 9.0f);
    MlsSettings s;
    s.windowWidthText = "1000";
    auto build = [&](int type, int front) {
        s.windowTypeIndex = type;
        s.frontWindowOn = front;
        buildTimeWindows(s, n, ref, in);
    };
    build(0, 0);
    EXPECT_NEAR(ref[0], 1.0f, 1e-4);
    EXPECT_NEAR(ref[999], 0.0f, 1e-4);
    EXPECT_EQ(ref[1000], 0.0f);
    EXPECT_EQ(in, ref);
    build(3, 0);
    EXPECT_NEAR(ref[0], 1.242f, 1e-6);
    EXPECT_NEAR(ref[999], 0.002f, 1e-3);
    build(2, 0);
    EXPECT_EQ(ref[999], 1.0f);
    EXPECT_EQ(ref[1000], 0.0f);

    build(1, 1); // front window of 6 samples, then the Hanning from 1 down
    EXPECT_NEAR(ref[0], 0.0f, 1e-4);
    EXPECT_NEAR(ref[5], 1 - (0.42323 - 0.49755 * std::cos(2 * M_PI / 11 * 5 + M_PI) - 0.07922 * std::cos(4 * M_PI / 11 * 5 + M_PI)), 1e-5);
    EXPECT_NEAR(ref[6], 1.0f, 1e-6);
    EXPECT_EQ(ref[1006], 0.0f);
    build(3, 1);
    EXPECT_NEAR(ref[6], 1.242f, 1e-6);

    build(4, 0); // flat to 875, half cosine to 1000
    EXPECT_EQ(ref[874], 1.0f);
    EXPECT_NEAR(ref[875], 1.0f, 0.01);
    EXPECT_NEAR(ref[999], 0.0f, 0.01);
    s.windowWidthText = "1001"; // 0.875 E = 875.875: the cosine already takes index 875
    build(4, 0);
    EXPECT_EQ(ref[874], 1.0f);
    EXPECT_FLOAT_EQ(ref[875], static_cast<float>((1 - std::cos(16 * M_PI / 2001 * 875)) / 2));
    EXPECT_LT(ref[875], 1.0f);
    EXPECT_EQ(in, ref);
    s.windowWidthText = "1000";

    build(6, 0); // symmetric Hanning, B = 1000, rotated: 0 at the ends, 1 at B
    EXPECT_NEAR(in[0], 0.0f, 1e-4);
    EXPECT_NEAR(in[1000], 1.0f, 1e-5);
    EXPECT_NEAR(in[1999], 0.0f, 1e-4);
    EXPECT_NEAR(in[500], in[1500], 2e-3);
    EXPECT_EQ(in[2000], 0.0f);

    build(8, 0);
    EXPECT_NEAR(in[0], 0.0f, 1e-6);
    EXPECT_EQ(in[1000], 1.0f);
    EXPECT_NEAR(in[1999], 0.0f, 1e-3);
    build(9, 0);
    EXPECT_EQ(in[1999], 1.0f);
    EXPECT_EQ(in[2000], 0.0f);
    EXPECT_EQ(ref[1000], 0.0f);

    s.windowWidthText = "abc"; // reads as 0: empty half windows, no failure
    build(0, 0);
    EXPECT_TRUE(std::all_of(ref.begin(), ref.end(), [](float v) { return v == 0.0f; }));
}

TEST(MlsMatchedFilter, RangesAreCheckedInOrderWithInclusiveBounds)
{
    MatchedFilterModel model;
    auto check = [&](const char* f, const char* q, const char* slope) {
        MlsSettings s;
        s.filterF3dbText = f;
        s.filterQText = q;
        s.filterSlopeText = slope;
        return std::string(readMatchedFilterModel(s, model).message);
    };
    EXPECT_EQ(check("5", "0.25", "1"), "");
    EXPECT_EQ(check("1000", "2", "6"), "");
    EXPECT_EQ(check("4.99", "9", "9"), "Filter Cut-Off Frequency Out Of Range (5-1000Hz)");
    EXPECT_EQ(check("80", "9", "6.01"), "Filter Slope Out Of Range (1.0-6.0)");
    EXPECT_EQ(check("80", "0.2", "4"), "Filter Q-factor Out Of Range (0.25-2.0)");
    EXPECT_EQ(check("abc", "0.7", "4"), "Filter Cut-Off Frequency Out Of Range (5-1000Hz)");
}

// The model is 20 log10(Q) at F, falls 6 S dB per octave far below and is flat far above; its
// phase from the gain-phase relation matches the analytic phase of a true second-order
// high-pass (S = 2).
TEST(MlsMatchedFilter, ModelMagnitudeAndMinimumPhase)
{
    FrequencyAxis axis;
    const int at = 300;
    MatchedFilterModel model{axis[at], 0.7, 4};
    AxisValues db{};
    matchedFilterDb(axis, model, db);
    EXPECT_NEAR(db[at], 20 * std::log10(0.7), 1e-4);
    model.cutoffHz = 1000;
    matchedFilterDb(axis, model, db);
    const int octaveUp = static_cast<int>(std::lround(750 * std::log10(2.0) / std::log10(5000.0)));
    EXPECT_NEAR(db[230 + octaveUp] - db[230], 6.02 * 4, 0.1); // about 140 Hz: x = 0.14
    EXPECT_NEAR(db[0], -100.0, 0.01);                            // the 1e-10 floor
    EXPECT_NEAR(db[749], 0.0, 0.01);

    model = {80, 0.7, 2};
    matchedFilterDb(axis, model, db);
    WorkGrid grid;
    AxisComplex response{};
    minimumPhaseResponse(db, axis, model, grid, response);
    for (int j = 0; j < kAxisPoints; ++j) {
        const double x = axis[j] / 80.0;
        const std::complex<double> h = -x * x / std::complex<double>(1 - x * x, x / 0.7);
        const std::complex<double> r(response[static_cast<std::size_t>(j)]);
        if (axis[j] > 20.0f && axis[j] < 20000.0f) {
            ASSERT_NEAR(20 * std::log10(std::abs(r)), db[static_cast<std::size_t>(j)], 1e-3) << axis[j];
            ASSERT_NEAR(std::remainder((std::arg(r) - std::arg(h)) * kDegreesPerRadian, 360.0), 0.0, 2.0) << axis[j];
        }
    }
}

TEST(MlsMatchedFilter, InterpolationFillsBinsLinearlyAndExtendsBelowTheAxis)
{
    FrequencyAxis axis;
    axis.build(10.0, 20000.0);
    AxisComplex values{};
    for (int j = 0; j < kAxisPoints; ++j)
        values[static_cast<std::size_t>(j)] = {axis[j], 0.0f}; // value = frequency
    const int n = 65536;
    const double binHz = 48000.0 / n;
    std::vector<float> re(n, 9.0f), im(n, 9.0f);
    interpolateOntoBins(values, axis, binHz, n, re, im);
    for (int k : {14, 200, 5000, 27000})
        EXPECT_NEAR(re[static_cast<std::size_t>(k)], k * binHz, 1.01 * binHz) << k; // axis points sit on truncated bins
    // Below the first axis point the line continues with the step of the first bin divided by
    // the first point's bin position.
    const double first = axis[0] / binHz;
    const auto k0 = static_cast<std::size_t>(first);
    for (std::size_t k = 0; k < k0; ++k)
        ASSERT_NEAR(re[k], re[k0] - static_cast<double>(k0 - k) * (re[k0 + 1] - re[k0]) / first, 1e-4) << k;
    EXPECT_EQ(im[100], 0.0f);
    EXPECT_EQ(re[static_cast<std::size_t>(20000 / binHz) + 1], 0.0f); // past the axis
}

} // namespace
} // namespace vantrel
