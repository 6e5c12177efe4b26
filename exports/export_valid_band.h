#pragma once
// The frequencies an export may speak for: the analyses' valid band of the balloon
// (balloon/valid_band.h: the measured "From:"/"To:" range cut at the sampling rate's usable
// upper limit, the sweep's band and the time window of the measurement record, without the
// edge points the processing copies), in Hz. An export must not pass filler off as the
// loudspeaker's response.

#include <string>

#include "exports/export_source.h"

namespace vantrel {

struct ExportValidBand {
    double lowHz = 0;  // the band's first axis point
    double highHz = 0; // the band's last axis point
    int first = 0, last = kDataBins - 1; // the same as axis points
    std::string text;  // "10.2 Hz .. 21.5 kHz; valid from ... (...)", for the files' comments
    bool contains(double hz) const { return hz >= lowHz && hz <= highHz; }
};

// Empty on success, else why the band is unknown (a sampling rate off the list).
[[nodiscard]] std::string exportValidBand(const ExportSource& source, const FrequencyAxis& axis, ExportValidBand& band);

} // namespace vantrel
