#include "calibration/filter_section.h"

#include <cmath>
#include <initializer_list>

namespace vantrel {

namespace {

using Complex = std::complex<double>;
constexpr Complex kJ{0.0, 1.0};

Complex polynomial(std::initializer_list<double> coefficients, Complex s)
{
    // Horner's rule; coefficients from the highest power down.
    Complex sum{0.0, 0.0};
    for (const double c : coefficients)
        sum = sum * s + c;
    return sum;
}

// Bessel low-passes normalised to their -3 dB point: H(s) = Bn(0)/Bn(k·s), s = j·x.
Complex besselLowPass(int order, double x)
{
    switch (order) {
    case 0: return 1.0 / (1.0 + kJ * x);
    case 1: return 3.0 / polynomial({1, 3, 3}, kJ * (1.35994 * x));
    case 2: return 15.0 / polynomial({1, 6, 15, 15}, kJ * (1.74993 * x));
    case 3: return 105.0 / polynomial({1, 10, 45, 105, 105}, kJ * (2.13011 * x));
    case 4:
        return 2027025.0 / polynomial({1, 36, 630, 6930, 51975, 270270, 945945, 2027025, 2027025},
                                      kJ * (3.17002 * x));
    default: return 1.0;
    }
}

Complex bessel(int orderIndex, double x)
{
    if (orderIndex >= 0 && orderIndex <= 4)
        return besselLowPass(orderIndex, x);
    if (orderIndex >= 5 && orderIndex <= 9)
        return std::conj(besselLowPass(orderIndex - 5, 1.0 / x)); // H_hp(x) = conj(H_lp(1/x))
    return 1.0;
}

// Butterworth with the rounded pole coefficients the curves have always been drawn with;
// each order is the low-pass of that slope or its high-pass counterpart.
Complex butterworth(int orderIndex, double x)
{
    const double x2 = x * x;
    switch (orderIndex) {
    case 0: return 1.0 / (1.0 + kJ * x);
    case 1: {
        const double d = (1 - x2) * (1 - x2) + 2 * x2;
        return {(1 - x2) / d, -1.414 * x / d};
    }
    case 2: return 1.0 / Complex(1 - 2 * x2, 2 * x - x2 * x);
    case 3: {
        const double p = 1 - 3.4145 * x2 + x2 * x2;
        const double d = p * p + 6.8429 * x2 * (1 - x2) * (1 - x2);
        return {p / d, -2.6134 * x * (1 - x2) / d};
    }
    case 4: {
        const double x4 = x2 * x2, x6 = x4 * x2, x8 = x4 * x4;
        const double r = 1 - 13.137 * x2 + 25.688 * x4 - 13.137 * x6 + x8;
        const double u = 5.126 - 21.846 * x2 + 21.846 * x4 - 5.126 * x6;
        const double d = r * r + x2 * u * u;
        return {r / d, -x * u / d};
    }
    case 5: return {x2 / (1 + x2), x / (1 + x2)};
    case 6: {
        const double d = (1 - x2) * (1 - x2) + 2 * x2;
        return {-x2 * (1 - x2) / d, 1.414 * x2 * x / d};
    }
    case 7: return Complex(0.0, -x2 * x) / Complex(1 - 2 * x2, 2 * x - x2 * x); // (j·x)³ = -j·x³
    case 8: {
        const double p = 1 - 3.4145 * x2 + x2 * x2;
        const double d = p * p + 6.8429 * x2 * (1 - x2) * (1 - x2);
        return x2 * x2 * Complex(p, -2.6134 * x * (1 - x2)) / d;
    }
    case 9: {
        const double x4 = x2 * x2, x6 = x4 * x2, x8 = x4 * x4;
        const double r = 1 - 13.137 * x2 + 25.688 * x4 - 13.137 * x6 + x8;
        const double u = 5.126 - 21.846 * x2 + 21.846 * x4 - 5.126 * x6;
        return x8 * Complex(r, -x * u) / (r * r + x2 * u * u);
    }
    case 10:
    case 11:
    case 12: return std::conj(butterworth(orderIndex + 3, 1.0 / x));
    case 13:
        return 1.0 / ((1.0 + kJ * x) * Complex(1 - x2, 0.618 * x) * Complex(1 - x2, 1.618 * x));
    case 14:
        return 1.0 / (Complex(1 - x2, 0.518 * x) * Complex(1 - x2, 1.414 * x) * Complex(1 - x2, 1.932 * x));
    case 15:
        return 1.0 / ((1.0 + kJ * x) * Complex(1 - x2, 0.455 * x) * Complex(1 - x2, 1.247 * x) *
                      Complex(1 - x2, 1.802 * x));
    default: return 1.0;
    }
}

// Linkwitz-Riley: a Butterworth response squared, the factor rounded to float first.
Complex linkwitz(int orderIndex, double x)
{
    int base = -1;
    switch (orderIndex) {
    case 1: base = 0; break;
    case 3: base = 1; break;
    case 4: base = 3; break;
    case 6: base = 5; break;
    case 8: base = 6; break;
    case 9: base = 8; break;
    default: return 1.0;
    }
    const Complex h(std::complex<float>(butterworth(base, x)));
    return h * h;
}

// Peaking section, gain g dB at fc: H = ((1 - x²) + j·E·x) / ((1 - x²) + j·B·x), A = 10^(g/40),
// E = A/m, B = 1/(m·A) with m = q/A for a boost, A·q for a cut, so |H(fc)| = E/B = 10^(g/20).
Complex qParametric(const FilterSection& s, double x)
{
    if (static_cast<double>(s.q) <= 0.001)
        return 1.0;
    const double a = std::pow(10.0, s.gainOrSlope / 40.0);
    const double m = s.gainOrSlope >= 0 ? s.q / a : a * s.q;
    const double e = static_cast<float>(a / m);
    const double b = static_cast<float>(1.0 / (m * a));
    const double x2 = x * x;
    return Complex(1 - x2, e * x) / Complex(1 - x2, b * x);
}

// Shelf of g dB: H = A·((1 - A·z²) + j·w·z) / ((A - z²) + j·w·z), A = 10^(g/40),
// w = √A·√(k·(A + 1/A) + 2): k = 1 is a first-order shelf, k = 0 a second-order one (Q = 1/√2).
// z = f/fc gives 0 dB below fc and g above; the "+" families mirror it with z = fc/f.
Complex shelving(const FilterSection& s, double x)
{
    const bool firstOrder = s.family == kShelvingMinus6 || s.family == kShelvingPlus6;
    const bool mirrored = s.family == kShelvingPlus6 || s.family == kShelvingPlus12;
    const double a = static_cast<float>(std::pow(10.0, s.gainOrSlope / 40.0));
    const double k = firstOrder ? 1.0 : 0.0;
    const double w = static_cast<float>(std::sqrt(a) * std::sqrt(k * (a + 1.0 / a) + 2.0));
    const double z = mirrored ? 1.0 / x : x;
    const double z2 = z * z;
    const Complex h = a * Complex(1 - a * z2, w * z) / Complex(a - z2, w * z);
    return mirrored ? std::conj(h) : h;
}

// A first-order section raised to V/6 (V in dB/oct): magnitude m1^(V/6), phase (V/6)·φ1.
// Section 0 also takes V > 6: magnitude 1/√(1 + x^(2D)) (low-pass) or x^D/√(1 + x^(2D))
// (high-pass), D = V/6, phase ∓(V/6)·atan(x^(±8D/V)), i.e. atan of x^(4/3) for the low-pass
// and of x^(-4/3) for the high-pass. Both written so that a steep slope cannot overflow.
Complex variableSlope(const FilterSection& s, double x, int sectionIndex)
{
    const bool highPass = s.family == kHpVariableSlope;
    const double v = s.gainOrSlope; // dB/oct
    double magnitude = 1.0;
    double phase = 0.0; // rad
    if (sectionIndex == 0 && v > 6.0) {
        const double d = static_cast<float>(v / 6.0);
        const double exponent = 8.0 * d / v;
        if (highPass) {
            magnitude = 1.0 / std::sqrt(1.0 + std::pow(x, -2.0 * d));
            phase = v / 6.0 * std::atan(std::pow(x, -exponent));
        } else {
            magnitude = 1.0 / std::sqrt(1.0 + std::pow(x, 2.0 * d));
            phase = -v / 6.0 * std::atan(std::pow(x, exponent));
        }
    } else {
        if (sectionIndex != 0 && (v < 0.01 || v > 6.0))
            return 1.0;
        const double m1 = highPass ? 1.0 / std::sqrt(1.0 + 1.0 / (x * x)) : 1.0 / std::sqrt(1.0 + x * x);
        const double phi1 = highPass ? std::atan(1.0 / x) : -std::atan(x);
        magnitude = std::pow(m1, v / 6.0);
        phase = v / 6.0 * phi1;
    }
    return {magnitude * std::cos(phase), magnitude * std::sin(phase)};
}

} // namespace

std::complex<float> sectionResponse(double f, const FilterSection& section, int sectionIndex)
{
    const double x = f / section.cutoff;
    Complex h{1.0, 0.0};
    switch (section.family) {
    case kBessel: h = bessel(section.orderIndex, x); break;
    case kButterworth: h = butterworth(section.orderIndex, x); break;
    case kLinkwitz: h = linkwitz(section.orderIndex, x); break;
    case kQParametric: h = qParametric(section, x); break;
    case kShelvingMinus6:
    case kShelvingMinus12:
    case kShelvingPlus6:
    case kShelvingPlus12: h = shelving(section, x); break;
    case kLpVariableSlope:
    case kHpVariableSlope: h = variableSlope(section, x, sectionIndex); break;
    default: break; // By-Pass and anything off the list
    }
    return std::complex<float>(h);
}

} // namespace vantrel
