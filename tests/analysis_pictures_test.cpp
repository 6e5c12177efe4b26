#include <cmath>
#include <numbers>

#include <QImage>
#include <gtest/gtest.h>

#include "analysis/pictures.h"
#include "analysis_balloons.h"
#include "platform/qt/image_canvas.h"
#include "views/drawing_resources.h"

namespace vantrel {
namespace {

using testing::BaffledPiston;
using testing::synthesiseBalloon;

constexpr double kPistonRadius = 0.0273;

Rgb pixel(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    return {static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
            static_cast<std::uint8_t>(qBlue(c))};
}

QImage render(PictureSize size, const auto& draw)
{
    ensureGuiApplication();
    QImage image(size.width, size.height, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ImageCanvas canvas(image);
    draw(canvas);
    return image;
}

int countColour(const QImage& image, Rgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += pixel(image, x, y) == colour;
    return n;
}

class PistonPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        balloon.emplace(synthesiseBalloon(AngleGrid::Grid5, axis, BaffledPiston{kPistonRadius}));
    }
    static void TearDownTestSuite() { balloon.reset(); }
    static inline FrequencyAxis axis;
    static inline std::optional<BalloonMatrix> balloon;
};

TEST_F(PistonPictures, PolarMapHasItsFrameColourBarAndTheMinusSixContourWherePhysicsPutsIt)
{
    const OrbitLevels orbit = orbitLevels(*balloon, Plane::Horizontal, AngleGrid::Grid5);
    const QImage image = render(kPolarMapSize, [&](Canvas& c) {
        drawPolarMap(c, orbit, planeLabel(Plane::Horizontal), axis, 5, false, ValidBand{});
    });
    const PlotRect field = kPolarMapField;
    constexpr Rgb black{0, 0, 0};
    EXPECT_EQ(pixel(image, field.left - 1, field.top + 100), black);
    EXPECT_EQ(pixel(image, field.right, field.top + 100), black);
    EXPECT_EQ(pixel(image, field.left + 100, field.bottom), black);
    EXPECT_EQ(pixel(image, 5, 5), (Rgb{255, 255, 255}));

    // Colour bar: the lowest colour at the bottom, the highest at the top.
    const PlotRect bar = kPolarMapColourBar;
    EXPECT_EQ(pixel(image, (bar.left + bar.right) / 2, bar.bottom - 3), ColourPalette::colour(0));
    EXPECT_EQ(pixel(image, (bar.left + bar.right) / 2, bar.top + 3), ColourPalette::colour(37));

    // At ka = 4 the -6 dB contour lies at +-asin(2.215 / 4) = +-33.6 degrees.
    const double hz = 4.0 * testing::kSpeedOfSound / (2.0 * std::numbers::pi * kPistonRadius);
    const LogAxis fx(axis[0], axis[kDataBins - 1], field.left, field.right);
    const LinearAxis ay(180.0, -180.0, field.top, field.bottom);
    const int x = static_cast<int>(std::lround(fx.toPixel(hz)));
    const double half = std::asin(2.215 / 4.0) * 180.0 / std::numbers::pi;
    for (double angle : {half, -half}) {
        const int y = static_cast<int>(std::lround(ay.toPixel(angle)));
        bool contour = false;
        for (int dy = -3; dy <= 3; ++dy)
            contour = contour || pixel(image, x, y + dy) == black;
        EXPECT_TRUE(contour) << "no contour near " << angle << " degrees";
    }
    // Between the contours, 0 to -3 dB near the axis; the silent rear takes the lowest colour.
    const Rgb nearAxis = pixel(image, x, static_cast<int>(ay.toPixel(0.0)) - 2);
    EXPECT_TRUE(nearAxis == ColourPalette::colour(35) || nearAxis == ColourPalette::colour(36));
    EXPECT_EQ(pixel(image, x, static_cast<int>(ay.toPixel(150.0))), ColourPalette::colour(0));
}

TEST(PolarMap, EndsAtTheValidBandAndDrawsNoContourThroughTheNoiseAroundZero)
{
    // Within +-0.4 dB of the axis everywhere up to bin 600, silent above it (what the
    // processing leaves above Nyquist); the band ends at bin 600.
    const FrequencyAxis axis;
    const BalloonMatrix m = synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        if (hz > axis[600])
            return std::complex<double>(0.0);
        return std::complex<double>(1.0 + 0.045 * std::sin(hz * 0.37 + h * 0.3 + v * 0.11), 0.0);
    });
    ValidBand band;
    band.last = 600;
    const OrbitLevels orbit = orbitLevels(m, Plane::Horizontal, AngleGrid::Grid10);
    const QImage image = render(kPolarMapSize, [&](Canvas& c) {
        drawPolarMap(c, orbit, planeLabel(Plane::Horizontal), axis, 10, false, band);
    });
    const PlotRect field = kPolarMapField;
    int contour = 0;
    for (int y = field.top; y < field.bottom; ++y)
        for (int x = field.left; x < field.right; ++x)
            contour += pixel(image, x, y) == Rgb{0, 0, 0};
    EXPECT_EQ(contour, 0);
    for (int y = field.top; y < field.bottom; y += 7)
        EXPECT_NE(pixel(image, field.right - 1, y), ColourPalette::colour(0)) << y;
}

TEST_F(PistonPictures, PolarPlotsDrawEveryFrequencyInItsOwnColour)
{
    const OrbitLevels h = orbitLevels(*balloon, Plane::Horizontal, AngleGrid::Grid5);
    const OrbitLevels v = orbitLevels(*balloon, Plane::Vertical, AngleGrid::Grid5);
    const std::array<int, 3> bins{nearestBin(axis, 1000), nearestBin(axis, 4000), nearestBin(axis, 16000)};
    const QImage image = render(kPolarPlotsSize, [&](Canvas& c) { drawPolarPlots(c, h, v, axis, bins); });
    EXPECT_GT(countColour(image, {0, 60, 220}), 200);
    EXPECT_GT(countColour(image, {220, 0, 0}), 200);
    EXPECT_GT(countColour(image, {0, 150, 0}), 200);
    // 0 dB on axis: every curve passes through the top of the outer ring of the left plot.
    EXPECT_NE(pixel(image, 265, 320 - 220), (Rgb{255, 255, 255}));
}

TEST_F(PistonPictures, DirectivityAndCtaPicturesDrawTheirCurvesInsideTheirFrames)
{
    const auto rows = directivityTable(*balloon, AngleGrid::Grid5, axis, ValidBand{});
    const QImage directivity = render(kDirectivitySize, [&](Canvas& c) { drawDirectivity(c, rows, {}); });
    EXPECT_EQ(pixel(directivity, 79, 100), (Rgb{0, 0, 0}));
    EXPECT_GT(countColour(directivity, {0, 140, 0}), 500);  // DI
    EXPECT_GT(countColour(directivity, {220, 0, 0}), 500);  // sound power, vertical beamwidth

    const auto curves = cta2034Curves(*balloon, AngleGrid::Grid5, axis, ValidBand{});
    const QImage cta = render(kCta2034Size, [&](Canvas& c) { drawCta2034(c, curves, {}, {}, {}); });
    EXPECT_EQ(pixel(cta, 79, 300), (Rgb{0, 0, 0}));
    for (Rgb colour : {Rgb{0, 60, 220}, Rgb{0, 150, 0}, Rgb{230, 130, 0}, Rgb{220, 0, 0}, Rgb{150, 0, 170},
                       Rgb{240, 130, 130}, Rgb{240, 195, 90}})
        EXPECT_GT(countColour(cta, colour), 300) << int(colour.r) << "," << int(colour.g) << "," << int(colour.b);
}

} // namespace
} // namespace vantrel
