#pragma once
// Analogue filter sections that the calibration curve is built from: five sections in
// cascade, each one of eleven families with its order, cut-off, Q and gain or slope. A
// section's response is closed-form arithmetic on x = f/fc.

#include <array>
#include <complex>
#include <string_view>

namespace vantrel {

inline constexpr int kFilterSectionCount = 5;

inline constexpr std::array<std::string_view, 11> kFilterFamilyTexts{
    "Bessel", "Butterworth", "Linkwitz", "Q-Parametric", "Shelving-6dB", "Shelving-12dB",
    "Shelving+6dB", "Shelving+12dB", "By-Pass", "LP Variable Slope", "HP Variable Slope"};

inline constexpr std::array<std::string_view, 16> kFilterOrderTexts{
    "LP -6dB/oct", "LP -12dB/oct", "LP -18dB/oct", "LP -24dB/oct", "LP -48dB/oct",
    "HP +6dB/oct", "HP +12dB/oct", "HP +18dB/oct", "HP +24dB/oct", "HP +48dB/oct",
    "HP +30dB/oct", "HP +36dB/oct", "HP +42dB/oct", "LP -30dB/oct", "LP -36dB/oct", "LP -42dB/oct"};

enum FilterFamily : int {
    kBessel = 0,
    kButterworth = 1,
    kLinkwitz = 2,
    kQParametric = 3,
    kShelvingMinus6 = 4,
    kShelvingMinus12 = 5,
    kShelvingPlus6 = 6,
    kShelvingPlus12 = 7,
    kBypass = 8,
    kLpVariableSlope = 9,
    kHpVariableSlope = 10,
};

struct FilterSection {
    int family = kBypass;   // index into kFilterFamilyTexts
    int orderIndex = 0;     // index into kFilterOrderTexts; Bessel, Butterworth, Linkwitz only
    float cutoff = 1000.0f; // cut-off or centre frequency, Hz
    float q = 1.0f;         // quality factor, Q-Parametric only
    float gainOrSlope = 0;  // dB (Q-Parametric, shelving) or dB/oct (variable slope)
};

using FilterSections = std::array<FilterSection, kFilterSectionCount>;

// Section 0 sits behind "High-Pass Section", 1..4 behind "Low-Pass Section 1".."4"; the
// labels do not restrict the families.
inline constexpr FilterSections kDefaultFilterSections{{
    {kButterworth, 5, 30.0f, 20.0f, -10.0f},
    {kBypass, 3, 15.0f, 20.0f, 2.0f},
    {kShelvingMinus12, 3, 10000.0f, 10.0f, 5.0f},
    {kBypass, 1, 10000.0f, 10.0f, 2.0f},
    {kButterworth, 2, 22000.0f, 7.0f, 13.0f},
}};

// Complex response of one section at f Hz. sectionIndex matters only to the variable-slope
// families, whose section 0 also accepts slopes above 6 dB/oct. Computed in double, returned
// rounded to float. A family/order combination without a model gives (1, 0).
std::complex<float> sectionResponse(double f, const FilterSection& section, int sectionIndex);

inline std::complex<float> sectionResponse(double f, const FilterSections& sections, int sectionIndex)
{
    return sectionResponse(f, sections[static_cast<std::size_t>(sectionIndex)], sectionIndex);
}

} // namespace vantrel
