#pragma once
// The two simulated motor controllers of the rig, each behind its own port factory, so that
// whichever port a turntable link chooses reaches that turntable's controller. Turntable 1
// turns H, turntable 2 turns V; they start where the sequence takes them to stand, H = 0 and
// V = +90 degrees. The simulated sound card reads the angles through RigAngles.

#include <memory>

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/serial_port.h"
#include "platform/sim/motor_controller.h"
#include "platform/sim/rig_angles.h"
#include "platform/sim/sim_faults.h"

namespace vantrel {

class SimulatedMotors final : public RigAngles {
public:
    SimulatedMotors(Clock& clock, EventLog& log, double startH = 0.0, double startV = 90.0);
    ~SimulatedMotors() override;

    // Moves count across both turntables for the stall; each line counts its own bytes.
    void rehearseFaults(const SimFaults& faults);

    // The factory whose every port is a line to controller 1 or 2.
    SerialPorts& portsFor(int turntable);
    SimulatedMotorController& controller(int turntable);
    const SimulatedMotorController& controller(int turntable) const;

    double hDegrees() const override { return controller(1).degrees(); }
    double vDegrees() const override { return controller(2).degrees(); }

private:
    class Ports;
    SimulatedMotorController controller1_;
    SimulatedMotorController controller2_;
    std::unique_ptr<Ports> ports1_;
    std::unique_ptr<Ports> ports2_;
    int movesStarted_ = 0;
};

} // namespace vantrel
