#include "mls/numeric_text.h"

#include "platform/number_text.h"

namespace vantrel {

double textValue(std::string_view text)
{
    return leadingDecimal(text);
}

int textInt(std::string_view text)
{
    const long v = leadingInteger(text);
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
