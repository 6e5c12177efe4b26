#include "turntable/turntable_link.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "platform/number_text.h"
#include "turntable/motor_commands.h"
#include "turntable/port_list.h"

namespace vantrel {

namespace {

constexpr Rgb kWindowBackground{158, 194, 216};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};
constexpr Pen kBluePen{{0, 0, 255}, 1, PenStyle::Solid};
constexpr Pen kBlackPen{{0, 0, 0}, 1, PenStyle::Solid};

// Waits between commands: the controllers never acknowledge, so each gets time to digest.
constexpr std::uint32_t kShortWaitMs = 10;
constexpr std::uint32_t kLongWaitMs = 100;

constexpr std::string_view kLineSuffix = ":9600,n,8,1";

std::string formatInt(std::string_view prefix, int value, std::string_view suffix)
{
    std::string s(prefix);
    s += std::to_string(value);
    s += suffix;
    return s;
}

LinkProfile makeTurntable1()
{
    LinkProfile p;
    p.turntable = 1;
    p.listId = 3000;
    p.connectId = 1004;
    p.abortId = 1021;
    p.timerId = 4000;
    p.initialPortIndex = kTurntable1DefaultPort;
    p.jogs = {{{1000, 90, 1}, {1001, 90, -1}, {1040, 10, 1}, {1041, 10, -1}, {1002, 5, 1}, {1003, 5, -1},
               {1008, 1, 1}, {1009, 1, -1}, {1010, kTenthDegreeCode, 1}, {1011, kTenthDegreeCode, -1}}};
    p.linkBox = {220, 15, 390, 40};
    p.connectedLabel = {240, 20};
    p.connectedName = {340, 20};
    p.selectedLabel = {230, 20};
    p.selectedName = {330, 20};
    p.motionBox = {5, 65, 205, 88};
    p.motionText = {20, 68};
    p.angleText = {10, 68};
    p.angleFormat = "Current H-Angle = ";
    p.closeError = "Error Closing Port";
    p.speedError = "Motor Speed NOT Stored ERROR";
    p.connectGoError = "Failed to Transmitt 2";
    p.connectPauseError = "Motor NOT Paused ERROR";
    p.connectResetError = "Motor NOT Reset ERROR";
    return p;
}

LinkProfile makeTurntable2()
{
    LinkProfile p;
    p.turntable = 2;
    p.listId = 3001;
    p.connectId = 1012;
    p.abortId = 1022;
    p.timerId = 4001;
    p.initialPortIndex = kTurntable2DefaultPort;
    p.jogs = {{{1013, 90, 1}, {1014, 90, -1}, {1042, 10, 1}, {1043, 10, -1}, {1015, 5, 1}, {1016, 5, -1},
               {1017, 1, 1}, {1018, 1, -1}, {1019, kTenthDegreeCode, 1}, {1020, kTenthDegreeCode, -1}}};
    p.linkBox = {220, 430, 390, 455};
    p.connectedLabel = {240, 435};
    p.connectedName = {340, 435};
    p.selectedLabel = {240, 435};
    p.selectedName = {340, 435};
    p.motionBox = {5, 485, 205, 510};
    p.motionText = {20, 488};
    p.angleText = {10, 488};
    p.angleFormat = "Current V-Angle = ";
    p.closeError = "Error Closing Port 1";
    p.speedError = "Motor Speed NOT Stored ERROR 1";
    p.connectGoError = "Failed to Transmitt 21";
    p.connectPauseError = "Motor NOT Paused ERROR 1";
    p.connectResetError = "Motor NOT Reset ERROR 1";
    p.computedWait = true;
    p.rpmText = {140, 640};
    p.waitText = {140, 658};
    return p;
}

} // namespace

const LinkProfile& turntable1Profile()
{
    static const LinkProfile profile = makeTurntable1();
    return profile;
}

const LinkProfile& turntable2Profile()
{
    static const LinkProfile profile = makeTurntable2();
    return profile;
}

TurntableLink::TurntableLink(const LinkProfile& profile, WindowHost& window, Clock& clock, SerialPorts& ports,
                             const SequenceState& sequence)
    : profile_(profile), window_(window), clock_(clock), ports_(ports), sequence_(sequence),
      portIndex_(profile.initialPortIndex)
{
}

std::string_view TurntableLink::portName() const { return kPortNames[static_cast<std::size_t>(portIndex_)]; }

void TurntableLink::selectPort(int index)
{
    // An empty or foreign list can report a caret outside the port list.
    if (index < 0 || index >= static_cast<int>(kPortNames.size()))
        return;
    portIndex_ = index;
    paintBox(profile_.linkBox, kWindowBackground, false);
    text(profile_.selectedLabel, "Selected Port");
    text(profile_.selectedName, portName());
}

void TurntableLink::connect()
{
    if (port_) {
        if (!port_->close()) {
            say(profile_.closeError);
            return;
        }
        port_.reset();
    }

    const std::string name(portName());
    port_ = ports_.open(name);
    if (!port_) {
        // No handle is kept, so the next connect does not trip over closing a dead one. A cause
        // the operator can mend follows on a line of its own.
        const std::string advice = ports_.openAdvice();
        say(advice.empty() ? std::string("Error Opening Com Port") : "Error Opening Com Port\n" + advice);
        return;
    }
    everOpened_ = true;

    const auto settings = buildLineSettings(name + std::string(kLineSuffix));
    if (!settings) {
        say("Error Building DCB");
        return;
    }
    if (!port_->apply(*settings)) {
        say("Error Setting Com State");
        return;
    }

    open_ = true;
    paintBox(profile_.linkBox, kGreen, false);
    text(profile_.connectedLabel, "Connected to");
    text(profile_.connectedName, name);
    lineSettings_ = *settings;

    if (!send(kSpeedCommand) || !send(kAParameterCommand)) {
        say(profile_.speedError);
        return;
    }
    clock_.delayMs(kShortWaitMs);
    if (!send(kGoCommand)) {
        say(profile_.connectGoError);
        return;
    }
    clock_.delayMs(kLongWaitMs);
    if (!send(kPauseCommand))
        say(profile_.connectPauseError);
    clock_.delayMs(kLongWaitMs);
    if (!send(kResetCommand))
        say(profile_.connectResetError);
    transmit_.fill(0);
}

int TurntableLink::move(int degrees, int direction)
{
    const auto position = positionCommand(degrees, direction);
    if (!position)
        return 1;
    if (!open_) {
        say("Please Connect RS232 Link");
        return 1;
    }
    if (!send(kEnableCommand)) {
        say("Motor NOT Enabled ERROR");
        return 1;
    }
    clock_.delayMs(kShortWaitMs);
    if (!send(*position)) {
        say("Failed to Transmitt 1");
        return 1;
    }
    clock_.delayMs(kShortWaitMs);
    if (!send(kGoCommand)) {
        say("Failed to Transmitt 2");
        return 1;
    }
    // Counted only once the whole move is on the line, so a failed write cannot leave the
    // counter ahead of the table.
    if (degrees != kTenthDegreeCode)
        angleCounter_ += direction * degrees;

    if (!sequence_.sequenceRunning) {
        paintBox(profile_.motionBox, kRed, true);
        text(profile_.motionText, "Rotating");
    }

    int interval = 0;
    if (profile_.computedWait) {
        const auto timing = turntable2Timing(degrees);
        interval = timing->intervalMs;
        text(profile_.rpmText, formatInt("RPM = ", timing->rpm, ", RPS = " + fixedText(timing->rps, 2) + "   "), true);
        text(profile_.waitText,
             formatInt("i = ", timing->i, formatInt(", Time  = ", timing->intervalMs, " ms   ")), true);
    } else {
        interval = *turntable1MoveMs(degrees);
    }
    window_.startTimer(profile_.timerId, interval);
    busy_ = true;
    return 0;
}

bool TurntableLink::moveTimerFired(bool& endSent)
{
    window_.killTimer(profile_.timerId);
    endSent = send(kResetCommand);
    if (!endSent)
        say("Failed to Transmitt 3");
    transmit_.fill(0);
    clock_.delayMs(kLongWaitMs);
    paintMotionAngle();
    if (!sequence_.sequenceRunning) {
        busy_ = false;
        return false;
    }
    return true;
}

void TurntableLink::paintMotionAngle()
{
    const bool running = sequence_.sequenceRunning != 0;
    const int angle = running ? (profile_.turntable == 1 ? sequence_.currentHAngle : sequence_.currentVAngle)
                              : angleCounter_;
    paintBox(profile_.motionBox, running ? kWindowBackground : kGreen, true);
    text(profile_.angleText, formatInt(profile_.angleFormat, angle, " deg"));
}

void TurntableLink::abort()
{
    window_.killTimer(profile_.timerId);
    sendAbortCommands();
    paintBox(profile_.motionBox, kGreen, true);
    text(profile_.motionText, "Aborted");
    busy_ = false;
}

void TurntableLink::sendAbortCommands()
{
    if (!send(kResetCommand))
        say("Failed to Transmitt 3");
    clock_.delayMs(kLongWaitMs);
    if (!send(kPauseCommand))
        say("Motor NOT Paused ERROR");
    transmit_.fill(0);
}

void TurntableLink::close()
{
    if (!open_)
        return;
    if (port_ && !port_->close())
        say(profile_.closeError, kCloseCaption);
    port_.reset();
    open_ = false;
}

bool TurntableLink::send(std::string_view command)
{
    transmit_.fill(0);
    const std::size_t length = std::min(command.size(), transmit_.size());
    std::copy_n(command.begin(), length, transmit_.begin());
    // A link that never got a port has nothing to write to; the caller reports the failure.
    if (!port_)
        return false;
    return port_->write(std::span(reinterpret_cast<const std::uint8_t*>(transmit_.data()), length));
}

void TurntableLink::say(std::string_view message, std::string_view caption)
{
    window_.message(message, caption, MessageIcon::Information);
}

void TurntableLink::paintBox(const ScreenRect& box, Rgb fill, bool bluePen)
{
    Canvas& canvas = window_.surface();
    const Pen oldPen = canvas.setPen(bluePen ? kBluePen : kBlackPen);
    const Brush oldBrush = canvas.setBrush(Brush{fill, false});
    canvas.rectangle(box.left, box.top, box.right, box.bottom);
    canvas.setBrush(oldBrush);
    canvas.setPen(oldPen);
}

void TurntableLink::text(ScreenPoint at, std::string_view s, bool opaque)
{
    Canvas& canvas = window_.surface();
    const Font oldFont = canvas.setFont(Font::System);
    canvas.setTextColour({0, 0, 0});
    // Readouts cover their previous, possibly longer text; box captions sit on a fresh fill.
    canvas.setTextBackground(opaque, kWindowBackground);
    canvas.textOut(at.x, at.y, s);
    canvas.setFont(oldFont);
}

} // namespace vantrel
