#pragma once
// A balloon's field at one frequency as a spherical-harmonic expansion (spherical_harmonics.h),
// fitted by weighted, regularised least squares on the grid's unique directions:
//
//     minimise  sum_i w_i |p_i - sum_j c_j Y_j(u_i)|^2 + lambda sum_j (1 + n_j (n_j + 1)) |c_j|^2
//
// w_i the solid angle of direction i (analysis/sphere_weights.h), n_j the order of coefficient
// j. With FieldWeighting::ringLevel w_i is also divided by the mean energy of its ring of
// equal polar angle (at most kRingRange below the loudest ring's, the weights scaled to sum to
// 4 pi): every ring is then fitted relative to its own level, and a rear 30 dB under the front
// is held as closely, in dB, as the front, where the fit in absolute terms leaves it errors of
// its own size (what resampling needs; the residual is then each ring's against its level). The penalty grows with the order (Tikhonov in the Sobolev norm), so that where the grid
// no longer pins a high-order coefficient, it is drawn to zero rather than to the noise; it
// biases a coefficient of order n by about lambda (1 + n (n + 1)) relative, 3e-7 at order 17
// with the default.
//
// The grid is a polar grid about the loudspeaker's axis: rings of equal polar angle, each with
// equally spaced azimuths of one weight. Over such a ring the e^{j m f} of different m are
// orthogonal up to |m - m'| < azimuths, so the normal matrix falls apart into one block per m
// and the expansion up to order N is exact in structure up to N = 180 / step - 1 (17 on the
// 10-degree grid, 35 on the 5-degree grid): as many rings as orders, twice as many azimuths.
// The ring weights keep that structure: per ring and block the Gram matrix is kept, and a
// frequency's normal matrix is their weighted sum. Each block's Cholesky factor at the top
// order holds every lower order's (the factor of a leading block is the leading block of the
// factor), and the minimum of the objective for order N is p^H W p - |y_N|^2,
// y = L^{-1} A^H W p, so one triangular solve gives the residual of every order at once.

#include <array>
#include <complex>
#include <memory>
#include <span>
#include <vector>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"

namespace vantrel {

using FieldVector = std::array<double, 3>; // m, the loudspeaker's frame

inline constexpr double kFieldSpeedOfSound = 343.0; // m/s
inline constexpr double kDefaultRegularisation = 1e-9;
// The order `auto` chooses: the lowest whose residual at the grid points lies this far below
// the field (0.27 dB rms), or within kAutoFloorDb of the residual at the grid's top order
// where no order reaches it (the noise and what no expansion on the grid holds).
inline constexpr double kAutoResidualDb = -30;
inline constexpr double kAutoFloorDb = 1;
inline constexpr double kRingRange = 1e-6; // the weights' range, 60 dB

double fieldWavenumber(double hz);

struct FieldDirection {
    double x = 0, y = 0, z = 1;        // unit vector, the loudspeaker's frame
    double polar = 0, azimuth = 0;     // rad, as in spherical_harmonics.h
    double weight = 0;                 // sr
    CellIndex cell;                    // where a grid direction's response is stored
};

// A direction from its unit vector in the loudspeaker's frame.
FieldDirection fieldDirection(double x, double y, double z);
// The unique directions of a grid with their solid angles (4 pi in all).
std::vector<FieldDirection> fieldDirections(AngleGrid grid);
// The highest order the grid's rings and azimuths hold: 180 / step - 1.
int gridOrderLimit(AngleGrid grid);

enum class FieldWeighting { solidAngle, ringLevel };

struct FieldFit {
    int order = 0;
    double residualDb = 0;  // weighted residual at the grid points against the field, dB
    double condition = 1;   // of the weighted, regularised fitting matrix at this order
    std::vector<std::complex<double>> coefficients; // shCount(order), order n^2 + n + m
};

class FieldBasis {
public:
    // directions: the grid's unique directions (a ring structure as above); maxOrder: at most
    // the grid's limit.
    FieldBasis(std::vector<FieldDirection> directions, int maxOrder, double regularisation = kDefaultRegularisation,
               FieldWeighting weighting = FieldWeighting::solidAngle);
    ~FieldBasis();
    FieldBasis(FieldBasis&&) noexcept;
    FieldBasis& operator=(FieldBasis&&) noexcept;

    int maxOrder() const;
    const std::vector<FieldDirection>& directions() const;

    // One fit per frequency: fields holds directions().size() values per frequency, one
    // frequency after the other. order: 0..maxOrder, or -1 for the automatic choice.
    std::vector<FieldFit> fit(std::span<const std::complex<double>> fields, int order) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The field at direction u of an expansion referred to centre r0 at wavenumber k:
// e^{j k u.r0} sum_j c_j Y_j(u), undoing referToCentre.
std::complex<double> evaluateField(std::span<const std::complex<double>> coefficients, int order,
                                   const FieldDirection& u, double k, const FieldVector& centre);

// Refers a field's phase to the point r0: p(u) e^{-j k u.r0}. A source at r0 radiates
// e^{j k u.r0} times its own directivity (the phase of a path k u.r0 shorter; the balloon's
// transforms turn a delay t into e^{-j w t}), so the field about its centre keeps only the
// directivity.
void referToCentre(std::span<std::complex<double>> field, std::span<const FieldDirection> directions, double k,
                   const FieldVector& centre);

// The field of a balloon at one axis point on the given directions.
void balloonField(const BalloonMatrix& matrix, std::span<const FieldDirection> directions, int bin,
                  std::span<std::complex<double>> out);

// sum n (n + 1) |c_nm|^2 / sum |c_nm|^2: the field's mean angular spread. A source about its
// centre spreads least: off it, the factor e^{j k u.d} adds k^2 |d - (u.d) u|^2 of gradient on
// the sphere at every direction (for a directivity of one phase, exactly).
double angularSpread(std::span<const std::complex<double>> coefficients, int order);

} // namespace vantrel
