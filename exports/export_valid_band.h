#pragma once
// The frequencies an export may speak for: the balloon's measured "From:"/"To:" range, cut at
// the sampling rate's usable upper limit. Above about 0.45 of the rate the sound card's
// anti-alias filter has taken the signal, and from the Nyquist frequency on a stored bin holds
// no measurement at all; an export must not pass either off as the loudspeaker's response.

#include <string>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"

namespace vantrel {

inline constexpr double kUsableRateFraction = 0.45;

struct ExportValidBand {
    double lowHz = 0;  // the axis's first point
    double highHz = 0; // the axis's last point, or the rate's usable limit when lower
    bool contains(double hz) const { return hz >= lowHz && hz <= highHz; }
};

// Empty on success, else why the band is unknown (a sampling rate off the list).
[[nodiscard]] std::string exportValidBand(const BalloonTrailer& trailer, const FrequencyAxis& axis,
                                          ExportValidBand& band);

} // namespace vantrel
