#pragma once
// The virtual loudspeaker of the simulated rig: a two-way box whose complex far-field response
// is known exactly at every frequency and direction. The simulated sound card plays through it,
// and accuracy tests compare what the measurement recovers against it.
//
// Coordinates: +z on the loudspeaker's axis, +y up the front baffle, the baffle in z = 0. The
// measuring direction of the turntable angles (H, V) is (sin H cos V, -sin H sin V, cos H):
// H swings away from the axis, V turns the plane of that swing about the axis.

#include <array>
#include <complex>

namespace vantrel {

struct PistonDriver {
    double radius = 0;   // m
    double heightY = 0;  // m, centre on the baffle above (+) or below (-) its centre
};

struct LoudspeakerDesign {
    PistonDriver woofer{0.08, -0.07};
    PistonDriver tweeter{0.013, 0.07};
    double boxHz = 45, boxQ = 0.7;           // box high-pass of the woofer
    double crossoverHz = 2200;               // 4th-order Linkwitz-Riley
    double tweeterHz = 800, tweeterQ = 0.8;  // tweeter's own resonance high-pass
    double baffleHz = 400;                   // rear loss: 1 / (1 + c^2 f / baffleHz), c = -cos t
    double speedOfSound = 343;               // m/s
};

class VirtualLoudspeaker {
public:
    explicit VirtualLoudspeaker(const LoudspeakerDesign& design = {});

    // Far-field pressure transfer (1 in the pass band on axis) at frequency hz in the
    // direction (hDeg, vDeg), phase referred to the centre of the baffle.
    std::complex<double> response(double hz, double hDeg, double vDeg) const;

    // The same at a microphone at distance r (m) on that direction: the response times
    // e^{-j 2 pi f r / c} / r.
    std::complex<double> atDistance(double hz, double hDeg, double vDeg, double r) const;

    const LoudspeakerDesign& design() const { return design_; }

    // The same response in parts, for a recording that evaluates it at every bin of a
    // transform: what depends on the frequency alone, what on the direction alone, and the
    // piston directivities, which depend on both only through k a sin t. response() is
    // exactly combine() of these parts, so a caller that keeps parts gets the same bits.
    struct Filters {
        std::complex<double> woofer, tweeter;
    };
    struct Geometry {
        double uy = 0, cosT = 1, sinT = 0;
    };
    double wavenumber(double hz) const;
    Filters filters(double hz) const;
    static Geometry geometry(double hDeg, double vDeg);
    std::complex<double> combine(double hz, double k, const Geometry& g, const Filters& f, double wooferDirectivity,
                                 double tweeterDirectivity) const;
    // The same with the drivers' path phases e^{j k (p . u)} given: a caller stepping through
    // evenly spaced frequencies turns them on by one rotation each instead of a sine and cosine.
    std::complex<double> combine(double hz, const Geometry& g, const Filters& f, double wooferDirectivity,
                                 double tweeterDirectivity, std::complex<double> wooferPath,
                                 std::complex<double> tweeterPath) const;
    // e^{-j k r} / r: from the baffle's centre to a microphone at distance r.
    static std::complex<double> distanceFactor(double k, double r);

    // The loudspeaker mounted with its baffle centre at `offset` (m, its own frame) from the
    // rotation centre, the microphone at distance r from the rotation centre on the direction
    // u of (H, V): the sound leaves the baffle centre along r u - offset and travels its length.
    // No far-field shortcut: at 2 m a 10 cm offset tilts the direction by up to 3 degrees and
    // bends the path length by up to 2.5 mm.
    using Offset = std::array<double, 3>;
    struct MountedPath {
        Geometry geometry;   // the direction leaving the baffle centre
        double distance = 0; // m, baffle centre to microphone
    };
    static MountedPath mountedPath(double hDeg, double vDeg, double r, const Offset& offset);
    static bool mountedOff(const Offset& offset) { return offset[0] != 0 || offset[1] != 0 || offset[2] != 0; }
    // atDistance() of the mounted loudspeaker; a zero offset is atDistance() itself.
    std::complex<double> atDistance(double hz, double hDeg, double vDeg, double r, const Offset& offset) const;

    // The pressure at a microphone d (m) in front of the woofer's cone, on its axis: the
    // woofer's exact near field (a baffled piston) plus the tweeter's far field at its own
    // distance. Tends to wooferFarField x e^{-j k d} / d as d grows.
    std::complex<double> nearField(double hz, double d) const;

private:
    LoudspeakerDesign design_;
};

// Inline: a recording evaluates it at every bin of its transform.
inline std::complex<double> VirtualLoudspeaker::combine(double hz, const Geometry& g, const Filters& f,
                                                        double wooferDirectivity, double tweeterDirectivity,
                                                        std::complex<double> wooferPath,
                                                        std::complex<double> tweeterPath) const
{
    const double back = g.cosT < 0 ? -g.cosT : 0.0;
    const double rear = back > 0 ? 1.0 / (1.0 + back * back * hz / design_.baffleHz) : 1.0;
    return f.woofer * wooferDirectivity * rear * wooferPath + f.tweeter * tweeterDirectivity * rear * tweeterPath;
}

// 2 J1(x) / x, the far-field directivity of a rigid piston with x = k a sin t; 1 at x = 0.
double pistonDirectivity(double x);

} // namespace vantrel
