// The sound-field expansion against closed forms: the harmonics' orthonormality, and a point
// source off the centre, whose expansion is the plane wave's (Jacobi-Anger).

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "analysis/directivity_report.h"
#include "analysis/metrics.h"
#include "analysis/pictures.h"
#include "analysis_balloons.h"
#include "balloon/resampling_record.h"
#include "field/acoustic_centre.h"
#include "field/expansion_levels.h"
#include "field/resample.h"
#include "field/sound_field.h"
#include "field/sphere_analysis.h"
#include "field/sphere_coefficients.h"
#include "field/spherical_harmonics.h"
#include "platform/sim/loudspeaker.h"

namespace vantrel {
namespace {

using Complex = std::complex<double>;

// Gauss-Legendre in cos t (n nodes) times 2n + 1 azimuths: exact for products up to order 2n - 1.
struct Quadrature {
    std::vector<double> polar, weight;
    int azimuths = 0;
};

Quadrature gaussQuadrature(int n)
{
    Quadrature q;
    q.azimuths = 2 * n + 1;
    for (int i = 1; i <= n; ++i) {
        double x = std::cos(std::numbers::pi * (i - 0.25) / (n + 0.5));
        double derivative = 1;
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p0 = 1, p1 = x;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            derivative = n * (x * p1 - p0) / (x * x - 1);
            const double step = p1 / derivative;
            x -= step;
            if (std::abs(step) < 1e-16)
                break;
        }
        q.polar.push_back(std::acos(x));
        q.weight.push_back(2 / ((1 - x * x) * derivative * derivative) * 2 * std::numbers::pi / q.azimuths);
    }
    return q;
}

TEST(SphericalHarmonics, AreOrthonormalOnAFineQuadrature)
{
    constexpr int kOrder = 20;
    const Quadrature q = gaussQuadrature(kOrder + 2);
    const int count = shCount(kOrder);
    std::vector<Complex> gram(static_cast<std::size_t>(count * count)), y(static_cast<std::size_t>(count));
    for (std::size_t r = 0; r < q.polar.size(); ++r)
        for (int a = 0; a < q.azimuths; ++a) {
            sphericalHarmonics(kOrder, q.polar[r], 2 * std::numbers::pi * a / q.azimuths, y);
            for (int i = 0; i < count; ++i)
                for (int j = 0; j < count; ++j)
                    gram[static_cast<std::size_t>(i * count + j)] +=
                        q.weight[r] * y[static_cast<std::size_t>(i)] * std::conj(y[static_cast<std::size_t>(j)]);
        }
    double worst = 0;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            worst = std::max(worst, std::abs(gram[static_cast<std::size_t>(i * count + j)] - (i == j ? 1.0 : 0.0)));
    EXPECT_LT(worst, 1e-12);
    // The convention's fixed points: Y_0^0, Y_1^0 = sqrt(3 / 4 pi) cos t, and the
    // Condon-Shortley sign of Y_1^1 = -sqrt(3 / 8 pi) sin t e^{j f}.
    sphericalHarmonics(1, 0.3, 0.7, y);
    EXPECT_NEAR(std::abs(y[0] - 1 / std::sqrt(4 * std::numbers::pi)), 0, 1e-15);
    EXPECT_NEAR(std::abs(y[2] - std::sqrt(3 / (4 * std::numbers::pi)) * std::cos(0.3)), 0, 1e-15);
    EXPECT_NEAR(std::abs(y[3] + std::sqrt(3 / (8 * std::numbers::pi)) * std::sin(0.3) * std::polar(1.0, 0.7)), 0, 1e-15);
    EXPECT_NEAR(std::abs(y[1] - std::conj(-y[3])), 0, 1e-15); // Y_1^-1 = -conj(Y_1^1)
}

// A point source at r0 is heard far away as e^{j k u.r0} = 4 pi sum j^n j_n(k r0) Y_n^m(u)
// conj(Y_n^m(r0 / |r0|)). Fitted on each grid's directions, the coefficients and the field
// between the grid points come back within 1e-6; referred to r0 the field is a monopole.
TEST(SoundField, APointSourceOffTheCentreIsItsClosedFormExpansion)
{
    const FieldVector r0{0.03, -0.05, 0.08}; // m
    const FieldDirection at = fieldDirection(r0[0], r0[1], r0[2]);
    const double distance = std::sqrt(r0[0] * r0[0] + r0[1] * r0[1] + r0[2] * r0[2]);
    struct Case {
        AngleGrid grid;
        double hz;
        int order;
    };
    for (const Case c : {Case{AngleGrid::Grid10, 1500, 17}, Case{AngleGrid::Grid5, 4000, 30}}) {
        SCOPED_TRACE(gridStepDegrees(c.grid));
        const double k = fieldWavenumber(c.hz);
        const FieldBasis basis(fieldDirections(c.grid), gridOrderLimit(c.grid));
        std::vector<Complex> field;
        for (const FieldDirection& u : basis.directions())
            field.push_back(std::polar(1.0, k * (u.x * r0[0] + u.y * r0[1] + u.z * r0[2])));
        const FieldFit fit = basis.fit(field, c.order).front();
        std::vector<Complex> y(static_cast<std::size_t>(shCount(c.order)));
        sphericalHarmonics(c.order, at.polar, at.azimuth, y);
        double worst = 0;
        Complex jn = 1;
        for (int n = 0; n <= c.order; ++n, jn *= Complex(0, 1))
            for (int m = -n; m <= n; ++m) {
                const auto j = static_cast<std::size_t>(shIndex(n, m));
                const Complex exact = 4 * std::numbers::pi * jn *
                                      std::sph_bessel(static_cast<unsigned>(n), k * distance) * std::conj(y[j]);
                worst = std::max(worst, std::abs(fit.coefficients[j] - exact));
            }
        EXPECT_LT(worst, 1e-6);
        double between = 0;
        for (const auto& [x, yy, z] : {std::array{0.3, 0.2, 0.9}, {-0.7, 0.1, -0.2}, {0.05, -0.9, 0.1}}) {
            const FieldDirection u = fieldDirection(x, yy, z);
            const Complex exact = std::polar(1.0, k * (u.x * r0[0] + u.y * r0[1] + u.z * r0[2]));
            between = std::max(between, std::abs(evaluateField(fit.coefficients, fit.order, u, k, {}) - exact));
        }
        EXPECT_LT(between, 1e-6);
        EXPECT_LT(fit.residualDb, -120);
        // Referred to its own place the source needs order 0 alone.
        referToCentre(field, basis.directions(), k, r0);
        const FieldFit centred = basis.fit(field, -1).front();
        EXPECT_EQ(centred.order, 0);
        EXPECT_NEAR(std::abs(centred.coefficients[0]), std::sqrt(4 * std::numbers::pi), 1e-6);
    }
}


// The simulated rig's loudspeaker mounted off the rotation centre: the centre found is the
// woofer's plus the offset at low frequencies (by the spread, heard at the rig's 2 m) and the
// tweeter's plus the offset at high ones (by the group delay), within 2 mm. The group delay is
// heard at 20 m: at 2 m the path bends by |r0|^2 / (2 r), up to 4 mm for these offsets, which
// the far-field fit takes partly for a shift (the rig's own walk holds the centre within 5 mm).
TEST(AcousticCentre, TheSimulatedLoudspeakersCentreIsFoundWithinTwoMillimetres)
{
    const VirtualLoudspeaker rig;
    const LoudspeakerDesign& design = rig.design();
    const std::vector<FieldDirection> directions = fieldDirections(AngleGrid::Grid10);
    const FieldBasis spreadBasis(directions, kSpreadOrder);
    const auto field = [&](double hz, const VirtualLoudspeaker::Offset& offset, double distance = 2.0) {
        std::vector<Complex> p;
        for (const FieldDirection& u : directions) // t = H, f = -V
            p.push_back(rig.atDistance(hz, u.polar * 180 / std::numbers::pi, -u.azimuth * 180 / std::numbers::pi,
                                       distance, offset));
        return p;
    };
    const VirtualLoudspeaker::Offset offsets[] = {{0.03, -0.05, 0.08}, {-0.1, 0.02, 0}, {0, 0.12, -0.06}};
    for (const auto& offset : offsets) {
        SCOPED_TRACE(centreText(offset));
        for (const double hz : {200.0, 600.0}) {
            const FieldVector found = spreadCentre(spreadBasis, field(hz, offset), fieldWavenumber(hz));
            const FieldVector truth{offset[0], offset[1] + design.woofer.heightY, offset[2]};
            for (std::size_t a = 0; a < 3; ++a)
                EXPECT_NEAR(found[a], truth[a], 0.002) << hz << " Hz, axis " << a;
        }
        for (const double hz : {8000.0, 14000.0}) {
            const double above = hz * 1.0114, below = hz / 1.0114;
            const auto found = groupDelayCentre(directions, field(below, offset, 20), field(above, offset, 20),
                                                fieldWavenumber(above) - fieldWavenumber(below));
            ASSERT_TRUE(found) << hz;
            const FieldVector truth{offset[0], offset[1] + design.tweeter.heightY, offset[2]};
            for (std::size_t a = 0; a < 3; ++a)
                EXPECT_NEAR((*found)[a], truth[a], 0.002) << hz << " Hz, axis " << a;
        }
    }
}

TEST(SphereCoefficients, ReadBackAsWrittenOrAreRefusedByLine)
{
    const std::vector<SphereCoefficients> written{
        {1000, 1, {0.03, -0.05, 0.08}, {{1, 0}, {1e-7, -2.5}, {0.1, 0.2}, {-3e5, 1.0 / 3}}},
        {1011.4, 0, {}, {{0.125, -0.5}}}};
    std::string error;
    const auto read = parseSphereCoefficients(sphereCoefficientsText(written), error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].coefficients, written[0].coefficients);
    EXPECT_EQ((*read)[1].coefficients, written[1].coefficients);
    EXPECT_EQ((*read)[0].order, 1);
    for (std::size_t a = 0; a < 3; ++a)
        EXPECT_NEAR((*read)[0].centre[a], written[0].centre[a], 1e-15);

    const std::string head = std::string(kCoefficientsHeading) + "\n";
    struct Case {
        std::string text, reason;
    };
    const Case cases[] = {
        {"", "line 0: empty"},
        {"# vantrel sphere coefficients 2\n", "line 1: not a coefficient file"},
        {head + "f 1000 1 0 0 0\n1 0\n", "line 3: 3 coefficients of the last frequency are missing"},
        {head + "f 1000 0 0 0 0\n1 0\n2 0\n", "line 4: a coefficient line outside a frequency's count"},
        {head + "1 0\n", "line 2: a coefficient line outside a frequency's (no 'f' line before it)"},
        {head + "f 1000 0 0 0\n", "line 2: a frequency line is 'f HZ ORDER X Y Z'"},
        {head + "f 1000 0.5 0 0 0\n", "line 2: the order 0.5 is not a whole number 0..100"},
        {head + "f 1000 101 0 0 0\n", "line 2: the order 101"},
        {head + "f 1000 0 0 0 0\n1 0\nf 1000 0 0 0 0\n1 0\n", "line 4: the frequency 1000 is not above"},
        {head + "f 1000 0 nan 0 0\n", "line 2: 'nan' is not a number"},
        {head + "f 1000 0 0 0 0\n1,5 0\n", "line 3: a coefficient line is 'RE IM'"},
        {head + "f 1000 1 0 0 0\n1 0\nf 2000 0 0 0 0\n", "line 4: 3 coefficients of the frequency before"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(parseSphereCoefficients(c.text, why)) << c.text;
        EXPECT_EQ(why.rfind(c.reason, 0), 0u) << c.text << " -> " << why;
    }
}

// Refused with the value named: an order beyond the grid, a centre outside the 1 m cube, a cell
// that holds nothing in the band.
TEST(SphereAnalysis, RefusesWhatTheGridOrTheBalloonCannotHoldNamingTheValue)
{
    auto created = BalloonMatrix::create();
    ASSERT_TRUE(created);
    BalloonMatrix& m = *created;
    for (int r = 0; r <= lastRow(AngleGrid::Grid10); ++r)
        for (int c = 0; c <= lastColumn(AngleGrid::Grid10); ++c)
            for (auto& v : m.cell(r, c))
                v = {1, 0};
    ValidBand band;
    band.first = 100;
    band.last = 200;
    struct Case {
        AngleGrid grid;
        SphereOptions options;
        std::string reason; // empty: taken
    };
    SphereOptions order18, order17, far, near;
    order18.order = 18;
    order17.order = 17;
    far.centre = near.centre = CentreChoice::given;
    far.given = {0.1, -0.6, 0};
    near.given = {0.5, -0.5, 0.5};
    const Case cases[] = {
        {AngleGrid::Grid10, order17, ""},
        {AngleGrid::Grid10, order18, "--order 18 is beyond what the 10-degree grid holds (at most 17)"},
        {AngleGrid::Grid10, far, "--centre 100.0 -600.0 0.0 mm: y = -600.0 mm lies outside the 1 m cube"},
        {AngleGrid::Grid10, near, ""},
        {AngleGrid::Grid5, SphereOptions{}, "the cell of H 185, V 90 (row 0, column 37) holds nothing at axis point 100"},
    };
    for (const Case& c : cases) {
        const auto refusal = sphereRefusal(m, c.grid, band, c.options);
        if (c.reason.empty())
            EXPECT_FALSE(refusal) << *refusal;
        else {
            ASSERT_TRUE(refusal) << c.reason;
            EXPECT_EQ(refusal->rfind(c.reason, 0), 0u) << *refusal;
        }
    }
}


TEST(ResamplingRecord, ReadsBackAsWrittenOrIsRefusedByLine)
{
    ResamplingRecord r;
    r.source = "off cut.BAL";
    r.centre = "30.0 -50.0 80.0";
    r.points = {{100.5, 3, -41.25, {29.5, -118, 82.1}}, {101.7, 17, -30, {0, 0, 0}}};
    std::string error;
    const auto read = parseResamplingRecord(resamplingRecordText(r), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read, r);
    struct Case {
        std::string text, reason;
    };
    const std::string head = "vantrel resampling record 1\n";
    const Case cases[] = {
        {"", "line 0: empty"},
        {"vantrel measurement record 1\n", "line 1: not a resampling record"},
        {head + "source a.BAL\n", "line 2: no grid line"},
        {head + "grid 10\n", "line 2: the grid is 'grid FROM TO'"},
        {head + "grid 10 5\ncentre somewhere\n", "line 3: the centre is found, none or X Y Z"},
        {head + "grid 10 5\npoint 100 3 -40 0 0\n", "line 3: a point is 'point HZ ORDER RESIDUAL_DB X Y Z'"},
        {head + "grid 10 5\npoint 100 3 -40 0 0 0\npoint 90 3 -40 0 0 0\n", "line 4: the points' frequencies"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(parseResamplingRecord(c.text, why)) << c.text;
        EXPECT_EQ(why.rfind(c.reason, 0), 0u) << c.text << " -> " << why;
    }
    // A newer writer's key is skipped.
    EXPECT_TRUE(parseResamplingRecord(head + "grid 10 5\nweather fine\n", error)) << error;
}

// Two point sources 14 cm apart (a two-way's drivers about the rotation centre), a closed
// form with the lobes and the notch of a crossover: e^{j k u.r1} + g e^{j k u.r2}.
struct TwoSources {
    FieldVector r1{0.03, -0.12, 0.08}, r2{0.03, 0.02, 0.08};
    double gain = 0.8;
    Complex at(double hz, double x, double y, double z) const
    {
        const double k = fieldWavenumber(hz);
        return std::polar(1.0, k * (x * r1[0] + y * r1[1] + z * r1[2])) +
               gain * std::polar(1.0, k * (x * r2[0] + y * r2[1] + z * r2[2]));
    }
    // Turntable angles, the grid's u = (sin H cos V, -sin H sin V, cos H).
    Complex operator()(double hz, double hDegrees, double vDegrees) const
    {
        const double h = hDegrees * std::numbers::pi / 180, v = vDegrees * std::numbers::pi / 180;
        return at(hz, std::sin(h) * std::cos(v), -std::sin(h) * std::sin(v), std::cos(h));
    }
};

ValidBand bandOf(const FrequencyAxis& axis, double lowHz, double highHz)
{
    ValidBand band;
    band.first = nearestBin(axis, lowHz);
    band.last = nearestBin(axis, highHz);
    return band;
}

// A plane rolled off both of the 10-degree grid's planes, every 5 degrees: read from the
// expansion it holds the closed form wherever that lies within 30 dB of its axis, about the
// rotation centre and about the centre found; the cells' bilinear dB misses it by decibels
// in the lobes' flanks and the notch.
TEST(ExpansionLevels, ARolledPlaneHoldsTheClosedFormWhereBilinearDoesNot)
{
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const TwoSources field;
    const BalloonMatrix matrix = testing::synthesiseBalloon(AngleGrid::Grid10, axis, field);
    const ValidBand band = bandOf(axis, 1700, 4200);
    const SphereLevels bilinear(matrix, AngleGrid::Grid10);
    std::vector<ExpansionLevels> expansions;
    for (const CentreChoice centre : {CentreChoice::none, CentreChoice::found})
        expansions.emplace_back(
            matrix, AngleGrid::Grid10,
            analyseSphere(matrix, AngleGrid::Grid10, axis, band, levelsSphereOptions(AngleGrid::Grid10, centre)));
    struct Case {
        double hz, roll, expansionDb, bilinearAtLeastDb;
    };
    for (const Case c : {Case{1800, 45, 0.05, 1}, Case{2500, 60, 0.05, 1}, Case{4000, 45, 0.05, 1},
                         Case{4000, 135, 0.05, 1}}) {
        SCOPED_TRACE(c.hz);
        SCOPED_TRACE(c.roll);
        const auto b = static_cast<std::size_t>(nearestBin(axis, c.hz));
        const auto worstOf = [&](const DirectionLevels& levels) {
            const OrbitLevels orbit = rotatedOrbitLevels(levels, 5, 0, 0, c.roll);
            const double axisDb = 20 * std::log10(std::abs(field.at(axis[static_cast<int>(b)], 0, 0, 1))) + 90;
            double worst = 0;
            for (std::size_t i = 0; i < orbit.angles.size(); ++i) {
                const Vector3 u = orbitDirection(0, 0, c.roll, orbit.angles[i]);
                const double truth = 20 * std::log10(std::abs(field.at(axis[static_cast<int>(b)], u.x, u.y, u.z))) + 90;
                if (truth >= axisDb - 30)
                    worst = std::max(worst, std::abs(orbit.db[i][b] - truth));
            }
            return worst;
        };
        for (const ExpansionLevels& e : expansions)
            EXPECT_LT(worstOf(e), c.expansionDb);
        EXPECT_GT(worstOf(bilinear), c.bilinearAtLeastDb);
    }
}

// The two sources' levels in closed form, as the analyses read levels.
struct TwoSourceLevels : DirectionLevels {
    const FrequencyAxis& axis;
    explicit TwoSourceLevels(const FrequencyAxis& a) : axis(a) {}
    void levels(const Vector3& u, std::array<double, kDataBins>& db) const override
    {
        for (int b = 0; b < kDataBins; ++b)
            db[static_cast<std::size_t>(b)] = 20 * std::log10(std::abs(TwoSources{}.at(axis[b], u.x, u.y, u.z))) + 90;
    }
};

// The CTA-2034-A curves around a listener axis off the loudspeaker's: read through the expansion
// they are the closed form's; through the cells' bilinear dB they miss it.
TEST(ExpansionLevels, TheCurvesAroundAListenerAxisAreTheClosedFormsWhereBilinearMisses)
{
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const BalloonMatrix matrix = testing::synthesiseBalloon(AngleGrid::Grid10, axis, TwoSources{});
    const ValidBand band = bandOf(axis, 1700, 1900);
    const ExpansionLevels expansion(
        matrix, AngleGrid::Grid10,
        analyseSphere(matrix, AngleGrid::Grid10, axis, band, levelsSphereOptions(AngleGrid::Grid10, CentreChoice::found)));
    const TwoSourceLevels exact(axis);
    const ListenerAxis listener{15, -7.5};
    const auto truth = cta2034Curves(matrix, AngleGrid::Grid10, axis, band, listener, &exact);
    const auto worstAgainstTruth = [&](const std::vector<Cta2034Row>& rows) {
        double worst = 0;
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (const auto member : {&Cta2034Row::listeningWindow, &Cta2034Row::earlyReflections,
                                      &Cta2034Row::soundPower, &Cta2034Row::predictedInRoom})
                worst = std::max(worst, std::abs(rows[i].*member - truth[i].*member));
        return worst;
    };
    EXPECT_LT(worstAgainstTruth(cta2034Curves(matrix, AngleGrid::Grid10, axis, band, listener, &expansion)), 0.001);
    EXPECT_GT(worstAgainstTruth(cta2034Curves(matrix, AngleGrid::Grid10, axis, band, listener)), 0.05);
}

// A response whose ripple in frequency grows with the distance from one listener direction
// between the cells: the search through the expansion finds that direction; the cells alone,
// the nearest cell.
TEST(ExpansionLevels, TheBestAxisBetweenTheCellsIsFound)
{
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const Vector3 flattest = listenerDirection(7.5, 5);
    const BalloonMatrix matrix =
        testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double hDegrees, double vDegrees) {
            const double h = hDegrees * std::numbers::pi / 180, v = vDegrees * std::numbers::pi / 180;
            const double off = 1 - (std::sin(h) * std::cos(v) * flattest.x - std::sin(h) * std::sin(v) * flattest.y +
                                    std::cos(h) * flattest.z);
            return Complex(1 + 20 * off * std::sin(2 * std::numbers::pi * std::log2(hz) * 8), 0);
        });
    const ValidBand band = bandOf(axis, 1000, 1400);
    const ExpansionLevels expansion(
        matrix, AngleGrid::Grid10,
        analyseSphere(matrix, AngleGrid::Grid10, axis, band, levelsSphereOptions(AngleGrid::Grid10, CentreChoice::none)));
    const std::optional<BestAxis> between = bestListeningAxis(expansion, axis, band, kBetweenCellsAxisStep);
    ASSERT_TRUE(between);
    EXPECT_DOUBLE_EQ(between->axis.h, 7.5);
    EXPECT_DOUBLE_EQ(between->axis.v, 5);
    EXPECT_LT(between->nbd, 1e-3);
    const std::optional<BestAxis> cells = bestListeningAxis(matrix, AngleGrid::Grid10, axis, band);
    ASSERT_TRUE(cells);
    EXPECT_GT(cells->nbd, between->nbd + 0.005);
}

// The 10-degree balloon of the two sources resampled to 5 degrees: where the grid's top order
// holds the field (2 kHz) the new cells hold the closed form; at 8 kHz, where it cannot (k r
// = 21 for the farther source), the expansion alone misses the shared cells, the axis among
// them, and the resampled balloon keeps every one of them as measured and stays closer to the
// closed form between them than the expansion alone.
TEST(ResampleBalloon, KeepsEveryMeasuredCellAndHoldsTheClosedFormBetween)
{
    FrequencyAxis axis;
    axis.buildFromIndexes(3, 6);
    const TwoSources field;
    const BalloonMatrix source = testing::synthesiseBalloon(AngleGrid::Grid10, axis, field);
    struct Case {
        double hz;
        double betweenDb;        // the resampled cells between the source's, within 30 dB of the axis
        double expansionMissDb;  // the expansion alone at the shared cells, at least
    };
    for (const Case c : {Case{2000, 0.01, 0}, Case{8000, 0.15, 0.1}}) {
        SCOPED_TRACE(c.hz);
        const ValidBand band = bandOf(axis, c.hz, c.hz * 1.02);
        const SphereOptions options = levelsSphereOptions(AngleGrid::Grid10, CentreChoice::found);
        auto made = BalloonMatrix::create();
        ASSERT_TRUE(made);
        resampleBalloon(source, AngleGrid::Grid10, axis, band, AngleGrid::Grid5, options, *made);
        const SphereAnalysis analysis = analyseSphere(source, AngleGrid::Grid10, axis, band, options);
        const SphereRow& row = analysis.rows.front();
        const auto b = static_cast<std::size_t>(band.first);
        const double hz = axis[band.first];
        const double axisDb = 20 * std::log10(std::abs(field(hz, 0, 0))) + 90;
        double shared = 0, missed = 0, between = 0, betweenAlone = 0;
        for (int r = 0; r < lastRow(AngleGrid::Grid5); ++r)
            for (int col = 0; col <= lastColumn(AngleGrid::Grid5); ++col) {
                const double h = col * 5.0, v = 90.0 - r * 5;
                const double truth = 20 * std::log10(std::abs(field(hz, h, v))) + 90;
                const double resampled = binDb(made->cell(r, col)[b]);
                const double hr = h * std::numbers::pi / 180, vr = v * std::numbers::pi / 180;
                const double alone =
                    20 * std::log10(std::abs(evaluateField(
                             row.fit.coefficients, row.fit.order,
                             fieldDirection(std::sin(hr) * std::cos(vr), -std::sin(hr) * std::sin(vr), std::cos(hr)),
                             fieldWavenumber(hz), row.centre))) +
                    90;
                if (r % 2 == 0 && col % 2 == 0) {
                    const double measured = binDb(source.cell(r / 2, col / 2)[b]);
                    shared = std::max(shared, std::abs(resampled - measured));
                    missed = std::max(missed, std::abs(alone - measured));
                } else if (truth >= axisDb - 30) {
                    between = std::max(between, std::abs(resampled - truth));
                    betweenAlone = std::max(betweenAlone, std::abs(alone - truth));
                }
            }
        EXPECT_LT(shared, 1e-5);
        EXPECT_GE(missed, c.expansionMissDb);
        EXPECT_LT(between, c.betweenDb);
        EXPECT_LE(between, betweenAlone);
    }
}

} // namespace
} // namespace vantrel
