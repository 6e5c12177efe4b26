#include "platform/serial_port.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace vantrel {

namespace {

bool parseInt(std::string_view s, int& out)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

} // namespace

std::optional<LineSettings> buildLineSettings(std::string_view text)
{
    if (auto colon = text.find(':'); colon != std::string_view::npos)
        text.remove_prefix(colon + 1);
    std::vector<std::string_view> fields;
    while (true) {
        const auto comma = text.find(',');
        fields.push_back(text.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings s;
    if (!parseInt(fields[0], s.baud) || s.baud <= 0)
        return std::nullopt;
    std::string_view parity = fields[1];
    while (!parity.empty() && parity.front() == ' ')
        parity.remove_prefix(1);
    if (parity.size() != 1)
        return std::nullopt;
    s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(parity[0])));
    if (s.parity != 'n' && s.parity != 'e' && s.parity != 'o' && s.parity != 'm' && s.parity != 's')
        return std::nullopt;
    if (!parseInt(fields[2], s.dataBits) || s.dataBits < 5 || s.dataBits > 8)
        return std::nullopt;
    if (!parseInt(fields[3], s.stopBits) || (s.stopBits != 1 && s.stopBits != 2))
        return std::nullopt;
    return s;
}

} // namespace vantrel
