#include "platform/sim/sim_arc.h"

#include <random>

#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr int kMaxArcMicrophones = 64;
constexpr double kMaxLevelErrorDb = 1.0;
constexpr double kMaxPhaseErrorDegrees = 10.0;
constexpr double kPhaseErrorHz = 10000.0;
constexpr double kMaxRadiusError = 0.003; // m

// A draw in [-1, 1) from 32 bits, the same on every standard library.
double symmetric(std::mt19937& rng) { return 2.0 * (static_cast<double>(rng()) / 4294967296.0) - 1.0; }

} // namespace

std::vector<SimArcMicrophone> simulatedArc(int count, int stepDegrees)
{
    std::vector<SimArcMicrophone> arc(static_cast<std::size_t>(count));
    for (int m = 0; m < count; ++m)
        arc[static_cast<std::size_t>(m)].angleDegrees = m * stepDegrees;
    return arc;
}

std::optional<std::vector<SimArcMicrophone>> parseSimArc(std::string_view text, std::string& error)
{
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) {
        error = "give the microphones and their step as N,STEP";
        return std::nullopt;
    }
    const auto count = parseWholeNumber(text.substr(0, comma), 1, kMaxArcMicrophones);
    if (!count) {
        error = "the number of microphones must be 1..64";
        return std::nullopt;
    }
    const auto step = parseWholeNumber(text.substr(comma + 1), 1, 180);
    if (!step) {
        error = "the step must be a whole number of degrees 1..180";
        return std::nullopt;
    }
    if ((*count - 1) * *step > 180) {
        error = "the arc spans " + std::to_string((*count - 1) * *step) + " degrees, more than 180";
        return std::nullopt;
    }
    return simulatedArc(static_cast<int>(*count), static_cast<int>(*step));
}

void plantMicErrors(std::vector<SimArcMicrophone>& arc, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    for (SimArcMicrophone& m : arc) {
        m.levelDb = kMaxLevelErrorDb * symmetric(rng);
        m.delaySeconds = kMaxPhaseErrorDegrees * symmetric(rng) / (360.0 * kPhaseErrorHz);
        m.radiusError = kMaxRadiusError * symmetric(rng);
    }
}

} // namespace vantrel
