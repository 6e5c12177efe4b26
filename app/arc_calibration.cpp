#include "app/arc_calibration.h"

#include <fstream>
#include <iterator>

#include "balloon/frequency_axis.h"
#include "balloon/replace_file.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::string_view kHeader = "Vantrel arc calibration 1";
constexpr std::size_t kCalibrationFileLimit = 8 << 20; // bytes: 64 microphones of 750 lines

std::optional<long long> signedWhole(std::string_view word, long long limit)
{
    const bool negative = !word.empty() && word.front() == '-';
    const auto value = parseWholeNumber(negative ? word.substr(1) : word, 0, limit);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

} // namespace

std::string arcCalibrationText(const ArcCalibration& c)
{
    std::string t(kHeader);
    t += "\naxis ";
    t += std::to_string(c.fromIndex);
    t += ' ';
    t += std::to_string(c.toIndex);
    t += '\n';
    for (const ArcMicrophoneCalibration& m : c.microphones) {
        t += "microphone ";
        t += std::to_string(m.angle);
        t += ' ';
        t += cleanFixedText(m.arrivalUs, 3);
        t += '\n';
        for (const LevelPhase& p : m.ratio) {
            t += cleanFixedText(p.level, 4);
            t += ' ';
            t += cleanFixedText(p.phase, 4);
            t += '\n';
        }
    }
    return t;
}

std::optional<ArcCalibration> parseArcCalibration(std::string_view text, std::string& error)
{
    ArcCalibration c;
    std::string why;
    int number = 0;
    std::size_t point = kAxisPoints; // axis points read of the current microphone
    const bool whole = forEachTextLine(
        text,
        [&](int line, std::string_view content) {
            const auto words = textWords(content);
            if (line == 1) {
                if (content != kHeader)
                    why = "not an arc calibration";
                return why.empty();
            }
            if (line == 2) {
                const auto from = words.size() == 3 && words[0] == "axis" ? parseWholeNumber(words[1], 0, 100) : std::nullopt;
                const auto to = words.size() == 3 && words[0] == "axis" ? parseWholeNumber(words[2], 0, 100) : std::nullopt;
                if (!from || !to) {
                    why = "\"axis FROM TO\" expected";
                    return false;
                }
                c.fromIndex = static_cast<int>(*from);
                c.toIndex = static_cast<int>(*to);
                return true;
            }
            if (point == kAxisPoints) {
                ArcMicrophoneCalibration m;
                const auto angle =
                    words.size() == 3 && words[0] == "microphone" ? signedWhole(words[1], 180) : std::nullopt;
                if (!angle || !parseDecimal(words[2], m.arrivalUs)) {
                    why = "\"microphone ANGLE ARRIVAL_US\" expected";
                    return false;
                }
                for (const ArcMicrophoneCalibration& other : c.microphones)
                    if (other.angle == *angle) {
                        why = "the angle " + std::to_string(*angle) + " comes twice";
                        return false;
                    }
                if (c.microphones.size() >= 64) {
                    why = "more than 64 microphones";
                    return false;
                }
                m.angle = static_cast<int>(*angle);
                c.microphones.push_back(m);
                point = 0;
                return true;
            }
            double level = 0, phase = 0;
            if (words.size() != 2 || !parseDecimal(words[0], level) || !parseDecimal(words[1], phase) ||
                std::abs(level) > 200 || std::abs(phase) > 360) {
                why = "a level (dB, within 200) and a phase (degrees, within 360) expected";
                return false;
            }
            c.microphones.back().ratio[point++] = {static_cast<float>(level), static_cast<float>(phase)};
            return true;
        },
        number);
    if (!whole) {
        error = "line " + std::to_string(number) + ": " + (why.empty() ? std::string("a NUL byte") : why);
        return std::nullopt;
    }
    if (number < 2 || c.microphones.empty() || point != kAxisPoints) {
        error = "line " + std::to_string(number + 1) + ": the calibration ends early";
        return std::nullopt;
    }
    return c;
}

std::optional<ArcCalibration> readArcCalibration(const std::string& path, std::string& error)
{
    std::string text;
    if (!readTextUpTo(path, kCalibrationFileLimit, text)) {
        error = "cannot read it";
        return std::nullopt;
    }
    if (text.size() > kCalibrationFileLimit) {
        error = "larger than an arc calibration can be";
        return std::nullopt;
    }
    return parseArcCalibration(text, error);
}

std::optional<std::string> applyArcCalibration(const ArcCalibration& c, int fromIndex, int toIndex,
                                               const std::vector<int>& angles,
                                               std::vector<std::optional<CalibrationCurve>>& curves)
{
    if (c.fromIndex != fromIndex || c.toIndex != toIndex)
        return "the arc calibration lies on the axis of \"From:\"/\"To:\" " + std::to_string(c.fromIndex) + "/" +
               std::to_string(c.toIndex) + ", the walk measures on " + std::to_string(fromIndex) + "/" +
               std::to_string(toIndex);
    curves.resize(angles.size());
    for (std::size_t m = 0; m < angles.size(); ++m) {
        const ArcMicrophoneCalibration* found = nullptr;
        for (const ArcMicrophoneCalibration& k : c.microphones)
            if (k.angle == angles[m])
                found = &k;
        if (!found)
            return "the arc calibration has no microphone at " + std::to_string(angles[m]) + " degrees";
        CalibrationCurve curve = curves[m].value_or(CalibrationCurve{});
        for (std::size_t j = 0; j < curve.size(); ++j) {
            curve[j].level += found->ratio[j].level;
            curve[j].phase += found->ratio[j].phase;
        }
        curves[m] = curve;
    }
    return std::nullopt;
}

} // namespace vantrel
