#include "balloon/balloon_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

namespace {

namespace fs = std::filesystem;

std::string failure(const std::string& path, int error)
{
    return path + "\n\n" + std::strerror(error);
}

// Closes the descriptor and removes the temporary file unless released.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // The close result, which reports a delayed write error on some file systems.
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }
    void keep() { path_.clear(); }

private:
    int fd_;
    std::string path_;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// A float word as its integer setting 0..max, or the fallback when it is not finite or
// truncates outside the range (-0.5 truncates to 0 and is kept).
int settingWord(float word, int max, int fallback)
{
    if (!(word > -1.0f && word < static_cast<float>(max + 1))) // false for NaN
        return fallback;
    return truncateSettingWord(word);
}

// The mode a new file would get: 0666 less the process's umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file a save must replace: a symbolic link is followed, so the link stays and its
// target gets the new contents, as an in-place write would do.
std::string replacedPath(const std::string& path)
{
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        const fs::path target = fs::weakly_canonical(path, ec);
        if (!ec)
            return target.string();
    }
    return path;
}

} // namespace

BalloonTrailer sanitizeTrailer(const BalloonSettings& w)
{
    const BalloonTrailer& init = kInitialBalloonTrailer;
    BalloonTrailer t;
    t.windowTypeIndex = settingWord(w.windowTypeIndex, kWindowTypeCount - 1, init.windowTypeIndex);
    t.rateIndex = settingWord(w.rateIndex, kRateCount - 1, init.rateIndex);
    t.smoothingIndex = settingWord(w.smoothingIndex, kSmoothingCount - 1, init.smoothingIndex);
    t.fftWindowPosition = settingWord(w.fftWindowPosition, kFftWindowPositionMax, init.fftWindowPosition);
    const bool fromOnList = w.fromIndex >= 0 && w.fromIndex < static_cast<int>(kAxisFromHz.size());
    const bool toOnList = w.toIndex >= 0 && w.toIndex < static_cast<int>(kAxisToHz.size());
    if (fromOnList && toOnList && FrequencyAxis::fromHz(w.fromIndex) < FrequencyAxis::toHz(w.toIndex)) {
        t.fromIndex = w.fromIndex;
        t.toIndex = w.toIndex;
    } else {
        t.fromIndex = init.fromIndex;
        t.toIndex = init.toIndex;
    }
    t.angleGridFlag = w.angleGridFlag == 1 ? 1 : 0;
    return t;
}

std::optional<std::string> saveBalloon(const std::string& path, BalloonMatrix& matrix,
                                       const BalloonTrailer& settings)
{
    const std::string target = replacedPath(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return failure(path, EISDIR);
    // A write-protected file stays protected: replacing it by rename would bypass that.
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return failure(path, errno);

    fs::path directory = fs::path(target).parent_path();
    if (directory.empty())
        directory = ".";
    std::string name = ".";
    name += fs::path(target).filename().string();
    name += ".XXXXXX";
    std::string pattern = (directory / name).string();
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(path, errno);
    TemporaryFile temporary(fd, pattern);

    const mode_t mode = exists ? (old.st_mode & 07777) : newFileMode();
    if (::fchmod(temporary.fd(), mode) != 0)
        return failure(path, errno);

    matrix.writeTrailer(settings);
    const auto block = std::as_bytes(matrix.bytes());
    std::size_t written = 0;
    while (written < block.size()) {
        const ssize_t n = ::write(temporary.fd(), block.data() + written, block.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failure(path, errno);
        }
        if (n == 0)
            return failure(path, EIO);
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(temporary.fd()) != 0)
        return failure(path, errno);
    if (temporary.close() != 0)
        return failure(path, errno);
    if (::rename(temporary.path().c_str(), target.c_str()) != 0)
        return failure(path, errno);
    temporary.keep();

    // The rename itself reaches the disk with the directory; the data already has.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

BalloonLoadResult loadBalloon(const std::string& path, BalloonMatrix& matrix)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return {std::nullopt, failure(path, errno)};
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return {std::nullopt, failure(path, errno)};
    if (S_ISDIR(info.st_mode))
        return {std::nullopt, failure(path, EISDIR)};
    if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) != BalloonMatrix::kBlockBytes)
        return {std::nullopt, std::string(kBalloonNotRecognized)};

    return readBalloonImage(file.get(), path, matrix);
}

BalloonLoadResult readBalloonImage(int fd, const std::string& path, BalloonMatrix& matrix)
{
    auto incoming = BalloonMatrix::create();
    if (!incoming)
        return {std::nullopt, failure(path, ENOMEM)};
    const auto block = incoming->bytes();
    std::size_t got = 0;
    while (got < block.size()) {
        const ssize_t n = ::read(fd, block.data() + got, block.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {std::nullopt, failure(path, errno)};
        }
        if (n == 0) // the file shrank after its size was taken
            return {std::nullopt, path + "\n\nThe file ended after " + std::to_string(got) + " of " +
                                      std::to_string(block.size()) + " bytes."};
        got += static_cast<std::size_t>(n);
    }
    matrix = std::move(*incoming);
    return {sanitizeTrailer(matrix.settings()), {}};
}

} // namespace vantrel
