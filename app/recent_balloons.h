#pragma once
// The balloon files opened or saved last, newest first, kept for "Recent Balloons" in their own
// file beside the preferences ("Pellant.recent"), so that the preferences record keeps its
// layout: one full path a line. A missing or unreadable file is an empty list.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

inline constexpr const char* kRecentBalloonsName = "Pellant.recent";
inline constexpr std::size_t kRecentBalloons = 8;

// The paths of the text: empty lines and repeats left out, at most kRecentBalloons.
std::vector<std::string> parseRecentBalloons(std::string_view text);
std::string formatRecentBalloons(const std::vector<std::string>& paths);
// path in front, its older place dropped, the oldest beyond kRecentBalloons dropped. A path
// that one line cannot hold (empty, or with a line break or NUL) leaves the list as it was.
std::vector<std::string> withRecentBalloon(std::vector<std::string> paths, const std::string& path);

std::vector<std::string> loadRecentBalloons(const std::string& directory);
// Empty on success, else the reason.
std::string saveRecentBalloons(const std::string& directory, const std::vector<std::string>& paths);

} // namespace vantrel
