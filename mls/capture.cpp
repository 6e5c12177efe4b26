#include "mls/capture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "mls/mls_settings.h"

namespace vantrel {

CapturePeaks splitCapture(std::span<const std::int32_t> capture, std::span<float> refSignal, std::span<float> inSignal,
                          int refPolarity, int inPolarity)
{
    CapturePeaks peaks;
    const std::size_t frames = std::min({static_cast<std::size_t>(kConvertedFrames), capture.size() / 2, refSignal.size(), inSignal.size()});
    double refPeak = 0, inPeak = 0;
    for (std::size_t k = 0; k < frames; ++k) {
        const double x = capture[2 * k] * kCaptureScale;
        const double y = capture[2 * k + 1] * kCaptureScale;
        if (std::fabs(x) > refPeak)
            refPeak = std::fabs(x);
        if (std::fabs(y) > inPeak)
            inPeak = std::fabs(y);
        refSignal[k] = static_cast<float>(refPolarity * x);
        inSignal[k] = static_cast<float>(inPolarity * y);
    }
    peaks.refPeak = static_cast<float>(refPeak);
    peaks.inPeak = static_cast<float>(inPeak);
    return peaks;
}

std::string_view ResImport::message() const
{
    switch (outcome) {
    case Outcome::ok: return {};
    case Outcome::unableToOpen: return "Unable To Open";
    case Outcome::notAccepted: break;
    }
    return "Accepting 24bit files only";
}

namespace {

// Digits at the start of a 4-byte field up to the first non-digit; -1 when the field starts
// with no digit or holds four digits with no end (the value would run into the next field).
int fieldValue(std::span<const unsigned char> field)
{
    int value = 0;
    std::size_t digits = 0;
    while (digits < field.size() && field[digits] >= '0' && field[digits] <= '9')
        value = value * 10 + (field[digits++] - '0');
    if (digits == 0 || digits == field.size())
        return -1;
    return value;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

ResImport parseResIndexFields(std::span<const unsigned char, 8> fields)
{
    ResImport result;
    const int rate = fieldValue(fields.first(4));
    const int length = fieldValue(fields.last(4));
    if (rate < 0 || rate >= static_cast<int>(kRateTexts.size()) || length < 0 || length >= static_cast<int>(kMlsLengthTexts.size()))
        return result;
    result.outcome = ResImport::Outcome::ok;
    result.rateIndex = rate;
    result.mlsLengthIndex = length;
    return result;
}

ResImport readResFile(const char* path, std::span<std::int32_t> captureCopy)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        ResImport refused;
        refused.outcome = ResImport::Outcome::unableToOpen;
        return refused;
    }
    return readResStream(file.get(), captureCopy);
}

ResImport readResStream(std::FILE* file, std::span<std::int32_t> captureCopy)
{
    ResImport refused;
    if (std::fseek(file, 0, SEEK_END) != 0)
        return refused;
    const long size = std::ftell(file);
    if ((size != kResShortSize && size != kResLongSize) || captureCopy.size_bytes() < static_cast<std::size_t>(kResSampleBytes))
        return refused;

    std::array<unsigned char, 8> fields{};
    if (std::fseek(file, kResSampleBytes, SEEK_SET) != 0 || std::fread(fields.data(), 1, fields.size(), file) != fields.size())
        return refused;
    ResImport indexes = parseResIndexFields(fields);
    if (!indexes.ok())
        return indexes;

    // The sample bytes go in only once the whole file is known to be good. The last int32
    // entry they touch keeps its top byte, as the file does not hold it.
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return refused;
    constexpr std::size_t kChunk = 65536;
    std::array<unsigned char, kChunk> bytes{};
    auto* target = reinterpret_cast<unsigned char*>(captureCopy.data());
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(kResSampleBytes)) {
        const std::size_t want = std::min(kChunk, static_cast<std::size_t>(kResSampleBytes) - done);
        if (std::fread(bytes.data(), 1, want, file) != want)
            return refused;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(target + done, bytes.data(), want);
        } else {
            for (std::size_t i = 0; i < want; ++i) {
                const std::size_t at = done + i; // file byte order is little-endian per int32
                target[(at & ~std::size_t{3}) + 3 - (at & 3)] = bytes[i];
            }
        }
        done += want;
    }
    return indexes;
}

} // namespace vantrel
