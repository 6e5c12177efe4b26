#pragma once
// One sequence recorded on the simulated rig with the loudspeaker turned to (H, V), through the
// same sound-card logic as a live measurement, stored as a *.RES file.

#include <optional>
#include <string>

#include "platform/sim/room.h"

namespace vantrel {

struct SimulatedRecordingRequest {
    double hDegrees = 0;
    double vDegrees = 0;
    int order = 18;     // 13..18
    int rateIndex = 5;  // 5 (48000 Hz) or 6 (96000 Hz)
    int volume = 10;    // output volume, percent
    double nearFieldM = 0; // the microphone this far (m) in front of the woofer's cone; 0: at the measuring distance
    std::optional<SimRoom> room{}; // the rig in this room; none: anechoic
};

class MlsEngine;
struct MlsSettings;

// The recording left in the engine's capture copy, settings set to its order, rate and volume.
std::optional<std::string> recordOnSimulatedRig(const SimulatedRecordingRequest& request, MlsEngine& engine,
                                                MlsSettings& settings);

// Nothing on success, else what went wrong.
std::optional<std::string> recordOnSimulatedRig(const SimulatedRecordingRequest& request, const std::string& path);

} // namespace vantrel
