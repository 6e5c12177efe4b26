#include "app/walk_pacing_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "exports/safe_output.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

std::optional<int> wholeNumber(std::string_view text, int low, int high)
{
    const std::optional<long long> value = parseWholeNumber(text, low, high);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<int> field(std::string_view& text, std::string_view key, int low, int high)
{
    const auto nl = text.find('\n');
    if (nl == std::string_view::npos)
        return std::nullopt;
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl + 1);
    if (!line.starts_with(key) || line.size() <= key.size() || line[key.size()] != ' ')
        return std::nullopt;
    line.remove_prefix(key.size() + 1);
    return wholeNumber(line, low, high);
}

std::filesystem::path pathIn(const std::string& directory)
{
    return std::filesystem::path(directory.empty() ? "." : directory) / kWalkPacingName;
}

} // namespace

std::optional<int> parseSettleMs(std::string_view text) { return wholeNumber(text, 0, kMaxSettleMs); }

std::string formatWalkPacing(const WalkPacing& pacing)
{
    return "paced " + std::to_string(pacing.paced ? 1 : 0) + "\nsettle " + std::to_string(pacing.settleMs) + "\n";
}

std::optional<WalkPacing> parseWalkPacing(std::string_view text)
{
    const auto paced = field(text, "paced", 0, 1);
    const auto settle = paced ? field(text, "settle", 0, kMaxSettleMs) : std::nullopt;
    if (!settle || !text.empty())
        return std::nullopt;
    return WalkPacing{*paced == 1, *settle};
}

WalkPacing loadWalkPacing(const std::string& directory)
{
    std::ifstream in(pathIn(directory), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parseWalkPacing(text.str()).value_or(WalkPacing{});
}

bool saveWalkPacing(const std::string& directory, const WalkPacing& pacing)
{
    // Through a temporary name: a crash or a full disk leaves the old file, never half a new one.
    return writeTextFile(pathIn(directory).string(), formatWalkPacing(pacing)).empty();
}

} // namespace vantrel
