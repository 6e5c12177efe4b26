#include "exports/decimal_text.h"

#include <array>
#include <charconv>

namespace vantrel {

std::string fixedText(double value, int decimals)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, decimals);
    if (ec != std::errc{})
        return "nan";
    std::string text(buffer.data(), end);
    // "-0.00" would read as a sign where there is none.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::string shortestText(float value)
{
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc{} ? std::string(buffer.data(), end) : std::string("nan");
}

std::string signedDegreesText(int degrees)
{
    const std::string digits = std::to_string(degrees < 0 ? -degrees : degrees);
    return degrees > 0 ? "+" + digits : degrees < 0 ? "-" + digits : digits;
}

} // namespace vantrel
