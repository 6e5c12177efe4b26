// vantrel-cli process RECORDING.RES [options] [-o OUT]: a stored recording through the
// measurement engine to its 750-point frequency response, written in the target-file text form
// ("%.2f    %.2f    %.2f  " CR LF: frequency in Hz, level in dB, phase in degrees).

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/cli_command.h"
#include "balloon/frequency_axis.h"
#include "calibration/target_file.h"
#include "mls/mls_engine.h"
#include "mls/mls_settings.h"

namespace vantrel {
namespace {

constexpr const char* kUsage =
    "usage: vantrel-cli process RECORDING.RES [--window I] [--width TEXT] [--front TEXT] [--front-window]\n"
    "         [--position N] [--smoothing I] [--add TEXT] [--from I] [--to I] [--matched-filter] [--f3db TEXT]\n"
    "         [--q TEXT] [--slope TEXT] [--calibration FILE.trg] [--invert-in] [--invert-ref] [-o OUT]\n";

int usageError(const std::string& what)
{
    std::fprintf(stderr, "vantrel-cli process: %s\n%s", what.c_str(), kUsage);
    return 2;
}

bool parseIndex(std::string_view text, int low, int high, int& out)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

int runProcess(std::span<const std::string_view> args)
{
    MlsSettings settings;
    std::string recording, output, calibrationPath;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        auto value = [&](std::string_view& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string_view v;
        auto index = [&](int low, int high, int& field) {
            if (!value(v))
                return usageError(std::string(a) + " needs a value");
            if (!parseIndex(v, low, high, field))
                return usageError(std::string(a) + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                                  ", not '" + std::string(v) + "'");
            return 0;
        };
        auto text = [&](std::string& field) {
            if (!value(v))
                return usageError(std::string(a) + " needs a value");
            field = std::string(v);
            return 0;
        };
        int bad = 0;
        if (a == "--window")
            bad = index(0, static_cast<int>(kWindowTypeTexts.size()) - 1, settings.windowTypeIndex);
        else if (a == "--width")
            bad = text(settings.windowWidthText);
        else if (a == "--front")
            bad = text(settings.frontWindowText);
        else if (a == "--front-window")
            settings.frontWindowOn = 1;
        else if (a == "--position")
            bad = index(0, 400, settings.fftWindowPosition);
        else if (a == "--smoothing")
            bad = index(0, static_cast<int>(kSmoothingTexts.size()) - 1, settings.smoothingIndex);
        else if (a == "--add")
            bad = text(settings.addDbText);
        else if (a == "--from")
            bad = index(0, static_cast<int>(kAxisFromHz.size()) - 1, settings.fromIndex);
        else if (a == "--to")
            bad = index(0, static_cast<int>(kAxisToHz.size()) - 1, settings.toIndex);
        else if (a == "--matched-filter")
            settings.useMatchedFilter = 1;
        else if (a == "--f3db")
            bad = text(settings.filterF3dbText);
        else if (a == "--q")
            bad = text(settings.filterQText);
        else if (a == "--slope")
            bad = text(settings.filterSlopeText);
        else if (a == "--calibration")
            bad = text(calibrationPath);
        else if (a == "--invert-in")
            settings.inPolarity = -1;
        else if (a == "--invert-ref")
            settings.refPolarity = -1;
        else if (a == "-o")
            bad = text(output);
        else if (a.starts_with("-"))
            bad = usageError("unknown option '" + std::string(a) + "'");
        else if (recording.empty())
            recording = std::string(a);
        else
            bad = usageError("more than one recording given ('" + std::string(a) + "')");
        if (bad)
            return bad;
    }
    if (recording.empty())
        return usageError("no recording given");
    if (FrequencyAxis::fromHz(settings.fromIndex) >= FrequencyAxis::toHz(settings.toIndex))
        return usageError("the lower frequency limit (--from) must lie below the upper one (--to)");

    CalibrationCurve calibration{};
    if (!calibrationPath.empty()) {
        const TargetReadResult read = readTargetFile(calibrationPath, calibration);
        if (read.status == TargetReadStatus::CannotOpen)
            return usageError("cannot open the calibration file '" + calibrationPath + "'");
        if (read.status != TargetReadStatus::Complete)
            return usageError("the calibration file '" + calibrationPath + "' holds only " + std::to_string(read.points) +
                              " of " + std::to_string(kTargetFilePoints) + " points");
        settings.useCalibration = 1;
    }

    auto engine = std::make_unique<MlsEngine>();
    const ResImport import = engine->importRecording(recording.c_str());
    if (import.outcome == ResImport::Outcome::unableToOpen)
        return usageError("cannot open the recording '" + recording + "'");
    if (!import.ok()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(import.message().size()), import.message().data());
        return 1;
    }
    settings.rateIndex = import.rateIndex;
    settings.mlsLengthIndex = import.mlsLengthIndex;
    if (const MlsStatus status = engine->rebuildMlsTables(settings); !status.ok()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(status.message.size()), status.message.data());
        return 1;
    }
    engine->splitCapture(settings);
    engine->computeImpulseResponses(settings);
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    if (const MlsStatus status = engine->computeFrequencyResponse(settings, axis, calibration); !status.ok()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(status.message.size()), status.message.data());
        return 1;
    }

    std::FILE* out = stdout;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, std::fclose);
    if (!output.empty()) {
        file.reset(std::fopen(output.c_str(), "wb"));
        if (!file)
            return usageError("cannot write '" + output + "'");
        out = file.get();
    }
    const std::string text = formatTargetFile(axis, engine->response());
    std::fwrite(text.data(), 1, text.size(), out);
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(stderr, "vantrel-cli process: writing the response failed\n");
        return 2;
    }
    return 0;
}

const CliRegistration registration({"process",
                                    "RECORDING.RES [options] [-o OUT]  frequency response of a stored recording (750 lines)",
                                    runProcess});

} // namespace
} // namespace vantrel
