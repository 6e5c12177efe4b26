#include "analysis/near_field_curve.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "balloon/replace_file.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::string_view kHeading = "# vantrel near field 1";

std::string lineReason(int number, const std::string& what) { return "near-field line " + std::to_string(number) + ": " + what; }

} // namespace

std::string nearFieldText(const NearFieldCurve& curve)
{
    std::string out(kHeading);
    out += "\n";
    if (curve.distanceMm > 0)
        out += "# distance-mm " + cleanFixedText(curve.distanceMm, 3) + "\n";
    if (curve.radiusMm > 0)
        out += "# radius-mm " + cleanFixedText(curve.radiusMm, 3) + "\n";
    if (curve.outputVolumePercent > 0)
        out += "# output-volume-percent " + cleanFixedText(curve.outputVolumePercent, 3) + "\n";
    out += "# frequency-hz level-db phase-degrees\n";
    for (std::size_t i = 0; i < curve.hz.size(); ++i) {
        out += cleanFixedText(curve.hz[i], 3) + " " + cleanFixedText(curve.levelDb[i], 3) + " " +
               cleanFixedText(curve.phaseDegrees[i], 2) + "\n";
    }
    return out;
}

std::optional<NearFieldCurve> parseNearFieldCurve(std::string_view text, std::string& error)
{
    if (text.size() > kLargestNearFieldText) {
        error = "near field: larger than " + std::to_string(kLargestNearFieldText) + " bytes";
        return std::nullopt;
    }
    NearFieldCurve c;
    bool headed = false;
    int number = 0;
    const bool whole = forEachTextLine(text, [&](int number, std::string_view line) {
        const std::vector<std::string_view> w = textWords(line);
        if (w.empty())
            return true;
        if (!headed) {
            if (line != kHeading) {
                error = lineReason(number, "is not \"" + std::string(kHeading) + "\"");
                return false;
            }
            headed = true;
            return true;
        }
        if (w[0].starts_with('#')) {
            const std::string_view key = w[0] == "#" && w.size() > 1 ? w[1] : std::string_view{};
            if (key == "output-volume-percent") {
                if (w.size() != 3 || !parseDecimal(w[2], c.outputVolumePercent) || !(c.outputVolumePercent > 0) ||
                    c.outputVolumePercent > 100) {
                    error = lineReason(number, "output-volume-percent must be one drive in percent, above 0 and at most 100");
                    return false;
                }
                return true;
            }
            if (key != "distance-mm" && key != "radius-mm")
                return true;
            double& target = key == "distance-mm" ? c.distanceMm : c.radiusMm;
            if (w.size() != 3 || !parseDecimal(w[2], target) || target <= 0 || target > 1e6) {
                error = lineReason(number, std::string(key) + " must be one length in millimetres above 0");
                return false;
            }
            return true;
        }
        double hz = 0, level = 0, phase = 0;
        if (w.size() != 3 || !parseDecimal(w[0], hz) || !parseDecimal(w[1], level) || !parseDecimal(w[2], phase)) {
            error = lineReason(number, "must hold three numbers: frequency in Hz, level in dB, phase in degrees");
            return false;
        }
        if (hz <= 0 || (!c.hz.empty() && hz <= c.hz.back())) {
            error = lineReason(number, "frequency " + std::string(w[0]) + " Hz must lie above 0 and above the line before");
            return false;
        }
        if (std::abs(level) > 1000 || std::abs(phase) > 1e7) {
            error = lineReason(number, "level " + std::string(w[1]) + " dB or phase " + std::string(w[2]) +
                                           " degrees is of no usable size");
            return false;
        }
        c.hz.push_back(hz);
        c.levelDb.push_back(level);
        c.phaseDegrees.push_back(phase);
        return true;
    }, number);
    if (!whole) {
        if (error.empty())
            error = lineReason(number, "holds a NUL byte");
        return std::nullopt;
    }
    if (!headed) {
        error = "near field: empty";
        return std::nullopt;
    }
    if (c.hz.size() < 2) {
        error = "near field: fewer than two frequencies";
        return std::nullopt;
    }
    return c;
}

NearFieldLoad loadNearFieldCurve(const std::string& path)
{
    NearFieldLoad out;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.unreadable = true;
        out.error = "cannot open '" + path + "'";
        return out;
    }
    std::string text(kLargestNearFieldText + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        out.unreadable = true;
        out.error = "cannot read '" + path + "'";
        return out;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::string error;
    out.curve = parseNearFieldCurve(text, error);
    if (!out.curve)
        out.error = path + ": " + error;
    return out;
}

std::optional<std::string> saveNearFieldCurve(const std::string& path, const NearFieldCurve& curve)
{
    if (auto failed = replaceFile(path, nearFieldText(curve)))
        return "cannot write " + *failed;
    return std::nullopt;
}

} // namespace vantrel
