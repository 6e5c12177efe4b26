#pragma once
// The CTA-2034-A ("spinorama") curves from the horizontal and vertical 10-degree orbits.

#include <optional>
#include <string>
#include <vector>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/valid_band.h"

namespace vantrel {

struct Cta2034Row {
    double frequencyHz = 0;
    double onAxis = 0; // dB
    double listeningWindow = 0;
    double earlyReflections = 0;
    double soundPower = 0;
    double predictedInRoom = 0;
    double soundPowerDi = 0;        // listening window minus sound power
    double earlyReflectionsDi = 0;  // listening window minus early reflections
};

// Why the balloon cannot supply the two 10-degree orbits (a cell they read holds no
// measurement), or nothing when it can.
std::optional<std::string> cta2034Refusal(const BalloonMatrix& matrix, AngleGrid grid);

// The listener axis the curves are taken around: horizontal h (+ = left) and vertical v (+ = up)
// in degrees; 0, 0 is the loudspeaker's own axis.
struct ListenerAxis {
    double h = 0;
    double v = 0;
    bool isOnAxis() const { return h == 0.0 && v == 0.0; }
};

// One row per axis point of the valid band. Around the loudspeaker's axis the orbits are read
// from the grid's cells; around another axis from the sphere, interpolated: from `between`
// when given (sphere_levels.h), else the cells' bilinear dB.
class DirectionLevels;
std::vector<Cta2034Row> cta2034Curves(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                                      const ValidBand& band, ListenerAxis listener = {},
                                      const DirectionLevels* between = nullptr);

} // namespace vantrel
