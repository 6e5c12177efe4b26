#pragma once
// The recorded stereo block and its conversion to the REF and IN signals, and the reader of
// stored recordings (*.RES files).
//
// A capture is interleaved frames of two signed 32-bit samples (REF first), 24 valid bits
// left-justified. The conversion divides by 42000, so full scale (2^31) reads 51130.56.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

namespace vantrel {

inline constexpr int kCaptureFrames = 263500;          // frames recorded (2,108,000 bytes)
inline constexpr int kConvertedFrames = 263499;        // frames converted; the last is not used
inline constexpr int kCaptureCopySamples = 790500;     // int32 entries of captureCopy (3,162,000 bytes)
inline constexpr double kCaptureScale = 1.0 / 42000.0; // signal units per 32-bit step

struct CapturePeaks {
    float refPeak = 0; // largest |REF| of the conversion, before the polarity
    float inPeak = 0;  // largest |IN|
};

// refSignal[k] = refPolarity * capture[2k] / 42000, inSignal[k] = inPolarity * capture[2k+1] / 42000
// for k < 263499 (fewer when a span is shorter). Values computed in double, stored as float.
CapturePeaks splitCapture(std::span<const std::int32_t> capture, std::span<float> refSignal, std::span<float> inSignal,
                          int refPolarity, int inPolarity);

// *.RES: 2,107,999 sample bytes (the capture without its last byte), then rateIndex and
// mlsLengthIndex as ASCII digits at the start of two 4-byte fields, optionally 20 more bytes.
inline constexpr long kResSampleBytes = 2107999;
inline constexpr long kResShortSize = 2108007;
inline constexpr long kResLongSize = 2108027;

struct [[nodiscard]] ResImport {
    enum class Outcome { ok, unableToOpen, notAccepted };
    Outcome outcome = Outcome::notAccepted;
    int rateIndex = 0;      // 0..7 into the sampling-rate list
    int mlsLengthIndex = 0; // 0..5 into the MLS length list; order = index + 13

    bool ok() const { return outcome == Outcome::ok; }
    // The refusal text: "Accepting 24bit files only", or "Unable To Open" (a caption shown over
    // the file name).
    std::string_view message() const;
};

// Reads a stored recording into the start of captureCopy (at least 527,000 entries). Any file
// that is not exactly 2,108,007 or 2,108,027 bytes, or whose index fields are not a number of
// one to three digits within the lists, is refused and captureCopy is left untouched.
ResImport readResFile(const char* path, std::span<std::int32_t> captureCopy);
// The same on an open stream that can seek (a file, or a recording held in memory).
ResImport readResStream(std::FILE* file, std::span<std::int32_t> captureCopy);

// The two ASCII index fields: digits at the start of each 4-byte field, ended by a non-digit.
ResImport parseResIndexFields(std::span<const unsigned char, 8> fields);

} // namespace vantrel
