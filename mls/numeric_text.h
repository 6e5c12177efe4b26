#pragma once
// Numbers typed into edits are kept as text and converted where they are used: the leading
// numeric part counts, and a text without one reads as 0 (the C library's atof/atoi rule,
// read with the "." decimal point whatever the locale).

#include <string>
#include <string_view>

namespace vantrel {

double textValue(std::string_view text);
int textInt(std::string_view text);
// An edit control hands out at most this many characters of its text.
inline constexpr std::size_t kEditTextLimit = 9;
std::string clipEditText(std::string_view text);

} // namespace vantrel
