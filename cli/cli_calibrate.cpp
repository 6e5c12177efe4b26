// vantrel-cli calibrate: the calibration window's "Show" computation from filter sections given
// on the command line, written as a target file.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_command.h"
#include "calibration/calibration_builder.h"
#include "calibration/mic_file.h"
#include "calibration/target_file.h"
#include "mls/mls_settings.h"

namespace vantrel {

namespace {

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

struct CalibrateOptions {
    FilterSections sections = kDefaultFilterSections;
    std::vector<std::string> sectionTexts;
    bool invert = false;
    int fromIndex = MlsSettings{}.fromIndex;
    int toIndex = MlsSettings{}.toIndex;
    std::string out;
    std::string micFile;
};

int usageError(const std::string& text) { return cliUsageError("calibrate", text); }

int runCalibrate(CalibrateOptions& o)
{
    FilterSections& sections = o.sections;
    for (const std::string& text : o.sectionTexts)
        if (const std::string error = parseSection(text, sections); !error.empty())
            return usageError(error);
    const bool invert = o.invert;
    const int fromIndex = o.fromIndex;
    const int toIndex = o.toIndex;
    const std::string& out = o.out;
    if (FrequencyAxis::fromHz(fromIndex) >= FrequencyAxis::toHz(toIndex))
        return usageError("the axis must run upwards: --from lies at or above --to");

    FrequencyAxis axis;
    axis.buildFromIndexes(fromIndex, toIndex);
    CalibrationCurve curve{};
    if (!o.micFile.empty()) {
        const MicReadResult mic = readMicFile(o.micFile);
        if (!mic.calibration)
            return usageError("--mic-file " + o.micFile + ": " + mic.error);
        curve = micCurve(*mic.calibration, axis);
        if (!writeTargetFile(out, axis, curve)) {
            std::fprintf(stderr, "cannot write target file %s\n", out.c_str());
            return 1;
        }
        std::printf("%s: %s\n", o.micFile.c_str(), micSummary(*mic.calibration).c_str());
        return 0;
    }
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

std::function<int()> setupCalibrate(CLI::App& app)
{
    auto o = std::make_shared<CalibrateOptions>();
    app.add_option("--section", o->sectionTexts,
                   "a filter section K:FAMILY:ORDER:CUTOFF:Q:GAIN (K 0..4, FAMILY 0..10, ORDER 0..15 as the "
                   "calibration window lists them; CUTOFF in Hz, GAIN in dB); may be repeated")
        ->type_name("K:F:O:HZ:Q:DB");
    app.add_flag("--invert", o->invert, "invert the combined curve");
    app.add_option("--mic-file", o->micFile,
                   "a measurement microphone's calibration file (Hz, dB and optionally phase per line) instead of "
                   "filter sections; held flat beyond its range")
        ->excludes("--section")
        ->excludes("--invert");
    app.add_option("--from", o->fromIndex, "lower frequency limit, index of the \"From:\" list")
        ->check(CLI::Range(0, static_cast<int>(kAxisFromHz.size()) - 1));
    app.add_option("--to", o->toIndex, "upper frequency limit, index of the \"To:\" list")
        ->check(CLI::Range(0, static_cast<int>(kAxisToHz.size()) - 1));
    app.add_option("-o,--output", o->out, "the target file to write (*.trg)")->required();
    return [o] { return runCalibrate(*o); };
}

const CliRegistration registration({"calibrate", "Build the calibration curve from filter sections and write it as a target file",
                                    setupCalibrate});

} // namespace

} // namespace vantrel
