#pragma once
// Balloon files (*.BAL): the exact image of the BalloonMatrix block, cells and settings
// trailer, 16,647,072 bytes, no header. Written and read with one block transfer each.
//
// Neither operation can lose data: a save goes to a temporary file beside the target that
// replaces it only once every byte is on disk; a load reads into a second block that replaces
// the matrix only when the whole image arrived.

#include <optional>
#include <string>
#include <string_view>

#include "balloon/balloon_matrix.h"

namespace vantrel {

inline constexpr std::string_view kBalloonNotRecognized = "This Balloon File is NOT Recognized";

// The settings a trailer word falls back to when it is out of its range or not finite: the
// measurement settings' initial values (window type 0, 48 kHz, 1/24 octave, position 0,
// 10 Hz .. 50 kHz, 5-degree grid).
inline constexpr BalloonTrailer kInitialBalloonTrailer{0, 5, 3, 0, 3, 6, 0};

// Valid ranges of the trailer's settings.
inline constexpr int kWindowTypeCount = 10;
inline constexpr int kRateCount = 8;
inline constexpr int kSmoothingCount = 6;
inline constexpr int kFftWindowPositionMax = 400;

// Every word outside its range replaced by its initial value. The "From:" and "To:" indexes
// are taken as a pair: both must be on their lists with "From:" below "To:", or both fall back.
// A grid flag other than 0 and 1 becomes 0, which every reader already takes it to mean.
BalloonTrailer sanitizeTrailer(const BalloonSettings& words);

// Fills the block's trailer from the live settings, then writes the whole block to a
// temporary file in the target's directory, flushes it to disk and renames it over path.
// Returns nothing on success, else the warning text (the path and the system's reason); the
// file that stood at path is then untouched and no temporary file is left.
[[nodiscard]] std::optional<std::string> saveBalloon(const std::string& path, BalloonMatrix& matrix,
                                                     const BalloonTrailer& settings);

struct [[nodiscard]] BalloonLoadResult {
    // The loaded settings, already sanitised; empty when the load failed.
    std::optional<BalloonTrailer> settings;
    // The warning text when the load failed: the path and the system's reason, or
    // kBalloonNotRecognized for a file of the wrong size.
    std::string error;

    explicit operator bool() const { return settings.has_value(); }
};

// Reads a whole balloon file into a second block and swaps it into matrix only when all
// 16,647,072 bytes arrived; on any failure matrix is unchanged. The block's trailer words stay
// as read (the file's image); the returned settings are the sanitised ones to apply.
BalloonLoadResult loadBalloon(const std::string& path, BalloonMatrix& matrix);

// The transfer step of loadBalloon on an open descriptor whose size has been checked: exactly
// one image, swapped in only when complete. path only names the source in the warning.
BalloonLoadResult readBalloonImage(int fd, const std::string& path, BalloonMatrix& matrix);

} // namespace vantrel
