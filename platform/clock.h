#pragma once
// Time as the logic sees it: a tick count, the busy waits between motor commands, and
// deferred calls for simulated hardware. Real time in the GUI, virtual time in the session
// harness and the tests.

#include <chrono>
#include <cstdint>
#include <functional>

namespace vantrel {

class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start (wraps like a 32-bit tick count).
    virtual std::uint32_t tickMs() const = 0;
    // Blocks the calling (user-interface) thread until at least ms have passed; returns the
    // milliseconds that did pass. Nothing else runs meanwhile: due timers wait.
    virtual std::uint32_t delayMs(std::uint32_t ms) = 0;
    // Runs fn on the user-interface thread once delay has passed (simulated hardware).
    virtual void callAfter(std::chrono::milliseconds delay, std::function<void()> fn) = 0;
};

} // namespace vantrel
