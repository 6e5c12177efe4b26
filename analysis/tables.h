#pragma once
// The text tables of the directivity analysis: "#" header lines, then one line per axis
// frequency of the valid band, blank-separated columns.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity.h"
#include "analysis/metrics.h"

namespace vantrel {

// What sets the band, short for captions: "valid from 206 Hz (time window 5 ms)", the sweep's
// top when it sets the band's, and "; near-field merge 150 Hz .. 300 Hz" for a merged balloon.
std::string validFromText(const ValidBand& band, const FrequencyAxis& axis);
// "10.1 Hz .. 21.5 kHz (the axis 10 Hz .. 50 kHz, measured at 48000 Hz; " validFromText ")".
std::string validBandText(const ValidBand& band, const FrequencyAxis& axis);
// A setting's value (a sweep's f1, a window's length) as typed, no trailing zeros: "5", "312.5";
// a frequency so in Hz or kHz: "50 Hz", "10 kHz".
std::string settingText(double value, int decimals);
std::string settingHz(double hz);
// "1.25k", "31.5" as the frequency labels; whole hertz below 1 kHz, else kHz.
std::string hzText(double hz);
// An angle to a tenth of a degree, whole degrees without a decimal: "10", "-9.8".
std::string degreesText(double degrees);

// What directivity.txt says beyond its rows.
struct DirectivitySummary {
    std::string bandText;                  // validBandText
    std::string validFrom;                 // validFromText, for the picture
    std::optional<BestAxis> bestAxis;
    std::string bestAxisSearch = "flattest measured direction"; // how it was found
    std::vector<CoverageRow> coverage;
    std::optional<double> diSlope; // dB per octave over 200 Hz .. 16 kHz
};

// frequency Hz, on-axis dB, sound power dB, DI dB, beamwidth H and V in degrees ("-" where
// the level never falls 6 dB); the best listening axis and the coverage table in the header.
std::string directivityText(const std::vector<DirectivityRow>& rows, std::string_view source, AngleGrid grid,
                            const DirectivitySummary& summary);

// frequency Hz and the seven curves; the listener axis, the preference numbers and the DI
// slopes in the header.
std::string cta2034Text(const std::vector<Cta2034Row>& rows, std::string_view source, std::string_view bandText,
                        ListenerAxis listener, const PreferenceNumbers& numbers);

// The preference numbers as "label value" lines, for the table's header and the picture.
std::vector<std::string> preferenceLines(const PreferenceNumbers& numbers);

} // namespace vantrel
