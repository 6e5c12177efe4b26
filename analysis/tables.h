#pragma once
// The text tables of the directivity analysis: "#" header lines, then one line per axis
// frequency, blank-separated columns.

#include <string>
#include <string_view>
#include <vector>

#include "analysis/cta2034.h"
#include "analysis/directivity.h"

namespace vantrel {

// frequency Hz, on-axis dB, sound power dB, DI dB, beamwidth H and V in degrees ("-" where
// the level never falls 6 dB).
std::string directivityText(const std::vector<DirectivityRow>& rows, std::string_view source, AngleGrid grid);

// frequency Hz and the seven curves.
std::string cta2034Text(const std::vector<Cta2034Row>& rows, std::string_view source);

} // namespace vantrel
