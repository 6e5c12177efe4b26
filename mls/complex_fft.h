#pragma once
// In-place complex FFT on interleaved single-precision data (re at 2k, im at 2k + 1) for
// power-of-two sizes. FFTW stands behind it; no FFTW type leaves complex_fft.cpp.
//
//   fftForward: X[k] = sum_j x[j] e^(-2 pi i jk/N), unscaled
//   fftInverse: x[j] = (1/N) sum_k X[k] e^(+2 pi i jk/N)
//
// Plans live in one process-wide cache, one per size, direction and data alignment. They are
// made by prepare() (or, for a size nobody prepared, on first use); a transform of a prepared
// size neither plans, allocates nor locks.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantrel {

class ComplexFft {
public:
    static constexpr int kMaxOrder = 20; // largest size 2^20 points

    // Prepares every size 2^minOrder .. 2^maxOrder. Orders are clamped to 1..kMaxOrder.
    explicit ComplexFft(int minOrder = 13, int maxOrder = 18);

    // data holds at least 2n floats; n must be a power of two in 1..2^kMaxOrder, otherwise the
    // call does nothing and returns false.
    bool fftForward(std::span<float> data, int n) const;
    bool fftInverse(std::span<float> data, int n) const;
    // sign < 0 selects fftForward, sign >= 0 fftInverse.
    bool transform(std::span<float> data, int n, int sign) const;
    // fftInverse of a spectrum whose signal is real, given by its bins 0..n/2 (interleaved, n + 2
    // floats; the others are their conjugates). Replaced in place by the n samples x[j], scaled as
    // fftInverse scales; about a fifth of the work of the complex transform. n is at least 2.
    bool realInverse(std::span<float> data, int n) const;

    // Makes the plans for size n if they do not exist yet (may allocate and lock).
    static bool prepare(int n);
    // Plans made so far in this process; tests use it to prove a run made none.
    static std::uint64_t planCount();
};

// Real signals of any length n (odd ones too: an MLS period is 2^order - 1), through FFTW's
// real transforms. realSpectrum gives the n / 2 + 1 bins X[k] of x (unscaled, as fftForward);
// filterCircular replaces x by the circular filtering IDFT(DFT(x) gain), gain holding n / 2 + 1
// bins. Plans are made on first use of a length, under the planner's lock, and kept. Both
// allocate; false (nothing changed) when the sizes do not match or memory runs out.
bool realSpectrum(std::span<const float> x, std::span<std::complex<float>> spectrum);
bool filterCircular(std::span<float> x, std::span<const std::complex<float>> gain);

// Float buffer aligned for the FFT's vector code; allocated once, never resized.
class AlignedFloats {
public:
    AlignedFloats() = default;
    explicit AlignedFloats(std::size_t count);
    ~AlignedFloats();
    AlignedFloats(AlignedFloats&& other) noexcept;
    AlignedFloats& operator=(AlignedFloats&& other) noexcept;
    AlignedFloats(const AlignedFloats&) = delete;
    AlignedFloats& operator=(const AlignedFloats&) = delete;

    std::span<float> span() { return {data_, size_}; }
    std::span<const float> span() const { return {data_, size_}; }
    float* data() { return data_; }
    std::size_t size() const { return size_; }
    float& operator[](std::size_t i) { return data_[i]; }
    float operator[](std::size_t i) const { return data_[i]; }

private:
    float* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace vantrel
