#pragma once
// Faults the simulated rig can rehearse, chosen on the command line next to --simulate
// ("--fault serial-dies=200"), so that the program's answer to each can be watched and tested:
//   serial-dies=N   each turntable's line carries N bytes, then every write fails (a pulled cable)
//   stall=N         the N-th move of either turntable stops half-way and its drive trips: the
//                   line takes no more bytes (the only way a one-way link can notice)
//   audio-error=N   the N-th measurement's recording fails to open with a device error
//   hang=N          the N-th measurement's recording never completes
//   late-playback=MS every playback reports its end MS after it ended (a driver that is slow
//                   to return the output buffer), so the capture always completes first
//   disk-full=N     the autosave may hold N bytes; writes beyond fail as on a full disk
//   seed=N          the noise of the rig's microphone and reference
// N counts from 1; 0 (the default) is never.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/room.h"
#include "platform/sim/sim_arc.h"

namespace vantrel {

struct SimFaults {
    std::int64_t serialDiesAfterBytes = 0;
    int stallAtMove = 0;
    int audioErrorAtMeasurement = 0;
    int hangAtMeasurement = 0;
    int playbackLagMs = 0;
    std::int64_t autosaveLimitBytes = 0;
    std::uint32_t seed = 1;
    // Not a fault but the rig's own distortion (--sim-nonlinearity A2,A3): y = x + a2 x^2 + a3 x^3
    // in front of the loudspeaker.
    double nonlinearA2 = 0, nonlinearA3 = 0;
    // Nor is the room the rig stands in (--sim-room); none: an anechoic chamber.
    std::optional<SimRoom> room;
    // Nor is where the loudspeaker is mounted (--sim-offset): its baffle centre's place from the
    // rotation centre, m, in its own frame; zero: on it.
    Vec3 mountOffset{};
    // Nor is its microphone arc (--sim-arc, --sim-mic-errors); none: the one microphone.
    std::vector<SimArcMicrophone> arc;
    double arcRadius = 0; // m, the arc's microphones' distance; 0: the rig's own
    // The one microphone's errors without an arc (--sim-mic-errors alone): those the arc's first
    // microphone draws from the seed, so that a single-microphone walk is made with the arc's
    // reference microphone. None: a perfect microphone.
    std::optional<SimArcMicrophone> microphone;

    bool any() const
    {
        return serialDiesAfterBytes || stallAtMove || audioErrorAtMeasurement || hangAtMeasurement || playbackLagMs ||
               autosaveLimitBytes;
    }
};

// Takes one "kind=N"; returns the reason when the text names no fault or N is not a whole
// number in range (nothing changes then).
std::string addSimFault(std::string_view faultText, SimFaults& faults);

// One line per fault for --help texts.
inline constexpr std::string_view kSimFaultHelp =
    "a rehearsed fault of the simulated rig, repeatable: serial-dies=BYTES, stall=MOVE, audio-error=MEASUREMENT, "
    "hang=MEASUREMENT, late-playback=MS, disk-full=BYTES (autosave), seed=N (rig noise)";

} // namespace vantrel
