#pragma once
// Numbers as text without the C library's locale: every text the program reads or writes uses
// the "." decimal point, whatever LC_NUMERIC a library or the desktop has set. The readers keep
// the C library's rules (leading blanks, an optional sign, the leading numeric part counts, a
// text without one reads as 0); the writers round as printf's "%.Nf" does.

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// strtod(text, nullptr) in the "C" locale: the leading number, 0 when there is none; beyond
// the double range ±infinity, below it ±0. "inf", "nan" and hexadecimal "0x..." read as strtod
// reads them.
double leadingDecimal(std::string_view text);
// strtol(text, nullptr, 10) in the "C" locale, limited to the range of long.
long leadingInteger(std::string_view text);

// True when the whole text (an optional sign, then a decimal number) is a finite value; for
// options and fields that must hold one number and nothing else.
[[nodiscard]] bool parseDecimal(std::string_view text, double& value);
// The whole text as typed, decimal digits and nothing else (no sign, blank, point or exponent),
// as a number in low..high; nothing otherwise. For boxes that take whole units.
std::optional<long long> parseWholeNumber(std::string_view text, long long low, long long high);

// printf("%.{decimals}f", value) in the "C" locale ("inf", "-nan" included); with plusSign,
// "%+.{decimals}f".
std::string fixedText(double value, int decimals, bool plusSign = false);
// fixedText for files and pictures: a value that rounds to zero is written without a sign
// ("0.00", never "-0.00"), which would read as a level or angle below zero.
std::string cleanFixedText(double value, int decimals);
// The same, appended to out.
void appendFixed(std::string& out, double value, int decimals, bool plusSign = false);

} // namespace vantrel
