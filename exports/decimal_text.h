#pragma once
// Decimals for exported text, independent of the C locale (std::to_chars underneath).

#include <string>

#include "platform/number_text.h"

namespace vantrel {

// The shortest text that reads back as the same float: the frequency axis round-trips exactly.
std::string shortestText(float value);
// Integer degrees with an explicit sign except for zero: "+30", "-180", "0".
std::string signedDegreesText(int degrees);

} // namespace vantrel
