#include "platform/sim/sim_faults.h"

#include <charconv>
#include <limits>

namespace vantrel {

std::string addSimFault(std::string_view faultText, SimFaults& faults)
{
    const auto equals = faultText.find('=');
    if (equals == std::string_view::npos)
        return "a fault is kind=N, not \"" + std::string(faultText) + "\"";
    const std::string_view kind = faultText.substr(0, equals);
    const std::string_view number = faultText.substr(equals + 1);
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (ec != std::errc() || end != number.data() + number.size() || n < 0)
        return "fault " + std::string(kind) + " needs a whole number, not \"" + std::string(number) + "\"";
    const bool fitsInt = n <= std::numeric_limits<int>::max();
    if (kind == "serial-dies")
        faults.serialDiesAfterBytes = n;
    else if (kind == "disk-full")
        faults.autosaveLimitBytes = n;
    else if (!fitsInt)
        return "fault " + std::string(kind) + " counts up to " + std::to_string(std::numeric_limits<int>::max());
    else if (kind == "stall")
        faults.stallAtMove = static_cast<int>(n);
    else if (kind == "audio-error")
        faults.audioErrorAtMeasurement = static_cast<int>(n);
    else if (kind == "hang")
        faults.hangAtMeasurement = static_cast<int>(n);
    else if (kind == "late-playback")
        faults.playbackLagMs = static_cast<int>(n);
    else if (kind == "seed" && n <= std::numeric_limits<std::uint32_t>::max())
        faults.seed = static_cast<std::uint32_t>(n);
    else
        return "unknown fault \"" + std::string(kind) + "\" (serial-dies, stall, audio-error, hang, late-playback, disk-full, seed)";
    return {};
}

} // namespace vantrel
