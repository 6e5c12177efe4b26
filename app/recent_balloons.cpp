#include "app/recent_balloons.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exports/safe_output.h"

namespace vantrel {

namespace {

// Eight paths of up to 2047 characters fit many times over; anything larger is no such file.
constexpr std::uintmax_t kMaxFileBytes = 1 << 16;

std::filesystem::path pathIn(const std::string& directory)
{
    return std::filesystem::path(directory.empty() ? "." : directory) / kRecentBalloonsName;
}

bool fitsOneLine(std::string_view path)
{
    return !path.empty() && path.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

} // namespace

std::vector<std::string> parseRecentBalloons(std::string_view text)
{
    std::vector<std::string> paths;
    while (!text.empty() && paths.size() < kRecentBalloons) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (fitsOneLine(line) && std::find(paths.begin(), paths.end(), line) == paths.end())
            paths.emplace_back(line);
    }
    return paths;
}

std::string formatRecentBalloons(const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& p : paths)
        text += p + "\n";
    return text;
}

std::vector<std::string> withRecentBalloon(std::vector<std::string> paths, const std::string& path)
{
    if (!fitsOneLine(path))
        return paths;
    std::erase(paths, path);
    paths.insert(paths.begin(), path);
    if (paths.size() > kRecentBalloons)
        paths.resize(kRecentBalloons);
    return paths;
}

std::vector<std::string> loadRecentBalloons(const std::string& directory)
{
    const std::filesystem::path path = pathIn(directory);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileBytes)
        return {};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return parseRecentBalloons(text.str());
}

std::string saveRecentBalloons(const std::string& directory, const std::vector<std::string>& paths)
{
    return writeTextFile(pathIn(directory).string(), formatRecentBalloons(paths));
}

} // namespace vantrel
