// vantrel-cli simulate-recording --h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES:
// one sequence recorded on the simulated rig with the loudspeaker turned to (H, V), stored as
// a *.RES file that the measurement window's import (and vantrel-cli process) reads.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/cli_command.h"
#include "app/simulated_recording.h"

namespace vantrel {
namespace {

constexpr const char* kUsage =
    "usage: vantrel-cli simulate-recording --h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES\n";

int usageError(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli simulate-recording: %s\n%s", what.c_str(), kUsage);
    return 2;
}

template <typename T>
bool parse(std::string_view text, T& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

int run(std::span<const std::string_view> args)
{
    double h = NAN, v = NAN;
    int order = 18, rateIndex = 5;
    std::string output;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        if (i + 1 >= args.size())
            return usageError(std::string(a) == "-o" || a.starts_with("--") ? "missing value after " + std::string(a)
                                                                             : "unexpected argument '" + std::string(a) + "'");
        const std::string_view value = args[++i];
        if (a == "--h") {
            if (!parse(value, h) || !std::isfinite(h) || std::abs(h) > 360)
                return usageError("--h needs an angle in degrees (-360..360), not '" + std::string(value) + "'");
        } else if (a == "--v") {
            if (!parse(value, v) || !std::isfinite(v) || std::abs(v) > 360)
                return usageError("--v needs an angle in degrees (-360..360), not '" + std::string(value) + "'");
        } else if (a == "--order") {
            if (!parse(value, order) || order < 13 || order > 18)
                return usageError("--order must be 13..18, not '" + std::string(value) + "'");
        } else if (a == "--rate-index") {
            if (!parse(value, rateIndex) || (rateIndex != 5 && rateIndex != 6))
                return usageError("--rate-index must be 5 (48000 Hz) or 6 (96000 Hz), not '" + std::string(value) + "'");
        } else if (a == "-o") {
            output = value;
        } else {
            return usageError("unknown option '" + std::string(a) + "'");
        }
    }
    if (std::isnan(h) || std::isnan(v))
        return usageError("both --h and --v are needed");
    if (output.empty())
        return usageError("-o FILE.RES is needed");

    if (const auto error = recordOnSimulatedRig({h, v, order, rateIndex}, output)) {
        std::fprintf(stderr, "vantrel-cli simulate-recording: %s\n", error->c_str());
        return error->starts_with("cannot write") ? 2 : 1;
    }
    return 0;
}

const CliRegistration registration(
    {"simulate-recording", "--h DEG --v DEG [--order 13..18] [--rate-index 5|6] -o FILE.RES  one recording on the simulated rig", run});

} // namespace
} // namespace vantrel
