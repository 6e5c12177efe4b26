#pragma once
// A whole balloon as a sound field: per axis point of the valid band the acoustic centre found
// from its phase, the field referred to the chosen centre and its expansion, and the band's one
// centre; the report, the picture and the coefficients of `vantrel-cli sphere`.

#include <optional>
#include <string>
#include <vector>

#include "balloon/frequency_axis.h"
#include "balloon/valid_band.h"
#include "field/sound_field.h"
#include "analysis/plot_frame.h"
#include "platform/canvas.h"

namespace vantrel {

enum class CentreChoice { none, found, given };

struct SphereOptions {
    int order = -1;                         // -1: auto
    CentreChoice centre = CentreChoice::none;
    FieldVector given{};                    // m, with CentreChoice::given
    double bandLowHz = 0, bandHighHz = 0;   // the band of the one centre; 0: the valid band
    double regularisation = kDefaultRegularisation;
    FieldWeighting weighting = FieldWeighting::solidAngle; // of the expansion (the centre's search keeps solid angles)
};

struct SphereRow {
    int bin = 0;
    double hz = 0;
    FieldFit fit;                           // of the field referred to `centre`
    FieldVector centre{};                   // m, the expansion's reference point
    std::optional<FieldVector> found;       // m, the centre found at this frequency
    bool byGroupDelay = false;              // found from the group delay, else the spread
    int uncentredOrder = -1;                // auto's order about the rotation centre, when centred
};

struct SphereAnalysis {
    AngleGrid grid = AngleGrid::Grid10;
    int orderLimit = 0;
    std::vector<SphereRow> rows;
    std::optional<FieldVector> bandCentre;  // m, per coordinate the median of the found centres
    double bandLowHz = 0, bandHighHz = 0;
    SphereOptions options;
};

// The largest distance of a centre from the rotation centre along each axis: a 1 m cube.
inline constexpr double kLargestCentre = 0.5; // m

// Refusals, naming the value: an order the grid cannot hold, a given centre outside the cube,
// a cell of the grid that holds nothing at some point of the band (its row and column).
std::optional<std::string> sphereRefusal(const BalloonMatrix& matrix, AngleGrid grid, const ValidBand& band,
                                         const SphereOptions& options);

SphereAnalysis analyseSphere(const BalloonMatrix& matrix, AngleGrid grid, const FrequencyAxis& axis,
                             const ValidBand& band, const SphereOptions& options);

// The text of sphere.txt; names the balloon and its band.
std::string sphereReportText(const SphereAnalysis& analysis, const std::string& balloonName,
                             const std::string& bandText);

inline constexpr PictureSize kSpherePictureSize{960, 980};
// Order (and the order about the rotation centre), residual, and the centre's x, y, z in mm
// against frequency.
void drawSphere(Canvas& canvas, const SphereAnalysis& analysis, const std::string& title,
                const std::string& validFrom);

// "x y z" in mm.
std::string centreText(const FieldVector& centre);
// "X,Y,Z" in mm into m; nothing for any other text.
std::optional<FieldVector> parseCentreText(std::string_view text);

} // namespace vantrel
