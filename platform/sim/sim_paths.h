#pragma once
// Further paths from the virtual loudspeaker to the simulated microphone, beside the direct one:
// each leaves the loudspeaker in its own direction, travels its own distance and arrives with
// its own gain. The simulated sound card sums them into the IN channel bin by bin:
//
//   T_p(f) = gain_p e^{-j k r_p} / r_p x loudspeaker(f, u_p),   k = 2 pi f / c
//
// with u_p the path's direction in the loudspeaker's own frame (loudspeaker.h). The model's loss
// behind the baffle enters with its magnitude and its minimum phase (sim_paths.cpp), so that no
// path's sound arrives before the path does.

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

#include "platform/sim/loudspeaker.h"

namespace vantrel {

struct SimPath {
    VirtualLoudspeaker::Geometry geometry; // the direction leaving the loudspeaker, in its frame
    double distance = 0;                   // m, the whole path: delay distance / c, spreading 1 / distance
    double gain = 1;                       // the reflections' pressure factor
};

// The paths' sum at evenly spaced bins k dk (wavenumber) and k binHz. The drivers' phases turn
// by one rotation a bin and are set exactly every resync bins; the piston directivities come
// from one table of 2 J1(x) / x with linear interpolation (within 1e-6 of the model's).
class PathSpectrum {
public:
    PathSpectrum(const VirtualLoudspeaker& loudspeaker, std::span<const SimPath> paths, double binHz, std::size_t bins);

    // Sum over the paths for bins [begin, end) into out[bin - begin]. filters[bin] are the
    // model's frequency parts at bin.
    void sum(std::size_t begin, std::size_t end, std::span<const VirtualLoudspeaker::Filters> filters,
             std::span<std::complex<double>> out) const;

    bool empty() const { return paths_.empty(); }

private:
    double directivity(double x) const;

    const VirtualLoudspeaker& loudspeaker_;
    std::vector<SimPath> paths_;
    double binHz_, dk_;
    double tableStep_;             // x between table entries
    std::vector<double> piston_;   // 2 J1(x) / x at x = i tableStep_
};

} // namespace vantrel
