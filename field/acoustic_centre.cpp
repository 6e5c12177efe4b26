#include "field/acoustic_centre.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace vantrel {

using Complex = std::complex<double>;

double spreadMethodTopHz()
{
    return (kSpreadOrder - 4) / kCentreReach * kFieldSpeedOfSound / (2 * std::numbers::pi);
}

std::optional<FieldVector> groupDelayCentre(std::span<const FieldDirection> directions, std::span<const Complex> below,
                                            std::span<const Complex> above, double dk)
{
    const std::size_t count = std::min({directions.size(), below.size(), above.size()});
    std::vector<Complex> step(count);
    double loudest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        step[i] = above[i] * std::conj(below[i]);
        loudest = std::max(loudest, std::abs(step[i]));
    }
    // Phases about their weighted mean, so that the common delay does not wrap.
    Complex mean = 0;
    const double floor = loudest * std::pow(10.0, -kGroupDelayRangeDb / 10); // |step| is a level squared
    for (std::size_t i = 0; i < count; ++i)
        if (std::abs(step[i]) >= floor)
            mean += directions[i].weight * step[i];
    if (std::abs(mean) == 0)
        return std::nullopt;
    Eigen::Matrix4d normal = Eigen::Matrix4d::Zero();
    Eigen::Vector4d right = Eigen::Vector4d::Zero();
    int used = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::abs(step[i]) < floor)
            continue;
        const FieldDirection& u = directions[i];
        const double w = u.weight * std::abs(step[i]);
        const Eigen::Vector4d row(1, dk * u.x, dk * u.y, dk * u.z);
        normal += w * row * row.transpose();
        right += w * std::arg(step[i] * std::conj(mean)) * row;
        ++used;
    }
    if (used < 4)
        return std::nullopt;
    const Eigen::LDLT<Eigen::Matrix4d> solver(normal);
    if (solver.info() != Eigen::Success || !(solver.rcond() > 1e-12))
        return std::nullopt;
    const Eigen::Vector4d x = solver.solve(right);
    if (!x.allFinite())
        return std::nullopt;
    double misfit = 0, total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (std::abs(step[i]) < floor)
            continue;
        const FieldDirection& u = directions[i];
        const double w = u.weight * std::abs(step[i]);
        const double e = std::arg(step[i] * std::conj(mean)) - x(0) - dk * (u.x * x(1) + u.y * x(2) + u.z * x(3));
        misfit += w * e * e;
        total += w;
    }
    if (!(std::sqrt(misfit / total) <= kGroupDelayMisfit))
        return std::nullopt;
    return FieldVector{x(1), x(2), x(3)};
}

FieldVector spreadCentre(const FieldBasis& basis, std::span<const Complex> field, double k)
{
    const auto& directions = basis.directions();
    const int order = basis.maxOrder();
    std::vector<Complex> moved(field.begin(), field.end());
    const auto spread = [&](const FieldVector& r) {
        std::copy(field.begin(), field.end(), moved.begin());
        referToCentre(moved, directions, k, r);
        return angularSpread(basis.fit(moved, order).front().coefficients, order);
    };
    // Q(r) = q0 + g.r + r^T H r over the 27 points of a cube of half-side h about the guess.
    FieldVector guess{0, 0, 0};
    for (const double h : {0.1, 0.025}) {
        Eigen::MatrixXd design(27, 10);
        Eigen::VectorXd values(27);
        int row = 0;
        for (int a = -1; a <= 1; ++a)
            for (int b = -1; b <= 1; ++b)
                for (int c = -1; c <= 1; ++c, ++row) {
                    const double x = a * h, y = b * h, z = c * h;
                    design.row(row) << 1, x, y, z, x * x, y * y, z * z, x * y, x * z, y * z;
                    values(row) = spread({guess[0] + x, guess[1] + y, guess[2] + z});
                }
        const Eigen::VectorXd q = design.colPivHouseholderQr().solve(values);
        Eigen::Matrix3d hessian;
        hessian << 2 * q(4), q(7), q(8), q(7), 2 * q(5), q(9), q(8), q(9), 2 * q(6);
        const Eigen::Vector3d gradient(q(1), q(2), q(3));
        const Eigen::LDLT<Eigen::Matrix3d> solver(hessian);
        if (solver.info() != Eigen::Success || !solver.isPositive())
            break;
        Eigen::Vector3d shift = -solver.solve(gradient);
        // Trust the quadratic only a little beyond the cube it was fitted on.
        if (shift.norm() > 2 * h)
            shift *= 2 * h / shift.norm();
        for (int i = 0; i < 3; ++i)
            guess[static_cast<std::size_t>(i)] += shift(i);
    }
    return guess;
}

} // namespace vantrel
