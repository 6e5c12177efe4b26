#pragma once
// A near-field response as text: the response of one measurement with the microphone close to
// the low-frequency radiator's cone, kept for a merge with a gated balloon.
//
//   # vantrel near field 1
//   # distance-mm 5           the microphone's distance from the cone (optional)
//   # radius-mm 80            the radiator's radius (optional)
//   # output-volume-percent 2 the drive it was measured with (optional)
//   # frequency-hz level-db phase-degrees
//   10.000 -12.345 178.90     one line per frequency, frequencies rising
//
// The first line that is not blank is the heading. A line starting with "#" is a comment; of
// those only "# distance-mm X", "# radius-mm X" and "# output-volume-percent X" are read, and a
// malformed value refuses the
// file naming its line. Every other line holds three numbers with "." as the decimal point,
// whatever the locale. Levels are dB of the measurement's own scale (90 dB is unity), phases
// degrees, unwrapped or not.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct NearFieldCurve {
    std::vector<double> hz, levelDb, phaseDegrees;
    double distanceMm = 0; // 0: not stated
    double radiusMm = 0;   // 0: not stated
    double outputVolumePercent = 0; // 0: not stated; the levels scale with the drive
    friend bool operator==(const NearFieldCurve&, const NearFieldCurve&) = default;
};

inline constexpr std::size_t kLargestNearFieldText = 1 << 20;

std::string nearFieldText(const NearFieldCurve& curve);
// Nothing, and the reason naming the line, for a text that is not a whole curve: at least two
// points, frequencies above 0 and rising, finite levels and phases.
std::optional<NearFieldCurve> parseNearFieldCurve(std::string_view text, std::string& error);

struct NearFieldLoad {
    std::optional<NearFieldCurve> curve;
    std::string error;
    bool unreadable = false; // the file could not be opened or read at all
};
NearFieldLoad loadNearFieldCurve(const std::string& path);
// Written under a temporary name beside path and renamed; nothing on success, else the reason.
std::optional<std::string> saveNearFieldCurve(const std::string& path, const NearFieldCurve& curve);

} // namespace vantrel
