#include "platform/sim/motor_controller.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::size_t kMaxLine = 64; // no command is near this long

// Decimal digits, optionally signed; nothing else.
bool parseCount(std::string_view text, bool allowSign, std::int64_t& out)
{
    bool negative = false;
    if (allowSign && !text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 12)
        return false;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    out = negative ? -value : value;
    return true;
}

} // namespace

SimulatedMotorController::SimulatedMotorController(int turntable, Clock& clock, EventLog& log, double startDegrees)
    : turntable_(turntable), clock_(clock), log_(log),
      position_(static_cast<std::int64_t>(std::llround(startDegrees * kSimCountsPerDegree)))
{
}

void SimulatedMotorController::lineSettings(const LineSettings& s)
{
    listening_ = s.baud == 9600 && s.parity == 'n' && s.dataBits == 8 && s.stopBits == 1;
    if (!listening_) {
        char what[96];
        std::snprintf(what, sizeof what, "line settings %d,%c,%d,%d", s.baud, s.parity, s.dataBits, s.stopBits);
        violation(what);
    }
}

void SimulatedMotorController::rehearseFaults(std::int64_t lineBytes, std::function<bool()> stallsNow)
{
    lineLimit_ = lineBytes;
    stallsNow_ = std::move(stallsNow);
}

std::size_t SimulatedMotorController::lineTakes(std::size_t n)
{
    if (!lineFault_.empty())
        return 0;
    std::size_t taken = n;
    if (lineLimit_ > 0 && lineCarried_ + static_cast<std::int64_t>(n) > lineLimit_) {
        taken = static_cast<std::size_t>(lineLimit_ - lineCarried_);
        lineFault_ = "line to turntable " + std::to_string(turntable_) + " lost after " + std::to_string(lineLimit_) +
                     " bytes (rehearsed fault)";
        log_.record("motor", std::to_string(turntable_) + " line lost");
    }
    lineCarried_ += static_cast<std::int64_t>(taken);
    return taken;
}

void SimulatedMotorController::receive(std::span<const std::uint8_t> bytes)
{
    if (!listening_) {
        if (!bytes.empty())
            violation("bytes at unreadable line settings");
        return;
    }
    for (std::uint8_t b : bytes) {
        const char c = static_cast<char>(b);
        if (discarding_) {
            discarding_ = c != '\n';
            continue;
        }
        if (c == '\n') {
            if (line_.empty() || line_.back() != '\r') {
                violation("malformed command: " + line_ + "\n");
            } else {
                line_.pop_back();
                execute(line_);
            }
            line_.clear();
            continue;
        }
        line_.push_back(c);
        if (line_.size() > kMaxLine) {
            violation("malformed command: " + line_);
            line_.clear();
            discarding_ = true; // resynchronise at the next line end
        }
    }
}

void SimulatedMotorController::execute(std::string_view command)
{
    settle();
    commands_.emplace_back(command);
    std::int64_t value = 0;
    if (command == "(.1") {
        enabled_ = true;
    } else if (command == "^.1") {
        go();
    } else if (command == ").1") {
        stopNow();
    } else if (command == "|2.1") {
        if (turning())
            violation("reset while turning");
        stopNow();
        enabled_ = false;
        hasPending_ = false;
        pending_ = 0;
    } else if (command.starts_with("S.1=") && parseCount(command.substr(4), false, value) && value <= 1000) {
        speed_ = static_cast<int>(value);
    } else if (command.starts_with("A.1=") && parseCount(command.substr(4), false, value) && value <= 1000) {
        aParameter_ = static_cast<int>(value);
    } else if (command.starts_with("P.1=") && parseCount(command.substr(4), true, value)) {
        pending_ = value;
        hasPending_ = true;
    } else {
        commands_.pop_back();
        violation("malformed command: " + std::string(command));
    }
}

void SimulatedMotorController::go()
{
    if (!hasPending_ || pending_ == 0)
        return;
    if (turning()) {
        violation("go while turning");
        return;
    }
    if (!enabled_) {
        violation("go without enable");
        return;
    }
    if (speed_ <= 0) {
        violation("go without speed");
        return;
    }
    const std::int64_t countsPerSecond = static_cast<std::int64_t>(speed_) * 100;
    std::int64_t counts = pending_;
    if (stallsNow_ && stallsNow_()) {
        // The motor stalls half-way; the drive trips and no longer listens.
        counts /= 2;
        lineFault_ = "drive of turntable " + std::to_string(turntable_) + " tripped: motor stalled (rehearsed fault)";
        log_.record("motor", std::to_string(turntable_) + " stalled");
    }
    const std::int64_t distance = std::llabs(counts);
    moving_ = true;
    moveCounts_ = counts;
    moveStart_ = clock_.tickMs();
    moveRate_ = countsPerSecond;
    moveMs_ = static_cast<std::uint32_t>((distance * 1000 + countsPerSecond - 1) / countsPerSecond);
    motionMs_ += moveMs_;
    log_.record("motor", std::to_string(turntable_) + " turns " + std::to_string(moveMs_) + " ms");
    hasPending_ = false;
    pending_ = 0;
    std::weak_ptr<int> alive = alive_;
    clock_.callAfter(std::chrono::milliseconds(moveMs_), [this, alive] {
        if (alive.lock())
            settle();
    });
}

std::uint32_t SimulatedMotorController::elapsedMs() const
{
    return clock_.tickMs() - moveStart_; // wraps like the tick count
}

bool SimulatedMotorController::turning() const { return moving_ && elapsedMs() < moveMs_; }

std::int64_t SimulatedMotorController::positionCounts() const
{
    if (!moving_)
        return position_;
    const std::uint32_t elapsed = elapsedMs();
    if (elapsed >= moveMs_)
        return position_ + moveCounts_;
    const std::int64_t done = moveRate_ * elapsed / 1000;
    return position_ + (moveCounts_ < 0 ? -done : done);
}

void SimulatedMotorController::settle()
{
    if (moving_ && !turning()) {
        position_ += moveCounts_;
        moving_ = false;
        logPosition();
    }
}

void SimulatedMotorController::stopNow()
{
    if (!moving_)
        return;
    position_ = positionCounts();
    moving_ = false;
    logPosition();
}

void SimulatedMotorController::logPosition()
{
    double deg = degrees();
    if (std::fabs(deg) < 0.05)
        deg = 0.0; // no "-0.0"
    log_.record("motor", std::to_string(turntable_) + " at " + fixedText(deg, 1));
}

void SimulatedMotorController::violation(std::string what)
{
    log_.record("motor", std::to_string(turntable_) + " violation " + quoted(what));
    violations_.push_back(std::move(what));
}

} // namespace vantrel
