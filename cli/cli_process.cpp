// vantrel-cli process RECORDING.RES [options] [-o OUT]: a stored recording through the
// measurement engine to its 750-point frequency response, written in the target-file text form
// ("%.2f    %.2f    %.2f  " CR LF: frequency in Hz, level in dB, phase in degrees).

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "balloon/frequency_axis.h"
#include "calibration/target_file.h"
#include "mls/mls_engine.h"
#include "mls/mls_settings.h"

namespace vantrel {
namespace {

struct ProcessOptions {
    MlsSettings settings;
    std::string recording, output, calibrationPath;
};

int runProcess(ProcessOptions& o)
{
    MlsSettings& settings = o.settings;
    const std::string& recording = o.recording;
    const std::string& output = o.output;
    const std::string& calibrationPath = o.calibrationPath;
    if (FrequencyAxis::fromHz(settings.fromIndex) >= FrequencyAxis::toHz(settings.toIndex))
        return cliUsageError("process", "the lower frequency limit (--from) must lie below the upper one (--to)");

    CalibrationCurve calibration{};
    if (!calibrationPath.empty()) {
        const TargetReadResult read = readTargetFile(calibrationPath, calibration);
        if (read.status == TargetReadStatus::CannotOpen)
            return cliUsageError("process", "cannot open the calibration file '" + calibrationPath + "'");
        if (read.unusableLevel)
            return cliRefusal("process", "the calibration file '" + calibrationPath + "' holds a level of no usable size at point " +
                                             std::to_string(read.points + 1) + "; nothing was written");
        if (read.status != TargetReadStatus::Complete)
            return cliUsageError("process", "the calibration file '" + calibrationPath + "' holds only " + std::to_string(read.points) +
                              " of " + std::to_string(kTargetFilePoints) + " points");
        settings.useCalibration = 1;
    }

    auto engine = std::make_unique<MlsEngine>();
    const ResImport import = engine->importRecording(recording.c_str());
    if (import.outcome == ResImport::Outcome::unableToOpen)
        return cliUsageError("process", "cannot open the recording '" + recording + "'");
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
            return cliUsageError("process", "cannot write '" + output + "'");
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

std::function<int()> setupProcess(CLI::App& app)
{
    auto o = std::make_shared<ProcessOptions>();
    MlsSettings& s = o->settings;
    const int lastWindow = static_cast<int>(kWindowTypeTexts.size()) - 1;
    const int lastSmoothing = static_cast<int>(kSmoothingTexts.size()) - 1;
    app.add_option("RECORDING", o->recording, "the stored recording (*.RES)")->required();
    app.add_option("--window", s.windowTypeIndex, "time window type, 0..9 as the measurement window lists them")
        ->check(CLI::Range(0, lastWindow));
    app.add_option("--width", s.windowWidthText, "time window width in samples (text, as typed in the edit)");
    app.add_option("--front", s.frontWindowText, "front window width in samples (text)");
    app.add_flag_callback("--front-window", [&s] { s.frontWindowOn = 1; }, "apply the front window");
    app.add_option("--position", s.fftWindowPosition, "FFT window position in samples, 0..400")->check(CLI::Range(0, 400));
    app.add_option("--smoothing", s.smoothingIndex, "smoothing, 0..5 as the measurement window lists them")
        ->check(CLI::Range(0, lastSmoothing));
    app.add_option("--add", s.addDbText, "level added to the response in dB (text)");
    app.add_option("--from", s.fromIndex, "lower frequency limit, index of the \"From:\" list")
        ->check(CLI::Range(0, static_cast<int>(kAxisFromHz.size()) - 1));
    app.add_option("--to", s.toIndex, "upper frequency limit, index of the \"To:\" list")
        ->check(CLI::Range(0, static_cast<int>(kAxisToHz.size()) - 1));
    app.add_flag_callback("--matched-filter", [&s] { s.useMatchedFilter = 1; }, "apply the matched filter");
    app.add_option("--f3db", s.filterF3dbText, "matched filter -3 dB frequency in Hz (text)");
    app.add_option("--q", s.filterQText, "matched filter Q (text)");
    app.add_option("--slope", s.filterSlopeText, "matched filter slope (text)");
    app.add_option("--calibration", o->calibrationPath, "calibration curve to apply (*.trg target file)");
    app.add_flag_callback("--invert-in", [&s] { s.inPolarity = -1; }, "invert the IN channel");
    app.add_flag_callback("--invert-ref", [&s] { s.refPolarity = -1; }, "invert the REF channel");
    app.add_option("-o,--output", o->output, "write the response here instead of standard output");
    return [o] { return runProcess(*o); };
}

const CliRegistration registration({"process", "Frequency response of a stored recording (750 lines of Hz, dB, degrees)",
                                    setupProcess});

} // namespace
} // namespace vantrel
