#include "analysis/sphere_weights.h"

#include <cmath>
#include <numbers>

namespace vantrel {

std::vector<WeightedDirection> sphereWeights(AngleGrid grid)
{
    constexpr double kPi = std::numbers::pi;
    const int stepDegrees = gridStepDegrees(grid);
    const double step = stepDegrees * kPi / 180.0;
    const double cap = 2.0 * kPi * (1.0 - std::cos(step / 2.0));

    std::vector<WeightedDirection> out;
    for (const SphereDirection& d : sphereDirections(grid)) {
        const int h = d.hDegrees % 360;
        const int polar = h <= 180 ? h : 360 - h;
        double weight = cap;
        if (polar != 0 && polar != 180)
            weight = step * 2.0 * std::sin(polar * kPi / 180.0) * std::sin(step / 2.0);
        out.push_back({d, weight});
    }
    return out;
}

} // namespace vantrel
