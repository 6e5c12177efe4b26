#pragma once
// The coefficient file of a balloon's expansion (DIR/coefficients.txt), UTF-8 text:
//
//   # vantrel sphere coefficients 1
//   # ... comment lines ...
//   f <frequency Hz> <order N> <centre x mm> <centre y mm> <centre z mm>
//   <re> <im>                      (N + 1)^2 lines, coefficient n^2 + n + m after n^2 + n + m - 1
//   f ...
//
// The field at direction u and wavenumber k = 2 pi f / 343 m/s is e^{j k u.r0} sum c_nm Y_n^m(u)
// (spherical_harmonics.h for Y and the loudspeaker's frame, r0 the centre), in the balloon's
// units (magnitude 1 is 90 dB). Numbers are decimal with "." whatever the locale; the writer
// gives each value's shortest text that reads back to the same double.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "field/sound_field.h"

namespace vantrel {

inline constexpr std::string_view kCoefficientsHeading = "# vantrel sphere coefficients 1";
inline constexpr int kLargestCoefficientOrder = 100;

struct SphereCoefficients {
    double hz = 0;
    int order = 0;
    FieldVector centre{}; // m
    std::vector<std::complex<double>> coefficients;
    friend bool operator==(const SphereCoefficients&, const SphereCoefficients&) = default;
};

std::string sphereCoefficientsText(const std::vector<SphereCoefficients>& expansions);

// The whole file, or nothing and the reason naming the line: a heading other than the one
// above, a line out of form, a frequency not above the one before, an order beyond
// kLargestCoefficientOrder, too few or too many coefficients.
std::optional<std::vector<SphereCoefficients>> parseSphereCoefficients(std::string_view text, std::string& error);

} // namespace vantrel
