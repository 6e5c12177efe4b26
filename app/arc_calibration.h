#pragma once
// The arc's self-calibration. The loudspeaker turns so that one of its directions, its axis,
// faces each microphone in turn (H = -a for the microphone at arc angle a); each microphone's
// response to it, over the first microphone's, is that microphone's complex ratio C_m(f): its
// level, its phase and its arrival time (radius errors included: 1 mm is 10 degrees at 10 kHz).
// A walk divides every response of microphone m by C_m (after the microphone's own file).
//
// The calibration set ("arc.cal") is text: the axis it lies on, then per microphone a header and
// the 750 axis points of C_m:
//
//   Vantrel arc calibration 1
//   axis 3 7                     the "From:" and "To:" indexes of the frequency axis
//   microphone 20 -1.25          arc angle (degrees), arrival after the first (us)
//   0.4812 -3.1102               level (dB) and phase (degrees) at axis point 0
//   ...                          (750 lines)
//   microphone 40 0.84
//   ...

#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/arc_walk.h"
#include "mls/mls_settings.h"

namespace vantrel {

struct ArcMicrophoneCalibration {
    int angle = 0;
    double arrivalUs = 0;
    CalibrationCurve ratio{}; // C_m on the axis
};

struct ArcCalibration {
    int fromIndex = 0, toIndex = 0;
    std::vector<ArcMicrophoneCalibration> microphones; // the first is the reference (ratio 0 dB, 0 degrees)
};

std::string arcCalibrationText(const ArcCalibration& c);
// The set, or nothing with "line N: why" in error.
std::optional<ArcCalibration> parseArcCalibration(std::string_view text, std::string& error);
std::optional<ArcCalibration> readArcCalibration(const std::string& path, std::string& error);

// Microphone m's curve for a walk: its own (or none) with the ratio of the set's microphone at
// its angle added; nothing with the reason when the set lies on another axis or lacks the angle.
std::optional<std::string> applyArcCalibration(const ArcCalibration& c, int fromIndex, int toIndex,
                                               const std::vector<int>& angles,
                                               std::vector<std::optional<CalibrationCurve>>& curves);

struct ArcCalibrationResult {
    enum class Outcome { completed, interrupted, halted, refused } outcome = Outcome::refused;
    std::string message;
    ArcCalibration calibration;
    double rigSeconds = 0;
};

// Turns the axis to each microphone of options' arc in turn and measures the ratios; the
// caller writes the set.
ArcCalibrationResult runArcCalibration(JobClock& platform, MainWindow& main, AudioSystem& audio,
                                       const ArcWalkOptions& options, const std::atomic<bool>* interrupt);

} // namespace vantrel
