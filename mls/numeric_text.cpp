#include "mls/numeric_text.h"

#include <cstdlib>

namespace vantrel {

double textValue(std::string_view text)
{
    const std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

int textInt(std::string_view text)
{
    const std::string s(text);
    const long v = std::strtol(s.c_str(), nullptr, 10);
    if (v > 2147483647L)
        return 2147483647;
    if (v < -2147483647L - 1)
        return -2147483647 - 1;
    return static_cast<int>(v);
}

std::string clipEditText(std::string_view text)
{
    return std::string(text.substr(0, kEditTextLimit));
}

} // namespace vantrel
