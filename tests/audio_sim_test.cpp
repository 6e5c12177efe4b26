// The simulated rig end to end: a recording made through the sound-card logic on the simulated
// card, correlated by the engine, must give back the virtual loudspeaker's exact response.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <sstream>
#include <vector>

#include "mls/capture.h"
#include "mls/complex_fft.h"
#include "mls/impulse_response.h"
#include "mls/gate.h"
#include "mls/mls_generator.h"
#include "mls/sound_card.h"
#include "platform/headless/headless_platform.h"
#include "platform/sim/loudspeaker.h"
#include "platform/sim/room.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {
namespace {

// One measurement on the simulated rig at fixed angles, processed up to the aligned impulse
// responses.
struct SimRecording {
    std::ostringstream events;
    HeadlessPlatform platform{events};
    SilentWindowClient client;
    WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
    FixedRigAngles angles;
    SimAudioSystem audio;
    MlsSettings settings;
    MlsGenerator generator;
    ComplexFft fft;
    std::vector<std::int32_t> play = std::vector<std::int32_t>(2 * kPlayFrames);
    std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * kCaptureFrames);
    std::vector<std::int32_t> copy = std::vector<std::int32_t>(kCaptureCopySamples);
    std::vector<float> ref = std::vector<float>(kSignalLength), in = std::vector<float>(kSignalLength);
    std::vector<float> inCopy = std::vector<float>(kSignalLength), scratch = std::vector<float>(kScratchLength),
                       firstPass = std::vector<float>(kScratchLength);
    int ready = 0;
    SoundCard card{window, audio, settings, platform.log(), {play, capture, copy}, [this] { ++ready; }};
    ImpulseDelays delays;

    SimRecording(double h, double v, int order, SimAudioOptions options = {})
        : angles(h, v), audio(platform.clock(), angles, options)
    {
        settings.mlsLengthIndex = order - 13;
        settings.rateIndex = 5;
        EXPECT_TRUE(generator.generateMlsForPlayback(order, settings, play, fft));
        EXPECT_TRUE(card.startPlayAndCapture());
        platform.advance(6000);
        platform.settle();
        EXPECT_EQ(ready, 1);
        splitCapture(copy, ref, in, settings.refPolarity, settings.inPolarity);
        delays = computeImpulseResponses(generator, {ref, in, inCopy, scratch, firstPass}, settings.frontWindowText);
    }

    // IN / REF from the aligned responses over one transform of 2^order points.
    std::vector<std::complex<double>> transfer()
    {
        const int n = 1 << settings.mlsOrder();
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
        return t;
    }

    double binHz() const { return 48000.0 / (1 << settings.mlsOrder()); }
};

double db(std::complex<double> x) { return 20 * std::log10(std::abs(x)); }

TEST(SimulatedRig, OnAxisResponseMatchesTheModelWithinHalfADecibel)
{
    SimRecording r(0, 0, 16);
    const auto t = r.transfer();
    double worst = 0;
    for (std::size_t k = 1; k < t.size(); ++k) {
        const double hz = static_cast<double>(k) * r.binHz();
        if (hz < 100 || hz > 20000)
            continue;
        const double error = db(t[k]) - db(r.audio.inTransfer(hz, 0, 0));
        worst = std::max(worst, std::abs(error));
    }
    EXPECT_LT(worst, 0.5);
}

TEST(SimulatedRig, RefDelayIsTheLeadInPlusTheLoopBack)
{
    SimAudioOptions options;
    options.leadFrames = 517;
    options.loopbackDelay = 5;
    SimRecording r(0, 0, 15, options);
    EXPECT_EQ(r.delays.refDelay, 517 + 5 + kPlayLead);
    // Microphone 2 m away: the IN peak comes about 280 samples after REF at 48 kHz.
    EXPECT_NEAR(r.delays.inDelay - r.delays.refDelay, 2.0 / 343 * 48000 - 5, 3);
}

TEST(SimulatedRig, SideResponseFallsBelowTheAxisAtTenKilohertz)
{
    SimRecording axis(0, 0, 15);
    SimRecording side(90, 0, 15);
    const auto a = axis.transfer();
    const auto s = side.transfer();
    const auto k = static_cast<std::size_t>(std::lround(10000 / axis.binHz()));
    EXPECT_LT(db(s[k]), db(a[k]) - 3);
    EXPECT_NEAR(db(s[k]) - db(a[k]), db(side.audio.inTransfer(k * axis.binHz(), 90, 0)) -
                                         db(axis.audio.inTransfer(k * axis.binHz(), 0, 0)), 0.5);
}

TEST(SimulatedRig, EventsAndDeviceListsAsTheWindowShowsThem)
{
    SimRecording r(30, 0, 13);
    r.card.fillDeviceLists();
    EXPECT_EQ(r.window.listItem(kInputDeviceList, 0), "Simulated Rig,  ID: 0");
    EXPECT_EQ(r.window.text(kOutputDeviceLabel), "Simulated Rig, ID 0, Ch 2  ");
    const std::string log = r.events.str();
    EXPECT_NE(log.find("audio start 48000 13"), std::string::npos) << log;
    EXPECT_NE(log.find("audio capture-done 2108000"), std::string::npos) << log;
    EXPECT_NE(log.find("audio output-done"), std::string::npos) << log;
    EXPECT_LT(log.find("capture-done"), log.find("output-done"));
}

// The buffers do not depend on the rate: at 96 kHz the same 263500 captured and 268000 played
// frames complete in half the time they take at 48 kHz.
TEST(SimulatedRig, NinetySixKilohertzUsesTheSameBuffersInHalfTheTime)
{
    for (const int rateIndex : {5, 6}) {
        std::ostringstream events;
        HeadlessPlatform platform{events};
        SilentWindowClient client;
        WindowHost& window = platform.createWindow(kSoundCardWindow, client, nullptr, false);
        const FixedRigAngles angles(0, 0);
        SimAudioOptions options;
        options.leadFrames = 0;
        SimAudioSystem audio(platform.clock(), angles, options);
        MlsSettings settings;
        settings.rateIndex = rateIndex;
        std::vector<std::int32_t> play(2 * kPlayFrames), capture(2 * kCaptureFrames), copy(kCaptureCopySamples);
        int ready = 0;
        SoundCard card{window, audio, settings, platform.log(), {play, capture, copy}, [&ready] { ++ready; }};
        const std::uint32_t captureMs = rateIndex == 5 ? 5490 : 2745; // 263500 frames, rounded up
        const std::uint32_t playMs = rateIndex == 5 ? 5584 : 2792;    // 268000 frames, rounded up

        ASSERT_TRUE(card.startPlayAndCapture());
        platform.advance(captureMs - 1);
        platform.settle();
        EXPECT_EQ(ready, 0) << rateIndex;
        platform.advance(1);
        platform.settle();
        EXPECT_EQ(ready, 1) << rateIndex;
        EXPECT_TRUE(card.running()) << rateIndex; // the playback is still under way
        platform.advance(playMs - captureMs);
        platform.settle();
        EXPECT_FALSE(card.running()) << rateIndex;
        const std::string log = events.str();
        EXPECT_NE(log.find("audio start " + std::string(kRateTexts[static_cast<std::size_t>(rateIndex)])),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("audio capture-done 2108000"), std::string::npos) << log;
    }
}

// Loudspeaker model
TEST(VirtualLoudspeaker, PistonDirectivityAndLobing)
{
    EXPECT_DOUBLE_EQ(pistonDirectivity(0), 1.0);
    EXPECT_NEAR(pistonDirectivity(3.8317), 0.0, 1e-4); // first zero of J1
    VirtualLoudspeaker box;
    // Flat to within a few dB on axis between the box and the tweeter's beaming.
    for (double hz : {200.0, 1000.0, 2200.0, 5000.0})
        EXPECT_NEAR(std::abs(box.response(hz, 0, 0)), 1.0, 0.3) << hz;
    // Rotating the plane about the axis changes nothing on axis, and nothing for V = 0 (the
    // drivers sit on the vertical line of the baffle).
    EXPECT_NEAR(std::abs(box.response(2200, 0, 90) - box.response(2200, 0, 0)), 0, 1e-12);
    EXPECT_NEAR(std::abs(box.response(2200, 30, 0) - box.response(2200, -30, 0)), 0, 1e-12);
    // Vertically, the two drivers' path difference notches the crossover.
    EXPECT_LT(std::abs(box.response(2200, 40, 90)), 0.7 * std::abs(box.response(2200, 40, 0)));
    // Behind the baffle: lower than in front at the same off-axis angle.
    EXPECT_LT(std::abs(box.response(3000, 150, 0)), std::abs(box.response(3000, 30, 0)));
    // Distance: delay r/c and level 1/r.
    const auto at2m = box.atDistance(1000, 0, 0, 2.0);
    EXPECT_NEAR(std::abs(at2m), 0.5 * std::abs(box.response(1000, 0, 0)), 1e-12);
}

// The room: paths of the image method against hand-computed ones in a 5 x 4 x 2.6 m room, the
// rotation centre at (1.5, 2, 1.3), the microphone at (3.5, 2, 1.3).
TEST(SimulatedRoom, ImagePathsHaveTheLengthsAndDirectionsOfTheGeometry)
{
    const SimRoom room{5, 4, 2.6, 0.19, 1.3};
    const double beta = std::sqrt(1 - 0.19);
    const auto paths = roomPaths(room, 2.0, 0, 0);
    ASSERT_EQ(paths.size(), 6u + 18u); // six walls, then their pairs
    const auto find = [&](Vec3 image) -> const RoomPath& {
        for (const RoomPath& p : paths)
            if (std::abs(p.image[0] - image[0]) + std::abs(p.image[1] - image[1]) + std::abs(p.image[2] - image[2]) < 1e-9)
                return p;
        ADD_FAILURE() << "no image at " << image[0] << " " << image[1] << " " << image[2];
        return paths.front();
    };
    struct Case {
        Vec3 image;
        int bounces;
        double distance;
        Vec3 direction; // at H = V = 0: (across, up, towards the microphone)
    };
    const double floor = std::sqrt(4 + 2.6 * 2.6), side = std::sqrt(20.0), corner = std::sqrt(4 + 16 + 2.6 * 2.6);
    const Case cases[] = {
        {{3.5, 2, -1.3}, 1, floor, {0, -2.6 / floor, 2 / floor}},        // floor
        {{3.5, -2, 1.3}, 1, side, {-4 / side, 0, 2 / side}},             // side wall y = 0
        {{-3.5, 2, 1.3}, 1, 5, {0, 0, -1}},                              // the wall behind the loudspeaker
        {{3.5, -2, -1.3}, 2, corner, {-4 / corner, -2.6 / corner, 2 / corner}}, // floor and side wall
        {{13.5, 2, 1.3}, 2, 12, {0, 0, 1}},                              // both end walls
    };
    for (const Case& c : cases) {
        const RoomPath& p = find(c.image);
        EXPECT_EQ(p.bounces, c.bounces);
        EXPECT_NEAR(p.distance, c.distance, 1e-12);
        EXPECT_NEAR(p.gain, std::pow(beta, c.bounces), 1e-12);
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(p.direction[a], c.direction[a], 1e-12) << a;
    }
    EXPECT_NEAR(paths.front().distance, floor, 1e-12); // floor and ceiling come first
    // Turned a quarter to the side, the floor path leaves towards the microphone's side, down.
    const RoomPath turned = roomPaths(room, 2.0, 90, 0).front();
    EXPECT_NEAR(turned.direction[0], 2 / floor, 1e-12);
    EXPECT_NEAR(std::abs(turned.direction[1]), 2.6 / floor, 1e-12);
    EXPECT_NEAR(turned.direction[2], 0, 1e-12);
    // The direct path is the model's own direction at every angle.
    for (const auto& [h, v] : {std::pair{0.0, 0.0}, {30.0, 40.0}, {90.0, 90.0}, {135.0, -60.0}, {180.0, 10.0}}) {
        const Vec3 u = loudspeakerDirection(h, v, {1, 0, 0});
        const double hr = h * std::numbers::pi / 180, vr = v * std::numbers::pi / 180;
        EXPECT_NEAR(u[0], std::sin(hr) * std::cos(vr), 1e-12) << h << " " << v;
        EXPECT_NEAR(u[1], -std::sin(hr) * std::sin(vr), 1e-12) << h << " " << v;
        EXPECT_NEAR(u[2], std::cos(hr), 1e-12) << h << " " << v;
    }
    // The longest path arrives within the shortest sequence's period at the highest rate: no
    // reflection folds back onto the direct sound.
    EXPECT_LT((paths.back().distance - 2.0) / 343, 8191.0 / 96000);
}

// The paths' spectrum is the model's response in each path's direction, delayed and scaled:
// the same values for a path leaving in front of the baffle, the same magnitudes behind it,
// where the model's zero-phase rear loss takes its minimum phase so that the path's sound does
// not arrive before the path does.
TEST(SimulatedRoom, PathSpectrumIsTheModelAlongEachPathAndArrivesNoEarlier)
{
    const SimRoom room{5, 4, 2.6, 0.1, 1.3};
    const VirtualLoudspeaker box;
    const LoudspeakerDesign& d = box.design();
    const auto paths = roomSimPaths(room, 2.0, 40, 30);
    constexpr int kOrder = 14;
    const std::size_t n = std::size_t{1} << kOrder, bins = n / 2 + 1;
    const double binHz = 48000.0 / static_cast<double>(n);
    std::vector<VirtualLoudspeaker::Filters> filters(bins);
    for (std::size_t k = 0; k < bins; ++k)
        filters[k] = box.filters(static_cast<double>(k) * binHz);
    const auto model = [&](const SimPath& p, std::size_t k) {
        const double hz = static_cast<double>(k) * binHz, kk = box.wavenumber(hz);
        return p.gain *
               box.combine(hz, kk, p.geometry, filters[k], pistonDirectivity(kk * d.woofer.radius * p.geometry.sinT),
                           pistonDirectivity(kk * d.tweeter.radius * p.geometry.sinT)) *
               VirtualLoudspeaker::distanceFactor(kk, p.distance);
    };
    // Energy of a spectrum's impulse response ahead of sample `arrival`, as a share of all of it.
    const ComplexFft fft(kOrder, kOrder);
    const auto earlyShare = [&](const std::vector<std::complex<double>>& spectrum, double arrival) {
        std::vector<float> x(n + 2);
        for (std::size_t k = 0; k < bins; ++k) {
            x[2 * k] = static_cast<float>(spectrum[k].real());
            x[2 * k + 1] = static_cast<float>(k == 0 || k == n / 2 ? 0.0 : spectrum[k].imag());
        }
        fft.realInverse(x, static_cast<int>(n));
        double early = 0, all = 0;
        for (std::size_t i = 0; i < n; ++i) {
            all += double(x[i]) * x[i];
            if (static_cast<double>(i) < arrival)
                early += double(x[i]) * x[i];
        }
        return early / all;
    };
    int behind = 0;
    for (const SimPath& p : paths) {
        std::vector<std::complex<double>> sum(bins), exact(bins);
        PathSpectrum(box, std::span<const SimPath>(&p, 1), binHz, bins).sum(0, bins, filters, sum);
        for (std::size_t k = 0; k < bins; ++k)
            exact[k] = model(p, k);
        for (const std::size_t k : {std::size_t{1}, std::size_t{85}, std::size_t{700}, bins - 1}) {
            const double tolerance = 1e-6 * p.gain / p.distance; // of the path's pass-band level
            EXPECT_LT(std::abs(std::abs(sum[k]) - std::abs(exact[k])), tolerance) << k;
            if (p.geometry.cosT >= 0) {
                EXPECT_LT(std::abs(sum[k] - exact[k]), tolerance) << k;
            }
        }
        if (p.geometry.cosT < -0.3) {
            ++behind;
            // The nearer driver's sound arrives first; 20 samples ahead of it nothing is left
            // but the band limit's ripple, where the zero-phase loss spread the sound far ahead.
            const double first = (p.distance - std::max(d.woofer.heightY, d.tweeter.heightY) * std::abs(p.geometry.uy)) /
                                 d.speedOfSound * 48000 - 20;
            EXPECT_LT(earlyShare(sum, first), std::min(1e-4, earlyShare(exact, first) / 30)) << p.distance;
        }
    }
    EXPECT_GT(behind, 3);
}

// In the room the recording's first reflection (floor and ceiling together) is found where the
// geometry puts it, at several angles, through the microphone's noise; without the room none is.
TEST(SimulatedRoom, TheGateFindsTheFirstReflectionWhereTheGeometryPutsIt)
{
    const SimRoom room{5, 4, 2.6, 0.1, 1.3};
    SimAudioOptions options;
    options.extraPaths = [room](double h, double v) { return roomSimPaths(room, 2.0, h, v); };
    // Sound leaves from the nearer of the two drivers first: a path of length r in the
    // direction u arrives (r - max(h_w u_y, h_t u_y)) / c after the play.
    const LoudspeakerDesign design;
    const auto firstMs = [&](double r, double uy) {
        return (r - std::max(design.woofer.heightY * uy, design.tweeter.heightY * uy)) / 343 * 1000;
    };
    for (const auto& [h, v] : {std::pair{0.0, 90.0}, {40.0, 0.0}, {90.0, 50.0}}) {
        SCOPED_TRACE(std::to_string(h) + " " + std::to_string(v));
        SimRecording r(h, v, 14, options);
        const ReflectionSearch found = findFirstReflection(std::span<const float>(r.in).first(1 << 14), 48000);
        ASSERT_TRUE(found.reflection);
        double reflectedMs = 1e9;
        for (const SimPath& p : roomSimPaths(room, 2.0, h, v))
            reflectedMs = std::min(reflectedMs, firstMs(p.distance, p.geometry.uy));
        const double expectedMs = reflectedMs - firstMs(2.0, VirtualLoudspeaker::geometry(h, v).uy);
        EXPECT_NEAR((*found.reflection - found.direct) / 48.0, expectedMs, 0.2);
    }
    SimRecording anechoic(0, 90, 14);
    EXPECT_FALSE(findFirstReflection(std::span<const float>(anechoic.in).first(1 << 14), 48000).reflection);
}


// Mounted off the rotation centre: far away the offset p only turns the phase by e^{j k u.p}
// (u the direction of (H, V)); at 2 m the recording's direct sound moves by the path it saves,
// in the loudspeaker's own frame (+x = y cross z, +y up, +z the axis).
TEST(SimulatedRig, MountedOffTheCentreTheSoundLeavesFromTheBaffleCentre)
{
    const VirtualLoudspeaker box;
    const VirtualLoudspeaker::Offset p{0.03, -0.05, 0.08};
    for (const auto& [h, v] : {std::pair{0.0, 0.0}, {30.0, 40.0}, {90.0, 90.0}, {150.0, -60.0}}) {
        const double hr = h * std::numbers::pi / 180, vr = v * std::numbers::pi / 180;
        const double up = std::sin(hr) * std::cos(vr) * p[0] - std::sin(hr) * std::sin(vr) * p[1] + std::cos(hr) * p[2];
        const double k = 2 * std::numbers::pi * 5000 / 343;
        const auto ratio = box.atDistance(5000, h, v, 1e4, p) / box.atDistance(5000, h, v, 1e4);
        EXPECT_NEAR(std::abs(ratio - std::polar(1.0, k * up)), 0, 1e-3) << h << " " << v;
        EXPECT_EQ(box.atDistance(5000, h, v, 2, {}), box.atDistance(5000, h, v, 2)); // no offset: the same bits
    }
    struct Case {
        double h, v;
        VirtualLoudspeaker::Offset offset;
        double samplesEarlier; // the path saved, 0.1 m = 14 samples at 48 kHz
    };
    const Case cases[] = {
        {0, 0, {0, 0, 0.1}, 14},  // forward, towards the microphone on the axis
        {90, 0, {0.1, 0, 0}, 14}, // H = 90 in the horizontal plane looks along +x
        {90, 90, {0, -0.1, 0}, 14}, // and in the vertical plane downwards
        {0, 0, {0.1, 0, 0}, 0},   // sideways to the path: 2.5 mm longer
    };
    SimRecording centred(0, 0, 14);
    for (const Case& c : cases) {
        SimAudioOptions options;
        options.mountOffset = c.offset;
        SimRecording mounted(c.h, c.v, 14, options);
        SimRecording plain(c.h, c.v, 14);
        EXPECT_NEAR(plain.delays.inDelay - mounted.delays.inDelay, c.samplesEarlier, 1) << c.h << " " << c.v;
    }
    // The recording is the mounted model's, off the axis too.
    SimAudioOptions options;
    options.mountOffset = p;
    SimRecording r(30, 40, 16, options);
    const auto t = r.transfer();
    double worst = 0;
    for (std::size_t k = 1; k < t.size(); k += 7) {
        const double hz = static_cast<double>(k) * r.binHz();
        if (hz >= 100 && hz <= 20000)
            worst = std::max(worst, std::abs(db(t[k]) - db(r.audio.inTransfer(hz, 30, 40))));
    }
    EXPECT_LT(worst, 0.5);
}

TEST(SimulatedRig, MountOffsetsAreReadInMillimetresOrRefusedNamingTheValue)
{
    struct Case {
        const char* text;
        Vec3 metres;
        const char* refusal; // a part of the reason; nullptr: taken
    };
    const Case cases[] = {
        {"30,-50,80", {0.03, -0.05, 0.08}, nullptr},
        {"0,0,0", {0, 0, 0}, nullptr},
        {"-500,500,0.5", {-0.5, 0.5, 0.0005}, nullptr},
        {"30,-50", {}, "X,Y,Z"},
        {"30,-50,80,1", {}, "X,Y,Z in mm, not '30,-50,80,1'"},
        {"30,abc,80", {}, "'abc'"},
        {"30,,80", {}, "'' is not a number"},
        {"30,-50,500.1", {}, "Z = 500.1 mm"},
        {"nan,0,0", {}, "'nan'"},
    };
    for (const Case& c : cases) {
        Vec3 offset{9, 9, 9};
        const std::string error = parseSimOffset(c.text, offset);
        if (!c.refusal) {
            EXPECT_EQ(error, "") << c.text;
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(offset[a], c.metres[a], 1e-15) << c.text;
        } else {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.text << ": " << error;
            EXPECT_EQ(offset, (Vec3{9, 9, 9})) << c.text;
        }
    }
}

// In the room every path leaves from the mounted baffle centre, turned with the loudspeaker.
TEST(SimulatedRoom, AMountedLoudspeakerSendsEveryPathFromItsBaffleCentre)
{
    for (const auto& [h, v] : {std::pair{0.0, 0.0}, {30.0, 40.0}, {135.0, -60.0}}) {
        const Vec3 p{0.03, -0.05, 0.08};
        const Vec3 back = loudspeakerDirection(h, v, roomVector(h, v, p));
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(back[a], p[a], 1e-15) << h << " " << v;
    }
    // Raised 0.1 m (+y, up the baffle) at rest: the floor's image path grows, the ceiling's shrinks.
    const SimRoom room{5, 4, 2.6, 0.1, 1.3};
    const auto paths = roomPaths(room, 2.0, 0, 0, 1, {0, 0.1, 0});
    const auto has = [&](double distance) {
        return std::any_of(paths.begin(), paths.end(), [&](const RoomPath& r) { return std::abs(r.distance - distance) < 1e-12; });
    };
    EXPECT_TRUE(has(std::sqrt(4 + 2.7 * 2.7)));  // floor: 1.4 m up to the image 1.3 m below it
    EXPECT_TRUE(has(std::sqrt(4 + 2.5 * 2.5)));  // ceiling: 1.2 m to go up, 1.3 m back down
    EXPECT_TRUE(has(std::sqrt(25 + 0.1 * 0.1))); // the wall behind: 0.1 m up from the image
}

} // namespace
} // namespace vantrel
