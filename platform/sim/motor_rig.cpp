#include "platform/sim/motor_rig.h"

#include <string>

namespace vantrel {

namespace {

// One open line to a controller. Closing it leaves the controller as it is, like unplugging
// the cable from a powered drive.
class SimulatedMotorPort final : public SerialPort {
public:
    explicit SimulatedMotorPort(SimulatedMotorController& controller) : controller_(controller) {}

    bool apply(const LineSettings& settings) override
    {
        if (closed_)
            return false;
        controller_.lineSettings(settings);
        return true;
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (closed_)
            return false;
        const std::size_t taken = controller_.lineTakes(bytes.size());
        controller_.receive(bytes.first(taken));
        return taken == bytes.size();
    }

    bool close() override
    {
        if (closed_)
            return false;
        closed_ = true;
        return true;
    }

    std::string lastError() const override { return closed_ ? "port closed" : controller_.lineFault(); }

private:
    SimulatedMotorController& controller_;
    bool closed_ = false;
};

} // namespace

class SimulatedMotors::Ports final : public SerialPorts {
public:
    explicit Ports(SimulatedMotorController& controller) : controller_(controller) {}

    std::unique_ptr<SerialPort> open(std::string_view) override
    {
        return std::make_unique<SimulatedMotorPort>(controller_);
    }

    std::string deviceFor(std::string_view) const override
    {
        return "sim:" + std::to_string(controller_.turntable());
    }

private:
    SimulatedMotorController& controller_;
};

SimulatedMotors::SimulatedMotors(Clock& clock, EventLog& log, double startH, double startV)
    : controller1_(1, clock, log, startH), controller2_(2, clock, log, startV),
      ports1_(std::make_unique<Ports>(controller1_)), ports2_(std::make_unique<Ports>(controller2_))
{
}

void SimulatedMotors::rehearseFaults(const SimFaults& faults)
{
    const int stallAt = faults.stallAtMove;
    auto stallsNow = [this, stallAt] { return stallAt > 0 && ++movesStarted_ == stallAt; };
    controller1_.rehearseFaults(faults.serialDiesAfterBytes, stallsNow);
    controller2_.rehearseFaults(faults.serialDiesAfterBytes, stallsNow);
}

SimulatedMotors::~SimulatedMotors() = default;

SerialPorts& SimulatedMotors::portsFor(int turntable) { return turntable == 2 ? *ports2_ : *ports1_; }

SimulatedMotorController& SimulatedMotors::controller(int turntable)
{
    return turntable == 2 ? controller2_ : controller1_;
}

const SimulatedMotorController& SimulatedMotors::controller(int turntable) const
{
    return turntable == 2 ? controller2_ : controller1_;
}

} // namespace vantrel
