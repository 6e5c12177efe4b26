#include "analysis/plain_decimal.h"

#include <charconv>
#include <cmath>

namespace vantrel {

std::string plainDecimal(double value, int decimals)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return std::isnan(value) ? "nan" : "inf";
    std::string text(buffer, result.ptr);
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

} // namespace vantrel
