#pragma once
// "Pellant.pre": the measurement settings and the calibration curve from one run to the next,
// as one raw 6,116-byte little-endian record with no header. Integer settings marked float
// are stored as float32 and read back by truncation toward zero.

#include <array>
#include <cstdint>
#include <string>

#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr std::size_t kPreferencesSize = 6116;
inline constexpr const char* kPreferencesFileName = "Pellant.pre";
using PreferencesRecord = std::array<std::uint8_t, kPreferencesSize>;

// Writes every field of the settings into the record; reserved bytes keep what they hold.
void packPreferences(const MlsSettings& settings, const CalibrationCurve& curve, PreferencesRecord& record);

// Copies every field of the record into the settings. A field outside its range (a damaged or
// foreign file) takes its initial value instead; returns how many fields were replaced.
int unpackPreferences(const PreferencesRecord& record, MlsSettings& settings, CalibrationCurve& curve);

class PreferencesFile {
public:
    // directory: the start-up directory; the file stays there even if the current directory
    // changes later.
    explicit PreferencesFile(std::string directory);

    const std::string& path() const { return path_; }
    // False when the file cannot be opened or read (the settings are untouched then). A short file
    // fills what it holds; the rest keeps the current settings.
    bool load(MlsSettings& settings, CalibrationCurve& curve);
    // False when the file cannot be written completely.
    bool save(const MlsSettings& settings, const CalibrationCurve& curve);

private:
    std::string path_;
    PreferencesRecord record_{}; // reserved bytes are written back as the last load left them
};

} // namespace vantrel
