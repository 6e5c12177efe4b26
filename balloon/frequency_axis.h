#pragma once
// The 750-point logarithmic frequency axis shared by the measurement, the balloon cells and
// the plots. Point i is f0 * (f1/f0)^((i+1)/750): one step above f0 up to exactly f1.

#include <array>
#include <span>

namespace vantrel {

inline constexpr int kAxisPoints = 750;

// Frequencies behind the "From:" and "To:" lists. "From:" also offers 500 and 1000 Hz.
inline constexpr std::array<double, 10> kAxisFromHz{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
inline constexpr std::array<double, 8> kAxisToHz{500, 1000, 2000, 5000, 10000, 20000, 50000, 100000};

class FrequencyAxis {
public:
    FrequencyAxis() { build(10.0, 50000.0); }

    // k = 750 / log10(f1/f0) points per decade, c = -log10(f0) * k, f[i] = 10^((i+1-c)/k).
    void build(double fromHz, double toHz);
    // Indexes outside the lists fall back to the initial 10 Hz .. 50 kHz.
    void buildFromIndexes(int fromIndex, int toIndex);

    float operator[](int i) const { return f_[static_cast<std::size_t>(i)]; }
    std::span<const float, kAxisPoints> values() const { return f_; }
    double from() const { return from_; }
    double to() const { return to_; }

    static double fromHz(int fromIndex);
    static double toHz(int toIndex);

private:
    std::array<float, kAxisPoints> f_{};
    double from_ = 10.0; // Hz
    double to_ = 50000.0; // Hz
};

} // namespace vantrel
