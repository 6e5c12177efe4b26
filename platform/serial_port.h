#pragma once
// A write-only RS232 port: open by its name ("COM5"), apply line settings built from a text
// such as "COM5:9600,n,8,1", write whole commands, close. Nothing is ever read.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrel {

struct LineSettings {
    int baud = 9600;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;
    int stopBits = 1;
};

// Parses "NAME:baud,parity,data,stop" (the name part optional); nothing on a malformed text.
std::optional<LineSettings> buildLineSettings(std::string_view text);

class SerialPort {
public:
    virtual ~SerialPort() = default;
    virtual bool apply(const LineSettings& settings) = 0;
    // True only when every byte was written.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    virtual bool close() = 0;
    // Why the last call failed, for the event log; empty when the port cannot tell.
    virtual std::string lastError() const { return {}; }
};

class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // Nothing when the port cannot be opened.
    virtual std::unique_ptr<SerialPort> open(std::string_view portName) = 0;
    // The device a port name stands for ("/dev/ttyS4", "sim:1"), for the event log.
    virtual std::string deviceFor(std::string_view portName) const { return std::string(portName); }
    // Why the last open failed; empty when the factory cannot tell.
    virtual std::string lastError() const { return {}; }
    // What the operator can do about the last failed open, when its cause is one they can mend
    // (a missing permission, a port held by another program); empty otherwise.
    virtual std::string openAdvice() const { return {}; }
};

} // namespace vantrel
