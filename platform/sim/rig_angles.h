#pragma once
// Where the simulated turntables stand now, in degrees: H from turntable 1, V from turntable 2.
// The simulated sound card reads it to place the virtual loudspeaker.

namespace vantrel {

class RigAngles {
public:
    virtual ~RigAngles() = default;
    virtual double hDegrees() const = 0;
    virtual double vDegrees() const = 0;
};

// A rig that stands still at given angles (tests and single recordings).
class FixedRigAngles final : public RigAngles {
public:
    FixedRigAngles(double h, double v) : h_(h), v_(v) {}
    double hDegrees() const override { return h_; }
    double vDegrees() const override { return v_; }

private:
    double h_, v_;
};

} // namespace vantrel
