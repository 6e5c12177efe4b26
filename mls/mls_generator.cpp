#include "mls/mls_generator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>

#include "mls/numeric_text.h"

namespace vantrel {

namespace {

int tapCount(int order)
{
    int count = 0;
    for (int t : kTapTable[static_cast<std::size_t>(order)]) {
        if (t == -1)
            break;
        ++count;
    }
    return count;
}

std::size_t formatCaption(int order, std::span<char> out)
{
    if (order < 1 || order >= static_cast<int>(kTapTable.size()))
        return 0;
    const auto& taps = kTapTable[static_cast<std::size_t>(order)];
    const long length = (1L << order) - 1;
    const int written = std::snprintf(out.data(), out.size(), "MLS %d,  Taps [ %d,%d,%d,%d ],  Length = %ld   ",
                                      tapCount(order), taps[0], taps[1], taps[2], taps[3], length);
    return written > 0 ? std::min(static_cast<std::size_t>(written), out.size() - 1) : 0;
}

// Saturating conversion: truncation toward zero, clipped to the 32-bit sample range.
std::int32_t toSample(double value)
{
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (!(value == value))
        return 0;
    if (value >= kMax)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= kMin)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace

std::string mlsCaptionText(int order)
{
    std::array<char, 96> text{};
    return std::string(text.data(), formatCaption(order, text));
}

MlsGenerator::MlsGenerator()
    : mlsBits_(kTableCapacity, 0u), inputPermutation_(kTableCapacity, 0), outputPermutation_(kTableCapacity, 0),
      hadamard_(kHadamardCapacity), spectrum_(2u << kMaxMlsOrder), shaped_(2 * static_cast<std::size_t>(kTableCapacity), 0.0f)
{
}

bool MlsGenerator::buildTables(int order)
{
    if (order < kMinMlsOrder || order > kMaxMlsOrder)
        return false;
    // The tables depend on the order alone; rebuilding them for every point of a walk cost a
    // fifth of its time.
    if (order == order_)
        return true;
    order_ = order;
    buildSequence();
    buildInputPermutation();
    buildOutputPermutation();
    formatCaption();
    return true;
}

void MlsGenerator::formatCaption() { captionLength_ = vantrel::formatCaption(order_, caption_); }

// Fibonacci register: bit = XOR of the tapped state bits, state = 2 state + bit, so state bit k
// holds the bit generated k + 1 steps earlier. Taps never exceed order - 1, so the state is
// kept to order bits (unsigned, no overflow).
void MlsGenerator::buildSequence()
{
    const int length = this->length();
    const int taps = tapCount(order_);
    const auto& row = kTapTable[static_cast<std::size_t>(order_)];
    const std::uint32_t mask = (1u << order_) - 1u;
    std::fill(mlsBits_.begin(), mlsBits_.end(), 0u);
    std::uint32_t state = 1;
    for (int j = 0; j < length; ++j) {
        std::uint32_t b = 0;
        for (int t = 0; t < taps; ++t)
            b ^= (state >> row[static_cast<std::size_t>(t)]) & 1u;
        state = ((state << 1) | b) & mask;
        mlsBits_[static_cast<std::size_t>(j) >> 5] |= b << (j & 31);
    }
}

// Entry i = the order-bit word of sequence bits i, i-1, ..., i-order+1 (mod L), bit i the most
// significant; each entry is the previous one shifted down with the new bit on top.
void MlsGenerator::buildInputPermutation()
{
    const int length = this->length();
    std::fill(inputPermutation_.begin(), inputPermutation_.end(), 0);
    std::uint32_t word = 0;
    for (int j = 0; j < order_; ++j)
        if (bit((length - j) % length))
            word |= 1u << (order_ - 1 - j);
    inputPermutation_[0] = static_cast<std::int32_t>(word);
    for (int i = 1; i < length; ++i) {
        word = (word >> 1) | (static_cast<std::uint32_t>(bit(i)) << (order_ - 1));
        inputPermutation_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(word);
    }
}

// A start j whose order-bit window (bits j, j-1, ..., j-order+1) holds a single one at
// distance l gives column order-1-l of every entry: entry i takes sequence bit (j - i) mod L.
// The first qualifying start per column wins; the scan ends when all columns are found.
void MlsGenerator::buildOutputPermutation()
{
    const int length = this->length();
    std::fill(outputPermutation_.begin(), outputPermutation_.end(), 0);
    std::uint32_t found = 0;
    const std::uint32_t all = static_cast<std::uint32_t>(length);
    for (int j = 0; j < length && found != all; ++j) {
        const auto window = static_cast<std::uint32_t>(inputPermutation_[static_cast<std::size_t>(j)]);
        if (!std::has_single_bit(window))
            continue;
        const int column = std::countr_zero(window); // = order - 1 - l
        const std::uint32_t l = static_cast<std::uint32_t>(order_ - 1 - column);
        if (found & (1u << l))
            continue;
        found |= 1u << l;
        const std::int32_t value = std::int32_t{1} << column;
        int k = j;
        for (int i = 0; i < length; ++i) {
            if (bit(k))
                outputPermutation_[static_cast<std::size_t>(i)] |= value;
            k = k == 0 ? length - 1 : k - 1;
        }
    }
}

// v <- H v with H the n x n Sylvester Hadamard matrix (entries +-1, no scaling); log2(n)
// butterfly stages x + y, x - y, done two stages per sweep over the data.
void MlsGenerator::fastHadamardTransform(std::span<float> data, int n)
{
    if (n < 2 || static_cast<std::size_t>(n) > data.size())
        return;
    float* v = data.data();
    int half = 1;
    for (; 4 * half <= n; half *= 4) {
        const int h = half;
        for (int s = 0; s < n; s += 4 * h) {
            float* p0 = v + s;
            float* p1 = p0 + h;
            float* p2 = p1 + h;
            float* p3 = p2 + h;
            for (int i = 0; i < h; ++i) {
                const float a = p0[i], b = p1[i], c = p2[i], d = p3[i];
                const float ab = a + b, amb = a - b, cd = c + d, cmd = c - d;
                p0[i] = ab + cd;
                p1[i] = amb + cmd;
                p2[i] = ab - cd;
                p3[i] = amb - cmd;
            }
        }
    }
    if (half < n) {
        for (int s = 0; s < n; s += 2 * half) {
            float* p0 = v + s;
            float* p1 = p0 + half;
            for (int i = 0; i < half; ++i) {
                const float x = p0[i], y = p1[i];
                p0[i] = x + y;
                p1[i] = x - y;
            }
        }
    }
}

void MlsGenerator::correlateWithMls(std::span<const float> input, std::span<float> output, float scale)
{
    const int length = this->length();
    if (length == 0 || input.size() < static_cast<std::size_t>(length) || output.size() < static_cast<std::size_t>(length))
        return;
    float* h = hadamard_.data();
    const std::int32_t* in = inputPermutation_.data();
    const std::int32_t* out = outputPermutation_.data();
    for (int i = 0; i < length; ++i)
        h[in[i]] = input[static_cast<std::size_t>(i)];
    h[0] = 0.0f;
    fastHadamardTransform(hadamard_.span(), length + 1);
    for (int i = 0; i < length; ++i)
        output[static_cast<std::size_t>(i)] = h[out[i]] / scale;
}

// The sequence circularly convolved with a first-order high-pass H = jx/(1 + jx), x = f/fc,
// taken through the positive half of the spectrum (so about 0.985 of its true amplitude):
// p[m] = sum_j Re(y[j]) a[(m - j) mod L], left in shaped_[0 .. L-1].
void MlsGenerator::preEmphasise(double cornerHz, double rate, const ComplexFft& fft)
{
    const int n = length() + 1;
    const int length = n - 1;
    const double df = rate / n; // Hz per bin
    float* s = spectrum_.data();
    std::fill(s, s + 2 * static_cast<std::size_t>(n), 0.0f);
    s[0] = 1.97f;
    (void)fft.fftForward(spectrum_.span(), n);
    for (int k = 0; k < n / 2; ++k) {
        const double x = k * df / cornerHz;
        const double d = x * x + 1.0;
        const double hr = x * x / d, hi = x / d;
        const double re = s[2 * k], im = s[2 * k + 1];
        s[2 * k] = static_cast<float>(re * hr - im * hi);
        s[2 * k + 1] = static_cast<float>(re * hi + im * hr);
    }
    std::fill(s + n, s + 2 * static_cast<std::size_t>(n), 0.0f);
    (void)fft.fftInverse(spectrum_.span(), n);
    float* g = shaped_.data();
    float* c = g + kTableCapacity;
    for (int i = 0; i < length; ++i)
        g[length - 1 - i] = s[2 * i];
    correlateWithMls({g, static_cast<std::size_t>(length)}, {c, static_cast<std::size_t>(length)}, 1.0f);
    for (int k = 0; k < length; ++k)
        g[length - 1 - k] = c[k];
}

bool MlsGenerator::generateMlsForPlayback(int order, const MlsSettings& settings, std::span<std::int32_t> playBuffer,
                                          const ComplexFft& fft)
{
    if (playBuffer.size() < 2 * static_cast<std::size_t>(kPlayFrames) || !buildTables(order))
        return false;
    const int length = this->length();
    std::fill(playBuffer.begin(), playBuffer.begin() + 2 * kPlayFrames, 0);
    const double gain = static_cast<double>(settings.outputVolume) * kLevelStep * 256.0; // sample per unit
    const std::int32_t amplitude = toSample(gain);
    std::int32_t* frame = playBuffer.data() + 2 * kPlayLead;
    const double cornerHz = textValue(settings.preEmphasisText);
    if (cornerHz > 0) {
        preEmphasise(cornerHz, settings.sampleRate(), fft);
        const float* p = shaped_.data();
        for (int i = 0; i < length; ++i) {
            const std::int32_t v = toSample(static_cast<double>(p[i]) * gain);
            const std::int32_t plain = bit(i) ? -amplitude : amplitude;
            frame[2 * i] = settings.twoChannels == 1 ? v : plain;
            frame[2 * i + 1] = v;
        }
    } else {
        for (int i = 0; i < length - kSilentTail; ++i) {
            const std::int32_t v = bit(i) ? -amplitude : amplitude;
            frame[2 * i] = v;
            frame[2 * i + 1] = v;
        }
    }
    return true;
}

bool MlsGenerator::rebuildMlsTables(int order, const MlsSettings& settings, std::span<std::int32_t> playBuffer)
{
    if (!buildTables(order))
        return false;
    std::fill(playBuffer.begin(), playBuffer.end(), 0);
    const std::int32_t amplitude = toSample(static_cast<double>(settings.outputVolume) * kLevelStep * 256.0);
    const std::size_t frames = std::min(static_cast<std::size_t>(length()), playBuffer.size() / 2 - std::min<std::size_t>(playBuffer.size() / 2, kPlayLead));
    std::int32_t* frame = playBuffer.data() + 2 * kPlayLead;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::int32_t v = bit(static_cast<int>(i)) ? -amplitude : amplitude;
        frame[2 * i] = v;
        frame[2 * i + 1] = v;
    }
    return true;
}

} // namespace vantrel
