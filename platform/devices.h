#pragma once
// The machine's devices as a run hands them to the application: each turntable link on its own
// port factory, the sound card, and what the simulated rig rehearses that the autosave notes.
// Composed by devices/ (DeviceSet) below the entry points; read by app/ (MainWindow). Neither
// reaches the other: both meet here.

#include <cstdint>
#include <string>

#include "platform/audio_system.h"
#include "platform/serial_port.h"

namespace vantrel {

struct Devices {
    SerialPorts& link1Ports;
    SerialPorts& link2Ports;
    AudioSystem* audio = nullptr;
    std::int64_t autosaveLimitBytes = 0; // > 0: a rehearsed full disk under the autosave
    bool simulatedRig = false;            // the autosave notes it, so a resumed walk uses the same kind
    double simA2 = 0, simA3 = 0;          // the simulated rig's distortion, noted with it
    std::string libraries = {};           // "Qt 6.4.2", "PortAudio V19...", one a line: for "About Vantrel"
};

} // namespace vantrel
