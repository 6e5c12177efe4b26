#include "app/device_set.h"

namespace vantrel {

namespace {

// Stands in for the system's serial ports where this build has none.
class NoSerialPorts final : public SerialPorts {
public:
    std::unique_ptr<SerialPort> open(std::string_view) override { return nullptr; }
};

} // namespace

DeviceSet::DeviceSet(bool simulate, Clock& clock, EventLog& log)
{
    if (simulate) {
        motors_ = std::make_unique<SimulatedMotors>(clock, log);
        link1_ = std::make_unique<LoggingSerialPorts>(motors_->portsFor(1), log);
        link2_ = std::make_unique<LoggingSerialPorts>(motors_->portsFor(2), log);
    } else {
        systemPorts_ = std::make_unique<NoSerialPorts>();
        link1_ = std::make_unique<LoggingSerialPorts>(*systemPorts_, log);
        link2_ = std::make_unique<LoggingSerialPorts>(*systemPorts_, log);
    }
}

DeviceSet::~DeviceSet() = default;

Devices DeviceSet::devices() { return Devices{*link1_, *link2_, nullptr}; }

} // namespace vantrel
