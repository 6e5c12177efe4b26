#pragma once
// The rotation and perspective every balloon view shares, the model point grids and the
// mapping of a balloon cell onto the sphere.

#include <array>

#include "balloon/angle_grid.h"
#include "balloon/selection_state.h"
#include "platform/canvas.h"

namespace vantrel {

// One model point: X, Y, Z in model units, the level and a flag; drawn only when the flag is
// exactly 1.0.
struct ModelPoint {
    float x = 0;
    float y = 0;
    float z = 0;
    float level = 0;
    float flag = 0;
};
static_assert(sizeof(ModelPoint) == 20);

inline constexpr int kPointGridSize = 100;
// Indexed [row][column] with the balloon cell's row and column.
using PointGrid = std::array<std::array<ModelPoint, kPointGridSize>, kPointGridSize>;

// The three grids kept for the whole run: the balloon at the selected bin, the positions the
// sequence (or "Test Balloon") has marked, and the two cells of the last repair.
struct PointGrids {
    PointGrid balloon{};
    PointGrid measured{};
    PointGrid repair{};
};

// "Clear Balloon": rows 0..35, columns 0..72 become X = Y = Z = level = 0 with flag 1.0.
void resetPointGrid(PointGrid& grid);

// Radians per degree of the sphere mapping (float32 pi / 180 as the model was built with).
inline constexpr double kSphereRadians = 0.01745329237161969;

// Cell (row, column) on the sphere of radius r: V = 90 - step * row, H = step * column,
// X = r sin H cos V, Y = -r sin V sin H, Z = r cos H. Level and flag left 0.
ModelPoint spherePoint(int row, int column, AngleGrid grid, double radius);

// Viewer distances: the axes, the balloon points, the cabinet outline.
inline constexpr double kAxisDistance = 400;
inline constexpr double kBalloonDistance = 700;
inline constexpr double kCabinetDistance = 2800;

struct ScreenXY {
    double x = 0;
    double y = 0;
};

class ViewProjection {
public:
    // a, b, c: the view angles H, V, side in degrees (viewScrollH - 360, viewScrollV - 360,
    // viewScrollSide - 90). The horizontal angle the user sees is -a.
    explicit ViewProjection(ViewAngles angles);

    ViewAngles angles() const { return angles_; }
    double horizontalView() const { return -angles_.h; }
    // Only horizontal views within -180..180 degrees are drawn.
    bool valid() const { return horizontalView() >= -180 && horizontalView() <= 180; }

    // Rotated, then divided by the depth z' (clamped at 1) seen from distance d; the view
    // area's centre is (750, 330).
    ScreenXY project(double x, double y, double z, double distance) const;
    ScreenXY project(const ModelPoint& p, double distance) const { return project(p.x, p.y, p.z, distance); }

    // The rotation entries m1..m9.
    const std::array<double, 9>& matrix() const { return m_; }

private:
    ViewAngles angles_;
    std::array<double, 9> m_{};
};

// Truncation toward zero of a screen coordinate, kept inside int so that a wild projection
// cannot overflow; the canvas clips what lies off the image.
int screenInt(double v);

// When the view is invalid, draws only "Invalid Horizontal View %.1f deg  " in red in the
// large font and returns false.
bool drawViewValidity(Canvas& canvas, const ViewProjection& view);

// The three model axes from -23 to +23, projected from the axis distance, with pen.
void drawModelAxes(Canvas& canvas, const ViewProjection& view, const Pen& pen);

// "Horizontal View %.1f deg  ", "Vertical View %.1f deg  ", "Side View %.1f deg  " at x 430,
// y 15, 35, 55.
void drawViewTexts(Canvas& canvas, const ViewProjection& view);

} // namespace vantrel
