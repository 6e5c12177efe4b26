#include "exports/decimal_text.h"

#include <array>
#include <charconv>

namespace vantrel {

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
