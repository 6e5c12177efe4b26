#pragma once
// A balloon's field in any direction from its expansion (sphere_analysis.h): at every axis point
// of the valid band e^{j k u.r0} sum c_nm Y_n^m(u), plus what the expansion leaves of the
// measurements (measured minus expanded at every cell of the grid) interpolated bilinearly
// between the cells. A cell reads what was measured there; between the cells the expansion
// supplies what the grid's order holds and the neighbours' remainder the rest (the expansion
// alone missed a 10-degree walk's axis by 0.5 dB at 8 kHz). Outside the band, where nothing was
// expanded, the levels are the cells' bilinear dB. The analyses read a rolled plane and the
// best-axis search from it, `resample` the cells of another grid.

#include <complex>
#include <span>
#include <vector>

#include "analysis/sphere_levels.h"
#include "field/sphere_analysis.h"

namespace vantrel {

// What the analyses and resampling expand with: the grid's top order, every ring fitted against
// its own level (a rear 30 dB down keeps its accuracy in dB), the centre as given.
SphereOptions levelsSphereOptions(AngleGrid grid, CentreChoice centre, const FieldVector& given = {});

class ExpansionLevels : public DirectionLevels {
public:
    // matrix must outlive this; the analysis is of that balloon on that grid.
    ExpansionLevels(const BalloonMatrix& matrix, AngleGrid grid, SphereAnalysis analysis);
    void levels(const Vector3& u, std::array<double, kDataBins>& db) const override;
    // The field in direction u at every row of the analysis (analysis().rows.size() values).
    void fields(const Vector3& u, std::span<std::complex<double>> out) const;
    const SphereAnalysis& analysis() const { return analysis_; }

private:
    SphereLevels outside_;
    AngleGrid grid_;
    SphereAnalysis analysis_;
    int order_ = 0; // the highest of the rows'
    // Every row's coefficients, zero beyond its order: shCount(order_) per row, row after row.
    std::vector<std::complex<double>> coefficients_;
    // Per cell above the V = -90 row (row-major), per row of the analysis: measured - expanded.
    std::vector<std::complex<double>> residual_;
};

} // namespace vantrel
