#include "field/sound_field.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "analysis/sphere_weights.h"
#include "field/spherical_harmonics.h"

namespace vantrel {

using Complex = std::complex<double>;

double fieldWavenumber(double hz) { return 2.0 * std::numbers::pi * hz / kFieldSpeedOfSound; }

FieldDirection fieldDirection(double x, double y, double z)
{
    FieldDirection d;
    const double norm = std::sqrt(x * x + y * y + z * z);
    d.x = x / norm;
    d.y = y / norm;
    d.z = z / norm;
    d.polar = std::acos(std::clamp(d.z, -1.0, 1.0));
    d.azimuth = (d.x == 0 && d.y == 0) ? 0.0 : std::atan2(d.y, d.x);
    return d;
}

// The output frame of sphere_directions.h is the loudspeaker's renamed: x -> z, y -> x, z -> y.
std::vector<FieldDirection> fieldDirections(AngleGrid grid)
{
    std::vector<FieldDirection> out;
    for (const WeightedDirection& w : sphereWeights(grid)) {
        FieldDirection d = fieldDirection(w.direction.y, w.direction.z, w.direction.x);
        d.weight = w.solidAngle;
        d.cell = w.direction.cell;
        out.push_back(d);
    }
    return out;
}

int gridOrderLimit(AngleGrid grid) { return 180 / gridStepDegrees(grid) - 1; }

struct FieldBasis::Impl {
    std::vector<FieldDirection> directions;
    int maxOrder = 0;
    double lambda = 0;
    FieldWeighting weighting = FieldWeighting::solidAngle;
    Eigen::MatrixXcd basis;        // M x K: Y_j(u_i)
    std::vector<int> ring;         // per direction, its ring of equal polar angle
    std::vector<double> ringAngle; // sr, per ring
    struct Block {
        int m = 0;
        std::vector<int> index;              // j of n = |m| .. maxOrder
        std::vector<Eigen::MatrixXcd> grams; // per ring: the block's sum of w conj(Y) Y^T over it
    };
    std::vector<Block> blocks;     // m = -maxOrder .. maxOrder
    // With solid-angle weights the same at every frequency: each block's Cholesky factor at the
    // top order, and the condition number of every order.
    std::vector<Eigen::MatrixXcd> fixedLowers;
    std::vector<double> fixedConditions;

    Eigen::MatrixXcd normal(const Block& block, const Eigen::VectorXd& ringWeights) const
    {
        const auto size = static_cast<Eigen::Index>(block.index.size());
        Eigen::MatrixXcd out = Eigen::MatrixXcd::Zero(size, size);
        for (std::size_t r = 0; r < block.grams.size(); ++r)
            out += ringWeights(static_cast<Eigen::Index>(r)) * block.grams[r];
        for (Eigen::Index c = 0; c < size; ++c) {
            const double n = std::abs(block.m) + static_cast<double>(c);
            out(c, c) += lambda * (1 + n * (n + 1));
        }
        return out;
    }
};

FieldBasis::FieldBasis(std::vector<FieldDirection> directions, int maxOrder, double regularisation,
                       FieldWeighting weighting)
    : impl_(std::make_unique<Impl>())
{
    Impl& s = *impl_;
    s.weighting = weighting;
    s.directions = std::move(directions);
    s.maxOrder = maxOrder;
    s.lambda = regularisation;
    const auto rows = static_cast<Eigen::Index>(s.directions.size());
    const int count = shCount(maxOrder);
    s.basis.resize(rows, count);
    std::vector<Complex> y(static_cast<std::size_t>(count));
    std::vector<double> polars;
    for (Eigen::Index i = 0; i < rows; ++i) {
        const FieldDirection& d = s.directions[static_cast<std::size_t>(i)];
        sphericalHarmonics(maxOrder, d.polar, d.azimuth, y);
        for (int j = 0; j < count; ++j)
            s.basis(i, j) = y[static_cast<std::size_t>(j)];
        std::size_t r = 0;
        while (r < polars.size() && std::abs(polars[r] - d.polar) > 1e-9)
            ++r;
        if (r == polars.size()) {
            polars.push_back(d.polar);
            s.ringAngle.push_back(0);
        }
        s.ring.push_back(static_cast<int>(r));
        s.ringAngle[r] += d.weight;
    }
    for (int m = -maxOrder; m <= maxOrder; ++m) {
        Impl::Block block;
        block.m = m;
        for (int n = std::abs(m); n <= maxOrder; ++n)
            block.index.push_back(shIndex(n, m));
        const auto size = static_cast<Eigen::Index>(block.index.size());
        block.grams.assign(polars.size(), Eigen::MatrixXcd::Zero(size, size));
        for (Eigen::Index i = 0; i < rows; ++i) {
            Eigen::VectorXcd a(size);
            for (Eigen::Index c = 0; c < size; ++c)
                a(c) = s.basis(i, block.index[static_cast<std::size_t>(c)]);
            block.grams[static_cast<std::size_t>(s.ring[static_cast<std::size_t>(i)])] +=
                s.directions[static_cast<std::size_t>(i)].weight * a.conjugate() * a.transpose();
        }
        s.blocks.push_back(std::move(block));
    }
    if (weighting != FieldWeighting::solidAngle)
        return;
    const Eigen::VectorXd ones = Eigen::VectorXd::Ones(static_cast<Eigen::Index>(polars.size()));
    std::vector<double> largest(static_cast<std::size_t>(maxOrder) + 1, 0.0);
    std::vector<double> smallest(static_cast<std::size_t>(maxOrder) + 1, std::numeric_limits<double>::max());
    for (const Impl::Block& block : s.blocks) {
        const Eigen::MatrixXcd normal = s.normal(block, ones);
        for (Eigen::Index lead = 1; lead <= normal.rows(); ++lead) {
            const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> eigen(normal.topLeftCorner(lead, lead),
                                                                        Eigen::EigenvaluesOnly);
            const auto n = static_cast<std::size_t>(std::abs(block.m) + lead - 1);
            largest[n] = std::max(largest[n], eigen.eigenvalues().maxCoeff());
            smallest[n] = std::min(smallest[n], eigen.eigenvalues().minCoeff());
        }
        s.fixedLowers.push_back(normal.llt().matrixL());
    }
    // Order N holds the blocks' leading parts of every order up to N.
    for (std::size_t n = 0; n <= static_cast<std::size_t>(maxOrder); ++n) {
        if (n > 0) {
            largest[n] = std::max(largest[n], largest[n - 1]);
            smallest[n] = std::min(smallest[n], smallest[n - 1]);
        }
        s.fixedConditions.push_back(std::sqrt(largest[n] / std::max(smallest[n], 1e-300)));
    }
}

FieldBasis::~FieldBasis() = default;
FieldBasis::FieldBasis(FieldBasis&&) noexcept = default;
FieldBasis& FieldBasis::operator=(FieldBasis&&) noexcept = default;

int FieldBasis::maxOrder() const { return impl_->maxOrder; }
const std::vector<FieldDirection>& FieldBasis::directions() const { return impl_->directions; }

std::vector<FieldFit> FieldBasis::fit(std::span<const std::complex<double>> fields, int order) const
{
    const Impl& s = *impl_;
    const auto rows = static_cast<Eigen::Index>(s.directions.size());
    const auto frequencies = rows > 0 ? static_cast<Eigen::Index>(fields.size()) / rows : 0;
    const Eigen::Map<const Eigen::MatrixXcd> p(fields.data(), rows, frequencies);
    const std::size_t ringCount = s.ringAngle.size();
    // Each ring weighted by the inverse of its mean energy (at most kRingRange below the
    // loudest ring's), scaled so that the weights still sum to 4 pi.
    Eigen::MatrixXd ringWeights(static_cast<Eigen::Index>(ringCount), frequencies);
    Eigen::MatrixXcd weighted(rows, frequencies);
    const bool relative = s.weighting == FieldWeighting::ringLevel;
    for (Eigen::Index f = 0; f < frequencies; ++f) {
        if (!relative) {
            ringWeights.col(f).setOnes();
            weighted.col(f) = p.col(f);
            for (Eigen::Index i = 0; i < rows; ++i)
                weighted(i, f) *= s.directions[static_cast<std::size_t>(i)].weight;
            continue;
        }
        std::vector<double> energy(ringCount, 0.0);
        for (Eigen::Index i = 0; i < rows; ++i) {
            const auto r = static_cast<std::size_t>(s.ring[static_cast<std::size_t>(i)]);
            energy[r] += s.directions[static_cast<std::size_t>(i)].weight * std::norm(p(i, f)) / s.ringAngle[r];
        }
        const double loudest = std::max(*std::max_element(energy.begin(), energy.end()), 1e-300);
        double total = 0;
        for (std::size_t r = 0; r < ringCount; ++r) {
            ringWeights(static_cast<Eigen::Index>(r), f) = 1 / std::max(energy[r], loudest * kRingRange);
            total += ringWeights(static_cast<Eigen::Index>(r), f) * s.ringAngle[r];
        }
        ringWeights.col(f) *= 4 * std::numbers::pi / total;
        for (Eigen::Index i = 0; i < rows; ++i)
            weighted(i, f) = s.directions[static_cast<std::size_t>(i)].weight *
                             ringWeights(s.ring[static_cast<std::size_t>(i)], f) * p(i, f);
    }
    // A^H W p for every frequency at once.
    const Eigen::MatrixXcd projections = s.basis.adjoint() * weighted;
    std::vector<FieldFit> out(static_cast<std::size_t>(frequencies));
    const int top = s.maxOrder;
    std::vector<Eigen::MatrixXcd> lowers = s.fixedLowers;
    lowers.resize(s.blocks.size());
    std::vector<Eigen::VectorXcd> ys(s.blocks.size());
    for (Eigen::Index f = 0; f < frequencies; ++f) {
        const double energy = std::max((p.col(f).conjugate().transpose() * weighted.col(f))(0, 0).real(), 1e-300);
        // Per block the regularised normal matrix of this frequency's weights, its Cholesky
        // factor and y = L^{-1} b; the objective's minimum at order N is energy - sum |y|^2
        // of the orders <= N.
        std::vector<double> captured(static_cast<std::size_t>(top) + 1, 0.0);
        for (std::size_t k = 0; k < s.blocks.size(); ++k) {
            const Impl::Block& block = s.blocks[k];
            const auto size = static_cast<Eigen::Index>(block.index.size());
            if (relative)
                lowers[k] = s.normal(block, ringWeights.col(f)).llt().matrixL();
            Eigen::VectorXcd b(size);
            for (Eigen::Index c = 0; c < size; ++c)
                b(c) = projections(block.index[static_cast<std::size_t>(c)], f);
            ys[k] = lowers[k].triangularView<Eigen::Lower>().solve(b);
            for (Eigen::Index c = 0; c < size; ++c)
                captured[static_cast<std::size_t>(std::abs(block.m) + c)] += std::norm(ys[k](c));
        }
        std::vector<double> objective(static_cast<std::size_t>(top) + 1);
        double sum = 0;
        for (int n = 0; n <= top; ++n) {
            sum += captured[static_cast<std::size_t>(n)];
            objective[static_cast<std::size_t>(n)] = std::max(energy - sum, 0.0) / energy;
        }
        int chosen = order;
        if (chosen < 0) {
            const double target =
                std::max(std::pow(10.0, kAutoResidualDb / 10), objective.back() * std::pow(10.0, kAutoFloorDb / 10));
            chosen = top;
            for (int n = 0; n <= top; ++n)
                if (objective[static_cast<std::size_t>(n)] <= target) {
                    chosen = n;
                    break;
                }
        }
        FieldFit& fit = out[static_cast<std::size_t>(f)];
        fit.order = chosen;
        fit.coefficients.assign(static_cast<std::size_t>(shCount(chosen)), Complex{});
        const bool known = !relative;
        double penalty = 0, largest = 0, smallest = std::numeric_limits<double>::max();
        for (std::size_t k = 0; k < s.blocks.size(); ++k) {
            const Impl::Block& block = s.blocks[k];
            const int lead = chosen - std::abs(block.m) + 1;
            if (lead <= 0)
                continue;
            const auto factor = lowers[k].topLeftCorner(lead, lead);
            const Eigen::VectorXcd c = factor.triangularView<Eigen::Lower>().adjoint().solve(ys[k].head(lead));
            for (Eigen::Index i = 0; i < lead; ++i) {
                const double n = std::abs(block.m) + static_cast<double>(i);
                fit.coefficients[static_cast<std::size_t>(block.index[static_cast<std::size_t>(i)])] = c(i);
                penalty += s.lambda * (1 + n * (n + 1)) * std::norm(c(i));
            }
            // The singular values of the weighted fitting matrix are the square roots of the
            // normal matrix's eigenvalues, L L^H of the order's leading factor.
            if (known)
                continue;
            const Eigen::MatrixXcd normal = factor * factor.adjoint();
            const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> eigen(normal, Eigen::EigenvaluesOnly);
            largest = std::max(largest, eigen.eigenvalues().maxCoeff());
            smallest = std::min(smallest, eigen.eigenvalues().minCoeff());
        }
        fit.condition = known ? s.fixedConditions[static_cast<std::size_t>(chosen)]
                              : std::sqrt(largest / std::max(smallest, 1e-300));
        // The objective less its penalty is the weighted residual itself.
        const double residual = std::max(objective[static_cast<std::size_t>(chosen)] - penalty / energy, 1e-30);
        fit.residualDb = 10 * std::log10(residual);
    }
    return out;
}

std::complex<double> evaluateField(std::span<const std::complex<double>> coefficients, int order,
                                   const FieldDirection& u, double k, const FieldVector& centre)
{
    std::vector<Complex> y(static_cast<std::size_t>(shCount(order)));
    sphericalHarmonics(order, u.polar, u.azimuth, y);
    Complex sum = 0;
    for (std::size_t j = 0; j < y.size() && j < coefficients.size(); ++j)
        sum += coefficients[j] * y[j];
    return sum * std::polar(1.0, k * (u.x * centre[0] + u.y * centre[1] + u.z * centre[2]));
}

void referToCentre(std::span<std::complex<double>> field, std::span<const FieldDirection> directions, double k,
                   const FieldVector& centre)
{
    for (std::size_t i = 0; i < field.size() && i < directions.size(); ++i) {
        const FieldDirection& u = directions[i];
        field[i] *= std::polar(1.0, -k * (u.x * centre[0] + u.y * centre[1] + u.z * centre[2]));
    }
}

void balloonField(const BalloonMatrix& matrix, std::span<const FieldDirection> directions, int bin,
                  std::span<std::complex<double>> out)
{
    for (std::size_t i = 0; i < directions.size() && i < out.size(); ++i) {
        const ComplexBin v = matrix.cell(directions[i].cell.row, directions[i].cell.column)[static_cast<std::size_t>(bin)];
        out[i] = {v.re, v.im};
    }
}

double angularSpread(std::span<const std::complex<double>> coefficients, int order)
{
    double weighted = 0, total = 0;
    for (int n = 0; n <= order; ++n)
        for (int m = -n; m <= n; ++m) {
            const auto j = static_cast<std::size_t>(shIndex(n, m));
            if (j >= coefficients.size())
                break;
            const double e = std::norm(coefficients[j]);
            weighted += n * (n + 1.0) * e;
            total += e;
        }
    return total > 0 ? weighted / total : 0.0;
}

} // namespace vantrel
