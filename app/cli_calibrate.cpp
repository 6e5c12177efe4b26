// vantrel-cli calibrate: the calibration window's "Show" computation from filter sections given
// on the command line, written as a target file.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_command.h"
#include "calibration/calibration_builder.h"
#include "calibration/target_file.h"
#include "mls/mls_settings.h"

namespace vantrel {

namespace {

constexpr std::string_view kUsage =
    "[--section K:FAMILY:ORDER:CUTOFF:Q:GAIN]... [--invert] [--from I] [--to I] -o OUT.trg  "
    "build the calibration curve from filter sections (K 0..4, FAMILY 0..10, ORDER 0..15; "
    "--from/--to index the axis lists) and write it as a target file";

int usageError(const std::string& text)
{
    std::fprintf(stderr, "vantrel-cli calibrate: %s\n", text.c_str());
    return 2;
}

std::optional<int> parseIndex(std::string_view text, int last)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > last)
        return std::nullopt;
    return value;
}

std::optional<float> parseNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        !std::isfinite(static_cast<float>(value)))
        return std::nullopt;
    return static_cast<float>(value);
}

std::vector<std::string_view> splitFields(std::string_view text)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t colon = text.find(':');
        fields.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos)
            return fields;
        text.remove_prefix(colon + 1);
    }
}

// "K:FAMILY:ORDER:CUTOFF:Q:GAIN" into sections[K]; an error text on a malformed value.
std::string parseSection(std::string_view text, FilterSections& sections)
{
    const auto error = [text](std::string_view what) {
        std::string message = "--section '";
        message += text;
        message += "': ";
        message += what;
        return message;
    };
    const auto fields = splitFields(text);
    if (fields.size() != 6)
        return error("needs six fields K:FAMILY:ORDER:CUTOFF:Q:GAIN");
    const auto k = parseIndex(fields[0], kFilterSectionCount - 1);
    if (!k)
        return error("section K must be 0..4");
    const auto family = parseIndex(fields[1], static_cast<int>(kFilterFamilyTexts.size()) - 1);
    if (!family)
        return error("FAMILY must be a family list index 0..10");
    const auto order = parseIndex(fields[2], static_cast<int>(kFilterOrderTexts.size()) - 1);
    if (!order)
        return error("ORDER must be an order list index 0..15");
    const auto cutoff = parseNumber(fields[3]);
    const auto q = parseNumber(fields[4]);
    const auto gain = parseNumber(fields[5]);
    if (!cutoff || !q || !gain)
        return error("CUTOFF, Q and GAIN must be numbers");
    sections[static_cast<std::size_t>(*k)] = {*family, *order, *cutoff, *q, *gain};
    return {};
}

int runCalibrate(std::span<const std::string_view> args)
{
    FilterSections sections = kDefaultFilterSections;
    bool invert = false;
    int fromIndex = MlsSettings{}.fromIndex;
    int toIndex = MlsSettings{}.toIndex;
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--invert") {
            invert = true;
        } else if (arg == "--section" || arg == "--from" || arg == "--to" || arg == "-o") {
            if (!hasValue)
                return usageError(std::string(arg) + " needs a value");
            const std::string_view value = args[++i];
            if (arg == "--section") {
                if (const std::string error = parseSection(value, sections); !error.empty())
                    return usageError(error);
            } else if (arg == "--from") {
                const auto index = parseIndex(value, static_cast<int>(kAxisFromHz.size()) - 1);
                if (!index)
                    return usageError("--from must be a \"From:\" list index 0..9");
                fromIndex = *index;
            } else if (arg == "--to") {
                const auto index = parseIndex(value, static_cast<int>(kAxisToHz.size()) - 1);
                if (!index)
                    return usageError("--to must be a \"To:\" list index 0..7");
                toIndex = *index;
            } else {
                out = std::string(value);
            }
        } else {
            return usageError("unknown argument '" + std::string(arg) + "'");
        }
    }
    if (out.empty())
        return usageError("-o OUT.trg is required");
    if (FrequencyAxis::fromHz(fromIndex) >= FrequencyAxis::toHz(toIndex))
        return usageError("the axis must run upwards: --from lies at or above --to");

    FrequencyAxis axis;
    axis.buildFromIndexes(fromIndex, toIndex);
    CalibrationCurve curve{};
    const ShowOutcome outcome = showCalibration(sections, invert, axis, curve);
    if (!outcome.refusal.empty()) {
        std::fprintf(stderr, "%s\n", outcome.refusal.c_str());
        return 1;
    }
    if (!writeTargetFile(out, axis, curve)) {
        std::fprintf(stderr, "cannot write target file %s\n", out.c_str());
        return 1;
    }
    return 0;
}

const CliRegistration registration({"calibrate", kUsage, runCalibrate});

} // namespace

} // namespace vantrel
