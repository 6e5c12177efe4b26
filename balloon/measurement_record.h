#pragma once
// What a balloon was measured with beyond its file's trailer: the excitation's band, the time
// window (and the gate that set it) and a near-field merge. Kept as text beside the balloon file
// (NAME.MSR for NAME.BAL), so the balloon file keeps the layout every reader knows; a balloon
// without one reads as before, its window and excitation unknown.
//
//   vantrel measurement record 1
//   excitation sweep          mls | sweep
//   sweep-hz 20 24000         f1 f2 (a sweep only)
//   rate-hz 48000
//   window-samples 240        the time window's length E in samples
//   window-type 4             index on the "Window Type" list
//   window-position 0         the FFT window position, samples
//   gate auto 5.25            auto | fixed, then the gate in ms after the direct sound
//   merge-hz 150 300          the near-field crossfade band (a merged balloon only)
//
// Numbers use "." whatever the locale. A line with a key this reader does not know is skipped
// (a newer writer's addition); a known key with a malformed value refuses the record, naming
// its line.

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr const char* kMeasurementRecordSuffix = ".MSR";

enum class RecordedExcitation { mls, sweep };

struct GateRecord {
    bool automatic = false; // found from the first reflection, else typed
    double ms = 0;          // from the direct sound's arrival to the window's end
    friend bool operator==(const GateRecord&, const GateRecord&) = default;
};

struct MergeBand {
    double lowHz = 0;
    double highHz = 0;
    friend bool operator==(const MergeBand&, const MergeBand&) = default;
};

struct MeasurementRecord {
    RecordedExcitation excitation = RecordedExcitation::mls;
    double sweepF1Hz = 0; // a sweep only
    double sweepF2Hz = 0;
    double rateHz = 0;
    double windowSamples = 0; // 0: unknown
    int windowType = 0;
    int windowPosition = 0;
    std::optional<GateRecord> gate;
    std::optional<MergeBand> merge;
    double outputVolumePercent = 0; // the drive, 0: unknown; the levels scale with it
    friend bool operator==(const MeasurementRecord&, const MeasurementRecord&) = default;

    // The window's length in seconds, 0 when unknown.
    double windowSeconds() const { return windowSamples > 0 && rateHz > 0 ? windowSamples / rateHz : 0; }
};

// NAME.MSR beside NAME.BAL (any other name gets ".MSR" appended).
std::string measurementRecordPathFor(const std::string& balloonPath);

std::string measurementRecordText(const MeasurementRecord& record);
// Nothing, and the reason naming the line, for a text that is not a whole record.
std::optional<MeasurementRecord> parseMeasurementRecord(std::string_view text, std::string& error);

// Written under a temporary name and renamed; nothing on success, else the reason.
std::optional<std::string> saveMeasurementRecord(const std::string& path, const MeasurementRecord& record);

struct LoadedRecord {
    std::optional<MeasurementRecord> record; // none: no record beside the balloon, or a refusal
    std::string error;                       // set when a record exists but cannot be read
};
// The record beside a balloon file; a missing one is no error (older balloons have none).
LoadedRecord loadMeasurementRecordFor(const std::string& balloonPath);

} // namespace vantrel
