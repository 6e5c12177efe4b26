#pragma once
// The autosave of a running balloon measurement, so that a crash, a power cut or a pulled
// cable hours into a run loses at most the point in flight. Two files in the start-up
// directory: a complete balloon file ("autosave.BAL") written once when the run starts, each
// stored cell then written over its place and flushed before the next move; and a small
// progress record ("autosave.run": grid, the last stored point, the run's state, the time),
// replaced atomically after each cell. A crash while a cell is written can tear only that
// cell, and the record still names the point before it, so that point is measured again.
// A third file ("autosave.pre") keeps the run's measurement settings as the caller packs
// them, so that a resumed walk measures exactly as the interrupted one did.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "balloon/balloon_matrix.h"

namespace vantrel {

inline constexpr const char* kAutosaveBalloonName = "autosave.BAL";
inline constexpr const char* kAutosaveProgressName = "autosave.run";
inline constexpr const char* kAutosaveSettingsName = "autosave.pre";

enum class AutosaveState { running, finished, aborted };
// What the walk measures with; unknown in a record written before the excitation was kept.
enum class AutosaveExcitation { unknown, mls, sweep };

struct AutosaveProgress {
    AutosaveState state = AutosaveState::running;
    int gridFlag = 1;       // as the trailer: 1 = 10 degrees, 0 = 5 degrees
    int phase = 0;          // sequencePhase at the last stored point
    int hAngle = 0;         // the last stored point
    int vAngle = 90;
    int pointsDone = 0;     // points stored since the run started
    bool simulatedRig = false; // measured on the simulated rig, not on turntables and a sound card
    // That rig's distortion y = x + a2 x^2 + a3 x^3 (--sim-nonlinearity): the rest of the walk
    // is measured through the same, or its points would not match the ones kept.
    double simA2 = 0, simA3 = 0;
    AutosaveExcitation excitation = AutosaveExcitation::unknown;
    double sweepF1Hz = 0, sweepF2Hz = 0; // the sweep's band; f2 0: the Nyquist frequency
    std::int64_t time = 0;  // seconds since the epoch of the last update
    friend bool operator==(const AutosaveProgress&, const AutosaveProgress&) = default;
};

std::string formatAutosaveProgress(const AutosaveProgress& progress);
// "A2,A3" as --sim-nonlinearity takes it: the shortest text that reads back as the same numbers.
std::string simDistortionText(double a2, double a3);
// Nothing for a text that is not a whole, valid record.
std::optional<AutosaveProgress> parseAutosaveProgress(std::string_view text);
// The record in directory, if there is a valid one.
std::optional<AutosaveProgress> readAutosaveProgress(const std::string& directory);
// The settings kept in directory, if the file is there and exactly `size` bytes long.
std::optional<std::vector<std::uint8_t>> readAutosaveSettings(const std::string& directory, std::size_t size);

class BalloonAutosave {
public:
    // limitBytes > 0: the autosave may put no more bytes on the disk than that (a rehearsal of a
    // full disk); writes beyond fail with the system's "No space left on device".
    BalloonAutosave(std::string directory, std::int64_t limitBytes = 0);
    ~BalloonAutosave();
    BalloonAutosave(const BalloonAutosave&) = delete;
    BalloonAutosave& operator=(const BalloonAutosave&) = delete;

    const std::string& balloonPath() const { return balloonPath_; }
    const std::string& progressPath() const { return progressPath_; }
    bool active() const { return fd_ >= 0; }

    // Writes the whole matrix (safely, as a balloon file), the run's settings and the first
    // record. Nothing on success, else the warning; the autosave is then inactive and every
    // later call does nothing.
    std::optional<std::string> start(BalloonMatrix& matrix, const BalloonTrailer& settings,
                                     std::span<const std::uint8_t> runSettings, const AutosaveProgress& progress);
    // Takes over an existing autosave (a resumed run): its cells are written in place from now.
    std::optional<std::string> resume(const AutosaveProgress& progress);
    // One stored cell in place, flushed, then the record replaced. Nothing on success, else
    // the reason; the autosave stays usable for a retry.
    std::optional<std::string> storeCell(const BalloonMatrix& matrix, CellIndex cell, const AutosaveProgress& progress);
    // The whole block in place (the pole row after completion), flushed, then the record.
    std::optional<std::string> storeAll(const BalloonMatrix& matrix, const AutosaveProgress& progress);
    // The record alone (finished or aborted); the file stays.
    std::optional<std::string> record(const AutosaveProgress& progress);

    std::int64_t bytesWritten() const { return written_; }

private:
    std::optional<std::string> writeAt(const void* data, std::size_t size, std::size_t offset);
    // Written beside path and renamed over it, so that a crash leaves the old or the new file.
    std::optional<std::string> replaceFile(const std::string& path, const void* data, std::size_t size);
    std::optional<std::string> fail(const std::string& path, int error) const;

    std::string directory_;
    std::string balloonPath_;
    std::string progressPath_;
    std::string settingsPath_;
    std::int64_t limit_ = 0;
    std::int64_t written_ = 0;
    int fd_ = -1;
};

} // namespace vantrel
