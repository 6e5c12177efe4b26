#include "views/view_projection.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "views/drawing_resources.h"
#include "views/readout_text.h"

namespace vantrel {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFocal = 5500;
constexpr double kCentreX = 750;
constexpr double kCentreY = 330;
constexpr Rgb kWarningColour{196, 32, 0};

std::string degreesText(const char* label, double degrees)
{
    return std::string(label) + fixedText(degrees, 1) + " deg  ";
}

} // namespace

void resetPointGrid(PointGrid& grid)
{
    for (int r = 0; r < 36; ++r)
        for (int c = 0; c <= 72; ++c)
            grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = ModelPoint{0, 0, 0, 0, 1.0f};
}

ModelPoint spherePoint(int row, int column, AngleGrid grid, double radius)
{
    const int step = gridStepDegrees(grid);
    const double v = (90.0 - step * row) * kSphereRadians;
    const double h = static_cast<double>(step * column) * kSphereRadians;
    ModelPoint p;
    p.x = static_cast<float>(radius * std::sin(h) * std::cos(v));
    p.y = static_cast<float>(-radius * std::sin(v) * std::sin(h));
    p.z = static_cast<float>(radius * std::cos(h));
    return p;
}

ViewProjection::ViewProjection(ViewAngles angles) : angles_(angles)
{
    const double tH = -angles.h * kPi / 180;
    const double tV = angles.v * kPi / 180;
    const double tS = angles.side * kPi / 180;
    const double sH = std::sin(tH), cH = std::cos(tH);
    const double sV = std::sin(tV), cV = std::cos(tV);
    const double sS = std::sin(tS), cS = std::cos(tS);
    m_ = {cH * cS + sH * sV * sS, -cH * sS + sV * cS * sH, sH * cV,
          sS * cV,                cV * cS,                 -sV,
          -cS * sH + cH * sV * sS, sH * sS + cH * cS * sV, cH * cV};
}

ScreenXY ViewProjection::project(double x, double y, double z, double distance) const
{
    const auto& m = m_;
    const double xr = x * m[0] - y * m[1] - z * m[2];
    const double yr = x * m[3] - y * m[4] - z * m[5];
    double zr = x * m[6] - y * m[7] - z * m[8] + distance;
    // A point at or behind the viewer is drawn as if it stood just in front.
    if (zr < 1)
        zr = 1;
    return {xr * kFocal / zr + kCentreX, yr * kFocal / zr + kCentreY};
}

int screenInt(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6));
}

bool drawViewValidity(Canvas& canvas, const ViewProjection& view)
{
    if (view.valid())
        return true;
    const Font old = canvas.setFont(Font::Times);
    canvas.setTextBackground(true, kWhite);
    canvas.setTextColour(kWarningColour);
    canvas.textOut(430, 15, degreesText("Invalid Horizontal View ", view.horizontalView()));
    canvas.setTextColour(kBlack);
    canvas.setFont(old);
    return false;
}

void drawModelAxes(Canvas& canvas, const ViewProjection& view, const Pen& pen)
{
    const Pen old = canvas.setPen(pen);
    const double ends[3][3] = {{23, 0, 0}, {0, 23, 0}, {0, 0, 23}};
    for (const auto& e : ends) {
        const ScreenXY from = view.project(-e[0], -e[1], -e[2], kAxisDistance);
        const ScreenXY to = view.project(e[0], e[1], e[2], kAxisDistance);
        canvas.moveTo(screenInt(from.x), screenInt(from.y));
        canvas.lineTo(screenInt(to.x), screenInt(to.y));
    }
    canvas.setPen(old);
}

void drawViewTexts(Canvas& canvas, const ViewProjection& view)
{
    const ViewAngles a = view.angles();
    canvas.textOut(430, 15, degreesText("Horizontal View ", view.horizontalView()));
    canvas.textOut(430, 35, degreesText("Vertical View ", a.v));
    canvas.textOut(430, 55, degreesText("Side View ", a.side));
}

} // namespace vantrel
