#include "balloon/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vantrel {

std::optional<std::string> replaceFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::filesystem::path target(path);
    std::string name = ".";
    name.append(target.filename().string());
    name.append(".XXXXXX");
    std::string pattern = ((target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path()) / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return path + ": " + std::strerror(errno);
    auto failed = [&](int e) -> std::optional<std::string> {
        ::close(fd);
        ::unlink(pattern.c_str());
        return path + ": " + std::strerror(e);
    };
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::fchmod(fd, 0644) != 0)
        return failed(errno);
    ::close(fd);
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(pattern.c_str());
        return path + ": " + std::strerror(e);
    }
    return std::nullopt;
}

std::optional<std::string> replaceFile(const std::string& path, std::string_view text)
{
    return replaceFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::string sidePathFor(const std::string& balloonPath, std::string_view suffix)
{
    std::filesystem::path p(balloonPath);
    std::string ext = p.extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".BAL")
        p.replace_extension(suffix);
    else
        p += suffix;
    return p.string();
}

bool readTextUpTo(const std::string& path, std::size_t limit, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.resize(limit + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

std::vector<std::string_view> textWords(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

} // namespace vantrel
