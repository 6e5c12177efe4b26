#include "balloon/balloon_matrix.h"

#include <cmath>
#include <cstring>
#include <new>

namespace vantrel {

struct BalloonMatrix::Block {
    std::array<std::array<std::array<ComplexBin, kCellBins>, kMatrixColumns>, kMatrixRows> cells;
    BalloonSettings settings;
};
static_assert(sizeof(std::array<ComplexBin, kCellBins>) == 6'080);

namespace {

constexpr double kRadiansPerDegree = 0.01745566261695294; // 1 / 57.288

} // namespace

ComplexBin encodeBin(float levelDb, float phaseDegrees)
{
    const double m = std::pow(10.0, (static_cast<double>(levelDb) - 90.0) * 0.05);
    const double t = static_cast<double>(phaseDegrees) * kRadiansPerDegree;
    return {static_cast<float>(m * std::cos(t)), static_cast<float>(m * std::sin(t))};
}

bool storableResponse(std::span<const float> levelDb, std::span<const float> phaseDegrees)
{
    if (levelDb.size() != phaseDegrees.size())
        return false;
    for (std::size_t b = 0; b < levelDb.size(); ++b) {
        const ComplexBin bin = encodeBin(levelDb[b], phaseDegrees[b]);
        if (!std::isfinite(bin.re) || !std::isfinite(bin.im))
            return false;
    }
    return true;
}

long double rawLevel(ComplexBin bin)
{
    const long double re = bin.re;
    const long double im = bin.im;
    return (10.0L * std::log10(re * re + im * im + 1e-13L) + 80.0L) * 0.5L;
}

float cellLevel(ComplexBin bin)
{
    const float level = static_cast<float>(rawLevel(bin));
    return level > 0.0f ? level : 0.0f;
}

int truncateSettingWord(float word)
{
    // 2^31 is exact in float32; the comparison is false for NaN.
    if (!(word >= -2147483648.0f && word < 2147483648.0f))
        return 0;
    return static_cast<int>(word);
}

BalloonMatrix::BalloonMatrix(std::unique_ptr<Block> block) : block_(std::move(block)) {}
BalloonMatrix::BalloonMatrix(BalloonMatrix&&) noexcept = default;
BalloonMatrix& BalloonMatrix::operator=(BalloonMatrix&&) noexcept = default;
BalloonMatrix::~BalloonMatrix() = default;

std::optional<BalloonMatrix> BalloonMatrix::create()
{
    static_assert(offsetof(Block, settings) == kTrailerOffset);
    static_assert(sizeof(Block) == kBlockBytes);
    // Value-initialisation zero-fills the block: an unmeasured cell reads level 0.
    std::unique_ptr<Block> block(new (std::nothrow) Block());
    if (!block)
        return std::nullopt;
    return BalloonMatrix(std::move(block));
}

std::span<ComplexBin, kCellBins> BalloonMatrix::cell(int row, int column)
{
    return block_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

std::span<const ComplexBin, kCellBins> BalloonMatrix::cell(int row, int column) const
{
    return block_->cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

float BalloonMatrix::cellLevel(int row, int column, int bin) const
{
    if (!inBlock(row, column) || bin < 0 || bin >= kCellBins)
        return 0.0f;
    return vantrel::cellLevel(cell(row, column)[static_cast<std::size_t>(bin)]);
}

double BalloonMatrix::rawLevel(int row, int column, int bin) const
{
    if (!inBlock(row, column) || bin < 0 || bin >= kCellBins)
        return static_cast<double>(vantrel::rawLevel({0.0f, 0.0f}));
    return static_cast<double>(vantrel::rawLevel(cell(row, column)[static_cast<std::size_t>(bin)]));
}

std::optional<CellIndex> BalloonMatrix::storeMeasurement(int hDegrees, int vDegrees, AngleGrid grid,
                                                         std::span<const float, kDataBins> levelDb,
                                                         std::span<const float, kDataBins> phaseDegrees)
{
    const int row = rowForAngle(vDegrees, grid);
    const int column = columnForAngle(hDegrees, grid);
    if (row < 0 || row >= kStoreRowLimit || column < 0 || column >= kStoreColumnLimit)
        return std::nullopt;
    if (!storableResponse(levelDb, phaseDegrees))
        return std::nullopt;
    auto target = cell(row, column);
    for (std::size_t b = 0; b < kDataBins; ++b)
        target[b] = encodeBin(levelDb[b], phaseDegrees[b]);
    return CellIndex{row, column};
}

void BalloonMatrix::fillPoleRow(AngleGrid grid)
{
    const int last = lastRow(grid);
    const int lastCol = lastColumn(grid);
    for (int c = 0; c <= lastCol; ++c)
        std::memcpy(cell(last, c).data(), cell(0, lastCol - c).data(), kDataBins * sizeof(ComplexBin));
}

bool BalloonMatrix::copyCell(CellIndex source, CellIndex target)
{
    if (!inBlock(source.row, source.column) || !inBlock(target.row, target.column))
        return false;
    if (source == target)
        return true;
    // memcpy keeps every bit, NaN payloads included.
    std::memcpy(cell(target.row, target.column).data(), cell(source.row, source.column).data(),
                kDataBins * sizeof(ComplexBin));
    return true;
}

BalloonSettings& BalloonMatrix::settings() { return block_->settings; }
const BalloonSettings& BalloonMatrix::settings() const { return block_->settings; }

BalloonTrailer BalloonMatrix::readTrailer() const
{
    const BalloonSettings& s = block_->settings;
    return {truncateSettingWord(s.windowTypeIndex), truncateSettingWord(s.rateIndex),
            truncateSettingWord(s.smoothingIndex), truncateSettingWord(s.fftWindowPosition),
            s.fromIndex, s.toIndex, s.angleGridFlag};
}

void BalloonMatrix::writeTrailer(const BalloonTrailer& t)
{
    BalloonSettings& s = block_->settings;
    s.windowTypeIndex = static_cast<float>(t.windowTypeIndex);
    s.rateIndex = static_cast<float>(t.rateIndex);
    s.smoothingIndex = static_cast<float>(t.smoothingIndex);
    s.unused = 0.0f;
    s.fftWindowPosition = static_cast<float>(t.fftWindowPosition);
    s.fromIndex = t.fromIndex;
    s.toIndex = t.toIndex;
    s.angleGridFlag = t.angleGridFlag;
}

std::span<std::byte, BalloonMatrix::kBlockBytes> BalloonMatrix::bytes()
{
    return std::span<std::byte, kBlockBytes>(reinterpret_cast<std::byte*>(block_.get()), kBlockBytes);
}

std::span<const std::byte, BalloonMatrix::kBlockBytes> BalloonMatrix::bytes() const
{
    return std::span<const std::byte, kBlockBytes>(reinterpret_cast<const std::byte*>(block_.get()),
                                                   kBlockBytes);
}

} // namespace vantrel
