#pragma once
// The devices a run uses: the real serial ports and sound card, or the simulated rig (two
// motor controllers and a sound card with a virtual loudspeaker). Serial traffic is recorded
// in the event log either way.

#include <memory>

#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/event_log.h"
#include "platform/logged_serial.h"
#include "platform/sim/motor_rig.h"
#include "platform/sim/sim_faults.h"

namespace vantrel {

class DeviceSet {
public:
    // faults: what the simulated rig rehearses (ignored on real hardware).
    DeviceSet(bool simulate, Clock& clock, EventLog& log, const SimFaults& faults = {});
    ~DeviceSet();

    Devices devices();
    // The simulated turntables, or nullptr on real hardware.
    SimulatedMotors* motors() { return motors_.get(); }

    AudioSystem& audio() { return *audio_; }

private:
    std::unique_ptr<SerialPorts> systemPorts_;
    std::unique_ptr<AudioSystem> audio_;
    std::unique_ptr<SimulatedMotors> motors_;
    std::unique_ptr<LoggingSerialPorts> link1_;
    std::unique_ptr<LoggingSerialPorts> link2_;
    std::int64_t autosaveLimitBytes_ = 0;
    double simA2_ = 0, simA3_ = 0;
};

} // namespace vantrel
