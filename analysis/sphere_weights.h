#pragma once
// The grid's unique directions, each with the solid angle it stands for. Every row is a great
// circle through the axis, so the grid is a polar grid about the axis: polar angle t = H (or
// 360 - H) and, over the rows V = +90 .. -90 + step, 360 / step azimuths. A direction takes
// the band of polar angles t +- step/2 over its azimuth step; the axis and the rear take the
// caps t < step/2 and t > 180 - step/2. The bands tile the sphere, so the weights sum to 4 pi.

#include <vector>

#include "balloon/sphere_directions.h"

namespace vantrel {

struct WeightedDirection {
    SphereDirection direction;
    double solidAngle = 0; // steradians
};

std::vector<WeightedDirection> sphereWeights(AngleGrid grid);

} // namespace vantrel
