#pragma once
// The one-way ASCII protocol of the turntable motor controllers: every command as the exact
// bytes that go on the line (CR LF included), and the fixed waits that stand in for the
// replies the controllers never send.

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr int kCountsPerDegree = 1389; // controller position units per table degree
inline constexpr int kTenthDegreeCode = 999;  // step code of the 0.1-degree jog
inline constexpr int kTenthDegreeCounts = 139;
inline constexpr int kMotorSpeed = 40;        // the value "S.1=" sets at connect
inline constexpr int kCountsPerRevolution = 5000;

inline constexpr std::string_view kSpeedCommand = "S.1=40\r\n";
inline constexpr std::string_view kAParameterCommand = "A.1=20\r\n";
inline constexpr std::string_view kGoCommand = "^.1\r\n";
inline constexpr std::string_view kPauseCommand = ").1\r\n";
inline constexpr std::string_view kResetCommand = "|2.1\r\n";
inline constexpr std::string_view kEnableCommand = "(.1\r\n";

// The steps a move may take: 1, 5, 10, 90 whole degrees or kTenthDegreeCode.
bool isMoveStep(int degrees);

// Size of a step in position units: degrees x 1389, or 139 for the 0.1-degree code.
// Nothing for a step that is not a move step.
std::optional<int> stepCounts(int degrees);

// "P.1=<n>\r\n" for direction +1, "P.1=-<n>\r\n" for -1, n the step's counts. Only the step
// is sent, never an absolute position. Nothing for a bad step or direction.
std::optional<std::string> positionCommand(int degrees, int direction);

// Turntable 1 waits from a table: 1 -> 1000, 5 -> 2000, 10 -> 4000, 90 -> 34000,
// 0.1 -> 500 ms. Nothing for a bad step.
std::optional<int> turntable1MoveMs(int degrees);

// Turntable 2 derives its wait from the motor speed, in the integer and float32 arithmetic
// the rig's timing was tuned with:
//   rpm = 40 x 100 x 60 / 5000 = 48, rps = rpm / 60 (float32, 0.8)
//   i = 5000 x 100 / 360 = 1388, steps = i x degrees x 1000 / 5000 (integers, truncated)
//   interval = 2000 + steps / rps (float32), truncated to ms; 1 degree 1000, 0.1 degree 500.
// 5 -> 3735, 10 -> 5470, 90 -> 33230 ms.
struct Turntable2Timing {
    int rpm = 0;
    float rps = 0;
    int i = 0;
    int intervalMs = 0;
};
std::optional<Turntable2Timing> turntable2Timing(int degrees);

// How long the motor itself turns for a step at the speed "S.1=40" set at connect (40 x 100
// counts/s), rounded up to the millisecond: 1 -> 348, 5 -> 1737, 10 -> 3473, 90 -> 31253,
// 0.1 -> 35 ms. The waits above carry margins over it (turntable 2 two seconds a move); a
// walk paced by the motor's own motion goes on after this instead. Nothing for a bad step.
std::optional<int> stepMotionMs(int degrees);

} // namespace vantrel
