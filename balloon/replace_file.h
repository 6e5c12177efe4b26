#pragma once
// Files beside a balloon appear under their name only when whole: written under a hidden
// temporary name in the same folder, synced and renamed over the name (atomic on one file
// system). A failure removes the temporary file and leaves any old file as it was.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Nothing on success, else "PATH: reason".
std::optional<std::string> replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);
std::optional<std::string> replaceFile(const std::string& path, std::string_view text);

// NAME.SUFFIX beside NAME.BAL (any other name gets the suffix appended).
std::string sidePathFor(const std::string& balloonPath, std::string_view suffix);

// At most limit + 1 bytes of the file at path into text (one more than the limit, so that the
// caller can tell a file that is too large); false when it cannot be opened.
bool readTextUpTo(const std::string& path, std::size_t limit, std::string& text);

// The words of a line of text: runs of anything but blanks and TABs.
std::vector<std::string_view> textWords(std::string_view line);

// Calls take(number, line) for each line of text (LF or CR LF, numbered from 1), until take
// returns false; a line holding a NUL byte stops the walk with false. True when every line
// was taken.
template <typename Take> bool forEachTextLine(std::string_view text, Take take, int& number)
{
    number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos || !take(number, line))
            return false;
    }
    return true;
}

} // namespace vantrel
