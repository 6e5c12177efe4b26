#include "calibration/calibration_builder.h"

#include <cmath>
#include <complex>

#include "mls/frequency_response.h"

namespace vantrel {

namespace {

constexpr int kCalibrationLevelStyle = 4;
constexpr int kCalibrationPhaseStyle = 5;

bool isOddLinkwitz(const FilterSection& s)
{
    return s.family == kLinkwitz &&
           (s.orderIndex == 0 || s.orderIndex == 2 || s.orderIndex == 5 || s.orderIndex == 7);
}

void fillCurve(Curve& target, const CalibrationCurve& curve, bool level, int styleEntry)
{
    for (int i = 0; i < kAxisPoints; ++i) {
        const LevelPhase& p = curve[static_cast<std::size_t>(i)];
        target[static_cast<std::size_t>(i)] = level ? p.level : p.phase;
    }
    const LineStyle& style = kLineStyleTable[static_cast<std::size_t>(styleEntry)];
    target[750] = 1.0f;
    target[751] = static_cast<float>(style.red);
    target[752] = static_cast<float>(style.green);
    target[753] = static_cast<float>(style.blue);
    target[754] = static_cast<float>(style.width);
    target[755] = static_cast<float>(style.style);
}

} // namespace

std::string linkwitzRefusal(const FilterSections& sections)
{
    for (int k = 0; k < kFilterSectionCount; ++k) {
        if (!isOddLinkwitz(sections[static_cast<std::size_t>(k)]))
            continue;
        if (k == 0)
            return "HP Option NOT Applicable To Linkwitz Filters";
        return "LP Option NOT Applicable To Linkwitz Filters " + std::to_string(k);
    }
    return {};
}

bool computeCalibrationCurve(const FilterSections& sections, bool invert, const FrequencyAxis& axis,
                             CalibrationCurve& curve)
{
    CalibrationCurve result;
    for (int i = 0; i < kAxisPoints; ++i) {
        const double f = axis[i];
        std::complex<double> t{1.0, 0.0};
        for (int k = 0; k < kFilterSectionCount; ++k)
            t *= std::complex<double>(sectionResponse(f, sections, k));
        if (invert) {
            const double power = std::norm(t);
            t = std::conj(t) / power;
        }
        const double level = 10.0 * std::log10(std::norm(t) + 1e-10);
        const double re = t.real() == 0.0 ? 1e-8 : t.real();
        const double phase = std::atan2(t.imag(), re) * kDegreesPerRadian;
        LevelPhase& p = result[static_cast<std::size_t>(i)];
        p.level = static_cast<float>(level);
        p.phase = static_cast<float>(phase);
        if (!usableCalibrationLevel(p.level) || !std::isfinite(p.phase))
            return false;
    }
    curve = result;
    return true;
}

ShowOutcome showCalibration(FilterSections& sections, bool invert, const FrequencyAxis& axis,
                            CalibrationCurve& curve)
{
    ShowOutcome outcome;
    for (int k = 0; k < kFilterSectionCount; ++k) {
        FilterSection& s = sections[static_cast<std::size_t>(k)];
        if (s.cutoff < 1.0f) {
            s.cutoff = 1.0f;
            outcome.cutoffRaised[static_cast<std::size_t>(k)] = true;
        }
    }
    outcome.refusal = linkwitzRefusal(sections);
    if (!outcome.refusal.empty())
        return outcome;
    if (!computeCalibrationCurve(sections, invert, axis, curve))
        outcome.refusal = "Filter settings give no finite response: the calibration curve is unchanged";
    return outcome;
}

void plotCalibrationCurve(const CalibrationCurve& curve, CurveSet& curves)
{
    fillCurve(curves[kCalibrationLevelCurve], curve, true, kCalibrationLevelStyle);
    fillCurve(curves[kCalibrationPhaseCurve], curve, false, kCalibrationPhaseStyle);
}

void clearCalibrationPlot(CurveSet& curves)
{
    for (const int c : {kCalibrationLevelCurve, kCalibrationPhaseCurve}) {
        Curve& target = curves[static_cast<std::size_t>(c)];
        for (int i = 0; i < kAxisPoints; ++i)
            target[static_cast<std::size_t>(i)] = 0.0f;
        target[750] = 0.0f;
    }
}

} // namespace vantrel
