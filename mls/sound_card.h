#pragma once
// The measurement window's sound card: the two device lists and their labels, and one
// measurement at a time: open both devices, start the capture, play the sequence once, and
// turn the two completions into a recording in captureCopy. Every failing call shows the
// driver's own text in a message box captioned "MLS Control".
//
// States: idle -> running (after a complete start) -> idle once both the playback and the
// capture have completed. A start while running is refused; a start that fails half-way closes
// what it had opened.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "mls/mls_settings.h"
#include "platform/audio_system.h"
#include "platform/event_log.h"
#include "platform/window_host.h"

namespace vantrel {

inline constexpr int kInputDeviceList = 20026;
inline constexpr int kOutputDeviceList = 20027;
inline constexpr int kInputDeviceLabel = 20016;
inline constexpr int kOutputDeviceLabel = 20017;

// The four controls the sound-card logic drives, laid out on a window of their own for work
// without the measurement window (command-line tools, tests).
inline constexpr ControlSpec kSoundCardControls[] = {
    {kInputDeviceList, ControlKind::ListBox, "", 0, 0, 200, 80},
    {kOutputDeviceList, ControlKind::ListBox, "", 0, 90, 200, 80},
    {kInputDeviceLabel, ControlKind::Static, "Input", 0, 180, 200, 10},
    {kOutputDeviceLabel, ControlKind::Static, "Output", 0, 190, 200, 10},
};
inline constexpr WindowSpec kSoundCardWindow{"measure", "MLS Measurement", 400, 200, {255, 255, 255}, kSoundCardControls};
inline constexpr int kMaxListedDevices = 20;

inline constexpr std::size_t kPlayBufferFrames = 268000;    // frames played
inline constexpr std::size_t kCaptureBufferFrames = 263500; // frames recorded
inline constexpr std::size_t kCaptureBufferBytes = kCaptureBufferFrames * 8;

struct SoundCardBuffers {
    std::span<const std::int32_t> playBuffer; // at least 2 x 268000 samples, left and right
    std::span<std::int32_t> captureBuffer;    // at least 2 x 263500 samples, REF and IN
    std::span<std::int32_t> captureCopy;      // receives the recorded bytes
};

class SoundCard final : private AudioCompletion {
public:
    // captureReady runs on the user-interface thread once a recording has been copied to
    // captureCopy and the input device closed cleanly; captureFailed when a capture came back
    // but its device could not be closed (the failure has been shown).
    SoundCard(WindowHost& window, AudioSystem& audio, MlsSettings& settings, EventLog& log, SoundCardBuffers buffers,
              std::function<void()> captureReady, std::function<void()> captureFailed = {});
    // A measurement still in flight is abandoned: both devices are closed.
    ~SoundCard() override;
    SoundCard(const SoundCard&) = delete;
    SoundCard& operator=(const SoundCard&) = delete;

    // Lists 20026 and 20027 ("%s,  ID: %d", at most 20 each), the stored selections and the
    // labels 20016 and 20017 ("%s, ID %d, Ch %d  ").
    void fillDeviceLists();
    // Any notification of the list: its caret becomes the device id; the label follows.
    void selectInputDevice();
    void selectOutputDevice();

    // Opens both devices at the selected rate, starts the capture, then plays the buffer once.
    // False (with a message) when refused or when a step fails; nothing stays open then.
    [[nodiscard]] bool startPlayAndCapture();

    // The completions, on the user-interface thread.
    void onPlaybackDone();
    // Copies the recorded bytes (never more than both buffers hold) and closes the input
    // device; true when the recording may be processed.
    [[nodiscard]] bool onCaptureDone(std::size_t bytesRecorded);

    bool running() const { return outputPending_ || capturePending_; }
    // Closes both devices of a measurement nobody waits for any more (a hung recording).
    void abandon()
    {
        if (running())
            closeAll();
    }
    // Runs when a playback that outlasted its capture has ended: the card is idle again.
    void setPlaybackEnded(std::function<void()> fn) { playbackEnded_ = std::move(fn); }
    // While running: shows and records "Measurement still running" and returns true, so that a
    // new start is refused before its caller touches the buffers the card is playing from.
    bool refuseWhileRunning();

private:
    void outputDone() override;
    void captureDone(std::size_t bytesRecorded) override;

    // Shows the failure text, records it, and returns false.
    bool fail(const std::string& text);
    bool check(AudioStatus status, const char* suffix = "");
    void closeAll();
    std::string labelText(bool input, int id);

    WindowHost& window_;
    AudioSystem& audio_;
    MlsSettings& settings_;
    EventLog& log_;
    SoundCardBuffers buffers_;
    std::function<void()> captureReady_;
    std::function<void()> captureFailed_;
    std::function<void()> playbackEnded_;
    bool outputPending_ = false;
    bool capturePending_ = false;
};

// "%s,  ID: %d", or the failure entry of the capability query.
std::string deviceListText(const AudioDeviceCaps* caps, bool input, int id);
// "%s, ID %d, Ch %d  ".
std::string deviceLabelText(const AudioDeviceCaps& caps, int id);

} // namespace vantrel

namespace vantrel {

// Stores a recording as a *.RES file: the first 2,107,999 bytes of the capture (little-endian
// samples), then rateIndex and mlsLengthIndex as ASCII digits, each in a 4-byte field padded
// with NUL bytes. False when the file cannot be written completely, the capture holds fewer
// bytes, or an index is outside its list.
[[nodiscard]] bool writeResFile(const std::string& path, std::span<const std::int32_t> capture, int rateIndex,
                                int mlsLengthIndex);

} // namespace vantrel
