// The simulated arc: every microphone's channel of one recording, processed as the single
// microphone's IN is, must give back the loudspeaker in that microphone's own direction with
// the errors planted in it.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <sstream>
#include <vector>

#include "mls/capture.h"
#include "mls/complex_fft.h"
#include "mls/impulse_response.h"
#include "mls/mls_generator.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/sim_arc.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {
namespace {

struct Completions final : AudioCompletion {
    int output = 0, capture = 0;
    void outputDone() override { ++output; }
    void captureDone(std::size_t) override { ++capture; }
};

// One recording of REF and every microphone, then each channel's IN / REF over a transform of
// 2^order points (IN keeps its delay behind REF).
std::vector<std::vector<std::complex<double>>> arcTransfers(SimAudioSystem& audio, HeadlessPlatform& platform, int order)
{
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    MlsSettings settings;
    settings.mlsLengthIndex = order - 13;
    settings.rateIndex = 5;
    MlsGenerator generator;
    ComplexFft fft;
    std::vector<std::int32_t> play(2 * kPlayFrames);
    EXPECT_TRUE(generator.generateMlsForPlayback(order, settings, play, fft));
    const auto channels = static_cast<std::size_t>(audio.captureChannels());
    std::vector<std::int32_t> capture(channels * kCaptureFrames);
    Completions done;
    EXPECT_EQ(audio.openOutput(0, 48000, window, done), kAudioOk);
    EXPECT_EQ(audio.prepareOutput(play), kAudioOk);
    EXPECT_EQ(audio.openInput(0, 48000, window, done), kAudioOk);
    EXPECT_EQ(audio.prepareInput(capture), kAudioOk);
    EXPECT_EQ(audio.queueInput(), kAudioOk);
    EXPECT_EQ(audio.startInput(), kAudioOk);
    EXPECT_EQ(audio.play(), kAudioOk);
    platform.advance(6000);
    platform.settle();
    EXPECT_EQ(done.capture, 1);

    const int n = 1 << order;
    std::vector<std::vector<std::complex<double>>> out;
    for (std::size_t m = 0; m + 1 < channels; ++m) {
        std::vector<std::int32_t> pair(2 * kCaptureFrames);
        for (std::size_t c = 0; c < kCaptureFrames; ++c) {
            pair[2 * c] = capture[channels * c];
            pair[2 * c + 1] = capture[channels * c + 1 + m];
        }
        std::vector<float> ref(kSignalLength), in(kSignalLength), inCopy(kSignalLength), scratch(kScratchLength),
            firstPass(kScratchLength);
        splitCapture(pair, ref, in, settings.refPolarity, settings.inPolarity);
        (void)computeImpulseResponses(generator, {ref, in, inCopy, scratch, firstPass}, settings.frontWindowText);
        std::vector<float> a(2 * static_cast<std::size_t>(n)), b(2 * static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            a[2 * static_cast<std::size_t>(i)] = in[static_cast<std::size_t>(i)];
            b[2 * static_cast<std::size_t>(i)] = ref[static_cast<std::size_t>(i)];
        }
        fft.fftForward(a, n);
        fft.fftForward(b, n);
        std::vector<std::complex<double>> t(static_cast<std::size_t>(n / 2));
        for (std::size_t k = 0; k < t.size(); ++k)
            t[k] = std::complex<double>(a[2 * k], a[2 * k + 1]) / std::complex<double>(b[2 * k], b[2 * k + 1]);
        out.push_back(t);
    }
    return out;
}

double db(std::complex<double> x) { return 20 * std::log10(std::abs(x)); }
double degrees(std::complex<double> x) { return std::arg(x) * 180 / std::numbers::pi; }

TEST(SimulatedArc, EveryMicrophoneHearsItsOwnDirectionWithItsErrors)
{
    const FixedRigAngles angles(20, 30);
    SimAudioOptions options;
    options.arc = simulatedArc(4, 40);
    std::ostringstream unused;
    HeadlessPlatform platform{unused};
    SimAudioSystem clean(platform.clock(), angles, options);
    plantMicErrors(options.arc, 7);
    SimAudioSystem faulty(platform.clock(), angles, options);
    AudioDeviceCaps caps;
    ASSERT_EQ(faulty.inputCaps(0, caps), kAudioOk);
    EXPECT_EQ(caps.channels, 5);
    ASSERT_EQ(faulty.outputCaps(0, caps), kAudioOk);
    EXPECT_EQ(caps.channels, 2);

    const int order = 15;
    const auto c = arcTransfers(clean, platform, order);
    const auto t = arcTransfers(faulty, platform, order);
    ASSERT_EQ(t.size(), 4u);
    const double binHz = 48000.0 / (1 << order);
    for (const double hz : {300.0, 1000.0, 4000.0}) {
        const auto k = static_cast<std::size_t>(std::lround(hz / binHz));
        const double f = static_cast<double>(k) * binHz;
        for (std::size_t m = 0; m < 4; ++m) {
            SCOPED_TRACE("microphone " + std::to_string(m) + " at " + std::to_string(f) + " Hz");
            // Its own direction (H + 40 m, V): level and phase against the model, referred to the
            // first microphone's.
            const std::complex<double> model = clean.inTransfer(f, 20 + 40.0 * static_cast<double>(m), 30) /
                                               clean.inTransfer(f, 20, 30);
            EXPECT_NEAR(db(c[m][k] / c[0][k]), db(model), 0.3);
            EXPECT_NEAR(degrees(c[m][k] / c[0][k] / model), 0.0, 3.0);
            // Its errors, as planted.
            const std::complex<double> error = faulty.micTransfer(m, f, 20, 30) / clean.micTransfer(m, f, 20, 30);
            EXPECT_NEAR(db(t[m][k] / c[m][k]), db(error), 0.05);
            EXPECT_NEAR(degrees(t[m][k] / c[m][k] / error), 0.0, 0.2);
        }
    }
}

TEST(SimulatedArc, PlantedErrorsAreReproducibleAndWithinTheirBounds)
{
    auto a = simulatedArc(37, 5), b = simulatedArc(37, 5), c = simulatedArc(37, 5);
    plantMicErrors(a, 1);
    plantMicErrors(b, 1);
    plantMicErrors(c, 2);
    bool differs = false;
    for (std::size_t m = 0; m < a.size(); ++m) {
        EXPECT_EQ(a[m].angleDegrees, 5.0 * static_cast<double>(m));
        EXPECT_EQ(a[m].levelDb, b[m].levelDb);
        EXPECT_EQ(a[m].delaySeconds, b[m].delaySeconds);
        EXPECT_EQ(a[m].radiusError, b[m].radiusError);
        EXPECT_LE(std::abs(a[m].levelDb), 1.0);
        EXPECT_LE(std::abs(a[m].delaySeconds * 360 * 10000), 10.0);
        EXPECT_LE(std::abs(a[m].radiusError), 0.003);
        differs = differs || a[m].levelDb != c[m].levelDb;
    }
    EXPECT_TRUE(differs);
}

TEST(SimulatedArc, OptionTextRefusals)
{
    struct Case {
        const char* text;
        int microphones; // 0: refused
    };
    const Case cases[] = {{"37,5", 37}, {"8,20", 8}, {"1,5", 1}, {"64,2", 64}, {"19,10", 19},
                          {"65,1", 0},  {"0,5", 0},  {"38,5", 0}, {"8", 0},     {"8,0", 0},
                          {"8,-5", 0},  {"8,2.5", 0}, {"8,", 0},  {",5", 0},    {" 8,5", 0}};
    for (const Case& c : cases) {
        std::string error;
        const auto arc = parseSimArc(c.text, error);
        EXPECT_EQ(arc ? static_cast<int>(arc->size()) : 0, c.microphones) << c.text;
        EXPECT_EQ(error.empty(), c.microphones > 0) << c.text;
    }
}

} // namespace
} // namespace vantrel
