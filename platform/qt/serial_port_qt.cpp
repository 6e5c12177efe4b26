#include "platform/qt/serial_port_qt.h"

#include <QSerialPort>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrel {

namespace {

// A write of n bytes at 9600 baud needs about n ms; the margin covers a busy USB adapter.
constexpr int kWriteTimeoutMs = 1000;

std::string envName(std::string_view portName)
{
    std::string name = "VANTREL_PORT_";
    for (char c : portName)
        name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return name;
}

bool fullDevicePath(std::string_view path)
{
#ifdef _WIN32
    return !path.empty();
#else
    return path.starts_with('/');
#endif
}

std::string mappedDevice(std::string_view portName)
{
#ifdef _WIN32
    return std::string(portName);
#else
    struct Range {
        int first;
        const char* devicePrefix;
    };
    if (!portName.starts_with("COM"))
        return {};
    const std::string_view digits = portName.substr(3);
    if (digits.empty() || digits.size() > 2 || digits.front() == '0')
        return {};
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return {};
        number = number * 10 + (c - '0');
    }
    for (const Range r : {Range{1, "/dev/ttyS"}, Range{21, "/dev/ttyUSB"}})
        if (number >= r.first && number < r.first + 6)
            return r.devicePrefix + std::to_string(number - r.first);
    return {};
#endif
}

class QtSerialPort final : public SerialPort {
public:
    explicit QtSerialPort(std::unique_ptr<QSerialPort> port) : port_(std::move(port)) {}

    bool apply(const LineSettings& s) override
    {
        if (!port_->isOpen())
            return fail("port not open");
        QSerialPort::Parity parity = QSerialPort::NoParity;
        switch (s.parity) {
        case 'n': parity = QSerialPort::NoParity; break;
        case 'e': parity = QSerialPort::EvenParity; break;
        case 'o': parity = QSerialPort::OddParity; break;
        case 'm': parity = QSerialPort::MarkParity; break;
        case 's': parity = QSerialPort::SpaceParity; break;
        default: return fail("unsupported parity");
        }
        if (s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2))
            return fail("unsupported frame");
        const bool ok = port_->setBaudRate(s.baud) && port_->setParity(parity) &&
                        port_->setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
                        port_->setStopBits(s.stopBits == 1 ? QSerialPort::OneStop : QSerialPort::TwoStop);
        return ok || fail(port_->errorString().toStdString());
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (!port_->isOpen())
            return fail("port not open");
        const auto size = static_cast<qint64>(bytes.size());
        if (port_->write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
            const std::string why = port_->errorString().toStdString();
            port_->clear(QSerialPort::Output);
            return fail(why);
        }
        while (port_->bytesToWrite() > 0) {
            if (!port_->waitForBytesWritten(kWriteTimeoutMs)) {
                const std::string why = port_->error() == QSerialPort::TimeoutError
                                            ? std::string("write timed out")
                                            : port_->errorString().toStdString();
                // A command that did not go out whole must not trail into the next one.
                port_->clear(QSerialPort::Output);
                return fail(why);
            }
        }
        return true;
    }

    bool close() override
    {
        if (!port_->isOpen())
            return fail("port not open");
        port_->close();
        return true;
    }

    std::string lastError() const override { return lastError_; }

private:
    bool fail(std::string why)
    {
        lastError_ = std::move(why);
        return false;
    }

    std::unique_ptr<QSerialPort> port_;
    std::string lastError_;
};

} // namespace

SerialDevice serialDeviceFor(std::string_view portName, const EnvironmentLookup& env)
{
    const std::string variable = envName(portName);
    if (const char* value = env ? env(variable.c_str()) : std::getenv(variable.c_str()); value && *value) {
        if (!fullDevicePath(value))
            return {{}, variable + " must be a full device path, not \"" + value + "\""};
        return {value, {}};
    }
    std::string path = mappedDevice(portName);
    if (path.empty())
        return {{}, "no device for port " + std::string(portName)};
    return {std::move(path), {}};
}

std::string serialOpenAdvice(const std::string& device, bool lockedByOthers)
{
#ifdef _WIN32
    return lockedByOthers ? device + " is in use by another program." : std::string();
#else
    if (::access(device.c_str(), W_OK) != 0) {
        if (errno != EACCES && errno != EPERM)
            return {};
        // Serial devices belong to a group whose members may use them; on Debian "dialout".
        std::string group = "dialout";
        struct stat info {};
        if (::stat(device.c_str(), &info) == 0 && (info.st_mode & S_IWGRP) && info.st_gid != 0)
            if (const struct group* g = ::getgrgid(info.st_gid); g && g->gr_name)
                group = g->gr_name;
        return "No permission to open " + device + ": the user must be in the group \"" + group +
               "\" (sudo adduser $USER " + group + ", then log in again).";
    }
    // Qt reports a port whose lock file another process holds as a permission error too.
    return lockedByOthers ? device + " is in use by another program." : std::string();
#endif
}

std::string QtSerialPorts::deviceFor(std::string_view portName) const
{
    const SerialDevice device = serialDeviceFor(portName, env_);
    return device.path.empty() ? std::string(portName) : device.path;
}

std::unique_ptr<SerialPort> QtSerialPorts::open(std::string_view portName)
{
    const SerialDevice device = serialDeviceFor(portName, env_);
    openAdvice_.clear();
    if (device.path.empty()) {
        lastError_ = device.error;
        return nullptr;
    }
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(QString::fromStdString(device.path));
    if (!port->open(QIODevice::WriteOnly)) {
        lastError_ = port->errorString().toStdString();
        openAdvice_ = serialOpenAdvice(device.path, port->error() == QSerialPort::PermissionError);
        return nullptr;
    }
    lastError_.clear();
    return std::make_unique<QtSerialPort>(std::move(port));
}

} // namespace vantrel
