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
    Eigen::MatrixXcd basis;       // M x K: Y_j(u_i)
    Eigen::VectorXd weights;      // M
    struct Block {
        int m = 0;
        std::vector<int> index;   // j of n = |m| .. maxOrder
        Eigen::MatrixXcd lower;   // Cholesky factor of the block's regularised normal matrix
    };
    std::vector<Block> blocks;    // m = -maxOrder .. maxOrder
    std::vector<double> conditions; // per order
};

FieldBasis::FieldBasis(std::vector<FieldDirection> directions, int maxOrder, double regularisation)
    : impl_(std::make_unique<Impl>())
{
    Impl& s = *impl_;
    s.directions = std::move(directions);
    s.maxOrder = maxOrder;
    s.lambda = regularisation;
    const auto rows = static_cast<Eigen::Index>(s.directions.size());
    const int count = shCount(maxOrder);
    s.basis.resize(rows, count);
    s.weights.resize(rows);
    std::vector<Complex> y(static_cast<std::size_t>(count));
    for (Eigen::Index i = 0; i < rows; ++i) {
        const FieldDirection& d = s.directions[static_cast<std::size_t>(i)];
        sphericalHarmonics(maxOrder, d.polar, d.azimuth, y);
        for (int j = 0; j < count; ++j)
            s.basis(i, j) = y[static_cast<std::size_t>(j)];
        s.weights(i) = d.weight;
    }
    std::vector<double> largest(static_cast<std::size_t>(maxOrder) + 1, 0.0);
    std::vector<double> smallest(static_cast<std::size_t>(maxOrder) + 1, std::numeric_limits<double>::max());
    for (int m = -maxOrder; m <= maxOrder; ++m) {
        Impl::Block block;
        block.m = m;
        for (int n = std::abs(m); n <= maxOrder; ++n)
            block.index.push_back(shIndex(n, m));
        const auto size = static_cast<Eigen::Index>(block.index.size());
        Eigen::MatrixXcd a(rows, size);
        for (Eigen::Index c = 0; c < size; ++c)
            a.col(c) = s.basis.col(block.index[static_cast<std::size_t>(c)]);
        Eigen::MatrixXcd normal = a.adjoint() * s.weights.asDiagonal() * a;
        for (Eigen::Index c = 0; c < size; ++c) {
            const double n = std::abs(m) + static_cast<double>(c);
            normal(c, c) += s.lambda * (1 + n * (n + 1));
        }
        // Each order's condition: the eigenvalues of the block's leading part of that order.
        for (Eigen::Index lead = 1; lead <= size; ++lead) {
            const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXcd> eigen(normal.topLeftCorner(lead, lead),
                                                                        Eigen::EigenvaluesOnly);
            const auto order = static_cast<std::size_t>(std::abs(m) + lead - 1);
            largest[order] = std::max(largest[order], eigen.eigenvalues().maxCoeff());
            smallest[order] = std::min(smallest[order], eigen.eigenvalues().minCoeff());
        }
        block.lower = normal.llt().matrixL();
        s.blocks.push_back(std::move(block));
    }
    // Order N holds the blocks' leading parts of orders up to N.
    for (int order = 1; order <= maxOrder; ++order) {
        largest[static_cast<std::size_t>(order)] =
            std::max(largest[static_cast<std::size_t>(order)], largest[static_cast<std::size_t>(order) - 1]);
        smallest[static_cast<std::size_t>(order)] =
            std::min(smallest[static_cast<std::size_t>(order)], smallest[static_cast<std::size_t>(order) - 1]);
    }
    for (int order = 0; order <= maxOrder; ++order)
        s.conditions.push_back(std::sqrt(largest[static_cast<std::size_t>(order)] /
                                         std::max(smallest[static_cast<std::size_t>(order)], 1e-300)));
}

FieldBasis::~FieldBasis() = default;
FieldBasis::FieldBasis(FieldBasis&&) noexcept = default;
FieldBasis& FieldBasis::operator=(FieldBasis&&) noexcept = default;

int FieldBasis::maxOrder() const { return impl_->maxOrder; }
const std::vector<FieldDirection>& FieldBasis::directions() const { return impl_->directions; }
double FieldBasis::condition(int order) const { return impl_->conditions[static_cast<std::size_t>(order)]; }

std::vector<FieldFit> FieldBasis::fit(std::span<const std::complex<double>> fields, int order) const
{
    const Impl& s = *impl_;
    const auto rows = static_cast<Eigen::Index>(s.directions.size());
    const auto frequencies = rows > 0 ? static_cast<Eigen::Index>(fields.size()) / rows : 0;
    const Eigen::Map<const Eigen::MatrixXcd> p(fields.data(), rows, frequencies);
    // A^H W p for every frequency at once.
    const Eigen::MatrixXcd weighted = s.weights.asDiagonal() * p;
    const Eigen::MatrixXcd projections = s.basis.adjoint() * weighted;
    std::vector<FieldFit> out(static_cast<std::size_t>(frequencies));
    const int top = s.maxOrder;
    for (Eigen::Index f = 0; f < frequencies; ++f) {
        const double energy = std::max((p.col(f).conjugate().transpose() * weighted.col(f))(0, 0).real(), 1e-300);
        // y = L^{-1} b per block; the objective's minimum at order N is energy - sum |y|^2 of orders <= N.
        std::vector<Eigen::VectorXcd> ys;
        std::vector<double> captured(static_cast<std::size_t>(top) + 1, 0.0);
        for (const Impl::Block& block : s.blocks) {
            Eigen::VectorXcd b(static_cast<Eigen::Index>(block.index.size()));
            for (std::size_t c = 0; c < block.index.size(); ++c)
                b(static_cast<Eigen::Index>(c)) = projections(block.index[c], f);
            Eigen::VectorXcd y = block.lower.triangularView<Eigen::Lower>().solve(b);
            for (Eigen::Index c = 0; c < y.size(); ++c)
                captured[static_cast<std::size_t>(std::abs(block.m) + c)] += std::norm(y(c));
            ys.push_back(std::move(y));
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
        fit.condition = s.conditions[static_cast<std::size_t>(chosen)];
        fit.coefficients.assign(static_cast<std::size_t>(shCount(chosen)), Complex{});
        double penalty = 0;
        for (std::size_t k = 0; k < s.blocks.size(); ++k) {
            const Impl::Block& block = s.blocks[k];
            const int lead = chosen - std::abs(block.m) + 1;
            if (lead <= 0)
                continue;
            const Eigen::VectorXcd c = block.lower.topLeftCorner(lead, lead)
                                           .triangularView<Eigen::Lower>()
                                           .adjoint()
                                           .solve(ys[k].head(lead));
            for (Eigen::Index i = 0; i < lead; ++i) {
                const double n = std::abs(block.m) + static_cast<double>(i);
                fit.coefficients[static_cast<std::size_t>(block.index[static_cast<std::size_t>(i)])] = c(i);
                penalty += s.lambda * (1 + n * (n + 1)) * std::norm(c(i));
            }
        }
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
