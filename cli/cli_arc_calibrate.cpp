// vantrel-cli arc-calibrate: the microphone arc's self-calibration. The loudspeaker's axis is
// turned to face each microphone in turn; each one's complex ratio to the first (level, phase,
// arrival time) is written to a calibration set that `measure --arc-calibration` applies.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/arc_file.h"
#include "app/balloon_job.h"
#include "app/measure_plan.h"
#include "balloon/frequency_axis.h"
#include "cli/cli_command.h"
#include "platform/audio_system.h"
#include "platform/number_text.h"
#include "platform/sim/sim_arc.h"

namespace vantrel {
namespace {

constexpr std::string_view kName = "arc-calibrate";

struct ArcCalibrateOptions {
    bool simulate = false;
    std::string tt1, tt2;
    int input = -1, output = -1;
    int grid = 5;
    int order = 16, rate = 48000;
    std::string simArc, arcFile, calibration, preferences;
    std::optional<std::uint32_t> micErrorsSeed;
};

int run(const ArcCalibrateOptions& o)
{
    if (o.simArc.empty() == o.arcFile.empty())
        return cliUsageError(kName, "give the arc: --arc FILE or, on the simulated rig, --sim-arc N,STEP");
    if (o.simulate == (!o.tt1.empty() || !o.tt2.empty()) || (!o.simulate && (o.tt1.empty() || o.tt2.empty())))
        return cliUsageError(kName, "give --simulate, or both --tt1 PORT and --tt2 PORT");
    BalloonJobOptions job;
    job.simulate = o.simulate;
    job.tt1Port = o.tt1;
    job.tt2Port = o.tt2;
    job.inputDevice = o.input;
    job.outputDevice = o.output;
    job.grid = o.grid == 10 ? AngleGrid::Grid10 : AngleGrid::Grid5;
    job.order = o.order;
    job.rateHz = o.rate;
    std::error_code ec;
    job.startDirectory = std::filesystem::current_path(ec).string();
    job.arcCalibrationOutput = o.calibration;
    job.preferencesFile = o.preferences; // the walks' processing, so that the ratios are of like responses
    // Read and wired into the simulated rig as measure reads its arc.
    const ArcOptions arcOptions{o.simArc, o.arcFile, {}, o.micErrorsSeed};
    if (std::string error = readSimArcOption(arcOptions, job.faults); !error.empty())
        return cliUsageError(kName, error);
    ArcSetup setup;
    if (std::string error = readArcFileOptions(arcOptions, job.grid, o.simulate, job.faults, setup); !error.empty())
        return cliUsageError(kName, error);
    job.arc = std::move(setup.arc);

    const BalloonJobResult r = runBalloonJob(job, {}, nullptr);
    if (r.outcome == BalloonJobResult::Outcome::refused)
        return cliRefusal(kName, r.message);
    if (r.outcome != BalloonJobResult::Outcome::completed || !r.arcCalibration)
        return cliRefusal(kName, r.message.empty() ? std::string("the calibration did not complete") : r.message);
    FrequencyAxis axis;
    axis.buildFromIndexes(r.arcCalibration->calibration.fromIndex, r.arcCalibration->calibration.toIndex);
    int k1 = 0;
    while (k1 < kAxisPoints - 1 && axis[k1] < 1000)
        ++k1;
    std::printf("microphone  level at %s Hz  phase  arrival\n", fixedText(axis[k1], 0).c_str());
    for (const ArcMicrophoneCalibration& m : r.arcCalibration->calibration.microphones) {
        const LevelPhase& p = m.ratio[static_cast<std::size_t>(k1)];
        std::printf("%5d deg  %8s dB  %8s deg  %8s us\n", m.angle, cleanFixedText(p.level, 3).c_str(),
                    cleanFixedText(p.phase, 2).c_str(), cleanFixedText(m.arrivalUs, 2).c_str());
    }
    std::printf("rig time: %s s\nsaved: %s\n", fixedText(r.rigSeconds, 1).c_str(), r.savedTo.c_str());
    return 0;
}

std::function<int()> setupArcCalibrate(CLI::App& app)
{
    auto o = std::make_shared<ArcCalibrateOptions>();
    app.add_flag("--simulate", o->simulate, "on the built-in simulated rig (virtual clock)");
    app.add_option("--tt1", o->tt1, "turntable 1 (H): a port list name such as COM5, or a device path");
    app.add_option("--tt2", o->tt2, "turntable 2 (V): a port list name or a device path");
    app.add_option("--input", o->input, "input device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--output", o->output, "output device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--grid", o->grid, "the grid whose steps the arc's angles lie on: 5 or 10")
        ->capture_default_str()
        ->check(CLI::IsMember({5, 10}));
    app.add_option("--order", o->order, "MLS order, 13..18")->capture_default_str()->check(CLI::Range(13, 18));
    app.add_option("--rate", o->rate, "sampling rate in Hz: 48000 or 96000")->capture_default_str()
        ->check(CLI::IsMember({48000, 96000}));
    app.add_option("--arc", o->arcFile, "the arc description (see measure --arc)")->check(CLI::ExistingFile);
    app.add_option("--preferences", o->preferences,
                   "process as the walks will, with this preferences file's settings (smoothing, window)")
        ->check(CLI::ExistingFile);
    app.add_option("--sim-arc", o->simArc, "a simulated arc of N microphones STEP degrees apart")
        ->type_name("N,STEP")
        ->needs("--simulate");
    app.add_option("--sim-mic-errors", o->micErrorsSeed, "the simulated microphones' errors, drawn from SEED")
        ->type_name("SEED")
        ->needs("--simulate");
    app.add_option("-o", o->calibration, "the calibration set to write (arc.cal)")->required();
    return [o] { return run(*o); };
}

const CliRegistration registration({"arc-calibrate",
                                    "Turn the loudspeaker's axis to each microphone of an arc in turn and write each "
                                    "one's level, phase and arrival against the first as a calibration set",
                                    setupArcCalibrate});

} // namespace
} // namespace vantrel
