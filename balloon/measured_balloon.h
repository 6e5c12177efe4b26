#pragma once
// The one way the analyses and exports load a balloon: the file, and what it was measured with
// (its measurement record, else the sweep's band from its distortion file), so that no reader
// takes its valid band from the trailer alone.

#include <optional>
#include <string>

#include "balloon/balloon_file.h"
#include "balloon/measurement_record.h"
#include "balloon/valid_band.h"

namespace vantrel {

struct [[nodiscard]] MeasuredBalloonLoad {
    std::optional<BalloonTrailer> settings; // sanitised; empty when refused
    std::string error;                      // why: the balloon file, or a damaged record beside it
    std::optional<MeasurementRecord> record;
    MeasuredWith measured;

    explicit operator bool() const { return settings.has_value(); }
};

// What a measurement record tells of the valid band (a record that gives its window in samples
// without a rate tells no window length).
MeasuredWith measuredWithOf(const MeasurementRecord& record);

// What the record (else the distortion file) beside balloonPath tells; a record or distortion
// file that exists but cannot be read is refused with its reason, never skipped.
std::optional<MeasuredWith> measuredWithFor(const std::string& balloonPath, std::optional<MeasurementRecord>& record,
                                            std::string& error);

// The record is read first, so a refusal leaves matrix unchanged.
MeasuredBalloonLoad loadMeasuredBalloon(const std::string& path, BalloonMatrix& matrix);

} // namespace vantrel
