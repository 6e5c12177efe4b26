#include "output/print_layout.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace vantrel {

PrinterDescription splitPrinterDescription(std::string_view value)
{
    value = value.substr(0, kPrinterDescriptionLimit);
    PrinterDescription d;
    auto nextField = [&value](bool last) {
        std::string_view f = value;
        if (!last) {
            const auto comma = value.find(',');
            f = value.substr(0, comma);
            value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
        } else {
            value = {};
        }
        return std::string(f);
    };
    const bool hasComma = value.find(',') != std::string_view::npos;
    d.name = nextField(false);
    if (hasComma) {
        d.driver = nextField(false);
        d.port = nextField(true);
    }
    if (!d.driver.empty())
        d.driverFile = d.driver + ".DRV";
    return d;
}

int screenColourCount(int bitsPerPixel)
{
    const unsigned exponent = static_cast<unsigned>(bitsPerPixel) % 32u;
    return static_cast<int>(static_cast<std::uint32_t>(1u << exponent));
}

int leadingInt(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        return negative ? INT32_MIN : INT32_MAX;
    if (ec != std::errc() || end == text.data())
        return 0;
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int>(value);
}

PageRect pageRectangle(const PrintLayout& layout, int horzRes, int vertRes)
{
    const long long k = layout.scalePercent * 10 / 100;
    long long left = leadingInt(layout.leftText);
    const long long top = leadingInt(layout.topText);
    if (layout.tallFlag == 1)
        left += 100;
    const long long width = horzRes * k / 10;
    const long long height = layout.tallFlag == 1 ? vertRes * k / 10 : vertRes * k / 20;
    auto clampInt = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX)); };
    return {clampInt(left), clampInt(top), clampInt(left + width), clampInt(top + height)};
}

PageRect sourceRectangle(const PageRect& target, int width, int height)
{
    if (target.width() == 0 || target.height() == 0 || width <= 0 || height <= 0)
        return {};
    const double xScale = static_cast<double>(target.width()) / width;
    const double yScale = static_cast<double>(target.height()) / height;
    // The visible part is the whole target, so its offsets from the target are 0 and its size
    // divided by the scales gives the source.
    auto round = [](double v) { return static_cast<int>(v + 0.5); };
    const int sw = round(target.width() / xScale);
    const int sh = round(target.height() / yScale);
    return {0, 0, sw, sh};
}

} // namespace vantrel
