#pragma once
// How a balloon came from another grid: NAME.RSM beside NAME.BAL, text, written by
// `vantrel-cli resample`. Readers that do not know it never open it, so the balloon file and
// its measurement record keep their layouts.
//
//   vantrel resampling record 1
//   source off.BAL             the balloon it was taken from (its name, without folders)
//   grid 10 5                  the source's grid step and this balloon's, degrees
//   centre found               found (per frequency) | none | X Y Z (mm)
//   point 1000.2 9 -31.4 30.1 20.0 80.9   per axis point of the valid band: Hz, the
//                                         expansion's order, its residual at the source's grid
//                                         points (dB) and its centre (mm)
//
// Numbers use "." whatever the locale; lines starting with '#' are comments, a line with a key
// this reader does not know is skipped, a known key with a malformed value refuses the record
// naming its line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr const char* kResamplingRecordSuffix = ".RSM";

struct ResampledPoint {
    double hz = 0;
    int order = 0;
    double residualDb = 0;
    double centreMm[3] = {0, 0, 0};
    friend bool operator==(const ResampledPoint&, const ResampledPoint&) = default;
};

struct ResamplingRecord {
    std::string source;
    int fromStep = 10, toStep = 5; // degrees
    std::string centre = "found";  // found | none | "X Y Z" in mm
    std::vector<ResampledPoint> points;
    friend bool operator==(const ResamplingRecord&, const ResamplingRecord&) = default;
};

std::string resamplingRecordText(const ResamplingRecord& record);
std::optional<ResamplingRecord> parseResamplingRecord(std::string_view text, std::string& error);

struct LoadedResampling {
    std::optional<ResamplingRecord> record; // none: not resampled, or a refusal
    std::string error;                      // set when a record exists but cannot be read
};
// The record beside a balloon file; none is no error.
LoadedResampling loadResamplingRecordFor(const std::string& balloonPath);

} // namespace vantrel
