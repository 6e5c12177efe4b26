#pragma once
// Target files (*.trg, *.txt): the calibration curve as text, one line per axis point of
// frequency (Hz), level (dB) and phase (degrees), "%.2f    %.2f    %.2f  " ended by CR LF on
// every platform. Reading takes the numbers by position and ignores the frequencies, so a
// curve saved under one axis loads onto the points of another.

#include <string>
#include <string_view>

#include "balloon/frequency_axis.h"
#include "mls/mls_settings.h"

namespace vantrel {

// Points a target file sets; the last axis point copies the one before it.
inline constexpr int kTargetFilePoints = kAxisPoints - 1;

std::string formatTargetFile(const FrequencyAxis& axis, const CalibrationCurve& curve);
// False, with no file created, when a level or phase is not finite; false when the file cannot
// be created or not every byte reached it.
[[nodiscard]] bool writeTargetFile(const std::string& path, const FrequencyAxis& axis,
                                   const CalibrationCurve& curve);

enum class TargetReadStatus {
    Complete,   // all 749 points read, point 749 copied from 748
    Short,      // fewer triples: that many points read, the others left as they were
    NoNumbers,  // not one complete triple: nothing changed
    CannotOpen, // nothing read, nothing changed
};

struct TargetReadResult {
    TargetReadStatus status = TargetReadStatus::CannotOpen;
    int points = 0; // (frequency, level, phase) triples taken
};

// A number is a maximal run of 0-9 + - . E read by its leading numeric part; everything else
// separates. Triple i sets point i: level, then phase limited to ±179.9 beyond ±180. A level
// that is not usableCalibrationLevel (beyond the range of a float, or its linear value) ends the
// reading like the end of the text.
TargetReadResult parseTargetText(std::string_view text, CalibrationCurve& curve);
TargetReadResult readTargetFile(const std::string& path, CalibrationCurve& curve);

// The text telling the user that a file set fewer points than the axis has; empty when the
// result needs no word.
std::string targetReadMessage(const TargetReadResult& result);

} // namespace vantrel
