#pragma once
// A simulated turntable motor controller on the far end of an RS232 line. It reads the byte
// stream exactly as written, CR LF framed, and acts on the protocol's commands:
//   "S.1=<v>"   speed: the motor turns at v x 100 counts/s (40 -> 48 rpm of 5000 counts)
//   "A.1=<v>"   A parameter (kept, no effect on the motion model)
//   "(.1"       enable the drive
//   "P.1=[-]<n>" relative target in counts, taken by the next go
//   "^.1"       go: turn by the pending target; harmless with nothing pending
//   ").1"       pause: stop where the table is
//   "|2.1"      reset: stop, disable the drive, drop the pending target
// It keeps an absolute position in counts (1389 counts per table degree) and turns at constant
// speed. Uses the protocol does not allow are recorded as violations: a malformed command, a
// go without enable, a go while turning, a reset while turning, line settings other than
// 9600,n,8,1. Events go to the log as "motor <n> at <deg>" and "motor <n> violation "<what>"".

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/serial_port.h"

namespace vantrel {

inline constexpr int kSimCountsPerDegree = 1389;

class SimulatedMotorController {
public:
    SimulatedMotorController(int turntable, Clock& clock, EventLog& log, double startDegrees);

    // Bytes as they arrive on the line.
    void receive(std::span<const std::uint8_t> bytes);
    // The line settings the sending side chose; the controller listens at 9600,n,8,1 only.
    void lineSettings(const LineSettings& settings);

    // Rehearsed faults. The line carries at most lineBytes in all (0: no limit); stallsNow is
    // asked at every move that starts and, when it says so, the table stops half-way and the
    // drive trips, after which the line takes nothing.
    void rehearseFaults(std::int64_t lineBytes, std::function<bool()> stallsNow);
    // How many of n bytes offered now the line carries (all unless a fault cut it).
    std::size_t lineTakes(std::size_t n);
    // Why the line took nothing or only part; empty while it works.
    const std::string& lineFault() const { return lineFault_; }

    int turntable() const { return turntable_; }
    // Where the table stands now (mid-move included).
    std::int64_t positionCounts() const;
    double degrees() const { return static_cast<double>(positionCounts()) / kSimCountsPerDegree; }
    bool turning() const;
    bool enabled() const { return enabled_; }
    int speed() const { return speed_; }
    // The time every move started so far takes to turn, summed.
    std::uint64_t motionMs() const { return motionMs_; }
    int aParameter() const { return aParameter_; }
    std::int64_t pendingCounts() const { return pending_; }
    const std::vector<std::string>& commands() const { return commands_; }
    const std::vector<std::string>& violations() const { return violations_; }

private:
    void execute(std::string_view command);
    void go();
    // Finishes a move whose time is up; called before each command and by the end-of-move call.
    void settle();
    void stopNow();
    void violation(std::string what);
    void logPosition();
    std::uint32_t elapsedMs() const;

    int turntable_;
    Clock& clock_;
    EventLog& log_;
    std::string line_;           // bytes since the last CR LF
    bool discarding_ = false;    // inside an overlong line
    bool listening_ = true;      // false after line settings the controller cannot read
    int speed_ = 0;
    std::uint64_t motionMs_ = 0;              // "S.1" value; counts/s = speed x 100
    int aParameter_ = 0;
    bool enabled_ = false;
    std::int64_t pending_ = 0;   // counts, relative
    bool hasPending_ = false;
    std::int64_t position_ = 0;  // counts, absolute, while standing
    bool moving_ = false;
    std::int64_t moveCounts_ = 0;  // signed length of the running move
    std::uint32_t moveStart_ = 0;  // tick of the go
    std::uint32_t moveMs_ = 0;     // duration of the running move
    std::int64_t moveRate_ = 0;    // counts/s of the running move
    std::vector<std::string> commands_;
    std::vector<std::string> violations_;
    std::int64_t lineLimit_ = 0;   // bytes the line carries in all; 0: no limit
    std::int64_t lineCarried_ = 0;
    std::function<bool()> stallsNow_;
    std::string lineFault_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0); // guards deferred calls
};

} // namespace vantrel
