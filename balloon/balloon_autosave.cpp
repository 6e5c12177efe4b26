#include "balloon/balloon_autosave.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "balloon/balloon_file.h"

namespace vantrel {

namespace {

constexpr std::string_view kRecordHeader = "vantrel autosave 1";

const char* stateName(AutosaveState s)
{
    switch (s) {
    case AutosaveState::running: return "running";
    case AutosaveState::finished: return "finished";
    case AutosaveState::aborted: return "aborted";
    }
    return "running";
}

std::string joinPath(const std::string& directory, const char* name)
{
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

bool wholeNumber(std::string_view text, std::int64_t& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// " <number>" at the start of text, finite; taken off text.
bool spacedNumber(std::string_view& text, double& out)
{
    if (!text.starts_with(' '))
        return false;
    const char* const begin = text.data() + 1;
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), out);
    if (ec != std::errc() || end == begin || !std::isfinite(out))
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

std::string shortestText(double value)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

void syncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string formatAutosaveProgress(const AutosaveProgress& p)
{
    std::string text(kRecordHeader);
    auto line = [&](const char* key, std::int64_t value) {
        text += '\n';
        text += key;
        text += ' ';
        text += std::to_string(value);
    };
    text += "\nstate ";
    text += stateName(p.state);
    line("grid", p.gridFlag);
    line("phase", p.phase);
    line("h", p.hAngle);
    line("v", p.vAngle);
    line("points", p.pointsDone);
    text += p.simulatedRig ? "\nrig simulated" : "\nrig hardware";
    if (p.simulatedRig && (p.simA2 != 0 || p.simA3 != 0)) {
        text += ' ';
        text += shortestText(p.simA2);
        text += ' ';
        text += shortestText(p.simA3);
    }
    // Left out while unknown, so that a record read from before it was kept is written as it was.
    if (p.excitation == AutosaveExcitation::mls) {
        text += "\nexcitation mls";
    } else if (p.excitation == AutosaveExcitation::sweep) {
        text += "\nexcitation sweep ";
        text += shortestText(p.sweepF1Hz);
        text += ' ';
        text += shortestText(p.sweepF2Hz);
    }
    line("time", p.time);
    text += "\nend\n";
    return text;
}

std::string simDistortionText(double a2, double a3) { return shortestText(a2) + "," + shortestText(a3); }

std::optional<AutosaveProgress> parseAutosaveProgress(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        lines.push_back(text.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
    // A record cut short by a crash lacks its last line: "end" proves it whole. The excitation's
    // line before "time" came later: a record without it is still read.
    AutosaveProgress p;
    if (lines.size() == 11) {
        std::string_view excitation = lines[8];
        if (excitation == "excitation mls") {
            p.excitation = AutosaveExcitation::mls;
        } else if (excitation.starts_with("excitation sweep")) {
            excitation.remove_prefix(std::strlen("excitation sweep"));
            if (!(spacedNumber(excitation, p.sweepF1Hz) && spacedNumber(excitation, p.sweepF2Hz) && excitation.empty() &&
                  p.sweepF1Hz > 0 && p.sweepF2Hz >= 0))
                return std::nullopt;
            p.excitation = AutosaveExcitation::sweep;
        } else {
            return std::nullopt;
        }
        lines.erase(lines.begin() + 8);
    }
    if (lines.size() != 10 || lines[0] != kRecordHeader || lines[9] != "end")
        return std::nullopt;
    const std::string_view state = lines[1];
    if (state == "state running")
        p.state = AutosaveState::running;
    else if (state == "state finished")
        p.state = AutosaveState::finished;
    else if (state == "state aborted")
        p.state = AutosaveState::aborted;
    else
        return std::nullopt;
    // "rig simulated" alone is a linear rig, as every record before the distortion was kept.
    if (std::string_view rig = lines[7]; rig.starts_with("rig simulated")) {
        p.simulatedRig = true;
        rig.remove_prefix(std::strlen("rig simulated"));
        if (!rig.empty() && !(spacedNumber(rig, p.simA2) && spacedNumber(rig, p.simA3) && rig.empty()))
            return std::nullopt;
    } else if (lines[7] != "rig hardware") {
        return std::nullopt;
    }
    const char* keys[] = {"grid ", "phase ", "h ", "v ", "points ", "time "};
    std::int64_t values[6] = {};
    for (int i = 0; i < 6; ++i) {
        const std::string_view l = lines[static_cast<std::size_t>(i < 5 ? i + 2 : i + 3)];
        if (!l.starts_with(keys[i]) || !wholeNumber(l.substr(std::strlen(keys[i])), values[i]))
            return std::nullopt;
    }
    const bool inRange = (values[0] == 0 || values[0] == 1) && values[1] >= 0 && values[1] <= 36 && values[2] >= 0 &&
                         values[2] <= 360 && values[3] >= -90 && values[3] <= 90 && values[4] >= 0 &&
                         values[4] <= 2629;
    if (!inRange)
        return std::nullopt;
    p.gridFlag = static_cast<int>(values[0]);
    p.phase = static_cast<int>(values[1]);
    p.hAngle = static_cast<int>(values[2]);
    p.vAngle = static_cast<int>(values[3]);
    p.pointsDone = static_cast<int>(values[4]);
    p.time = values[5];
    return p;
}

std::optional<AutosaveProgress> readAutosaveProgress(const std::string& directory)
{
    std::ifstream in(joinPath(directory, kAutosaveProgressName), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return parseAutosaveProgress(text);
}

std::optional<std::vector<std::uint8_t>> readAutosaveSettings(const std::string& directory, std::size_t size)
{
    std::ifstream in(joinPath(directory, kAutosaveSettingsName), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(size + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != size)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

BalloonAutosave::BalloonAutosave(std::string directory, std::int64_t limitBytes)
    : directory_(std::move(directory)), balloonPath_(joinPath(directory_, kAutosaveBalloonName)),
      progressPath_(joinPath(directory_, kAutosaveProgressName)),
      settingsPath_(joinPath(directory_, kAutosaveSettingsName)), limit_(limitBytes)
{
}

BalloonAutosave::~BalloonAutosave()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::string> BalloonAutosave::fail(const std::string& path, int error) const
{
    return path + ": " + std::strerror(error);
}

std::optional<std::string> BalloonAutosave::start(BalloonMatrix& matrix, const BalloonTrailer& settings,
                                                  std::span<const std::uint8_t> runSettings,
                                                  const AutosaveProgress& progress)
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (limit_ > 0 && static_cast<std::int64_t>(BalloonMatrix::kBlockBytes) > limit_ - written_)
        return fail(balloonPath_, ENOSPC);
    if (auto error = saveBalloon(balloonPath_, matrix, settings))
        return error;
    written_ += static_cast<std::int64_t>(BalloonMatrix::kBlockBytes);
    if (auto error = replaceFile(settingsPath_, runSettings.data(), runSettings.size()))
        return error;
    return resume(progress);
}

std::optional<std::string> BalloonAutosave::resume(const AutosaveProgress& progress)
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = ::open(balloonPath_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        return fail(balloonPath_, errno);
    if (auto error = record(progress)) {
        ::close(fd_);
        fd_ = -1;
        return error;
    }
    return std::nullopt;
}

std::optional<std::string> BalloonAutosave::writeAt(const void* data, std::size_t size, std::size_t offset)
{
    if (fd_ < 0)
        return std::nullopt;
    if (limit_ > 0 && static_cast<std::int64_t>(size) > limit_ - written_)
        return fail(balloonPath_, ENOSPC);
    const auto* bytes = static_cast<const std::byte*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(balloonPath_, errno);
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += static_cast<std::int64_t>(size);
    if (::fdatasync(fd_) != 0)
        return fail(balloonPath_, errno);
    return std::nullopt;
}

std::optional<std::string> BalloonAutosave::storeCell(const BalloonMatrix& matrix, CellIndex cell,
                                                      const AutosaveProgress& progress)
{
    if (fd_ < 0)
        return std::nullopt;
    const auto bins = matrix.cell(cell.row, cell.column);
    const std::size_t offset =
        (static_cast<std::size_t>(cell.row) * kMatrixColumns + static_cast<std::size_t>(cell.column)) * kCellBins *
        sizeof(ComplexBin);
    if (auto error = writeAt(bins.data(), bins.size_bytes(), offset))
        return error;
    return record(progress);
}

std::optional<std::string> BalloonAutosave::storeAll(const BalloonMatrix& matrix, const AutosaveProgress& progress)
{
    if (fd_ < 0)
        return std::nullopt;
    const auto block = const_cast<BalloonMatrix&>(matrix).bytes();
    if (auto error = writeAt(block.data(), block.size(), 0))
        return error;
    return record(progress);
}

std::optional<std::string> BalloonAutosave::record(const AutosaveProgress& progress)
{
    if (fd_ < 0)
        return std::nullopt;
    AutosaveProgress stamped = progress;
    stamped.time = static_cast<std::int64_t>(std::time(nullptr));
    const std::string text = formatAutosaveProgress(stamped);
    return replaceFile(progressPath_, text.data(), text.size());
}

std::optional<std::string> BalloonAutosave::replaceFile(const std::string& path, const void* data, std::size_t size)
{
    if (limit_ > 0 && static_cast<std::int64_t>(size) > limit_ - written_)
        return fail(path, ENOSPC);
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(temporary, errno);
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(temporary.c_str());
            return fail(temporary, error);
        }
        done += static_cast<std::size_t>(n);
    }
    const bool synced = ::fdatasync(fd) == 0;
    const int syncError = errno;
    ::close(fd);
    if (!synced) {
        ::unlink(temporary.c_str());
        return fail(temporary, syncError);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return fail(path, error);
    }
    syncDirectory(directory_);
    written_ += static_cast<std::int64_t>(size);
    return std::nullopt;
}

} // namespace vantrel
