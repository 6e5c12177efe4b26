// The FFT contract, the sequence generator, its permutation tables, the Hadamard correlation and
// the play samples.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "mls/complex_fft.h"
#include "mls/mls_generator.h"

namespace vantrel {
namespace {

TEST(MlsFft, ImpulseToneAndInverseFollowTheContract)
{
    const ComplexFft fft(13, 13);
    const int n = 8192;
    AlignedFloats data(2 * n);
    data[0] = 1.0f;
    ASSERT_TRUE(fft.fftForward(data.span(), n));
    for (int k = 0; k < n; ++k) {
        ASSERT_NEAR(data[2 * k], 1.0f, 1e-6);
        ASSERT_NEAR(data[2 * k + 1], 0.0f, 1e-6);
    }
    ASSERT_TRUE(fft.fftInverse(data.span(), n));
    EXPECT_NEAR(data[0], 1.0f, 1e-6);
    for (int k = 1; k < n; ++k)
        ASSERT_NEAR(std::abs(std::complex<float>(data[2 * k], data[2 * k + 1])), 0.0f, 1e-6);

    // e^(+2 pi i 3 j/N) has all its energy at point 3 of the forward (e^-i) transform.
    for (int j = 0; j < n; ++j) {
        const double angle = 2 * std::numbers::pi * 3 * j / n;
        data[2 * j] = static_cast<float>(std::cos(angle));
        data[2 * j + 1] = static_cast<float>(std::sin(angle));
    }
    ASSERT_TRUE(fft.fftForward(data.span(), n));
    EXPECT_NEAR(data[6], n, 0.05);
    for (int k = 0; k < n; ++k) {
        if (k != 3) {
            ASSERT_LT(std::abs(std::complex<float>(data[2 * k], data[2 * k + 1])), 0.05f) << k;
        }
    }
}

TEST(MlsFft, SmallSizeAfterLargeAndUnalignedDataGiveTheSameResult)
{
    const int n = 8192;
    std::vector<float> input(2 * n);
    for (int j = 0; j < 2 * n; ++j)
        input[j] = static_cast<float>(std::sin(0.37 * j) + 0.1 * (j % 7));
    AlignedFloats fresh(2 * n);
    std::copy(input.begin(), input.end(), fresh.data());
    const ComplexFft small(13, 13);
    ASSERT_TRUE(small.fftForward(fresh.span(), n));

    const ComplexFft large(18, 18);
    AlignedFloats big(2 << 18);
    ASSERT_TRUE(large.fftForward(big.span(), 1 << 18));
    AlignedFloats shifted(2 * n + 1); // data starting one float past the alignment
    std::copy(input.begin(), input.end(), shifted.data() + 1);
    ASSERT_TRUE(large.fftForward(shifted.span().subspan(1), n));
    for (int k = 0; k < 2 * n; ++k)
        ASSERT_NEAR(shifted[k + 1], fresh[k], 1e-3) << k;

    EXPECT_FALSE(small.fftForward(fresh.span(), 3000));      // not a power of two
    EXPECT_FALSE(small.fftForward(fresh.span(), 2 * n));     // data too short
}

TEST(MlsGenerator, CaptionsFollowTheTapTable)
{
    EXPECT_EQ(mlsCaptionText(13), "MLS 4,  Taps [ 8,9,11,12 ],  Length = 8191   ");
    EXPECT_EQ(mlsCaptionText(15), "MLS 2,  Taps [ 13,14,-1,-1 ],  Length = 32767   ");
    EXPECT_EQ(mlsCaptionText(18), "MLS 2,  Taps [ 10,17,-1,-1 ],  Length = 262143   ");
    MlsGenerator generator;
    ASSERT_TRUE(generator.buildTables(16));
    EXPECT_EQ(generator.caption(), mlsCaptionText(16));
    EXPECT_FALSE(generator.buildTables(19));
    EXPECT_EQ(generator.order(), 16);

    // Kept between builds of one order, rebuilt whole for another and back.
    MlsGenerator fresh;
    ASSERT_TRUE(fresh.buildTables(13));
    const std::vector<std::int32_t> in13(fresh.inputPermutation().begin(), fresh.inputPermutation().end());
    const std::vector<std::int32_t> out13(fresh.outputPermutation().begin(), fresh.outputPermutation().end());
    ASSERT_TRUE(generator.buildTables(13));
    ASSERT_TRUE(generator.buildTables(13));
    EXPECT_TRUE(std::ranges::equal(generator.inputPermutation(), in13));
    EXPECT_TRUE(std::ranges::equal(generator.outputPermutation(), out13));
    EXPECT_EQ(generator.caption(), mlsCaptionText(13));
}

// Every order yields half-plus-one ones, two permutations of 1..L, and a correlation of the
// excitation with itself that is 1 at lag 0 and -1/L elsewhere: a non-maximal sequence shows a
// second peak far above 1/L.
TEST(MlsGenerator, EveryOrderIsMaximalAndItsTablesArePermutations)
{
    MlsGenerator generator;
    for (int order = 2; order <= kMaxMlsOrder; ++order) {
        SCOPED_TRACE(order);
        ASSERT_TRUE(generator.buildTables(order));
        const int length = (1 << order) - 1;
        int ones = 0;
        for (int i = 0; i < length; ++i)
            ones += generator.bit(i);
        EXPECT_EQ(ones, 1 << (order - 1));
        for (auto table : {generator.inputPermutation(), generator.outputPermutation()}) {
            ASSERT_EQ(static_cast<int>(table.size()), length);
            std::vector<char> seen(static_cast<std::size_t>(length) + 1, 0);
            for (int v : table) {
                ASSERT_GE(v, 1);
                ASSERT_LE(v, length);
                ASSERT_FALSE(seen[static_cast<std::size_t>(v)]) << v;
                seen[static_cast<std::size_t>(v)] = 1;
            }
        }
        if (order < 13)
            continue;
        std::vector<float> a(static_cast<std::size_t>(length)), c(static_cast<std::size_t>(length));
        for (int i = 0; i < length; ++i)
            a[static_cast<std::size_t>(i)] = generator.bit(i) ? -1.0f : 1.0f;
        generator.correlateWithMls(a, c, static_cast<float>(length));
        EXPECT_NEAR(c[0], 1.0f, 1e-5);
        float second = 0;
        for (int k = 1; k < length; ++k) {
            ASSERT_NEAR(c[static_cast<std::size_t>(k)], -1.0f / length, 1e-5f) << k;
            second = std::max(second, std::fabs(c[static_cast<std::size_t>(k)]));
        }
        EXPECT_LT(second, 2.0f / length);
    }
}

TEST(MlsGenerator, HadamardTransformMatchesTheMatrixAndCorrelationRecoversAResponse)
{
    std::vector<float> v{3, -1, 4, 1, -5, 9, 2, -6};
    std::vector<float> expected(8, 0.0f);
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            expected[i] += (std::popcount(static_cast<unsigned>(i & j)) % 2 ? -1.0f : 1.0f) * v[j];
    MlsGenerator::fastHadamardTransform(v, 8);
    EXPECT_EQ(v, expected);
    std::vector<float> odd{1, 2};
    MlsGenerator::fastHadamardTransform(odd, 2);
    EXPECT_EQ(odd, (std::vector<float>{3, -1}));

    // y = a (*) h circularly; the correlation gives ((L + 1) h - sum h) / L.
    MlsGenerator generator;
    ASSERT_TRUE(generator.buildTables(13));
    const int length = 8191;
    const std::vector<float> h{0.5f, -0.25f, 0.125f, 0, 0, 1.0f};
    float sum = 0;
    for (float x : h)
        sum += x;
    std::vector<float> y(length, 0.0f);
    for (int m = 0; m < length; ++m)
        for (std::size_t j = 0; j < h.size(); ++j)
            y[m] += h[j] * (generator.bit((m - static_cast<int>(j) + length) % length) ? -1.0f : 1.0f);
    generator.correlateWithMls(y, y, static_cast<float>(length));
    for (int k = 0; k < 12; ++k) {
        const float hk = k < static_cast<int>(h.size()) ? h[k] : 0.0f;
        EXPECT_NEAR(y[k], ((length + 1) * hk - sum) / length, 1e-4) << k;
    }
}

MlsSettings playSettings(int volume, const char* preEmphasis, int twoChannels = 1)
{
    MlsSettings s;
    s.outputVolume = volume;
    s.preEmphasisText = preEmphasis;
    s.twoChannels = twoChannels;
    return s;
}

TEST(MlsGenerator, PlaySamplesFollowVolumeAndLeaveTheEndsSilent)
{
    MlsGenerator generator;
    const ComplexFft fft(13, 13);
    std::vector<std::int32_t> play(2 * kPlayFrames, 7);
    const int length = 8191;

    ASSERT_TRUE(generator.generateMlsForPlayback(13, playSettings(0, "0.0"), play, fft));
    EXPECT_TRUE(std::all_of(play.begin(), play.end(), [](std::int32_t v) { return v == 0; }));

    ASSERT_TRUE(generator.generateMlsForPlayback(13, playSettings(100, "0.0"), play, fft));
    for (int f = 0; f < kPlayLead; ++f)
        ASSERT_EQ(play[2 * f], 0);
    for (int i = 0; i < length - kSilentTail; ++i) {
        const std::int32_t expected = generator.bit(i) ? -2134681600 : 2134681600;
        ASSERT_EQ(play[2 * (kPlayLead + i)], expected) << i;
        ASSERT_EQ(play[2 * (kPlayLead + i) + 1], expected) << i;
    }
    for (int i = length - kSilentTail; i < kPlayFrames - kPlayLead; ++i)
        ASSERT_EQ(play[2 * (kPlayLead + i)], 0) << i;

    ASSERT_TRUE(generator.generateMlsForPlayback(13, playSettings(10, "0.0"), play, fft));
    EXPECT_EQ(std::abs(play[2 * kPlayLead]), 213468160);
}

// p[m] = sum_j Re y[j] a[(m - j) mod L] with y the high-pass impulse (half spectrum): the left
// channel carries the plain sequence when only the second channel is pre-emphasised.
TEST(MlsGenerator, PreEmphasisPlaysTheSequenceThroughTheHighPass)
{
    MlsGenerator generator;
    const ComplexFft fft(13, 13);
    std::vector<std::int32_t> play(2 * kPlayFrames, 0);
    MlsSettings s = playSettings(10, "2000", 0);
    ASSERT_TRUE(generator.generateMlsForPlayback(13, s, play, fft));
    const int n = 8192, length = n - 1;
    const double gain = 10.0 * kLevelStep * 256.0;

    AlignedFloats y(2 * n);
    y[0] = 1.97f;
    ASSERT_TRUE(fft.fftForward(y.span(), n));
    for (int k = 0; k < n; ++k) {
        const double x = k * 48000.0 / n / 2000.0;
        const std::complex<double> h = k < n / 2 ? std::complex<double>(x * x, x) / (x * x + 1) : 0.0;
        const std::complex<double> v = std::complex<double>(y[2 * k], y[2 * k + 1]) * h;
        y[2 * k] = static_cast<float>(v.real());
        y[2 * k + 1] = static_cast<float>(v.imag());
    }
    ASSERT_TRUE(fft.fftInverse(y.span(), n));
    for (int m : {0, 1, 2, 100, 4095, length - 1}) {
        double p = 0;
        for (int j = 0; j < length; ++j)
            p += y[2 * j] * (generator.bit(((m - j) % length + length) % length) ? -1.0 : 1.0);
        EXPECT_NEAR(play[2 * (kPlayLead + m) + 1] / gain, p, 1e-3) << m;
        EXPECT_EQ(play[2 * (kPlayLead + m)], generator.bit(m) ? -213468160 : 213468160);
    }
    // All L samples play (no silent tail).
    int nonZero = 0;
    for (int i = length - kSilentTail; i < length; ++i)
        nonZero += play[2 * (kPlayLead + i) + 1] != 0;
    EXPECT_GT(nonZero, 900);

    // Both channels shaped with "2 Channels"; samples past full scale saturate.
    s.twoChannels = 1;
    s.outputVolume = 100;
    ASSERT_TRUE(generator.generateMlsForPlayback(13, s, play, fft));
    EXPECT_EQ(play[2 * kPlayLead], play[2 * kPlayLead + 1]);
}

TEST(MlsGenerator, RebuildWritesThePlainSequenceOverTheWholePeriod)
{
    MlsGenerator generator;
    std::vector<std::int32_t> play(2 * kPlayFrames, 9);
    ASSERT_TRUE(generator.rebuildMlsTables(13, playSettings(10, "0.0"), play));
    EXPECT_EQ(play[0], 0);
    EXPECT_EQ(play[2 * (kPlayLead + 8190)], generator.bit(8190) ? -213468160 : 213468160);
    EXPECT_EQ(play[2 * (kPlayLead + 8191)], 0);
    EXPECT_EQ(play.back(), 0);
}

} // namespace
} // namespace vantrel
