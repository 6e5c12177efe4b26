#pragma once
// The "Sampling Rate" list, in the order the measurement settings and the balloon file's
// trailer index it: one table for the list's texts and the rates the files are read with.

#include <array>
#include <string_view>

namespace vantrel {

inline constexpr std::array<std::string_view, 8> kRateTexts{"11025", "12000", "22050", "24000",
                                                            "44100", "48000", "96000", "192000"};

// The rate of list entry index in Hz; 0 outside the list.
constexpr int rateHzAt(int index)
{
    if (index < 0 || index >= static_cast<int>(kRateTexts.size()))
        return 0;
    int hz = 0;
    for (const char c : kRateTexts[static_cast<std::size_t>(index)])
        hz = hz * 10 + (c - '0');
    return hz;
}

static_assert(rateHzAt(5) == 48000 && rateHzAt(7) == 192000 && rateHzAt(8) == 0);

} // namespace vantrel
