#pragma once
// How the balloon walk is paced, kept across sessions in its own small file next to the
// preferences ("Pellant.walk"), so that the preferences record keeps its layout:
//   paced 0|1
//   settle <ms, 0..5000>
// A missing or unreadable file gives the fixed waits.

#include <optional>
#include <string>
#include <string_view>

#include "sequencer/walk_pacing.h"

namespace vantrel {

inline constexpr const char* kWalkPacingName = "Pellant.walk";

// A settle time as typed: whole milliseconds 0..5000, nothing else (no sign, no spaces).
std::optional<int> parseSettleMs(std::string_view text);

std::string formatWalkPacing(const WalkPacing& pacing);
// Nothing for a text that is not a whole, valid file.
std::optional<WalkPacing> parseWalkPacing(std::string_view text);

// The file in directory; the fixed waits when there is none or it is not valid.
WalkPacing loadWalkPacing(const std::string& directory);
// False when it could not be written.
bool saveWalkPacing(const std::string& directory, const WalkPacing& pacing);

} // namespace vantrel
