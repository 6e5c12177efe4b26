#pragma once
// The windowing side of the machine, handed to the application at start. The devices (serial
// ports, sound card) are handed over separately, so that each turntable link can be bound to
// its own port factory (a real port or a simulated controller).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/print_system.h"
#include "platform/window_host.h"

namespace vantrel {

// The clock a long job run from a command waits on (the arc walk): while it waits, everything
// that falls due runs (timers, the rig's completions, the operator's input).
class JobClock {
public:
    virtual ~JobClock() = default;
    virtual std::uint32_t now() const = 0;
    // Lets ms pass on the clock, running what falls due meanwhile.
    virtual void advance(std::uint32_t ms) = 0;
    // Runs what was posted meanwhile (a sound card's completion).
    virtual void settle() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Creates the window described by layout; owner is the owning window (nullptr for the main
    // window). A modal window blocks input to its owner but not the caller. The host lives
    // until destroy().
    virtual WindowHost& createWindow(const WindowSpec& layout, WindowClient& client, WindowHost* owner, bool modal) = 0;
    virtual Clock& clock() = 0;
    virtual JobClock& jobClock() = 0;
    virtual EventLog& log() = 0;
    virtual PrintSystem& printing() = 0;
    // Draws on a white width x height image and writes it as a PNG file to path: nothing on
    // success, else what went wrong.
    virtual std::optional<std::string> savePicture(int width, int height, const std::function<void(Canvas&)>& draw,
                                                   const std::string& path) = 0;
    // Opens the installed manual with the desktop's viewer: nothing, or why it could not.
    virtual std::optional<std::string> openManual() = 0;
    // Ends the event loop once the current event is handled.
    virtual void quit() = 0;
};

} // namespace vantrel
