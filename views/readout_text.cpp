#include "views/readout_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/number_text.h"

namespace vantrel {

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args)
{
    char text[160];
    const int n = std::snprintf(text, sizeof text, pattern, args...);
    if (n < 0)
        return {};
    return std::string(text, static_cast<std::size_t>(std::min<int>(n, sizeof text - 1)));
}

} // namespace

std::string colourMapText(int colourScale) { return "Colour Map = " + fixedText(colourScale * 0.02, 3) + "    "; }

std::string binText(int bin, double frequencyHz, double level)
{
    return format("Bin = %d, Fr = ", bin) + fixedText(frequencyHz, 1) + ", " + fixedText(level, 1) + "    ";
}

std::string sliceText(int sliceLimit) { return format("Slice = %d    ", sliceLimit); }
std::string panelSliceText(int sliceLimit) { return format("Slice = %d     ", sliceLimit); }
std::string verticalText(int row) { return format("Vertical = %d    ", row); }
std::string horizontalText(int column) { return format("Horizontal = %d    ", column); }

} // namespace vantrel
