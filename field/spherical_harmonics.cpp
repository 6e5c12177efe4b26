#include "field/spherical_harmonics.h"

#include <cmath>

namespace vantrel {

void sphericalHarmonics(int order, double polar, double azimuth, std::span<std::complex<double>> out)
{
    for (int m = 0; m <= order; ++m) {
        const std::complex<double> turn = std::polar(1.0, m * azimuth);
        const double sign = m % 2 ? -1.0 : 1.0;
        for (int n = m; n <= order; ++n) {
            const std::complex<double> y =
                std::sph_legendre(static_cast<unsigned>(n), static_cast<unsigned>(m), polar) * turn;
            out[static_cast<std::size_t>(shIndex(n, m))] = y;
            if (m > 0)
                out[static_cast<std::size_t>(shIndex(n, -m))] = sign * std::conj(y);
        }
    }
}

} // namespace vantrel
