#include "devices/device_set.h"

#include <QtGlobal>
#include <portaudio.h>

#include "platform/portaudio/portaudio_system.h"
#include "platform/qt/serial_port_qt.h"
#include "platform/sim/sim_audio.h"

namespace vantrel {

DeviceSet::DeviceSet(bool simulate, Clock& clock, EventLog& log, const SimFaults& faults)
{
    if (simulate) {
        motors_ = std::make_unique<SimulatedMotors>(clock, log);
        motors_->rehearseFaults(faults);
        link1_ = std::make_unique<LoggingSerialPorts>(motors_->portsFor(1), log);
        link2_ = std::make_unique<LoggingSerialPorts>(motors_->portsFor(2), log);
        SimAudioOptions options;
        options.seed = faults.seed;
        options.errorAtMeasurement = faults.audioErrorAtMeasurement;
        options.hangAtMeasurement = faults.hangAtMeasurement;
        options.a2 = simA2_ = faults.nonlinearA2;
        options.a3 = simA3_ = faults.nonlinearA3;
        options.playbackLagMs = faults.playbackLagMs;
        options.mountOffset = faults.mountOffset;
        if (faults.room)
            options.extraPaths = [room = *faults.room, distance = options.distance,
                                  offset = faults.mountOffset](double h, double v) {
                return roomSimPaths(room, distance, h, v, 2, offset);
            };
        options.arc = faults.arc;
        options.microphone = faults.microphone;
        if (faults.arcRadius > 0)
            options.distance = faults.arcRadius;
        audio_ = std::make_unique<SimAudioSystem>(clock, *motors_, options);
        autosaveLimitBytes_ = faults.autosaveLimitBytes;
    } else {
        systemPorts_ = std::make_unique<QtSerialPorts>();
        link1_ = std::make_unique<LoggingSerialPorts>(*systemPorts_, log);
        link2_ = std::make_unique<LoggingSerialPorts>(*systemPorts_, log);
        audio_ = std::make_unique<PortAudioSystem>();
    }
}

DeviceSet::~DeviceSet() = default;

Devices DeviceSet::devices()
{
    return Devices{*link1_, *link2_, audio_.get(), autosaveLimitBytes_, motors_ != nullptr, simA2_, simA3_,
                   std::string("Qt ") + qVersion() + "\nPortAudio " + Pa_GetVersionText()};
}

} // namespace vantrel
