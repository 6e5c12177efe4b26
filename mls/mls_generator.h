#pragma once
// Maximum-length sequence of order 2..18 (L = 2^order - 1) from a Fibonacci shift register,
// the two permutation tables that turn a circular cross-correlation with the sequence into one
// fast Hadamard transform of size N = 2^order, and the stereo play buffer.
//
// Excitation a[i] = 1 - 2 bit[i] (bit 1 plays as -A, bit 0 as +A).
// correlateWithMls: out[k] = (1/scale) sum_{i<L} in[i] a[(i - k) mod L]. For y = a (*) h
// (circular) and scale L this is ((L + 1) h[k] - sum h) / L.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mls/complex_fft.h"
#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr int kMinMlsOrder = 2;
inline constexpr int kMaxMlsOrder = 18;
inline constexpr int kTableCapacity = 268000;     // entries of mlsBits and the permutation tables
inline constexpr int kHadamardCapacity = 1072000; // floats; reused as a complex FFT buffer
inline constexpr int kPlayFrames = 268000;        // stereo frames played
inline constexpr int kPlayLead = 25;              // silent frames before the sequence
inline constexpr int kSilentTail = 1000;          // samples muted at the end without pre-emphasis
inline constexpr int kLevelStep = 83386;          // 24-bit step per percent of volume

// Feedback taps per order 1..24 (-1: no tap); a row counts taps up to the first -1, at most 4.
inline constexpr std::array<std::array<int, 4>, 25> kTapTable{{
    {-1, -1, -1, -1}, {-1, -1, -1, -1}, {0, 1, -1, -1}, {1, 2, -1, -1}, {2, 3, -1, -1},
    {0, 1, 3, 4}, {4, 5, -1, -1}, {5, 6, -1, -1}, {1, 2, 4, 7}, {4, 8, -1, -1},
    {6, 9, -1, -1}, {8, 10, -1, -1}, {5, 7, 10, 11}, {8, 9, 11, 12}, {3, 7, 12, 13},
    {13, 14, -1, -1}, {3, 12, 14, 15}, {13, 16, -1, -1}, {10, 17, -1, -1}, {13, 16, 17, 18},
    {16, 19, -1, -1}, {18, 20, -1, -1}, {20, 21, -1, -1}, {17, 22, -1, -1}, {16, 21, 22, 23},
}};

// "MLS %d,  Taps [ %d,%d,%d,%d ],  Length = %d   " for an order of 1..24 (empty otherwise).
std::string mlsCaptionText(int order);

class MlsGenerator {
public:
    MlsGenerator(); // allocates every table for order 18 once

    // Sequence and both permutation tables for the order; false (nothing changed) outside 2..18.
    [[nodiscard]] bool buildTables(int order);

    // Tables plus the play samples of a live measurement at the settings' volume, with
    // pre-emphasis when preEmphasisText reads above 0 Hz. playBuffer holds 2 x 268000 int32
    // (left, right), 24-bit values shifted left by 8.
    [[nodiscard]] bool generateMlsForPlayback(int order, const MlsSettings& settings, std::span<std::int32_t> playBuffer,
                                              const ComplexFft& fft);
    // Tables for a recording read back from a file; clears the whole play buffer and writes the
    // plain sequence (both channels, all L samples) at the settings' volume.
    [[nodiscard]] bool rebuildMlsTables(int order, const MlsSettings& settings, std::span<std::int32_t> playBuffer);

    // Unnormalised Walsh-Hadamard transform (natural order) of the first n entries of data.
    static void fastHadamardTransform(std::span<float> data, int n);
    // input and output hold at least L entries and may be the same array.
    void correlateWithMls(std::span<const float> input, std::span<float> output, float scale);

    int order() const { return order_; } // 0 before the first build
    int length() const { return order_ > 0 ? (1 << order_) - 1 : 0; }
    bool bit(int i) const { return (mlsBits_[static_cast<std::size_t>(i) >> 5] >> (i & 31)) & 1u; }
    std::span<const std::int32_t> inputPermutation() const { return {inputPermutation_.data(), static_cast<std::size_t>(length())}; }
    std::span<const std::int32_t> outputPermutation() const { return {outputPermutation_.data(), static_cast<std::size_t>(length())}; }
    std::span<float> hadamardBuffer() { return hadamard_.span(); }
    std::string_view caption() const { return {caption_.data(), captionLength_}; }

private:
    void buildSequence();
    void buildInputPermutation();
    void buildOutputPermutation();
    void formatCaption();
    void preEmphasise(double cornerHz, double rate, const ComplexFft& fft);

    int order_ = 0;
    std::vector<std::uint32_t> mlsBits_;          // bit i in word i/32, position i mod 32
    std::vector<std::int32_t> inputPermutation_;  // sample index -> Hadamard index 1..L
    std::vector<std::int32_t> outputPermutation_; // lag -> Hadamard index 1..L
    AlignedFloats hadamard_;                      // correlation work; complex FFT buffer too
    AlignedFloats spectrum_;                      // pre-emphasis: 2N floats
    std::vector<float> shaped_;                   // pre-emphasis: reversed impulse, then p[m]
    std::array<char, 96> caption_{};
    std::size_t captionLength_ = 0;
};

} // namespace vantrel
