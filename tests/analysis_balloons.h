#pragma once
// Balloons synthesised in memory for the directivity tests: every cell of a grid filled from
// a function of frequency and turntable angles, with the geometry of the grid
// (u = (sin H cos V, -sin H sin V, cos H), +z the axis).

#include <cmath>
#include <complex>
#include <numbers>
#include <optional>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "platform/sim/loudspeaker.h"

namespace vantrel::testing {

inline constexpr double kSpeedOfSound = 343.0;

// response(hz, hDegrees, vDegrees) -> std::complex<double>, written into every cell of the
// grid (rows 0..last, columns 0..last) as stored magnitude (1.0 = 90 dB).
template <typename Response>
BalloonMatrix synthesiseBalloon(AngleGrid grid, const FrequencyAxis& axis, Response response)
{
    std::optional<BalloonMatrix> created = BalloonMatrix::create();
    BalloonMatrix m = std::move(*created);
    const int step = gridStepDegrees(grid);
    for (int row = 0; row <= lastRow(grid); ++row)
        for (int column = 0; column <= lastColumn(grid); ++column) {
            auto cell = m.cell(row, column);
            for (int b = 0; b < kDataBins; ++b) {
                const std::complex<double> p = response(axis[b], column * step, 90 - row * step);
                cell[static_cast<std::size_t>(b)] = {static_cast<float>(p.real()), static_cast<float>(p.imag())};
            }
        }
    BalloonTrailer trailer;
    trailer.fromIndex = 3;
    trailer.toIndex = 6;
    trailer.angleGridFlag = angleGridFlag(grid);
    m.writeTrailer(trailer);
    return m;
}

// Polar angle from the axis of turntable angles (H, V): cos t = cos H.
inline double polarDegrees(double hDegrees)
{
    return std::acos(std::cos(hDegrees * std::numbers::pi / 180.0)) * 180.0 / std::numbers::pi;
}

inline double ka(double hz, double radius) { return 2.0 * std::numbers::pi * hz / kSpeedOfSound * radius; }

// A rigid piston of the given radius in an infinite baffle: 2 J1(ka sin t) / (ka sin t) in
// front, silent behind.
struct BaffledPiston {
    double radius;
    std::complex<double> operator()(double hz, double hDegrees, double) const
    {
        const double t = polarDegrees(hDegrees);
        if (t > 90.0 + 1e-9)
            return 0.0;
        return pistonDirectivity(ka(hz, radius) * std::sin(t * std::numbers::pi / 180.0));
    }
};

// Closed-form directivity index of the baffled piston over the whole sphere.
inline double pistonDirectivityIndexDb(double kaValue)
{
    return 10.0 * std::log10(kaValue * kaValue / (1.0 - std::cyl_bessel_j(1.0, 2.0 * kaValue) / kaValue));
}

} // namespace vantrel::testing
