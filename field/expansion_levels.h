#pragma once
// A balloon's levels in any direction from its expansion (sphere_analysis.h): at every axis
// point of the valid band e^{j k u.r0} sum c_nm Y_n^m(u), evaluated between the cells as on
// them; outside the band, where nothing was expanded, the cells' bilinear levels. The analyses
// read a rolled plane and the best-axis search from it instead of the cells' dB blend.

#include "analysis/sphere_levels.h"
#include "field/sphere_analysis.h"

namespace vantrel {

// What the analyses expand with: the grid's top order, every ring fitted against its own level
// (as resampling does: the rear keeps its accuracy in dB), the centre as given.
SphereOptions levelsSphereOptions(AngleGrid grid, CentreChoice centre, const FieldVector& given = {});

class ExpansionLevels : public DirectionLevels {
public:
    // matrix must outlive this; the analysis is of that balloon on that grid.
    ExpansionLevels(const BalloonMatrix& matrix, AngleGrid grid, SphereAnalysis analysis);
    void levels(const Vector3& u, std::array<double, kDataBins>& db) const override;
    const SphereAnalysis& analysis() const { return analysis_; }

private:
    SphereLevels outside_;
    SphereAnalysis analysis_;
    int order_ = 0; // the highest of the rows'
};

} // namespace vantrel
