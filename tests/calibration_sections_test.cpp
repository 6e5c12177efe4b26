// Filter-section models and the "Show" computation of the calibration curve.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "calibration/calibration_builder.h"
#include "calibration/filter_section.h"

namespace vantrel {
namespace {

double levelDb(std::complex<float> h) { return 20.0 * std::log10(std::abs(std::complex<double>(h))); }
double phaseDeg(std::complex<float> h) { return std::arg(std::complex<double>(h)) * 180.0 / std::numbers::pi; }

FilterSection section(int family, int order, float cutoff = 1000.0f, float q = 1.0f, float gain = 0.0f)
{
    return {family, order, cutoff, q, gain};
}

FilterSections allBypass()
{
    FilterSections s = kDefaultFilterSections;
    for (FilterSection& f : s)
        f.family = kBypass;
    return s;
}

TEST(FilterSection, DefaultsAreTheFiveDocumentedSections)
{
    const FilterSections& d = kDefaultFilterSections;
    EXPECT_EQ(d[0].family, kButterworth);
    EXPECT_EQ(d[0].orderIndex, 5);
    EXPECT_FLOAT_EQ(d[0].cutoff, 30.0f);
    EXPECT_FLOAT_EQ(d[0].gainOrSlope, -10.0f);
    EXPECT_EQ(d[2].family, kShelvingMinus12);
    EXPECT_FLOAT_EQ(d[2].cutoff, 10000.0f);
    EXPECT_EQ(d[4].family, kButterworth);
    EXPECT_EQ(d[4].orderIndex, 2);
    EXPECT_FLOAT_EQ(d[4].cutoff, 22000.0f);
    EXPECT_FLOAT_EQ(d[4].q, 7.0f);
    EXPECT_EQ(kFilterFamilyTexts[10], "HP Variable Slope");
    EXPECT_EQ(kFilterOrderTexts[12], "HP +42dB/oct");
}

TEST(FilterSection, ValuesAtTheCutOff)
{
    const auto bw12 = sectionResponse(1000.0, section(kButterworth, 1), 1);
    EXPECT_NEAR(bw12.real(), 0.0, 1e-6);
    EXPECT_NEAR(bw12.imag(), -0.707, 1e-6);
    EXPECT_NEAR(levelDb(bw12), -3.0, 0.02);

    const auto bessel6 = sectionResponse(1000.0, section(kBessel, 0), 1);
    EXPECT_NEAR(bessel6.real(), 0.5, 1e-6);
    EXPECT_NEAR(bessel6.imag(), -0.5, 1e-6);

    const auto lr24 = sectionResponse(1000.0, section(kLinkwitz, 3), 1);
    EXPECT_NEAR(levelDb(lr24), -6.0, 0.05);
    EXPECT_NEAR(std::abs(phaseDeg(lr24)), 180.0, 0.01);

    const auto hp12 = sectionResponse(1000.0, section(kButterworth, 6), 0);
    EXPECT_NEAR(levelDb(hp12), -3.0, 0.02);
    EXPECT_NEAR(phaseDeg(hp12), 90.0, 0.01);
}

TEST(FilterSection, EveryLowPassOrderIsAboutThreeDbDownAtTheCutOff)
{
    for (int order : {0, 1, 2, 3, 4, 13, 14}) {
        EXPECT_NEAR(levelDb(sectionResponse(500.0, section(kButterworth, order, 500.0f), 1)), -3.01, 0.05)
            << "Butterworth " << kFilterOrderTexts[static_cast<std::size_t>(order)];
    }
    // The 42 dB/oct pole pair 0.455 (not 2·sin(π/14) = 0.445) leaves it 0.2 dB lower.
    EXPECT_NEAR(levelDb(sectionResponse(500.0, section(kButterworth, 15, 500.0f), 1)), -3.20, 0.01);
    for (int order = 0; order <= 4; ++order)
        EXPECT_NEAR(levelDb(sectionResponse(500.0, section(kBessel, order, 500.0f), 1)), -3.01, 0.08)
            << "Bessel " << kFilterOrderTexts[static_cast<std::size_t>(order)];
}

// The asymptotic slope in dB/oct must be the one the order's name promises.
TEST(FilterSection, SlopesFarFromTheCutOffMatchTheOrderNames)
{
    struct Case {
        int order;
        double slope; // dB/oct, positive for a high-pass
    };
    const Case butterworth[] = {{0, -6}, {1, -12}, {2, -18}, {3, -24}, {4, -48}, {13, -30}, {14, -36}, {15, -42},
                                {5, 6},  {6, 12},  {7, 18},  {8, 24},  {9, 48},  {10, 30},  {11, 36},  {12, 42}};
    for (const Case& c : butterworth) {
        const double f = c.slope < 0 ? 100000.0 : 10.0;
        const FilterSection s = section(kButterworth, c.order);
        const double perOctave = levelDb(sectionResponse(2 * f, s, 1)) - levelDb(sectionResponse(f, s, 1));
        EXPECT_NEAR(perOctave, c.slope / 6.0 * 6.0206, 0.2)
            << "Butterworth " << kFilterOrderTexts[static_cast<std::size_t>(c.order)];
    }
    for (int order = 0; order <= 9; ++order) {
        const bool highPass = order >= 5;
        const double slope = (highPass ? 1 : -1) * 6.02 * std::array{1, 2, 3, 4, 8}[static_cast<std::size_t>(order % 5)];
        const double f = highPass ? 1.0 : 1e6;
        const FilterSection s = section(kBessel, order);
        EXPECT_NEAR(levelDb(sectionResponse(2 * f, s, 1)) - levelDb(sectionResponse(f, s, 1)), slope, 0.2)
            << "Bessel " << kFilterOrderTexts[static_cast<std::size_t>(order)];
    }
}

// Unwrapped from 0 degrees far above the cut-off, a high-pass phase stays positive below it.
TEST(FilterSection, HighPassOrdersLeadInPhaseBelowTheCutOff)
{
    auto check = [](int family, int order) {
        const FilterSection s = section(family, order);
        double previous = phaseDeg(sectionResponse(1e7, s, 1));
        double unwrapped = previous;
        EXPECT_NEAR(unwrapped, 0.0, 1.0);
        for (double f = 1e7; f > 10.0; f /= 1.02) {
            const double p = phaseDeg(sectionResponse(f, s, 1));
            double step = p - previous;
            step -= 360.0 * std::round(step / 360.0);
            unwrapped += step;
            previous = p;
            if (f < 1000.0) {
                ASSERT_GT(unwrapped, 0.0) << kFilterFamilyTexts[static_cast<std::size_t>(family)] << " "
                                          << kFilterOrderTexts[static_cast<std::size_t>(order)] << " at " << f;
            }
        }
    };
    for (int order = 5; order <= 9; ++order)
        check(kBessel, order);
    for (int order = 5; order <= 12; ++order)
        check(kButterworth, order);
}

TEST(FilterSection, CombinationsWithoutAModelAreFlat)
{
    for (int order = 10; order <= 15; ++order)
        EXPECT_EQ(sectionResponse(300.0, section(kBessel, order), 1), std::complex<float>(1, 0));
    for (int order : {0, 2, 5, 7, 10, 15})
        EXPECT_EQ(sectionResponse(300.0, section(kLinkwitz, order), 1), std::complex<float>(1, 0));
    EXPECT_EQ(sectionResponse(300.0, section(kBypass, 4), 1), std::complex<float>(1, 0));
    EXPECT_EQ(sectionResponse(300.0, section(11, 1), 1), std::complex<float>(1, 0));
    EXPECT_EQ(sectionResponse(300.0, section(-1, 1), 1), std::complex<float>(1, 0));
}

TEST(FilterSection, QParametricBoostsAndCutsAtTheCentreOnly)
{
    const FilterSection boost = section(kQParametric, 0, 1000.0f, 2.0f, 6.0f);
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, boost, 1)), 6.0, 0.01);
    EXPECT_NEAR(phaseDeg(sectionResponse(1000.0, boost, 1)), 0.0, 0.01);
    EXPECT_NEAR(levelDb(sectionResponse(10.0, boost, 1)), 0.0, 0.01);
    EXPECT_NEAR(levelDb(sectionResponse(100000.0, boost, 1)), 0.0, 0.01);
    // A narrower q keeps the boost closer to the centre.
    EXPECT_LT(levelDb(sectionResponse(1300.0, section(kQParametric, 0, 1000.0f, 8.0f, 6.0f), 1)),
              levelDb(sectionResponse(1300.0, boost, 1)));

    const FilterSection cut = section(kQParametric, 0, 1000.0f, 2.0f, -9.0f);
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, cut, 1)), -9.0, 0.01);

    const FilterSection off = section(kQParametric, 0, 1000.0f, 0.0005f, 6.0f);
    for (double f : {10.0, 999.0, 1000.0, 20000.0})
        EXPECT_EQ(sectionResponse(f, off, 1), std::complex<float>(1, 0));
    // Typed as 0.001, q is held as a float just above 0.001: still a (very narrow) peak.
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, section(kQParametric, 0, 1000.0f, 0.001f, 6.0f), 1)), 6.0, 0.01);
}

TEST(FilterSection, ShelvesReachTheirGainOnTheirSide)
{
    for (int family : {kShelvingMinus6, kShelvingMinus12}) {
        const FilterSection s = section(family, 0, 1000.0f, 1.0f, -10.0f);
        EXPECT_NEAR(levelDb(sectionResponse(1.0, s, 1)), 0.0, 0.01);
        EXPECT_NEAR(levelDb(sectionResponse(1e6, s, 1)), -10.0, 0.01);
        EXPECT_NEAR(phaseDeg(sectionResponse(1.0, s, 1)), 0.0, 0.5);
        EXPECT_NEAR(phaseDeg(sectionResponse(1e6, s, 1)), 0.0, 0.5);
        EXPECT_NEAR(levelDb(sectionResponse(1000.0, s, 1)), -5.0, 0.01); // half the shelf at fc
    }
    for (int family : {kShelvingPlus6, kShelvingPlus12}) {
        const FilterSection s = section(family, 0, 1000.0f, 1.0f, 8.0f);
        EXPECT_NEAR(levelDb(sectionResponse(1.0, s, 1)), 8.0, 0.01);
        EXPECT_NEAR(levelDb(sectionResponse(1e6, s, 1)), 0.0, 0.01);
    }
    // The first-order shelf is gentler: nearer its far level at two octaves than the second.
    const double first = levelDb(sectionResponse(4000.0, section(kShelvingMinus6, 0, 1000.0f, 1.0f, -10.0f), 1));
    const double second = levelDb(sectionResponse(4000.0, section(kShelvingMinus12, 0, 1000.0f, 1.0f, -10.0f), 1));
    EXPECT_LT(second, first);
}

TEST(FilterSection, VariableSlopeSectionsAndTheSteepSectionZero)
{
    const FilterSection lp3 = section(kLpVariableSlope, 0, 1000.0f, 1.0f, 3.0f);
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, lp3, 2)), -1.5, 0.01);
    EXPECT_NEAR(phaseDeg(sectionResponse(1000.0, lp3, 2)), -22.5, 0.01);

    const FilterSection hp3 = section(kHpVariableSlope, 0, 1000.0f, 1.0f, 3.0f);
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, hp3, 2)), -1.5, 0.01);
    EXPECT_NEAR(phaseDeg(sectionResponse(1000.0, hp3, 2)), 22.5, 0.01);

    const FilterSection lp9 = section(kLpVariableSlope, 0, 1000.0f, 1.0f, 9.0f);
    for (int k = 1; k < kFilterSectionCount; ++k)
        EXPECT_EQ(sectionResponse(8000.0, lp9, k), std::complex<float>(1, 0));
    const double perOctave = levelDb(sectionResponse(200000.0, lp9, 0)) - levelDb(sectionResponse(100000.0, lp9, 0));
    EXPECT_NEAR(perOctave, -9.03, 0.05);
    EXPECT_NEAR(levelDb(sectionResponse(1000.0, lp9, 0)), -3.01, 0.01);
    EXPECT_NEAR(phaseDeg(sectionResponse(1000.0, lp9, 0)), -67.5, 0.01);

    const FilterSection hp9 = section(kHpVariableSlope, 0, 1000.0f, 1.0f, 9.0f);
    EXPECT_NEAR(levelDb(sectionResponse(10.0, hp9, 0)) - levelDb(sectionResponse(5.0, hp9, 0)), 9.03, 0.05);
    EXPECT_NEAR(phaseDeg(sectionResponse(1000.0, hp9, 0)), 67.5, 0.01);

    // Far too steep for a plain power: still finite and falling.
    const FilterSection steep = section(kLpVariableSlope, 0, 1.0f, 1.0f, 2000.0f);
    const auto h = sectionResponse(100000.0, steep, 0);
    EXPECT_TRUE(std::isfinite(h.real()) && std::isfinite(h.imag()));
    EXPECT_LT(std::abs(h), 1e-6f);

    EXPECT_EQ(sectionResponse(3000.0, section(kLpVariableSlope, 0, 1000.0f, 1.0f, 0.005f), 3), std::complex<float>(1, 0));
}

// --- the "Show" computation ---------------------------------------------------------------------

int nearestPoint(const FrequencyAxis& axis, double f)
{
    int best = 0;
    for (int i = 1; i < kAxisPoints; ++i)
        if (std::abs(std::log(axis[i] / f)) < std::abs(std::log(axis[best] / f)))
            best = i;
    return best;
}

TEST(CalibrationCurve, AllByPassIsFlat)
{
    FilterSections s = allBypass();
    CalibrationCurve curve;
    curve.fill({5.0f, 5.0f});
    const FrequencyAxis axis;
    const ShowOutcome outcome = showCalibration(s, false, axis, curve);
    EXPECT_TRUE(outcome.refusal.empty());
    for (const LevelPhase& p : curve) {
        EXPECT_NEAR(p.level, 0.0f, 1e-6f);
        EXPECT_EQ(p.phase, 0.0f);
    }
}

TEST(CalibrationCurve, HighPassAtItsCutOffAndInverted)
{
    const FrequencyAxis axis;
    FilterSections s = allBypass();
    s[4] = section(kButterworth, 6, axis[400]);
    CalibrationCurve curve{};
    ASSERT_TRUE(computeCalibrationCurve(s, false, axis, curve));
    EXPECT_NEAR(curve[400].level, -3.0f, 0.02f);
    EXPECT_NEAR(curve[400].phase, 90.0f, 0.05f); // 57.288 degrees per radian, not 57.2958
    ASSERT_TRUE(computeCalibrationCurve(s, true, axis, curve));
    EXPECT_NEAR(curve[400].level, 3.0f, 0.02f);
    EXPECT_NEAR(curve[400].phase, -90.0f, 0.05f);
    // Inverting twice over the cascade gives back the plain curve on every point.
    CalibrationCurve plain{}, inverted{};
    s[1] = section(kBessel, 2, 300.0f);
    s[2] = section(kQParametric, 0, 3000.0f, 3.0f, 5.0f);
    ASSERT_TRUE(computeCalibrationCurve(s, false, axis, plain));
    ASSERT_TRUE(computeCalibrationCurve(s, true, axis, inverted));
    for (int i = 0; i < kAxisPoints; i += 7) {
        if (plain[static_cast<std::size_t>(i)].level < -60.0f)
            continue; // the -100 dB floor of the level formula is not symmetric
        EXPECT_NEAR(plain[static_cast<std::size_t>(i)].level, -inverted[static_cast<std::size_t>(i)].level, 1e-3f);
    }
}

TEST(CalibrationCurve, AxisNearestOneKilohertzOnTheAcceptanceCascade)
{
    const FrequencyAxis axis;
    FilterSections s = kDefaultFilterSections;
    s[0] = section(kBypass, 0, 1.0f);
    s[2] = section(kBypass, 0, 1.0f);
    s[4] = section(kButterworth, 6, 1000.0f);
    CalibrationCurve curve{};
    ASSERT_TRUE(showCalibration(s, false, axis, curve).refusal.empty());
    const LevelPhase p = curve[static_cast<std::size_t>(nearestPoint(axis, 1000.0))];
    EXPECT_NEAR(p.level, -3.0f, 0.1f);
    EXPECT_NEAR(p.phase, 90.0f, 1.0f);
}

TEST(CalibrationCurve, CutOffsBelowOneHertzAreRaised)
{
    FilterSections s = allBypass();
    s[1].cutoff = 0.5f;
    s[3].cutoff = -20.0f;
    s[4].cutoff = 1.0f;
    CalibrationCurve curve{};
    const ShowOutcome outcome = showCalibration(s, false, FrequencyAxis{}, curve);
    EXPECT_EQ(outcome.cutoffRaised, (std::array<bool, 5>{false, true, false, true, false}));
    EXPECT_EQ(s[1].cutoff, 1.0f);
    EXPECT_EQ(s[3].cutoff, 1.0f);
}

TEST(CalibrationCurve, OddLinkwitzOrdersAreRefusedAndKeepThePreviousCurve)
{
    const FrequencyAxis axis;
    for (int order : {0, 2, 5, 7}) {
        FilterSections s = allBypass();
        s[0] = section(kLinkwitz, order);
        CalibrationCurve curve;
        curve.fill({1.25f, -4.5f});
        EXPECT_EQ(showCalibration(s, false, axis, curve).refusal, "HP Option NOT Applicable To Linkwitz Filters");
        EXPECT_EQ(curve[0].level, 1.25f);
        EXPECT_EQ(curve[749].phase, -4.5f);
    }
    FilterSections s = allBypass();
    s[3] = section(kLinkwitz, 7);
    s[4] = section(kLinkwitz, 0);
    EXPECT_EQ(linkwitzRefusal(s), "LP Option NOT Applicable To Linkwitz Filters 3");
    s[3] = section(kLinkwitz, 8);
    EXPECT_EQ(linkwitzRefusal(s), "LP Option NOT Applicable To Linkwitz Filters 4");
    s[4] = section(kLinkwitz, 9);
    EXPECT_EQ(linkwitzRefusal(s), "");
}

TEST(CalibrationCurve, ResponsesOutOfRangeLeaveTheCurveAlone)
{
    // A cut-off typed as "nan", and an inverted section that is exactly zero on the axis.
    FilterSections typedNan = allBypass();
    typedNan[2] = section(kButterworth, 3, std::numeric_limits<float>::quiet_NaN());
    FilterSections zero = allBypass();
    zero[1] = section(kButterworth, 8, std::numeric_limits<float>::infinity());
    for (const auto& [sections, invert] : {std::pair{typedNan, false}, std::pair{zero, true}}) {
        FilterSections s = sections;
        CalibrationCurve curve;
        curve.fill({2.0f, 3.0f});
        const ShowOutcome outcome = showCalibration(s, invert, FrequencyAxis{}, curve);
        EXPECT_FALSE(outcome.refusal.empty());
        EXPECT_EQ(curve[100].level, 2.0f);
        EXPECT_EQ(curve[100].phase, 3.0f);
    }
}

TEST(CalibrationCurve, LevelFloorsAtMinusOneHundredDecibels)
{
    const FrequencyAxis axis;
    FilterSections s;
    s.fill(section(kButterworth, 4, 10.0f));
    CalibrationCurve curve{};
    ASSERT_TRUE(computeCalibrationCurve(s, false, axis, curve));
    EXPECT_NEAR(curve[749].level, -100.0f, 1e-3f);
}

TEST(CalibrationPlot, ShowAndClearCurves25And26)
{
    CurveSet curves{};
    CalibrationCurve curve;
    for (int i = 0; i < kAxisPoints; ++i)
        curve[static_cast<std::size_t>(i)] = {static_cast<float>(i) * 0.01f, -static_cast<float>(i) * 0.1f};
    plotCalibrationCurve(curve, curves);
    EXPECT_EQ(curves[25][123], 1.23f);
    EXPECT_EQ(curves[26][749], -74.9f);
    EXPECT_EQ(curves[25][750], 1.0f);
    EXPECT_EQ(curves[26][750], 1.0f);
    EXPECT_EQ(curves[25][751], 96.0f); // style entry 4
    EXPECT_EQ(curves[26][752], 128.0f); // style entry 5
    EXPECT_EQ(curves[26][753], 0.0f);
    EXPECT_EQ(curves[25][754], 1.0f);
    EXPECT_EQ(curves[24][750], 0.0f);

    clearCalibrationPlot(curves);
    EXPECT_EQ(curves[25][123], 0.0f);
    EXPECT_EQ(curves[26][749], 0.0f);
    EXPECT_EQ(curves[25][750], 0.0f);
    EXPECT_EQ(curves[26][750], 0.0f);
}

} // namespace
} // namespace vantrel
