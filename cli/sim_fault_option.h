#pragma once
// --fault KIND=N beside --simulate: a rehearsed fault of the simulated rig (sim_faults.h),
// repeatable. A text naming no fault is a usage error, as any other bad option.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/measure_plan.h"
#include "platform/sim/sim_faults.h"

namespace vantrel {

inline CLI::Option* addSimFaultOption(CLI::App& command, SimFaults& faults)
{
    return command
        .add_option_function<std::vector<std::string>>(
            "--fault",
            [&faults](const std::vector<std::string>& faultTexts) {
                for (const std::string& faultText : faultTexts)
                    if (const std::string error = addSimFault(faultText, faults); !error.empty())
                        throw CLI::ValidationError("--fault", error);
            },
            std::string(kSimFaultHelp))
        ->type_name("KIND=N")
        ->expected(1)
        ->allow_extra_args(false) // one KIND=N each time: a script or file after it is not a fault
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// What the simulated rig is made of, as measure and serve take it: its distortion, a room, the
// loudspeaker's mount and a microphone arc. Checked by planMeasure, as the walk would.
inline void addSimRigOptions(CLI::App& command, MeasureRequest& rig)
{
    command
        .add_option("--sim-nonlinearity", rig.nonlinearity,
                    "the simulated rig's distortion y = x + A2 x^2 + A3 x^3 in front of its loudspeaker")
        ->delimiter(',')
        ->expected(2)
        ->needs("--simulate");
    auto* room = command
                     .add_option("--sim-room", rig.simRoom,
                                 "put the simulated rig in a shoebox room L,W,H[,ALPHA]: metres, and the absorption "
                                 "of every surface (default 0.1); the rotation centre and the microphone stand 2 m "
                                 "apart along its length, centred")
                     ->type_name("L,W,H[,ALPHA]")
                     ->needs("--simulate");
    command.add_option("--sim-rig-height", rig.rigHeight, "the rig's height above the simulated room's floor, m (default 1.3)")
        ->type_name("M")
        ->needs(room);
    command
        .add_option("--sim-offset", rig.simOffset,
                    "mount the simulated loudspeaker with its baffle centre X,Y,Z mm off the rotation centre "
                    "(its own frame: +z its axis, +y up the baffle, +x completing a right-handed frame)")
        ->type_name("X,Y,Z")
        ->needs("--simulate");
    command
        .add_option("--sim-arc", rig.simArc,
                    "measure with a simulated arc of N microphones STEP degrees apart (1..64, spanning at most 180 "
                    "degrees) in the plane turntable 1 turns in: the walk stops only where the arc covers the grid")
        ->type_name("N,STEP")
        ->needs("--simulate");
    command
        .add_option("--sim-mic-errors", rig.micErrorsSeed,
                    "give every microphone of the simulated arc a reproducible level (+-1 dB), phase (+-10 degrees "
                    "at 10 kHz, as a delay) and radius (+-3 mm) error drawn from SEED; without an arc, the one "
                    "microphone gets the arc's first microphone's")
        ->type_name("SEED")
        ->needs("--simulate");
}

} // namespace vantrel
