// vantrel-cli resample B.BAL --grid 5|10 -o OUT.BAL: the balloon on another grid through its
// expansion about the acoustic centre found per frequency; OUT.MSR is B's measurement record
// (the same valid band), OUT.RSM records the resampling (grid, order and residual per point).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "balloon/balloon_file.h"
#include "balloon/measured_balloon.h"
#include "balloon/replace_file.h"
#include "cli/cli_command.h"
#include "field/expansion_levels.h"
#include "field/resample.h"
#include "mls/mls_settings.h"
#include "platform/number_text.h"

namespace vantrel {
namespace {

constexpr const char* kName = "resample";

struct ResampleOptions {
    std::string balloon, out;
    int grid = 5;
};

int runResample(const ResampleOptions& o)
{
    if (o.grid != 5 && o.grid != 10)
        return cliUsageError(kName, "--grid " + std::to_string(o.grid) + ": 5 or 10 (degrees)");
    std::optional<BalloonMatrix> created = BalloonMatrix::create();
    std::optional<BalloonMatrix> made = BalloonMatrix::create();
    if (!created || !made)
        return cliRefusal(kName, "not enough memory for two balloons");
    BalloonMatrix& source = *created;
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(o.balloon, source);
    if (!loaded)
        return cliUsageError(kName, o.balloon + ": " + loaded.error);
    const AngleGrid from = angleGridFromFlag(loaded.settings->angleGridFlag);
    const AngleGrid to = o.grid == 5 ? AngleGrid::Grid5 : AngleGrid::Grid10;
    FrequencyAxis axis;
    axis.buildFromIndexes(loaded.settings->fromIndex, loaded.settings->toIndex);
    const ValidBand band = validBand(*loaded.settings, axis, loaded.measured);
    // Every ring fitted against its own level, at the grid's top order: a fit against the
    // whole field leaves a quiet rear 30 dB down with errors of its own size.
    const SphereOptions options = levelsSphereOptions(from, CentreChoice::found);
    if (const auto refusal = sphereRefusal(source, from, band, options))
        return cliUsageError(kName, o.balloon + ": " + *refusal);
    if (std::filesystem::weakly_canonical(o.out) == std::filesystem::weakly_canonical(o.balloon))
        return cliUsageError(kName, "-o " + o.out + " is the balloon itself: give another name");

    ResamplingRecord record = resampleBalloon(source, from, axis, band, to, options, *made);
    record.source = std::filesystem::path(o.balloon).filename().string();
    if (const auto error = saveBalloon(o.out, *made, made->readTrailer()))
        return cliUsageError(kName, *error);
    if (loaded.record)
        if (const auto error = saveMeasurementRecord(measurementRecordPathFor(o.out), *loaded.record))
            return cliUsageError(kName, *error);
    const std::string side = sidePathFor(o.out, kResamplingRecordSuffix);
    if (const auto error = replaceFile(side, resamplingRecordText(record)))
        return cliUsageError(kName, *error);
    int lowest = 1000, highest = 0;
    double worst = -1000;
    for (const ResampledPoint& p : record.points) {
        lowest = std::min(lowest, p.order);
        highest = std::max(highest, p.order);
        worst = std::max(worst, p.residualDb);
    }
    std::printf("wrote %s: the %d-degree grid from the %d-degree grid of %s through the expansion about the "
                "centre found per frequency, orders %d..%d, residual at the source's grid points up to %s dB\n",
                o.out.c_str(), record.toStep, record.fromStep, record.source.c_str(), lowest, highest,
                cleanFixedText(worst, 1).c_str());
    std::printf("wrote %s\n", side.c_str());
    // The measurement's smoothing averages the level in dB over neighbouring frequencies: the
    // expansion of such a balloon is no sound field where a notch moves with direction.
    const int smoothing = loaded.settings->smoothingIndex;
    if (smoothing >= 0 && smoothing + 1 < static_cast<int>(kSmoothingTexts.size()))
        std::printf("note: %s was measured with Smoothing \"%s\", which averages the level in dB over neighbouring "
                    "frequencies, as no sound field does: where a notch moves with direction, a new cell can miss "
                    "the level a walk measures there by several dB; walks measured with Smoothing \"None\" resample "
                    "as a sound field\n",
                    record.source.c_str(), std::string(kSmoothingTexts[static_cast<std::size_t>(smoothing)]).c_str());
    return 0;
}

std::function<int()> setupResample(CLI::App& app)
{
    auto o = std::make_shared<ResampleOptions>();
    app.add_option("balloon", o->balloon, "the balloon file (*.BAL)")->required();
    app.add_option("--grid", o->grid, "the new grid's step in degrees, 5 or 10")->required();
    app.add_option("-o,--output", o->out, "the new balloon file; its .MSR and .RSM are written beside it")
        ->required();
    return [o] { return runResample(*o); };
}

const CliRegistration registration({"resample",
                                    "The balloon on another grid through its spherical-harmonic expansion about "
                                    "the acoustic centre, with a record of the resampling beside it",
                                    setupResample});

} // namespace
} // namespace vantrel
