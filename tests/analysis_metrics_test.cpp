// The valid band, the full-sphere figures and the comparison of two balloons, against closed
// forms on synthetic balloons and on curves whose figures follow by hand.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/compare.h"
#include "analysis/metrics.h"
#include "analysis/sphere_levels.h"
#include "balloon/balloon_file.h"
#include "analysis_balloons.h"

namespace vantrel {
namespace {

using testing::synthesiseBalloon;

constexpr double kRad = std::numbers::pi / 180.0;
const ValidBand kWholeAxis{};

// Turntable angles (H, V) to the loudspeaker-frame unit vector of the grid.
Vector3 gridDirection(double h, double v)
{
    return {std::sin(h * kRad) * std::cos(v * kRad), -std::sin(h * kRad) * std::sin(v * kRad), std::cos(h * kRad)};
}

std::complex<double> omni(double hz, double, double) { return std::polar(0.3 + 0.5 * std::sin(hz * 1e-3), hz * 1e-4); }

TEST(ValidBand, EndsAtTheUsableBandOfTheRateAndSkipsTheCopiedEdgePoints)
{
    struct Case {
        int rateIndex, smoothingIndex, fromIndex, toIndex;
        double highestHz;    // 0.45 rate, or the axis end
        int copiedAtEachEnd; // max(1, smoothing half-width)
        int halfWidth;       // the smoothing's: points averaged on each side
    };
    const Case cases[] = {
        {5, 3, 3, 6, 21600.0, 2, 2}, // 48 kHz, 1/24 octave, 10 Hz .. 50 kHz: the demo's settings
        {6, 0, 3, 6, 43200.0, 5, 5}, // 96 kHz, 1/3 octave
        {7, 5, 3, 6, 50000.0, 1, 0}, // 192 kHz, no smoothing: the whole axis but its copied ends
        {5, 4, 1, 4, 10000.0, 1, 1}, // 2 Hz .. 10 kHz: the shortest sequence cannot resolve 2 Hz
    };
    for (const Case& c : cases) {
        BalloonTrailer trailer;
        trailer.rateIndex = c.rateIndex;
        trailer.smoothingIndex = c.smoothingIndex;
        FrequencyAxis axis;
        axis.buildFromIndexes(c.fromIndex, c.toIndex);
        trailer.fromIndex = c.fromIndex;
        trailer.toIndex = c.toIndex;
        const ValidBand band = validBand(trailer, axis);
        SCOPED_TRACE(c.rateIndex * 100 + c.smoothingIndex);
        // Every point the smoothing averages into the last one lies inside the usable band.
        const int top = band.last + c.halfWidth;
        ASSERT_LT(top, kDataBins);
        EXPECT_LE(axis[top], c.highestHz);
        if (band.last < kDataBins - 1 - c.copiedAtEachEnd)
            EXPECT_GT(axis[top + 1], c.highestHz);
        else
            EXPECT_EQ(band.last, kDataBins - 1 - c.copiedAtEachEnd);
        EXPECT_GE(band.first, c.copiedAtEachEnd);
        EXPECT_GE(axis[band.first - c.copiedAtEachEnd], band.rateHz / 8192.0 * 0.99);
    }
}

// What the measurement record (or the distortion file) adds: the sweep's band, the time
// window's lowest resolved frequency 1/T, and a near-field merge that lifts the window's limit.
TEST(ValidBand, FollowsTheSweepAndTheTimeWindowUnlessMerged)
{
    const MeasuredWith none;
    const ValidBand plain = validBand(kInitialBalloonTrailer, FrequencyAxis{});
    struct Case {
        const char* what;
        MeasuredWith measured;
        double lowestHz, highestHz;
        LowEdgeReason reason;
    };
    const MergeBand merge{150, 300};
    const Case cases[] = {
        {"nothing recorded", none, 48000.0 / 8192.0, 21600.0, LowEdgeReason::sequence},
        {"a 30000-sample window", {0, 0, 30000 / 48000.0, {}}, 48000.0 / 8192.0, 21600.0, LowEdgeReason::sequence},
        {"a 240-sample window", {0, 0, 240 / 48000.0, {}}, 200.0, 21600.0, LowEdgeReason::window},
        {"a 240-sample window, merged", {0, 0, 240 / 48000.0, merge}, 48000.0 / 8192.0, 21600.0, LowEdgeReason::sequence},
        {"a sweep from 20 Hz to Nyquist", {20, 24000, 0, {}}, 20.0, 21600.0, LowEdgeReason::sweep},
        {"a sweep to 10 kHz", {20, 10000, 0, {}}, 20.0, 9700.0, LowEdgeReason::sweep},
        {"a sweep and a short window", {20, 20000, 240 / 48000.0, {}}, 200.0, 19400.0, LowEdgeReason::window},
    };
    const FrequencyAxis axis; // 10 Hz .. 50 kHz
    const int s = 2;          // 1/24 octave
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ValidBand band = validBand(kInitialBalloonTrailer, axis, c.measured);
        EXPECT_NEAR(band.lowestHz, c.lowestHz, 1e-9);
        EXPECT_NEAR(band.highestHz, c.highestHz, 1e-9);
        EXPECT_EQ(band.lowReason, c.reason);
        // The first point reads FFT bins from axis[first - s - 1] up: all at or above the limit,
        // and one point lower would not be (unless the copied edge points set the first).
        const auto point = [&](int j) { return axis[std::max(j, 0)]; };
        EXPECT_GE(point(band.first - s - 1), c.lowestHz);
        if (band.first > s) {
            EXPECT_LT(point(band.first - s - 2), c.lowestHz);
        }
        EXPECT_LE(axis[band.last + s], c.highestHz);
        EXPECT_GT(axis[band.last + s + 1], c.highestHz);
        if (c.reason == LowEdgeReason::sequence && c.highestHz == 21600.0) {
            EXPECT_EQ(std::pair(band.first, band.last), std::pair(plain.first, plain.last));
        }
    }
}

TEST(SphereLevels, ReadCellsExactlyAndEveryPlaneOfAnOmniIsFlat)
{
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [](double hz, double h, double v) {
        return std::complex<double>(1.0 + 0.3 * std::cos(h * kRad) + 0.2 * std::sin(v * kRad) * std::sin(h * kRad) +
                                        hz * 1e-6,
                                    0.0);
    });
    const SphereLevels sphere(m, AngleGrid::Grid10);
    for (auto [h, v] : {std::pair{0, 0}, {30, 40}, {170, -80}, {250, 90}, {90, -90}, {350, 10}}) {
        const int row = rowForAngle(v, AngleGrid::Grid10), column = columnForAngle(h, AngleGrid::Grid10);
        EXPECT_NEAR(sphere.db(gridDirection(h, v), 100), binDb(m.cell(row, column)[100]), 1e-6) << h << "," << v;
    }

    const BalloonMatrix o = synthesiseBalloon(AngleGrid::Grid10, axis, omni);
    for (double roll : {0.0, 45.0, 90.0, 137.0}) {
        const OrbitLevels plane = rotatedOrbitLevels(o, AngleGrid::Grid10, 0, 0, roll);
        for (std::size_t p = 0; p < plane.angles.size(); ++p)
            for (int b : {0, 300, 749})
                EXPECT_NEAR(plane.db[p][static_cast<std::size_t>(b)], plane.db[plane.axisIndex()][static_cast<std::size_t>(b)],
                            1e-9)
                    << roll;
    }
}

TEST(BestAxis, OmniStaysOnAxisAndATiltedPistonIsFoundAtItsTilt)
{
    const FrequencyAxis axis;
    const BalloonMatrix o = synthesiseBalloon(AngleGrid::Grid10, axis, omni);
    const auto onAxis = bestListeningAxis(o, AngleGrid::Grid10, axis, kWholeAxis);
    ASSERT_TRUE(onAxis.has_value());
    EXPECT_EQ(onAxis->axis.h, 0.0);
    EXPECT_EQ(onAxis->axis.v, 0.0);
    const PreferenceNumbers numbers = preferenceNumbers(cta2034Curves(o, AngleGrid::Grid10, axis, kWholeAxis));
    EXPECT_NEAR(*numbers.soundPowerDiSlope, 0.0, 1e-9);
    EXPECT_NEAR(*numbers.earlyReflectionsDiSlope, 0.0, 1e-9);

    // A baffled piston whose axis points at (h, v): on that axis its response is flat.
    for (auto [h, v] : {std::pair{20.0, -10.0}, {-25.0, 15.0}}) {
        const Vector3 t = listenerDirection(h, v);
        const testing::BaffledPiston piston{0.04};
        const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double H, double V) {
            const Vector3 u = gridDirection(H, V);
            const double angle = std::acos(std::clamp(u.x * t.x + u.y * t.y + u.z * t.z, -1.0, 1.0)) / kRad;
            return piston(hz, angle, 0.0);
        });
        const auto best = bestListeningAxis(m, AngleGrid::Grid10, axis, kWholeAxis);
        ASSERT_TRUE(best.has_value());
        EXPECT_NEAR(best->axis.h, h, 10.0);
        EXPECT_NEAR(best->axis.v, v, 10.0);
        EXPECT_LT(best->nbd, best->nbdOnAxis);
        // The curves recomputed around that axis have it as their on-axis curve.
        const auto around = preferenceNumbers(cta2034Curves(m, AngleGrid::Grid10, axis, kWholeAxis, best->axis));
        EXPECT_NEAR(*around.nbdOnAxis, best->nbd, 1e-6);
    }
}

// A ripple of eight periods an octave, of opposite sign on the flattest cell and on every other
// one: between them a dB blend cancels it, so a direction read between the cells would look
// flatter than any measurement.
TEST(BestAxis, TheFlattestMeasuredDirectionBeatsTheBlendsBesideIt)
{
    const FrequencyAxis axis;
    struct Case {
        int hCell, vCell;   // turntable angles of the flattest cell
        double h, v;        // as a listener sees it
    };
    const Case cases[] = {{0, 0, 0, 0}, {10, 0, 10, 0}, {10, 90, 0, -10}, {20, 30, 17.49, -9.85}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hCell * 1000 + c.vCell);
        const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
            const bool flattest = h == c.hCell && (v == c.vCell || c.hCell == 0); // H = 0 is the axis on every row
            const double ripple = (flattest ? 0.8 : -1.0) * std::sin(16 * std::numbers::pi * std::log2(hz));
            return std::complex<double>(std::pow(10.0, ripple / 20.0), 0.0);
        });
        const auto best = bestListeningAxis(m, AngleGrid::Grid10, axis, kWholeAxis);
        ASSERT_TRUE(best.has_value());
        EXPECT_NEAR(best->axis.h, c.h, 0.01);
        EXPECT_NEAR(best->axis.v, c.v, 0.01);
        if (c.hCell != 0) {
            EXPECT_NEAR(best->nbd, 0.8 * best->nbdOnAxis, 1e-4);
        }
    }
}

TEST(PreferenceNumbers, MatchTheFormulasOnCurvesWhoseFiguresFollowByHand)
{
    // On axis: +-1 dB on alternate points, so every half-octave band of n points deviates by
    // 1 dB (n even) or 1 - 1/n^2 (n odd): NBD_ON = 1 within 0.2 %.
    // Predicted in-room: a straight line of -1 dB per octave: SM = 1; NBD of a line over a
    // half-octave band is its slope times a quarter of the band: 0.125 dB.
    // Sound power 10 dB under the listening window below 50 Hz: LFX = the last point under 50 Hz.
    const FrequencyAxis axis;
    std::vector<Cta2034Row> rows;
    double lastBelow50 = 0;
    for (int b = 0; b < kDataBins; ++b) {
        Cta2034Row r;
        r.frequencyHz = axis[b];
        r.onAxis = 90.0 + (b % 2 == 0 ? 1.0 : -1.0);
        r.listeningWindow = 90.0;
        r.soundPower = r.frequencyHz < 50.0 ? 80.0 : 88.0;
        r.predictedInRoom = 90.0 - std::log2(r.frequencyHz / 1000.0);
        if (r.frequencyHz < 50.0)
            lastBelow50 = r.frequencyHz;
        rows.push_back(r);
    }
    const PreferenceNumbers p = preferenceNumbers(rows);
    EXPECT_NEAR(*p.nbdOnAxis, 1.0, 0.002);
    EXPECT_NEAR(*p.nbdPredictedInRoom, 0.125, 0.005);
    EXPECT_NEAR(*p.smPredictedInRoom, 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(*p.lfxHz, lastBelow50);
    const double byHand = 12.69 - 2.49 * 1.0 - 2.99 * 0.125 - 4.31 * std::log10(lastBelow50) + 2.32 * 1.0;
    EXPECT_NEAR(*p.rating, byHand, 0.02);
    EXPECT_NEAR(*p.ratingWithSubwoofer - *p.rating, 4.31 * (std::log10(lastBelow50) - std::log10(14.5)), 1e-9);
}

TEST(Compare, ItselfDiffersByNothingAndOneRaisedCellIsFoundWithItsDifference)
{
    const FrequencyAxis axis;
    const testing::BaffledPiston piston{0.03};
    auto response = [&](double hz, double h, double v) { return piston(hz, h, v) + 0.05; };
    const BalloonMatrix a = synthesiseBalloon(AngleGrid::Grid10, axis, response);
    BalloonMatrix b = synthesiseBalloon(AngleGrid::Grid10, axis, response);

    const BalloonComparison same = compareBalloons(a, b, AngleGrid::Grid10, axis, 0, kDataBins - 1);
    EXPECT_EQ(same.largest.db, 0.0);
    EXPECT_EQ(same.rmsDb, 0.0);
    for (const CompareRow& r : same.rows)
        EXPECT_EQ(r.soundPowerDb, 0.0);

    // H = 40, V = 30 at bin 400 raised by 1 dB.
    const int row = rowForAngle(30, AngleGrid::Grid10), column = columnForAngle(40, AngleGrid::Grid10);
    ComplexBin& bin = b.cell(row, column)[400];
    const double gain = std::pow(10.0, 1.0 / 20.0);
    bin = {static_cast<float>(bin.re * gain), static_cast<float>(bin.im * gain)};
    const BalloonComparison one = compareBalloons(a, b, AngleGrid::Grid10, axis, 0, kDataBins - 1);
    EXPECT_NEAR(one.largest.db, 1.0, 1e-5);
    EXPECT_EQ(one.largest.bin, 400);
    EXPECT_EQ(one.largest.direction.hDegrees, 40);
    EXPECT_EQ(one.largest.direction.vDegrees, 30);
    EXPECT_GT(one.rows[400].soundPowerDb, 0.0);

    BalloonTrailer t5, t10;
    t10.angleGridFlag = 1;
    EXPECT_TRUE(compareRefusal(t5, t10).has_value());
    t5.toIndex = 1;
    EXPECT_TRUE(compareRefusal(t5, BalloonTrailer{}).has_value());
    EXPECT_FALSE(compareRefusal(t10, t10).has_value());
}

} // namespace
} // namespace vantrel
