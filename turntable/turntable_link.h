#pragma once
// One RS232 link to a turntable's motor controller: the port it uses, connecting and
// initialising the motor, the three-command move with its wait timer, the end-of-move reset,
// the abort, and the angle counter kept in place of positions the motors never report.
// The two turntables differ only in their LinkProfile (ids, messages, screen positions).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/canvas.h"
#include "platform/clock.h"
#include "platform/serial_port.h"
#include "platform/window_host.h"
#include "turntable/sequence_state.h"

namespace vantrel {

struct ScreenPoint {
    int x = 0, y = 0;
};

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct JogButton {
    int id = 0;
    int degrees = 0; // 1, 5, 10, 90 or kTenthDegreeCode
    int direction = 0;
};

struct LinkProfile {
    int turntable = 1;
    int listId = 0;
    int connectId = 0;
    int abortId = 0;
    int timerId = 0;
    int initialPortIndex = 0;
    std::array<JogButton, 10> jogs{};

    ScreenRect linkBox;
    ScreenPoint connectedLabel, connectedName; // "Connected to" <port>
    ScreenPoint selectedLabel, selectedName;   // "Selected Port" <port>
    ScreenRect motionBox;
    ScreenPoint motionText; // "Rotating", "Aborted"
    ScreenPoint angleText;  // "Current H-Angle = ..."
    std::string_view angleFormat;

    // Messages that name the turntable; the others are the same for both.
    std::string_view closeError;
    std::string_view speedError;
    std::string_view connectGoError;
    std::string_view connectPauseError;
    std::string_view connectResetError;

    bool computedWait = false; // turntable 2 derives its wait from the motor speed
    ScreenPoint rpmText, waitText;
};

const LinkProfile& turntable1Profile();
const LinkProfile& turntable2Profile();

inline constexpr std::string_view kMessageCaption = "Karvell";
inline constexpr std::string_view kCloseCaption = "RS232 Transmitter";

class TurntableLink {
public:
    TurntableLink(const LinkProfile& profile, WindowHost& window, Clock& clock, SerialPorts& ports,
                  const SequenceState& sequence);

    const LinkProfile& profile() const { return profile_; }
    int portIndex() const { return portIndex_; }
    std::string_view portName() const;
    bool isOpen() const { return open_; }
    // A port was opened at some time (the sequence refuses to start otherwise).
    bool everOpened() const { return everOpened_; }
    bool busy() const { return busy_; }
    void setBusy(bool busy) { busy_ = busy; }
    int angleCounter() const { return angleCounter_; }
    const LineSettings& lineSettings() const { return lineSettings_; }

    // The list box's caret index becomes the port index; takes effect at the next connect.
    void selectPort(int index);
    void connect();
    // 0 when the three commands went out and the wait timer runs, 1 on any failure (a message
    // was shown where the failure is the operator's to see).
    [[nodiscard]] int move(int degrees, int direction);
    // The wait timer fired: reset, show the angle. True when a running sequence takes over;
    // endSent tells whether the reset that ends the move went out.
    [[nodiscard]] bool moveTimerFired(bool& endSent);
    // "Abort TT<n>": stop the wait, reset and pause the motor, free the jog buttons.
    void abort();
    // Reset then pause, whatever the link's state (the sequence abort).
    void sendAbortCommands();
    // At window destruction: close the port if the link is open.
    void close();

private:
    [[nodiscard]] bool send(std::string_view command);
    void say(std::string_view text, std::string_view caption = kMessageCaption);
    void paintBox(const ScreenRect& box, Rgb fill, bool bluePen);
    void text(ScreenPoint at, std::string_view text, bool opaque = false);
    void paintMotionAngle();

    const LinkProfile& profile_;
    WindowHost& window_;
    Clock& clock_;
    SerialPorts& ports_;
    const SequenceState& sequence_;

    int portIndex_;
    bool open_ = false;
    bool everOpened_ = false;
    std::unique_ptr<SerialPort> port_; // the handle; kept across a failed configure
    bool busy_ = false;
    LineSettings lineSettings_;
    int angleCounter_ = 0; // degrees: hAngleCounter or vAngleCounter
    std::array<char, 256> transmit_{};
};

} // namespace vantrel
