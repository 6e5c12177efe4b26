#pragma once
// The acoustic centre of a balloon: the point about which its phase varies least over the
// directions, found from the balloon's phase alone, in the loudspeaker's frame (m).
//
// Both methods follow D. Ben Hagai, M. Pollow, M. Vorlaender and B. Rafaely, "Acoustic
// centering of sources measured by surrounding spherical microphone arrays", J. Acoust. Soc.
// Am. 130(4), 2003-2015 (2011):
// - high frequencies, from the group delay over directions: a source at r0 reaches direction
//   u (r0 . u) / c early, so the phase step between two neighbouring frequencies, dk apart,
//   is a + dk u.r0 over the directions; a linear least-squares fit gives r0 (the directions
//   within kGroupDelayRangeDb of the loudest, weighted by solid angle and level).
// - low frequencies, where dk u.r0 drowns in the noise, by minimising the energy the
//   expansion spreads into high orders: the angular spread sum n(n+1)|c_nm|^2 / sum |c_nm|^2
//   (sound_field.h) is quadratic in the trial centre about the true one, so a quadratic fitted
//   to it over a small cube around the best guess gives its minimum, twice.

#include <optional>
#include <span>
#include <vector>

#include "field/sound_field.h"

namespace vantrel {

inline constexpr double kGroupDelayRangeDb = 20;
// The spread is taken from an expansion of this order; it holds a source up to kCentreReach
// from the rotation centre up to the frequency where k kCentreReach + 4 reaches it, and the
// group delay serves above (1.75 kHz).
inline constexpr int kSpreadOrder = 12;
inline constexpr double kCentreReach = 0.25; // m

double spreadMethodTopHz();

// The phase steps must lie on the fitted plane within this rms (rad), or the frequency names
// no centre: where a step is off by a part of a turn in some directions (a phase averaged
// across a wrap by the processing), no line through them means a place.
inline constexpr double kGroupDelayMisfit = 0.05;

// From the fields at two neighbouring frequencies, dk (rad/m) apart, on the same directions;
// nothing when fewer than four directions are loud enough, they do not pin the centre, or the
// steps miss the fit by more than kGroupDelayMisfit.
std::optional<FieldVector> groupDelayCentre(std::span<const FieldDirection> directions,
                                            std::span<const std::complex<double>> below,
                                            std::span<const std::complex<double>> above, double dk);

// The centre that minimises the angular spread of the field at wavenumber k; basis fits at
// kSpreadOrder (or the grid's limit, if lower) on the field's directions.
FieldVector spreadCentre(const FieldBasis& basis, std::span<const std::complex<double>> field, double k);

} // namespace vantrel
