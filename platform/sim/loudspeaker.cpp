#include "platform/sim/loudspeaker.h"

#include <cmath>
#include <numbers>

namespace vantrel {

namespace {

using Complex = std::complex<double>;

constexpr double kRadPerDeg = std::numbers::pi / 180.0;

// Second-order sections in p = j f / f0.
Complex highPass2(double hz, double f0, double q)
{
    const Complex p(0.0, hz / f0);
    return p * p / (p * p + p / q + 1.0);
}

Complex lowPass2(double hz, double f0, double q)
{
    const Complex p(0.0, hz / f0);
    return 1.0 / (p * p + p / q + 1.0);
}

// Linkwitz-Riley 4th order: a squared Butterworth (Q = 1/sqrt 2) section; low and high parts
// sum to an all-pass.
Complex linkwitzRileyLow(double hz, double fc)
{
    const Complex b = lowPass2(hz, fc, std::numbers::sqrt2 / 2);
    return b * b;
}

Complex linkwitzRileyHigh(double hz, double fc)
{
    const Complex b = highPass2(hz, fc, std::numbers::sqrt2 / 2);
    return b * b;
}

} // namespace

double pistonDirectivity(double x)
{
    if (std::abs(x) < 1e-6)
        return 1.0 - x * x / 8.0;
    // The C library's J1 of integer order: within 1e-7 of std::cyl_bessel_j(1, x) (relative,
    // wherever |J1| > 1e-6) and about nine times quicker; the rig builds a table of them per
    // direction.
    return 2.0 * ::j1(std::abs(x)) / std::abs(x);
}

VirtualLoudspeaker::VirtualLoudspeaker(const LoudspeakerDesign& design) : design_(design) {}

// Each driver: filter x piston directivity 2 J1(k a sin t)/(k a sin t) x rear loss
// x e^{+j k (p . u)}, with k = 2 pi f / c, t the angle between u and the axis (cos t = u_z),
// p the driver's centre and u the unit vector of the direction. The rear loss
// 1 / (1 + c^2 f / baffleHz), c = max(0, -cos t), is 1 in front and smooth across 90 degrees.
std::complex<double> VirtualLoudspeaker::response(double hz, double hDeg, double vDeg) const
{
    const Geometry g = geometry(hDeg, vDeg);
    const double k = wavenumber(hz);
    return combine(hz, k, g, filters(hz), pistonDirectivity(k * design_.woofer.radius * g.sinT),
                   pistonDirectivity(k * design_.tweeter.radius * g.sinT));
}

double VirtualLoudspeaker::wavenumber(double hz) const { return 2.0 * std::numbers::pi * hz / design_.speedOfSound; }

VirtualLoudspeaker::Filters VirtualLoudspeaker::filters(double hz) const
{
    return {highPass2(hz, design_.boxHz, design_.boxQ) * linkwitzRileyLow(hz, design_.crossoverHz),
            highPass2(hz, design_.tweeterHz, design_.tweeterQ) * linkwitzRileyHigh(hz, design_.crossoverHz)};
}

VirtualLoudspeaker::Geometry VirtualLoudspeaker::geometry(double hDeg, double vDeg)
{
    const double h = hDeg * kRadPerDeg;
    const double v = vDeg * kRadPerDeg;
    const double cosT = std::cos(h);
    return {-std::sin(h) * std::sin(v), cosT, std::sqrt(std::max(0.0, 1.0 - cosT * cosT))};
}

std::complex<double> VirtualLoudspeaker::combine(double hz, double k, const Geometry& g, const Filters& f,
                                                 double wooferDirectivity, double tweeterDirectivity) const
{
    return combine(hz, g, f, wooferDirectivity, tweeterDirectivity, std::polar(1.0, k * design_.woofer.heightY * g.uy),
                   std::polar(1.0, k * design_.tweeter.heightY * g.uy));
}

std::complex<double> VirtualLoudspeaker::distanceFactor(double k, double r) { return std::polar(1.0 / r, -k * r); }

// On the axis of a rigid circular piston of radius a in an infinite baffle, moving with
// velocity u, the pressure at distance d is in closed form (D. B. Keele, "Low-frequency
// loudspeaker assessment by nearfield sound-pressure measurement", JAES 22, 1974):
//   p(d) = rho c u (e^{-j k d} - e^{-j k sqrt(d^2 + a^2)})
// Far away sqrt(d^2 + a^2) - d -> a^2 / (2 d), so p -> j rho c u k a^2 / (2 d) e^{-j k d}, the
// piston's far field. Dividing by j k a^2 / 2 drives the piston with the cone velocity whose
// far field is the model's woofer filter: woofer(f) (e^{-j k d} - e^{-j k R}) / (j k a^2 / 2),
// R = sqrt(d^2 + a^2), which tends to woofer(f) e^{-j k d} / d. As k -> 0 the quotient tends to
// 2 (R - d) / a^2. The tweeter (crossed over at crossoverHz) adds its far field at its own
// distance and angle from the microphone; the box has no room, and a room's reflections reach
// a microphone this close some 40 dB down.
std::complex<double> VirtualLoudspeaker::nearField(double hz, double d) const
{
    const double k = wavenumber(hz);
    const Filters f = filters(hz);
    const double a = design_.woofer.radius;
    const double big = std::sqrt(d * d + a * a);
    Complex piston;
    if (k * big < 1e-9)
        piston = 2.0 * (big - d) / (a * a);
    else
        piston = (std::polar(1.0, -k * d) - std::polar(1.0, -k * big)) / Complex(0.0, k * a * a / 2.0);
    const double dy = design_.tweeter.heightY - design_.woofer.heightY;
    const double rt = std::sqrt(d * d + dy * dy);
    const double sinT = std::abs(dy) / rt;
    const Complex tweeter = f.tweeter * pistonDirectivity(k * design_.tweeter.radius * sinT) * distanceFactor(k, rt);
    return f.woofer * piston + tweeter;
}

std::complex<double> VirtualLoudspeaker::atDistance(double hz, double hDeg, double vDeg, double r) const
{
    return response(hz, hDeg, vDeg) * distanceFactor(wavenumber(hz), r);
}

VirtualLoudspeaker::MountedPath VirtualLoudspeaker::mountedPath(double hDeg, double vDeg, double r, const Offset& offset)
{
    const double h = hDeg * kRadPerDeg;
    const double v = vDeg * kRadPerDeg;
    const double d[3] = {r * std::sin(h) * std::cos(v) - offset[0], -r * std::sin(h) * std::sin(v) - offset[1],
                         r * std::cos(h) - offset[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    const double cosT = d[2] / length;
    return {{d[1] / length, cosT, std::hypot(d[0], d[1]) / length}, length};
}

std::complex<double> VirtualLoudspeaker::atDistance(double hz, double hDeg, double vDeg, double r,
                                                    const Offset& offset) const
{
    if (!mountedOff(offset))
        return atDistance(hz, hDeg, vDeg, r);
    const MountedPath path = mountedPath(hDeg, vDeg, r, offset);
    const double k = wavenumber(hz);
    const Geometry& g = path.geometry;
    return combine(hz, k, g, filters(hz), pistonDirectivity(k * design_.woofer.radius * g.sinT),
                   pistonDirectivity(k * design_.tweeter.radius * g.sinT)) *
           distanceFactor(k, path.distance);
}

} // namespace vantrel
