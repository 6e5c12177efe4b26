#include "platform/logged_serial.h"

namespace vantrel {

namespace {

std::string failure(std::string_view what, const std::string& why)
{
    std::string text(what);
    if (!why.empty())
        text += ": " + why;
    return text;
}

class LoggingSerialPort final : public SerialPort {
public:
    LoggingSerialPort(std::unique_ptr<SerialPort> inner, std::string portName, EventLog& log)
        : inner_(std::move(inner)), name_(std::move(portName)), log_(log)
    {
    }

    bool apply(const LineSettings& settings) override
    {
        const bool ok = inner_->apply(settings);
        event(ok ? "config " + quoted(lineSettingsText(name_, settings))
                 : "error " + quoted(failure("config failed", inner_->lastError())));
        return ok;
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        const bool ok = inner_->write(bytes);
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        event(ok ? "write " + quoted(text)
                 : "error " + quoted(failure("write failed", inner_->lastError())));
        return ok;
    }

    bool close() override
    {
        const bool ok = inner_->close();
        event(ok ? std::string("close") : "error " + quoted(failure("close failed", inner_->lastError())));
        return ok;
    }

    std::string lastError() const override { return inner_->lastError(); }

private:
    void event(const std::string& details) { log_.record("serial", quoted(name_) + " " + details); }

    std::unique_ptr<SerialPort> inner_;
    std::string name_;
    EventLog& log_;
};

} // namespace

std::unique_ptr<SerialPort> LoggingSerialPorts::open(std::string_view portName)
{
    const std::string device = inner_.deviceFor(portName);
    auto port = inner_.open(portName);
    const std::string prefix = quoted(portName) + " ";
    if (!port) {
        log_.record("serial", prefix + "error " + quoted(failure("open " + device + " failed", inner_.lastError())));
        return nullptr;
    }
    log_.record("serial", prefix + "open " + quoted(device));
    return std::make_unique<LoggingSerialPort>(std::move(port), std::string(portName), log_);
}

std::string lineSettingsText(std::string_view portName, const LineSettings& s)
{
    std::string text(portName);
    text += ':' + std::to_string(s.baud) + ',' + s.parity + ',' + std::to_string(s.dataBits) + ',' +
            std::to_string(s.stopBits);
    return text;
}

} // namespace vantrel
