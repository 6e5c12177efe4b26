#include "balloon/distortion_balloon.h"
#include "balloon/replace_file.h"

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

constexpr std::size_t kPaddingOffset = kFlagsOffset + static_cast<std::size_t>(kMatrixRows) * kMatrixColumns;

template <typename T> void put(std::span<std::uint8_t> out, std::size_t at, T value)
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

void DistortionHeader::write(std::span<std::uint8_t, kBytes> out) const
{
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    put(out, 8, kVersion);
    put(out, 12, static_cast<std::uint32_t>(angleGridFlag(grid)));
    put(out, 16, static_cast<std::uint32_t>(kMatrixRows));
    put(out, 20, static_cast<std::uint32_t>(kMatrixColumns));
    put(out, 24, static_cast<std::uint32_t>(kAxisPoints));
    put(out, 28, static_cast<std::uint32_t>(kDistortionQuantities));
    put(out, 32, static_cast<float>(f1));
    put(out, 36, static_cast<float>(f2));
    std::memcpy(out.data() + kAxisOffset, axis.data(), sizeof axis);
    std::memcpy(out.data() + kFlagsOffset, measured.data(), measured.size());
}

std::optional<DistortionHeader> DistortionHeader::read(std::span<const std::uint8_t> bytes, std::string& error)
{
    if (bytes.size() < kBytes) {
        error = "not a distortion file: " + std::to_string(bytes.size()) + " bytes, shorter than its " +
                std::to_string(kBytes) + "-byte header";
        return std::nullopt;
    }
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        error = "not a distortion file: no VNTLDIST mark";
        return std::nullopt;
    }
    if (const auto version = get<std::uint32_t>(bytes, 8); version != kVersion) {
        error = "distortion file version " + std::to_string(version) + " is not known (1 is)";
        return std::nullopt;
    }
    const auto gridFlag = get<std::uint32_t>(bytes, 12);
    if (gridFlag > 1 || get<std::uint32_t>(bytes, 16) != kMatrixRows || get<std::uint32_t>(bytes, 20) != kMatrixColumns ||
        get<std::uint32_t>(bytes, 24) != kAxisPoints || get<std::uint32_t>(bytes, 28) != kDistortionQuantities) {
        error = "distortion file: grid or sizes in the header are not 0/1, 37, 74, 750, 4";
        return std::nullopt;
    }
    DistortionHeader h;
    h.grid = angleGridFromFlag(static_cast<std::int32_t>(gridFlag));
    const float f1 = get<float>(bytes, 32), f2 = get<float>(bytes, 36);
    if (!(f1 > 0) || !(f2 > f1) || !std::isfinite(f2)) {
        error = "distortion file: the sweep's f1, f2 are not 0 < f1 < f2";
        return std::nullopt;
    }
    h.f1 = f1;
    h.f2 = f2;
    std::memcpy(h.axis.data(), bytes.data() + kAxisOffset, sizeof h.axis);
    for (std::size_t i = 0; i < h.axis.size(); ++i)
        if (!std::isfinite(h.axis[i]) || !(h.axis[i] > 0) || (i > 0 && !(h.axis[i] > h.axis[i - 1]))) {
            error = "distortion file: the frequency axis is not rising positive numbers";
            return std::nullopt;
        }
    std::memcpy(h.measured.data(), bytes.data() + kFlagsOffset, h.measured.size());
    for (const std::uint8_t flag : h.measured)
        if (flag > 1) {
            error = "distortion file: a cell flag is neither 0 nor 1";
            return std::nullopt;
        }
    // Only the writer's zeros: anything else there is damage, and would not read back as written.
    if (bytes[kPaddingOffset] != 0 || bytes[kPaddingOffset + 1] != 0) {
        error = "distortion file: the padding after the cell flags is not 0";
        return std::nullopt;
    }
    return h;
}

bool readDistortionLevels(std::span<const std::uint8_t> bytes, std::span<float> levels, std::string& error)
{
    if (bytes.size() != levels.size_bytes()) {
        error = "distortion file: " + std::to_string(bytes.size()) + " bytes of levels, " +
                std::to_string(levels.size_bytes()) + " expected";
        return false;
    }
    if (!levels.empty())
        std::memcpy(levels.data(), bytes.data(), bytes.size());
    for (const float v : levels)
        if (!std::isfinite(v)) {
            error = "distortion file: a level is not a finite number";
            return false;
        }
    return true;
}

DistortionBalloon::DistortionBalloon()
    : values_(static_cast<std::size_t>(kMatrixRows) * kMatrixColumns * kCellFloats, 0.0f)
{
}

void DistortionBalloon::reset(AngleGrid grid, double f1, double f2, const FrequencyAxis& axis)
{
    header_.grid = grid;
    header_.f1 = f1;
    header_.f2 = f2;
    for (int i = 0; i < kAxisPoints; ++i)
        header_.axis[static_cast<std::size_t>(i)] = axis[i];
    header_.measured.fill(0);
    std::fill(values_.begin(), values_.end(), 0.0f);
}

bool DistortionBalloon::store(int hDegrees, int vDegrees, std::span<const float, kAxisPoints> h2,
                              std::span<const float, kAxisPoints> h3, std::span<const float, kAxisPoints> thd,
                              std::span<const float, kAxisPoints> noise)
{
    const AngleGrid grid = header_.grid;
    const int row = rowForAngle(vDegrees, grid), column = columnForAngle(hDegrees, grid);
    if (row < 0 || row > lastRow(grid) || column < 0 || column > lastColumn(grid))
        return false;
    float* cell = values_.data() + index(row, column) * kCellFloats;
    std::span<const float, kAxisPoints> parts[] = {h2, h3, thd, noise};
    for (const auto& part : parts) {
        std::copy(part.begin(), part.end(), cell);
        cell += kAxisPoints;
    }
    header_.measured[index(row, column)] = 1;
    return true;
}

void DistortionBalloon::fillPoleRow()
{
    const int last = lastRow(header_.grid);
    for (int c = 0; c <= lastColumn(header_.grid); ++c) {
        const int from = lastColumn(header_.grid) - c;
        if (!header_.measured[index(0, from)])
            continue;
        std::copy_n(values_.data() + index(0, from) * kCellFloats, kCellFloats, values_.data() + index(last, c) * kCellFloats);
        header_.measured[index(last, c)] = 1;
    }
}

bool DistortionBalloon::measured(int row, int column) const
{
    return row >= 0 && row < kMatrixRows && column >= 0 && column < kMatrixColumns && header_.measured[index(row, column)] != 0;
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
    header_.write(std::span(out).first<kHeaderBytes>());
    std::memcpy(out.data() + kHeaderBytes, values_.data(), values_.size() * 4);
    return out;
}

std::optional<DistortionBalloon> DistortionBalloon::parse(std::span<const std::uint8_t> bytes, std::string& error)
{
    // The size first: a short or long file is refused before 33 MB are allocated for it.
    if (bytes.size() != kFileBytes) {
        error = "not a distortion file: " + std::to_string(bytes.size()) + " bytes, " + std::to_string(kFileBytes) +
                " expected";
        return std::nullopt;
    }
    std::optional<DistortionHeader> header = DistortionHeader::read(bytes, error);
    if (!header)
        return std::nullopt;
    DistortionBalloon b;
    b.header_ = *header;
    if (!readDistortionLevels(bytes.subspan(kHeaderBytes), b.values_, error))
        return std::nullopt;
    return b;
}

std::string distortionPathFor(const std::string& balloonPath) { return sidePathFor(balloonPath, kDistortionSuffix); }

std::optional<std::string> saveDistortion(const std::string& path, const DistortionBalloon& balloon)
{
    return replaceFile(path, std::span<const std::uint8_t>(balloon.image()));
}

std::optional<std::pair<double, double>> distortionSweepBand(std::span<const std::uint8_t> header, std::size_t fileBytes,
                                                             std::string& error)
{
    if (fileBytes != DistortionBalloon::kFileBytes) {
        error = "not a distortion file: " + std::to_string(fileBytes) + " bytes, " +
                std::to_string(DistortionBalloon::kFileBytes) + " expected";
        return std::nullopt;
    }
    const std::optional<DistortionHeader> h = DistortionHeader::read(header, error);
    if (!h)
        return std::nullopt;
    return std::pair<double, double>{h->f1, h->f2};
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
    std::array<std::uint8_t, DistortionHeader::kBytes> header{};
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
