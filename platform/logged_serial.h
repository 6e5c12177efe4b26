#pragma once
// A SerialPorts decorator that records what goes to the ports in the session's event log:
//   serial "<port>" open "<device>" | config "<settings text>" | write "<bytes>" | close
//   serial "<port>" error "<what failed and why>"
// The bytes are escaped as by quoted(), so "\r\n" stays visible.

#include <memory>
#include <string>

#include "platform/event_log.h"
#include "platform/serial_port.h"

namespace vantrel {

class LoggingSerialPorts final : public SerialPorts {
public:
    LoggingSerialPorts(SerialPorts& inner, EventLog& log) : inner_(inner), log_(log) {}

    std::unique_ptr<SerialPort> open(std::string_view portName) override;
    std::string deviceFor(std::string_view portName) const override { return inner_.deviceFor(portName); }
    std::string lastError() const override { return inner_.lastError(); }
    std::string openAdvice() const override { return inner_.openAdvice(); }

private:
    SerialPorts& inner_;
    EventLog& log_;
};

// "COM5:9600,n,8,1": the settings text a port's line settings are built from.
std::string lineSettingsText(std::string_view portName, const LineSettings& settings);

} // namespace vantrel
