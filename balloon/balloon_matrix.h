#pragma once
// The in-memory balloon: one complex response of 750 bins per (row, column) of the angle grid,
// held in one fixed block that is also the balloon file's exact image.
//
// Layout (little-endian, row-major): 37 rows x 74 columns x 760 bins of ComplexBin, then the
// 32-byte BalloonSettings trailer; 16,647,072 bytes. Byte offset of (r, c, b) is
// ((r * 74 + c) * 760 + b) * 8. Only bins 0..749 and columns 0..72 ever carry data.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "balloon/angle_grid.h"
#include "balloon/frequency_axis.h"

namespace vantrel {

static_assert(std::endian::native == std::endian::little, "the balloon block is a little-endian image");

inline constexpr int kMatrixRows = 37;
inline constexpr int kMatrixColumns = 74;
inline constexpr int kCellBins = 760;
inline constexpr int kDataBins = kAxisPoints; // bins 750..759 are never written
// Rows and columns a measurement may be stored in: the V = -90 row of the 5-degree grid is
// only ever filled from row 0 (fillPoleRow) or a file.
inline constexpr int kStoreRowLimit = 36;
inline constexpr int kStoreColumnLimit = 73;

struct ComplexBin {
    float re;
    float im;
};
static_assert(sizeof(ComplexBin) == 8);

// The trailer as it lies in the block. The four float words hold integer settings.
struct BalloonSettings {
    float windowTypeIndex;
    float rateIndex;
    float smoothingIndex;
    float unused;            // always written as 0.0
    float fftWindowPosition; // samples, 0..400
    std::int32_t fromIndex;
    std::int32_t toIndex;
    std::int32_t angleGridFlag; // 1 = Grid10, anything else Grid5
};
static_assert(sizeof(BalloonSettings) == 32);

// The trailer's settings as the program uses them.
struct BalloonTrailer {
    int windowTypeIndex = 0;
    int rateIndex = 0;
    int smoothingIndex = 0;
    int fftWindowPosition = 0;
    int fromIndex = 0;
    int toIndex = 0;
    std::int32_t angleGridFlag = 0;
    friend bool operator==(const BalloonTrailer&, const BalloonTrailer&) = default;
};

struct CellIndex {
    int row = 0;
    int column = 0;
    friend bool operator==(CellIndex, CellIndex) = default;
};

// Stored response of one level/phase pair:
//   m = 10^((S - 90) * 0.05)       (90 dB is magnitude 1)
//   t = P * 0.01745566261695294    (P / 57.288, the measurement's degrees-per-radian factor)
//   re = m cos t, im = m sin t, rounded to float32.
ComplexBin encodeBin(float levelDb, float phaseDegrees);
// True when every pair encodes to finite re and im: a level beyond about 860 dB, or any NaN or
// infinity, does not.
bool storableResponse(std::span<const float> levelDb, std::span<const float> phaseDegrees);

// Unclamped display level L = (10 log10(re^2 + im^2 + 1e-13) + 80) * 0.5 in extended
// precision; one unit is 2 dB, 40 at 90 dB. The bin readout shows this value.
long double rawLevel(ComplexBin bin);

// The level every view uses: rawLevel rounded to float32, negative (and NaN, from a corrupt
// file) read as 0. A zero bin reads 0.
float cellLevel(ComplexBin bin);

// A float trailer word read back as its integer: truncation toward zero; a value no int32
// can hold (NaN, infinities, garbage from a foreign file) reads as 0.
int truncateSettingWord(float word);

class BalloonMatrix {
public:
    static constexpr std::size_t kBlockBytes = 16'647'072;
    static constexpr std::size_t kTrailerOffset = 16'647'040;

    // The zero-filled block, or nothing when the memory cannot be had; the caller reports it.
    [[nodiscard]] static std::optional<BalloonMatrix> create();

    BalloonMatrix(BalloonMatrix&&) noexcept;
    BalloonMatrix& operator=(BalloonMatrix&&) noexcept;
    BalloonMatrix(const BalloonMatrix&) = delete;
    BalloonMatrix& operator=(const BalloonMatrix&) = delete;
    ~BalloonMatrix();

    static constexpr bool inBlock(int row, int column)
    {
        return row >= 0 && row < kMatrixRows && column >= 0 && column < kMatrixColumns;
    }

    // All 760 bins of a cell; row and column must be inBlock.
    std::span<ComplexBin, kCellBins> cell(int row, int column);
    std::span<const ComplexBin, kCellBins> cell(int row, int column) const;

    // cellLevel of one bin; 0 for a cell or bin outside the block.
    float cellLevel(int row, int column, int bin) const;
    // rawLevel of one bin; the level of a zero bin (-25) outside the block.
    double rawLevel(int row, int column, int bin) const;

    // Writes bins 0..749 of the cell of (H, V) when 0 <= row < 36 and 0 <= column < 73 and the
    // response is storableResponse, and returns where; otherwise writes nothing.
    std::optional<CellIndex> storeMeasurement(int hDegrees, int vDegrees, AngleGrid grid,
                                              std::span<const float, kDataBins> levelDb,
                                              std::span<const float, kDataBins> phaseDegrees);

    // Completes the V = -90 row from row 0: cell (last, c) = cell (0, last - c), since both rows
    // sweep the same great circle in opposite senses. Bit for bit, bins 0..749.
    void fillPoleRow(AngleGrid grid);

    // Bins 0..749 of source copied bit for bit over target; bins 750..759 stay. False, and
    // nothing copied, when either cell lies outside the block.
    bool copyCell(CellIndex source, CellIndex target);

    BalloonSettings& settings();
    const BalloonSettings& settings() const;
    BalloonTrailer readTrailer() const;
    // Integers become float32 in the four float words; word 12 is written as 0.0.
    void writeTrailer(const BalloonTrailer& trailer);

    // The whole block, for a balloon file read or write in one transfer.
    std::span<std::byte, kBlockBytes> bytes();
    std::span<const std::byte, kBlockBytes> bytes() const;

private:
    struct Block;
    explicit BalloonMatrix(std::unique_ptr<Block> block);

    std::unique_ptr<Block> block_;
};

} // namespace vantrel
