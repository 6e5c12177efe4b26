#include "turntable/motor_commands.h"

namespace vantrel {

bool isMoveStep(int degrees)
{
    return degrees == 1 || degrees == 5 || degrees == 10 || degrees == 90 || degrees == kTenthDegreeCode;
}

std::optional<int> stepCounts(int degrees)
{
    if (!isMoveStep(degrees))
        return std::nullopt;
    return degrees == kTenthDegreeCode ? kTenthDegreeCounts : degrees * kCountsPerDegree;
}

std::optional<std::string> positionCommand(int degrees, int direction)
{
    const auto counts = stepCounts(degrees);
    if (!counts || (direction != 1 && direction != -1))
        return std::nullopt;
    std::string command = direction > 0 ? "P.1=" : "P.1=-";
    command += std::to_string(*counts);
    command += "\r\n";
    return command;
}

std::optional<int> turntable1MoveMs(int degrees)
{
    switch (degrees) {
    case 1: return 1000;
    case 5: return 2000;
    case 10: return 4000;
    case 90: return 34000;
    case kTenthDegreeCode: return 500;
    default: return std::nullopt;
    }
}

std::optional<Turntable2Timing> turntable2Timing(int degrees)
{
    if (!isMoveStep(degrees))
        return std::nullopt;
    Turntable2Timing timing;
    timing.rpm = kMotorSpeed * 100 * 60 / kCountsPerRevolution;
    timing.rps = static_cast<float>(timing.rpm) / 60.0f;
    timing.i = kCountsPerRevolution * 100 / 360;
    // 64-bit: the 0.1-degree code enters as 999 degrees before it is overridden below.
    const long long steps = static_cast<long long>(timing.i) * degrees * 1000 / kCountsPerRevolution;
    const float t = static_cast<float>(steps) / timing.rps;
    timing.intervalMs = static_cast<int>(2000.0f + t);
    if (degrees == 1)
        timing.intervalMs = 1000;
    else if (degrees == kTenthDegreeCode)
        timing.intervalMs = 500;
    return timing;
}

std::optional<int> stepMotionMs(int degrees)
{
    const auto counts = stepCounts(degrees);
    if (!counts)
        return std::nullopt;
    constexpr int countsPerSecond = kMotorSpeed * 100;
    return (*counts * 1000 + countsPerSecond - 1) / countsPerSecond;
}

} // namespace vantrel
