#pragma once
// The distortion balloon of a walk measured with the swept sine: per cell of the balloon's
// grid, harmonic 2, harmonic 3 and THD relative to the fundamental, and the noise they are
// measured against, each on the 750-point axis of the excitation frequency (dB). Kept in a
// file of its own beside the balloon file, whose format stays as it is:
//
//   offset  size              field
//   0       8                 magic "VNTLDIST"
//   8       4                 version (1)
//   12      4                 grid flag (1 = 10 degrees, 0 = 5 degrees, as the trailer)
//   16      4 x 4             rows 37, columns 74, axis points 750, quantities 4
//   32      4 x 2             sweep f1, f2 (Hz, float32)
//   40      4 x 750           the frequency axis (Hz, float32)
//   3040    37 x 74           1 where the cell holds a measurement, else 0
//   5778    2                 padding, 0
//   5780    37x74x4x750 x 4   float32 dB: cell (row, column), quantity (H2, H3, THD, noise)
// All little-endian. A level below the noise is kept as measured; readers compare it with the
// noise (kBelowNoiseMarginDb) to show it as such.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"

namespace vantrel {

inline constexpr int kDistortionQuantities = 4;
enum class DistortionQuantity { h2 = 0, h3 = 1, thd = 2, noise = 3 };
inline constexpr float kBelowNoiseMarginDb = 6.0f;
inline constexpr const char* kDistortionSuffix = ".DST";
inline constexpr const char* kAutosaveDistortionName = "autosave.DST";

// What a distortion file says before its levels (the first 5780 bytes), read and written on
// its own so that a check of the outside bytes never needs the 33-MB body.
struct DistortionHeader {
    static constexpr std::size_t kBytes = 5780;

    AngleGrid grid = AngleGrid::Grid10;
    double f1 = 0, f2 = 0; // float32 in the file
    std::array<float, kAxisPoints> axis{};
    std::array<std::uint8_t, static_cast<std::size_t>(kMatrixRows) * kMatrixColumns> measured{};

    void write(std::span<std::uint8_t, kBytes> out) const;
    // The header at the start of bytes; nothing (and the reason) for a short or invalid one.
    static std::optional<DistortionHeader> read(std::span<const std::uint8_t> bytes, std::string& error);
};

// The float32 levels after the header into levels, each finite; false (and the reason) for a
// size other than levels' or a level that is not a number.
bool readDistortionLevels(std::span<const std::uint8_t> bytes, std::span<float> levels, std::string& error);

class DistortionBalloon {
public:
    static constexpr std::size_t kHeaderBytes = DistortionHeader::kBytes;
    static constexpr std::size_t kCellFloats = static_cast<std::size_t>(kDistortionQuantities) * kAxisPoints;
    static constexpr std::size_t kFileBytes =
        kHeaderBytes + static_cast<std::size_t>(kMatrixRows) * kMatrixColumns * kCellFloats * 4;

    DistortionBalloon();

    // Clears every cell for a new walk on grid with the sweep f1..f2 over axis.
    void reset(AngleGrid grid, double f1, double f2, const FrequencyAxis& axis);

    // One measured cell; values in dB for the quantities in order (H2, H3, THD, noise). A
    // cell outside the grid stores nothing and returns false.
    bool store(int hDegrees, int vDegrees, std::span<const float, kAxisPoints> h2, std::span<const float, kAxisPoints> h3,
               std::span<const float, kAxisPoints> thd, std::span<const float, kAxisPoints> noise);
    // The V = -90 row from row 0, as the balloon's pole row is completed.
    void fillPoleRow();

    bool measured(int row, int column) const;
    // Value in dB; row, column and point must be in range.
    float value(int row, int column, DistortionQuantity q, int point) const;
    // True when the value lies at least kBelowNoiseMarginDb above the noise of its cell.
    bool aboveNoise(int row, int column, DistortionQuantity q, int point) const;

    AngleGrid grid() const { return header_.grid; }
    double f1() const { return header_.f1; }
    double f2() const { return header_.f2; }
    const std::array<float, kAxisPoints>& axis() const { return header_.axis; }

    // The whole file image; a cell's bytes and where they go in it.
    std::vector<std::uint8_t> image() const;
    std::size_t cellOffset(int row, int column) const;
    std::span<const std::uint8_t> cellBytes(int row, int column, std::vector<std::uint8_t>& scratch) const;
    // Parses a file image; nothing (and the reason) for anything but a whole valid one. Its
    // size is checked first, then the header, then the levels.
    static std::optional<DistortionBalloon> parse(std::span<const std::uint8_t> bytes, std::string& error);

private:
    std::size_t index(int row, int column) const { return static_cast<std::size_t>(row) * kMatrixColumns + static_cast<std::size_t>(column); }

    DistortionHeader header_;
    std::vector<float> values_;
};

// The distortion file that belongs to a balloon file: "X.BAL" -> "X.DST" (any other name gets
// ".DST" appended).
std::string distortionPathFor(const std::string& balloonPath);

// Written to a temporary file beside path, flushed and renamed over it; nothing on success,
// else the reason (the file that stood there is untouched).
[[nodiscard]] std::optional<std::string> saveDistortion(const std::string& path, const DistortionBalloon& balloon);
// Reads a whole file; nothing and the reason for a missing, short, long or invalid one.
std::optional<DistortionBalloon> loadDistortion(const std::string& path, std::string& error);
// The sweep's f1, f2 from a file's header, its size checked, without reading its 32 MB of cells;
// header: the file's first bytes (its whole header), fileBytes: its size.
std::optional<std::pair<double, double>> distortionSweepBand(const std::string& path, std::string& error);
std::optional<std::pair<double, double>> distortionSweepBand(std::span<const std::uint8_t> header, std::size_t fileBytes,
                                                             std::string& error);

// The autosave's distortion file, kept cell by cell in place beside the balloon's.
class DistortionAutosave {
public:
    explicit DistortionAutosave(std::string path) : path_(std::move(path)) {}
    ~DistortionAutosave();
    DistortionAutosave(const DistortionAutosave&) = delete;
    DistortionAutosave& operator=(const DistortionAutosave&) = delete;

    // The whole file safely, then kept open for the cells.
    std::optional<std::string> start(const DistortionBalloon& balloon);
    // An existing autosave taken over (a resumed walk).
    std::optional<std::string> resume();
    // One cell and its flag in place, flushed.
    std::optional<std::string> storeCell(const DistortionBalloon& balloon, int row, int column);
    bool active() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    std::optional<std::string> writeAt(const void* data, std::size_t size, std::size_t offset);
    std::string path_;
    int fd_ = -1;
};

} // namespace vantrel
