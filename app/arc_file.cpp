#include "app/arc_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "balloon/replace_file.h"
#include "platform/audio_system.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::size_t kArcFileLimit = 1 << 20; // bytes: a description is a few lines

std::string lineText(int line) { return "line " + std::to_string(line) + ": "; }

// The rest of content after the first two words, trimmed: a file name may hold blanks.
std::string_view restAfterTwoWords(std::string_view content)
{
    std::size_t at = 0;
    for (int word = 0; word < 2; ++word) {
        at = content.find_first_not_of(" \t", at);
        at = content.find_first_of(" \t", at);
        if (at == std::string_view::npos)
            return {};
    }
    const std::size_t begin = content.find_first_not_of(" \t", at);
    if (begin == std::string_view::npos)
        return {};
    const std::size_t end = content.find_last_not_of(" \t");
    return content.substr(begin, end - begin + 1);
}

std::optional<long long> signedWhole(std::string_view word, long long limit)
{
    const bool negative = !word.empty() && word.front() == '-';
    const auto value = parseWholeNumber(negative ? word.substr(1) : word, 0, limit);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

int wrap360(int degrees) { return ((degrees % 360) + 360) % 360; }

} // namespace

std::optional<ArcDescription> parseArcDescription(std::string_view text, AngleGrid grid, int deviceChannels,
                                                  const MicFileReader& readMic, std::string& error)
{
    ArcDescription arc;
    bool haveRadius = false;
    const int step = gridStepDegrees(grid);
    std::string why;
    int failedLine = 0;
    int number = 0;
    const bool whole = forEachTextLine(
        text,
        [&](int line, std::string_view content) {
            const auto fail = [&](std::string reason) {
                why = std::move(reason);
                failedLine = line;
                return false;
            };
            const auto words = textWords(content);
            if (words.empty() || words[0].front() == '#')
                return true;
            if (!haveRadius) {
                double r = 0;
                if (words[0] != "radius" || words.size() != 2 || !parseDecimal(words[1], r))
                    return fail("the radius comes first: radius METRES");
                if (!(r >= kArcRadiusMin && r <= kArcRadiusMax))
                    return fail("the radius " + std::string(words[1]) + " m lies outside 0.1..20 m");
                arc.radius = r;
                haveRadius = true;
                return true;
            }
            if (words.size() < 2)
                return fail("give the channel and the angle");
            const auto channel = parseWholeNumber(words[0], 0, 1000000);
            if (!channel)
                return fail("the channel '" + std::string(words[0]) + "' is not a whole number");
            if (*channel == 1)
                return fail("channel 1 is REF, not a microphone");
            if (*channel < 1 || *channel > deviceChannels)
                return fail("channel " + std::to_string(*channel) + " is beyond the device's " +
                            std::to_string(deviceChannels) + " input channels");
            const auto angle = signedWhole(words[1], 1000000);
            if (!angle)
                return fail("the angle '" + std::string(words[1]) + "' is not a whole number of degrees");
            if (*angle % step != 0)
                return fail("the angle " + std::to_string(*angle) + " is not on the " + std::to_string(step) +
                            "-degree grid");
            if (*angle < -180 || *angle > 180)
                return fail("the angle " + std::to_string(*angle) +
                            ": the turntables bring only angles of -180..180 degrees along the arc to a grid direction");
            for (const ArcMicrophone& m : arc.microphones) {
                if (m.channel == *channel)
                    return fail("channel " + std::to_string(*channel) + " repeats line " + std::to_string(m.line));
                if (wrap360(m.angle) == wrap360(static_cast<int>(*angle)))
                    return fail("the angle " + std::to_string(*angle) + " repeats the direction of line " +
                                std::to_string(m.line));
            }
            if (arc.microphones.size() + 1 >= static_cast<std::size_t>(kMaxInputChannels))
                return fail("more microphones than the 64 an arc may have");
            ArcMicrophone m;
            m.line = line;
            m.channel = static_cast<int>(*channel);
            m.angle = static_cast<int>(*angle);
            m.micFile = std::string(restAfterTwoWords(content));
            if (!m.micFile.empty()) {
                MicReadResult mic = readMic(m.micFile);
                if (!mic.calibration)
                    return fail(m.micFile + ": " + mic.error);
                m.calibration = std::move(mic.calibration);
            }
            arc.microphones.push_back(std::move(m));
            return true;
        },
        number);
    if (!whole) {
        error = lineText(failedLine ? failedLine : number) + (why.empty() ? std::string("a NUL byte") : why);
        return std::nullopt;
    }
    if (!haveRadius) {
        error = lineText(number + 1) + "the radius comes first: radius METRES";
        return std::nullopt;
    }
    if (arc.microphones.empty()) {
        error = lineText(number + 1) + "the arc has no microphone";
        return std::nullopt;
    }
    return arc;
}

std::optional<ArcDescription> readArcDescription(const std::string& path, AngleGrid grid, int deviceChannels,
                                                 std::string& error)
{
    std::string text;
    if (!readTextUpTo(path, kArcFileLimit, text)) {
        error = "cannot read it";
        return std::nullopt;
    }
    if (text.size() > kArcFileLimit) {
        error = "larger than an arc description can be (1 MB)";
        return std::nullopt;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return parseArcDescription(
        text, grid, deviceChannels,
        [&](const std::string& name) {
            const std::filesystem::path p(name);
            return readMicFile((p.is_absolute() ? p : folder / p).string());
        },
        error);
}

} // namespace vantrel
