#pragma once
// Real RS232 ports through Qt SerialPort: write-only, synchronous writes. On Windows a port
// name ("COM5") is the device itself; elsewhere a map gives each of the twelve names a device
// path ("COM1".."COM6" -> /dev/ttyS0..5, "COM21".."COM26" -> /dev/ttyUSB0..5), and an
// environment variable VANTREL_PORT_<NAME> (VANTREL_PORT_COM5=/dev/pts/7) overrides any name
// with a full device path.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace vantrel {

struct SerialDevice {
    std::string path;  // empty when the name maps to no device
    std::string error; // why, when path is empty
};

using EnvironmentLookup = std::function<const char*(const char*)>;

// The device a port name opens; env reads the environment (getenv unless a test says otherwise).
SerialDevice serialDeviceFor(std::string_view portName, const EnvironmentLookup& env = {});

// Why a device that exists could not be opened, in the operator's terms: no permission (naming
// the group that grants it) or held by another program; empty when neither explains it.
std::string serialOpenAdvice(const std::string& device, bool lockedByOthers);

class QtSerialPorts final : public SerialPorts {
public:
    explicit QtSerialPorts(EnvironmentLookup env = {}) : env_(std::move(env)) {}

    std::unique_ptr<SerialPort> open(std::string_view portName) override;
    std::string deviceFor(std::string_view portName) const override;
    std::string lastError() const override { return lastError_; }
    std::string openAdvice() const override { return openAdvice_; }

private:
    EnvironmentLookup env_;
    std::string lastError_;
    std::string openAdvice_;
};

} // namespace vantrel
