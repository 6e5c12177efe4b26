#include "balloon/distortion_balloon.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vantrel {

namespace {

constexpr char kMagic[8] = {'V', 'N', 'T', 'L', 'D', 'I', 'S', 'T'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kAxisOffset = 40;
constexpr std::size_t kFlagsOffset = 3040;

template <typename T> void put(std::vector<std::uint8_t>& out, std::size_t at, T value)
{
    std::memcpy(out.data() + at, &value, sizeof value);
}

template <typename T> T get(std::span<const std::uint8_t> in, std::size_t at)
{
    T value;
    std::memcpy(&value, in.data() + at, sizeof value);
    return value;
}

std::string systemReason(const std::string& path, int error) { return path + ": " + std::strerror(error); }

} // namespace

DistortionBalloon::DistortionBalloon()
    : measured_(static_cast<std::size_t>(kMatrixRows) * kMatrixColumns, 0),
      values_(static_cast<std::size_t>(kMatrixRows) * kMatrixColumns * kCellFloats, 0.0f)
{
}

void DistortionBalloon::reset(AngleGrid grid, double f1, double f2, const FrequencyAxis& axis)
{
    grid_ = grid;
    f1_ = f1;
    f2_ = f2;
    for (int i = 0; i < kAxisPoints; ++i)
        axis_[static_cast<std::size_t>(i)] = axis[i];
    std::fill(measured_.begin(), measured_.end(), 0);
    std::fill(values_.begin(), values_.end(), 0.0f);
}

bool DistortionBalloon::store(int hDegrees, int vDegrees, std::span<const float, kAxisPoints> h2,
                              std::span<const float, kAxisPoints> h3, std::span<const float, kAxisPoints> thd,
                              std::span<const float, kAxisPoints> noise)
{
    const int row = rowForAngle(vDegrees, grid_), column = columnForAngle(hDegrees, grid_);
    if (row < 0 || row > lastRow(grid_) || column < 0 || column > lastColumn(grid_))
        return false;
    float* cell = values_.data() + index(row, column) * kCellFloats;
    std::span<const float, kAxisPoints> parts[] = {h2, h3, thd, noise};
    for (const auto& part : parts) {
        std::copy(part.begin(), part.end(), cell);
        cell += kAxisPoints;
    }
    measured_[index(row, column)] = 1;
    return true;
}

void DistortionBalloon::fillPoleRow()
{
    const int last = lastRow(grid_);
    for (int c = 0; c <= lastColumn(grid_); ++c) {
        const int from = lastColumn(grid_) - c;
        if (!measured_[index(0, from)])
            continue;
        std::copy_n(values_.data() + index(0, from) * kCellFloats, kCellFloats, values_.data() + index(last, c) * kCellFloats);
        measured_[index(last, c)] = 1;
    }
}

bool DistortionBalloon::measured(int row, int column) const
{
    return row >= 0 && row < kMatrixRows && column >= 0 && column < kMatrixColumns && measured_[index(row, column)] != 0;
}

float DistortionBalloon::value(int row, int column, DistortionQuantity q, int point) const
{
    return values_[index(row, column) * kCellFloats + static_cast<std::size_t>(q) * kAxisPoints + static_cast<std::size_t>(point)];
}

bool DistortionBalloon::aboveNoise(int row, int column, DistortionQuantity q, int point) const
{
    return value(row, column, q, point) >= value(row, column, DistortionQuantity::noise, point) + kBelowNoiseMarginDb;
}

std::size_t DistortionBalloon::cellOffset(int row, int column) const { return kHeaderBytes + index(row, column) * kCellFloats * 4; }

std::span<const std::uint8_t> DistortionBalloon::cellBytes(int row, int column, std::vector<std::uint8_t>& scratch) const
{
    scratch.resize(kCellFloats * 4);
    std::memcpy(scratch.data(), values_.data() + index(row, column) * kCellFloats, scratch.size());
    return scratch;
}

std::vector<std::uint8_t> DistortionBalloon::image() const
{
    std::vector<std::uint8_t> out(kFileBytes, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    put(out, 8, kVersion);
    put(out, 12, static_cast<std::uint32_t>(angleGridFlag(grid_)));
    put(out, 16, static_cast<std::uint32_t>(kMatrixRows));
    put(out, 20, static_cast<std::uint32_t>(kMatrixColumns));
    put(out, 24, static_cast<std::uint32_t>(kAxisPoints));
    put(out, 28, static_cast<std::uint32_t>(kDistortionQuantities));
    put(out, 32, static_cast<float>(f1_));
    put(out, 36, static_cast<float>(f2_));
    std::memcpy(out.data() + kAxisOffset, axis_.data(), sizeof axis_);
    std::memcpy(out.data() + kFlagsOffset, measured_.data(), measured_.size());
    std::memcpy(out.data() + kHeaderBytes, values_.data(), values_.size() * 4);
    return out;
}

namespace {

// The checks of the header's first 40 bytes (through f1, f2) and the file's size; empty when whole.
std::string headerError(std::span<const std::uint8_t> bytes, std::size_t fileBytes)
{
    if (fileBytes != DistortionBalloon::kFileBytes || bytes.size() < kAxisOffset)
        return "not a distortion file: " + std::to_string(fileBytes) + " bytes, " +
               std::to_string(DistortionBalloon::kFileBytes) + " expected";
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return "not a distortion file: no VNTLDIST mark";
    if (const auto version = get<std::uint32_t>(bytes, 8); version != kVersion)
        return "distortion file version " + std::to_string(version) + " is not known (1 is)";
    if (get<std::uint32_t>(bytes, 12) > 1 || get<std::uint32_t>(bytes, 16) != kMatrixRows ||
        get<std::uint32_t>(bytes, 20) != kMatrixColumns || get<std::uint32_t>(bytes, 24) != kAxisPoints ||
        get<std::uint32_t>(bytes, 28) != kDistortionQuantities)
        return "distortion file: grid or sizes in the header are not 0/1, 37, 74, 750, 4";
    const float f1 = get<float>(bytes, 32), f2 = get<float>(bytes, 36);
    if (!(f1 > 0) || !(f2 > f1) || !std::isfinite(f2))
        return "distortion file: the sweep's f1, f2 are not 0 < f1 < f2";
    return {};
}

} // namespace

std::optional<DistortionBalloon> DistortionBalloon::parse(std::span<const std::uint8_t> bytes, std::string& error)
{
    if (error = headerError(bytes, bytes.size()); !error.empty())
        return std::nullopt;
    DistortionBalloon b;
    b.grid_ = angleGridFromFlag(static_cast<std::int32_t>(get<std::uint32_t>(bytes, 12)));
    const float f1 = get<float>(bytes, 32), f2 = get<float>(bytes, 36);
    b.f1_ = f1;
    b.f2_ = f2;
    std::memcpy(b.axis_.data(), bytes.data() + kAxisOffset, sizeof b.axis_);
    for (std::size_t i = 0; i < b.axis_.size(); ++i)
        if (!std::isfinite(b.axis_[i]) || !(b.axis_[i] > 0) || (i > 0 && !(b.axis_[i] > b.axis_[i - 1]))) {
            error = "distortion file: the frequency axis is not rising positive numbers";
            return std::nullopt;
        }
    std::memcpy(b.measured_.data(), bytes.data() + kFlagsOffset, b.measured_.size());
    for (const std::uint8_t flag : b.measured_)
        if (flag > 1) {
            error = "distortion file: a cell flag is neither 0 nor 1";
            return std::nullopt;
        }
    std::memcpy(b.values_.data(), bytes.data() + kHeaderBytes, b.values_.size() * 4);
    for (const float v : b.values_)
        if (!std::isfinite(v)) {
            error = "distortion file: a level is not a finite number";
            return std::nullopt;
        }
    return b;
}

std::string distortionPathFor(const std::string& balloonPath)
{
    std::filesystem::path p(balloonPath);
    std::string ext = p.extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (ext == ".BAL")
        p.replace_extension(kDistortionSuffix);
    else
        p += kDistortionSuffix;
    return p.string();
}

std::optional<std::string> saveDistortion(const std::string& path, const DistortionBalloon& balloon)
{
    const std::vector<std::uint8_t> bytes = balloon.image();
    const std::filesystem::path target(path);
    std::string name = ".";
    name.append(target.filename().string());
    name.append(".XXXXXX");
    std::string pattern = ((target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path()) / name).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return systemReason(path, errno);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            ::close(fd);
            ::unlink(pattern.c_str());
            return systemReason(path, e);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::fchmod(fd, 0644) != 0) {
        const int e = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return systemReason(path, e);
    }
    ::close(fd);
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        const int e = errno;
        ::unlink(pattern.c_str());
        return systemReason(path, e);
    }
    return std::nullopt;
}

std::optional<std::pair<double, double>> distortionSweepBand(std::span<const std::uint8_t> header, std::size_t fileBytes,
                                                             std::string& error)
{
    if (error = headerError(header, fileBytes); !error.empty())
        return std::nullopt;
    return std::pair<double, double>{get<float>(header, 32), get<float>(header, 36)};
}

std::optional<std::pair<double, double>> distortionSweepBand(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!in || ec) {
        error = "cannot open '" + path + "'";
        return std::nullopt;
    }
    std::array<std::uint8_t, kAxisOffset> header{};
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    const std::span<const std::uint8_t> read(header.data(), static_cast<std::size_t>(in.gcount()));
    auto band = distortionSweepBand(read, static_cast<std::size_t>(size), error);
    if (!band)
        error = path + ": " + error;
    return band;
}

std::optional<DistortionBalloon> loadDistortion(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open '" + path + "'";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(DistortionBalloon::kFileBytes + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    auto b = DistortionBalloon::parse(bytes, error);
    if (!b)
        error = path + ": " + error;
    return b;
}

DistortionAutosave::~DistortionAutosave()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<std::string> DistortionAutosave::start(const DistortionBalloon& balloon)
{
    if (auto error = saveDistortion(path_, balloon))
        return error;
    return resume();
}

std::optional<std::string> DistortionAutosave::resume()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        return systemReason(path_, errno);
    return std::nullopt;
}

std::optional<std::string> DistortionAutosave::writeAt(const void* data, std::size_t size, std::size_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, static_cast<const std::uint8_t*>(data) + done, size - done,
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return systemReason(path_, n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

std::optional<std::string> DistortionAutosave::storeCell(const DistortionBalloon& balloon, int row, int column)
{
    if (fd_ < 0)
        return std::nullopt;
    std::vector<std::uint8_t> scratch;
    const auto bytes = balloon.cellBytes(row, column, scratch);
    if (auto error = writeAt(bytes.data(), bytes.size(), balloon.cellOffset(row, column)))
        return error;
    const std::uint8_t flag = balloon.measured(row, column) ? 1 : 0;
    if (auto error = writeAt(&flag, 1, kFlagsOffset + static_cast<std::size_t>(row) * kMatrixColumns + static_cast<std::size_t>(column)))
        return error;
    if (::fdatasync(fd_) != 0)
        return systemReason(path_, errno);
    return std::nullopt;
}

} // namespace vantrel
