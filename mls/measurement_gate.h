#pragma once
// The measurement window's gate, and the record of what a balloon was measured with.
//
// The gate places the time window so that it ends before the first reflection: "Auto Gate"
// finds the reflection in the impulse response held, a walk at its first point; a fixed gate
// (measure --gate MS) ends the window MS after the direct sound. Either way the window is the
// "Semi-Rectangular" kind, set in its controls as a user would set it, and every later point of
// the walk is checked: a reflection arriving inside the gate halts the walk there.

#include <optional>
#include <string_view>

#include "balloon/measurement_record.h"
#include "mls/mls_settings.h"
#include "mls/sweep.h"

namespace vantrel {

inline constexpr std::string_view kNoReflectionText =
    "No reflection stands out above the noise and the direct sound's decay: the time window is unchanged";

struct GateState {
    enum class Mode { off, automatic, fixed } mode = Mode::off;
    double requestedMs = 0;   // a fixed gate's length
    std::optional<double> ms; // the gate in force: from the direct sound's arrival to the window's end
    int direct = 0;           // the direct sound's arrival the window was placed from, sample
    bool walkLocked = false;  // found at the walk's first point and kept for its balloon
};

// The measurement record of the settings in use: the excitation, the rate, the window as the
// frequency response applies it (its length E = min(width, 2^order - 1)) and the gate.
MeasurementRecord measurementRecordOf(const MlsSettings& settings, const ExcitationSettings* excitation,
                                      const std::optional<GateRecord>& gate);

} // namespace vantrel
