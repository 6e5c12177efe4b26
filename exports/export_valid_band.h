#pragma once
// The frequencies an export may speak for: the analyses' valid band of the balloon
// (balloon/valid_band.h: the measured "From:"/"To:" range cut at the sampling rate's usable
// upper limit, without the edge points the processing copies), in Hz. An export must not pass
// filler off as the loudspeaker's response.

#include <string>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"

namespace vantrel {

struct ExportValidBand {
    double lowHz = 0;  // the band's first axis point
    double highHz = 0; // the band's last axis point
    bool contains(double hz) const { return hz >= lowHz && hz <= highHz; }
};

// Empty on success, else why the band is unknown (a sampling rate off the list).
[[nodiscard]] std::string exportValidBand(const BalloonTrailer& trailer, const FrequencyAxis& axis,
                                          ExportValidBand& band);

} // namespace vantrel
