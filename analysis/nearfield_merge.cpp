#include "analysis/nearfield_merge.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "platform/number_text.h"

namespace vantrel {

namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr int kFewestOverlapPoints = 4;

Complex value(const ComplexBin& b) { return {b.re, b.im}; }

std::string hzText(double hz) { return cleanFixedText(hz, hz < 100 ? 1 : 0); }

// Nearest-branch unwrap in radians, in place.
void unwrap(std::vector<double>& phase)
{
    for (std::size_t i = 1; i < phase.size(); ++i)
        phase[i] -= 2 * kPi * std::round((phase[i] - phase[i - 1]) / (2 * kPi));
}

// The near field at hz: level (dB) and unwrapped phase linear in log f between its points.
class NearFieldInterpolator {
public:
    explicit NearFieldInterpolator(const NearFieldCurve& c) : c_(c), phase_(c.phaseDegrees.size())
    {
        for (std::size_t i = 0; i < phase_.size(); ++i)
            phase_[i] = c.phaseDegrees[i] * kPi / 180;
        unwrap(phase_);
    }
    Complex operator()(double hz) const
    {
        std::size_t i = 1;
        while (i + 1 < c_.hz.size() && c_.hz[i] < hz)
            ++i;
        const double t = std::clamp(std::log(hz / c_.hz[i - 1]) / std::log(c_.hz[i] / c_.hz[i - 1]), 0.0, 1.0);
        const double level = c_.levelDb[i - 1] + t * (c_.levelDb[i] - c_.levelDb[i - 1]);
        const double phase = phase_[i - 1] + t * (phase_[i] - phase_[i - 1]);
        return std::polar(std::pow(10.0, (level - 90) / 20), phase);
    }

private:
    const NearFieldCurve& c_;
    std::vector<double> phase_;
};

// Least squares of y = p + s x.
struct Line {
    double p = 0, s = 0;
};
Line fitLine(const std::vector<double>& x, const std::vector<double>& y)
{
    const double n = static_cast<double>(x.size());
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i] / n;
        my += y[i] / n;
    }
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    const double s = sxx > 0 ? sxy / sxx : 0;
    return {my - s * mx, s};
}

// A direction's ratio to the axis below the band: |rho|^2 = (1 + A f^2) / (1 + B f^2),
// arg rho = -2 pi f dt. Fitted over the overlap band from y = (|rho|^2 - 1) / f^2 = A - B |rho|^2,
// which is linear in A and B; B < 0 (no transition the band can place) falls back to B = 0.
struct RatioModel {
    double a = 0, b = 0, dt = 0;
    Complex operator()(double hz) const
    {
        const double f2 = hz * hz;
        return std::polar(std::sqrt((1 + a * f2) / (1 + b * f2)), -2 * kPi * hz * dt);
    }
};

RatioModel fitRatio(const std::vector<double>& hz, const std::vector<Complex>& rho, double topHz)
{
    std::vector<double> x(hz.size()), y(hz.size()), phase(hz.size());
    for (std::size_t i = 0; i < hz.size(); ++i) {
        x[i] = std::norm(rho[i]);
        y[i] = (x[i] - 1) / (hz[i] * hz[i]);
        phase[i] = std::arg(rho[i]);
    }
    RatioModel m;
    const Line line = fitLine(x, y);
    m.b = -line.s;
    m.a = line.p;
    if (m.b < 0 || !std::isfinite(m.b)) {
        m.b = 0;
        double mean = 0;
        for (double v : y)
            mean += v / static_cast<double>(y.size());
        m.a = mean;
    }
    // The level must stay positive up to where the extension is used.
    m.a = std::max(m.a, -0.9 / (topHz * topHz));
    unwrap(phase);
    double sfp = 0, sff = 0;
    for (std::size_t i = 0; i < hz.size(); ++i) {
        sfp += hz[i] * phase[i];
        sff += hz[i] * hz[i];
    }
    m.dt = -sfp / (2 * kPi * sff);
    return m;
}

} // namespace

NearFieldMergeResult mergeNearField(BalloonMatrix& balloon, const FrequencyAxis& axis, AngleGrid grid, int lowestBin,
                                    const NearFieldCurve& nearField, const NearFieldMergeOptions& o)
{
    NearFieldMergeResult r;
    NearFieldMergePlan& plan = r.plan;
    auto refuse = [&](std::string why) {
        r.refusal = std::move(why);
        return r;
    };
    if (!(o.radiusM > 0))
        return refuse("the radiator's radius is unknown");
    if (!(o.gateMs > 0))
        return refuse("the gated balloon has no gate");
    if (!(o.distanceM > 0))
        return refuse("the measuring distance " + cleanFixedText(o.distanceM, 3) + " m is not above 0");
    plan.overlapLowHz = 1000 / o.gateMs;
    plan.overlapHighHz = o.speedOfSound / (6 * o.radiusM);
    if (plan.overlapLowHz >= plan.overlapHighHz)
        return refuse("no overlap band: the gate's low edge " + hzText(plan.overlapLowHz) + " Hz (a gate of " +
                      cleanFixedText(o.gateMs, 2) + " ms) lies above the near field's limit " +
                      hzText(plan.overlapHighHz) + " Hz (c/6a for a radius of " + cleanFixedText(o.radiusM * 1000, 1) +
                      " mm)");
    plan.mergeHz = o.mergeHz.value_or(std::sqrt(plan.overlapLowHz * plan.overlapHighHz));
    if (!(plan.mergeHz > plan.overlapLowHz && plan.mergeHz < plan.overlapHighHz))
        return refuse("the merge frequency " + hzText(plan.mergeHz) + " Hz lies outside the overlap band " +
                      hzText(plan.overlapLowHz) + ".." + hzText(plan.overlapHighHz) + " Hz");
    // To 0.1 Hz, as the record keeps it.
    const auto tenth = [](double hz) { return std::round(hz * 10) / 10; };
    plan.band = {tenth(std::max(plan.overlapLowHz, plan.mergeHz / std::numbers::sqrt2)),
                 tenth(std::min(plan.overlapHighHz, plan.mergeHz * std::numbers::sqrt2))};

    std::vector<int> overlap;
    for (int i = lowestBin; i < kAxisPoints; ++i)
        if (axis[i] >= plan.overlapLowHz && axis[i] <= plan.overlapHighHz)
            overlap.push_back(i);
    if (overlap.size() < static_cast<std::size_t>(kFewestOverlapPoints))
        return refuse("the overlap band " + hzText(plan.overlapLowHz) + ".." + hzText(plan.overlapHighHz) +
                      " Hz holds only " + std::to_string(overlap.size()) + " points of the balloon's axis");
    plan.firstBin = lowestBin;
    plan.bandTopBin = lowestBin;
    while (plan.bandTopBin < kAxisPoints && axis[plan.bandTopBin] <= plan.band.highHz)
        ++plan.bandTopBin;
    if (nearField.hz.front() > axis[lowestBin] * (1 + 1e-4)) // the curve keeps three decimals
        return refuse("the near field starts at " + hzText(nearField.hz.front()) +
                      " Hz, above the balloon's lowest frequency " + hzText(axis[lowestBin]) + " Hz");
    if (nearField.hz.back() < plan.overlapHighHz)
        return refuse("the near field ends at " + hzText(nearField.hz.back()) + " Hz, below the overlap band's top " +
                      hzText(plan.overlapHighHz) + " Hz");

    const NearFieldInterpolator near(nearField);
    const auto axisCell = balloon.cell(rowForAngle(0, grid), 0);
    std::vector<double> hz, level, phase;
    for (int i : overlap) {
        const Complex g0 = value(axisCell[static_cast<std::size_t>(i)]);
        const Complex n = near(axis[i]);
        if (std::abs(g0) == 0 || std::abs(n) == 0)
            return refuse("the gated balloon holds no axis response at " + hzText(axis[i]) + " Hz");
        const Complex q = g0 / n;
        hz.push_back(axis[i]);
        level.push_back(20 * std::log10(std::abs(q)));
        phase.push_back(std::arg(q));
    }
    // The axis: level, phase and the path delay of the gated response over the near field.
    unwrap(phase);
    double gainDb = 0;
    for (double l : level)
        gainDb += l / static_cast<double>(level.size());
    const Line delay = fitLine(hz, phase);
    double misfit = 0;
    for (double l : level)
        misfit += (l - gainDb) * (l - gainDb) / static_cast<double>(level.size());
    const double a = o.radiusM, d = std::max(0.0, o.nearDistanceM);
    r.keeleGainDb = 20 * std::log10(a * a / (2 * o.distanceM * (std::sqrt(d * d + a * a) - d))) + o.driveDb;
    r.fittedGainDb = gainDb;
    r.delayMs = -delay.s / (2 * kPi) * 1000;
    r.phaseDegrees = std::remainder(delay.p, 2 * kPi) * 180 / kPi;
    r.fitResidualDb = std::sqrt(misfit);
    const double gain = std::pow(10.0, gainDb / 20);

    // The axis extension at every written point, shared by all directions.
    const int count = plan.bandTopBin - plan.firstBin;
    std::vector<Complex> extension(static_cast<std::size_t>(count));
    std::vector<double> fade(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j) {
        const double f = axis[plan.firstBin + j];
        extension[static_cast<std::size_t>(j)] = gain * std::polar(1.0, delay.p + delay.s * f) * near(f);
        const double t = std::log(f / plan.band.lowHz) / std::log(plan.band.highHz / plan.band.lowHz);
        fade[static_cast<std::size_t>(j)] = t <= 0 ? 0.0 : t >= 1 ? 1.0 : 0.5 - 0.5 * std::cos(kPi * t);
    }
    // The axis cell's gated response is read by every direction: keep it before any is written.
    std::vector<Complex> axisGated(static_cast<std::size_t>(kAxisPoints));
    for (int i = 0; i < kAxisPoints; ++i)
        axisGated[static_cast<std::size_t>(i)] = value(axisCell[static_cast<std::size_t>(i)]);

    std::vector<Complex> rho(overlap.size());
    for (int row = 0; row <= lastRow(grid); ++row)
        for (int column = 0; column <= lastColumn(grid); ++column) {
            const auto cell = balloon.cell(row, column);
            bool measured = true;
            for (std::size_t k = 0; k < overlap.size() && measured; ++k) {
                const Complex g = value(cell[static_cast<std::size_t>(overlap[k])]);
                measured = std::abs(g) > 0;
                rho[k] = g / axisGated[static_cast<std::size_t>(overlap[k])];
            }
            if (!measured)
                continue; // a cell the walk never reached stays empty
            const RatioModel model = fitRatio(hz, rho, plan.band.highHz);
            for (int j = 0; j < count; ++j) {
                const auto at = static_cast<std::size_t>(plan.firstBin + j);
                const double f = axis[plan.firstBin + j];
                const double w = fade[static_cast<std::size_t>(j)];
                const Complex merged = (1 - w) * extension[static_cast<std::size_t>(j)] * model(f) + w * value(cell[at]);
                cell[at] = {static_cast<float>(merged.real()), static_cast<float>(merged.imag())};
            }
        }
    return r;
}

double driveDifferenceDb(const MeasurementRecord& balloon, const NearFieldCurve& nearField)
{
    if (!(balloon.outputVolumePercent > 0) || !(nearField.outputVolumePercent > 0))
        return 0;
    return 20 * std::log10(balloon.outputVolumePercent / nearField.outputVolumePercent);
}

} // namespace vantrel
