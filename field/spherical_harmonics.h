#pragma once
// Orthonormal complex spherical harmonics in the loudspeaker's frame.
//
// Convention: the direction u = (sin t cos f, sin t sin f, cos t) in the loudspeaker's frame
// (+z its axis, +y up the baffle, +x = y cross z), so t is the angle from the axis (the
// turntable angle H) and f turns from +x towards +y. For n >= 0, -n <= m <= n:
//     Y_n^m(t, f) = (-1)^m sqrt((2n+1)/(4 pi) (n-m)!/(n+m)!) P_n^m(cos t) e^{j m f},  m >= 0,
//     Y_n^-m     = (-1)^m conj(Y_n^m),
// with the Condon-Shortley phase, so that the integral of Y_n^m conj(Y_n'^m') over the sphere
// is 1 when (n, m) = (n', m') and 0 otherwise. The m >= 0 part is std::sph_legendre(n, m, t)
// e^{j m f} (ISO/IEC 14882:2017, [sf.cmath.sph_legendre]); the same functions as
// E. G. Williams, "Fourier Acoustics" (Academic Press 1999), eq. (6.20).
// Coefficients are kept in the order j = n^2 + n + m, all (n, m) of order N in (N + 1)^2.

#include <complex>
#include <span>

namespace vantrel {

constexpr int shIndex(int n, int m) { return n * n + n + m; }
constexpr int shCount(int order) { return (order + 1) * (order + 1); }

// Y_n^m(t, f) for every n <= order into out (shCount(order) values, order j).
void sphericalHarmonics(int order, double polar, double azimuth, std::span<std::complex<double>> out);

} // namespace vantrel
