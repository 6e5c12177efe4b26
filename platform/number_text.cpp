#include "platform/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace vantrel {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An optional sign at the start of text: what follows it, and whether it was '-'.
std::string_view afterSign(std::string_view text, bool& negative)
{
    negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '+' || text[0] == '-'))
        text.remove_prefix(1);
    return text;
}

// Leading blanks as strtod skips them, then the optional sign.
std::string_view afterBlanksAndSign(std::string_view text, bool& negative)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return afterSign(text.substr(i), negative);
}

// from_chars leaves the value alone when the number lies outside the double range; strtod gives
// ±HUGE_VAL above it and ±0 below. The number is above the range exactly when its first
// significant digit sits at a positive decimal (or binary) exponent.
double outOfRange(std::string_view number, bool hex)
{
    const char exponentMark = hex ? 'p' : 'e';
    long leadingPosition = 0; // digits before the point, less leading zeros, or minus zeros after it
    bool seenPoint = false, significant = false;
    std::size_t i = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if (!(hex ? isHexDigit(c) : isDigit(c)))
            break;
        if (c != '0')
            significant = true;
        if (!seenPoint && significant)
            ++leadingPosition;
        else if (seenPoint && !significant)
            --leadingPosition;
    }
    long exponent = 0;
    if (i < number.size() && (number[i] | 0x20) == exponentMark) {
        bool negative = false;
        const std::string_view rest = afterSign(number.substr(i + 1), negative);
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
        if (ec == std::errc::result_out_of_range)
            exponent = std::numeric_limits<long>::max();
        (void)end;
        if (negative)
            exponent = -exponent;
    }
    const double scaledUp = hex ? static_cast<double>(leadingPosition) * 4 + static_cast<double>(exponent)
                                : static_cast<double>(leadingPosition) + static_cast<double>(exponent);
    return scaledUp > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

} // namespace

double leadingDecimal(std::string_view text)
{
    bool negative = false;
    const std::string_view rest = afterBlanksAndSign(text, negative);
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-'))
        return 0.0; // one sign only; from_chars would take a second '-'
    double value = 0;
    const bool hex = rest.size() > 2 && rest[0] == '0' && (rest[1] | 0x20) == 'x' &&
                     (isHexDigit(rest[2]) || (rest[2] == '.' && rest.size() > 3 && isHexDigit(rest[3])));
    const std::string_view number = hex ? rest.substr(2) : rest;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           hex ? std::chars_format::hex : std::chars_format::general);
    if (ec == std::errc::invalid_argument)
        return 0.0;
    if (ec == std::errc::result_out_of_range)
        value = outOfRange(number, hex);
    (void)end;
    return negative ? -value : value;
}

long leadingInteger(std::string_view text)
{
    bool negative = false;
    const std::string_view digits = afterBlanksAndSign(text, negative);
    // The digits are read as unsigned so that LONG_MIN, whose magnitude long cannot hold, reads.
    unsigned long magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    (void)end;
    if (ec == std::errc::invalid_argument)
        return 0;
    constexpr unsigned long kMax = static_cast<unsigned long>(std::numeric_limits<long>::max());
    if (ec == std::errc::result_out_of_range || magnitude > kMax + (negative ? 1 : 0))
        return negative ? std::numeric_limits<long>::min() : std::numeric_limits<long>::max();
    if (negative)
        return magnitude == kMax + 1 ? std::numeric_limits<long>::min() : -static_cast<long>(magnitude);
    return static_cast<long>(magnitude);
}

bool parseDecimal(std::string_view text, double& value)
{
    bool negative = false;
    const std::string_view number = afterSign(text, negative);
    // "inf" and "nan" are no decimal numbers; from_chars alone would take them.
    if (number.empty() || !(isDigit(number[0]) || number[0] == '.'))
        return false;
    double parsed = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(parsed))
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

std::optional<long long> parseWholeNumber(std::string_view text, long long low, long long high)
{
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

void appendFixed(std::string& out, double value, int decimals, bool plusSign)
{
    // 309 integer digits, a sign, a point and up to 1074 significant decimals of a double.
    std::array<char, 1500> text;
    const int precision = decimals < 0 ? 6 : std::min(decimals, 1100);
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, precision);
    if (ec != std::errc())
        return;
    if (plusSign && !std::signbit(value))
        out += '+';
    out.append(text.data(), end);
}

std::string fixedText(double value, int decimals, bool plusSign)
{
    std::string out;
    appendFixed(out, value, decimals, plusSign);
    return out;
}

std::string cleanFixedText(double value, int decimals)
{
    std::string text = fixedText(value, decimals);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

} // namespace vantrel
