// vantrel-cli merge GATED.BAL NF.txt -o MERGED.BAL [--merge-hz F] [--radius MM] [--distance-m M]:
// a gated balloon completed below its gate by a near-field curve (analysis/nearfield_merge.h).
// Everything is checked before anything is written; MERGED.MSR records the merge band beside
// the rest of the gated balloon's record.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "analysis/near_field_curve.h"
#include "analysis/nearfield_merge.h"
#include "balloon/balloon_file.h"
#include "balloon/measurement_record.h"
#include "balloon/valid_band.h"
#include "cli/cli_command.h"
#include "platform/number_text.h"

namespace vantrel {
namespace {

constexpr std::string_view kName = "merge";

struct MergeOptions {
    std::string gated, nearField, output;
    double mergeHz = 0, radiusMm = 0, distanceM = 2;
    bool mergeGiven = false;
};

int run(const MergeOptions& o)
{
    std::error_code ec;
    if (std::filesystem::equivalent(o.gated, o.output, ec))
        return cliUsageError(kName, "-o " + o.output + " names the gated balloon itself: write the merge elsewhere");
    const LoadedRecord loaded = loadMeasurementRecordFor(o.gated);
    const std::string recordPath = measurementRecordPathFor(o.gated);
    if (!loaded.error.empty())
        return cliUsageError(kName, loaded.error + "; nothing was written");
    if (!loaded.record)
        return cliUsageError(kName, o.gated + " has no measurement record (" + recordPath +
                                        "): a merge needs the gate it was measured with; nothing was written");
    if (!loaded.record->gate)
        return cliUsageError(kName, recordPath + " records no gate: a merge needs a gated balloon; nothing was written");
    if (loaded.record->merge)
        return cliUsageError(kName, recordPath + " records a merge already (merge-hz " +
                                        cleanFixedText(loaded.record->merge->lowHz, 0) + " " +
                                        cleanFixedText(loaded.record->merge->highHz, 0) + "); nothing was written");
    const NearFieldLoad near = loadNearFieldCurve(o.nearField);
    if (!near.curve)
        return cliUsageError(kName, near.error + "; nothing was written");
    const double radiusMm = o.radiusMm > 0 ? o.radiusMm : near.curve->radiusMm;
    if (o.radiusMm < 0 || o.radiusMm > 1000)
        return cliUsageError(kName, "--radius " + cleanFixedText(o.radiusMm, 3) + ": a radius is 0..1000 mm");
    if (!(radiusMm > 0))
        return cliUsageError(kName, o.nearField + " states no radius: give --radius MM; nothing was written");
    if (!(o.distanceM > 0 && o.distanceM <= 100))
        return cliUsageError(kName, "--distance-m " + cleanFixedText(o.distanceM, 3) + ": the measuring distance is 0..100 m");

    std::optional<BalloonMatrix> matrix = BalloonMatrix::create();
    if (!matrix)
        return cliRefusal(kName, "not enough memory for the balloon");
    const BalloonLoadResult load = loadBalloon(o.gated, *matrix);
    if (!load)
        return cliUsageError(kName, load.error + "; nothing was written");
    const BalloonTrailer trailer = *load.settings;
    FrequencyAxis axis;
    axis.buildFromIndexes(trailer.fromIndex, trailer.toIndex);
    const AngleGrid grid = angleGridFromFlag(trailer.angleGridFlag);

    NearFieldMergeOptions options;
    options.radiusM = radiusMm / 1000;
    options.distanceM = o.distanceM;
    options.gateMs = loaded.record->gate->ms;
    options.nearDistanceM = near.curve->distanceMm / 1000;
    options.driveDb = driveDifferenceDb(*loaded.record, *near.curve);
    if (o.mergeGiven)
        options.mergeHz = o.mergeHz;
    const NearFieldMergeResult r =
        mergeNearField(*matrix, axis, grid, validBand(trailer, axis).first, *near.curve, options);
    if (r.refusal)
        return cliUsageError(kName, *r.refusal + "; nothing was written");

    if (auto error = saveBalloon(o.output, *matrix, trailer))
        return cliUsageError(kName, *error);
    MeasurementRecord record = *loaded.record;
    record.merge = r.plan.band;
    if (auto error = saveMeasurementRecord(measurementRecordPathFor(o.output), record))
        return cliUsageError(kName, "the balloon is saved, its record is not: " + *error);

    const NearFieldMergePlan& p = r.plan;
    std::printf("overlap band: %s..%s Hz (gate %s ms, near field below c/6a, a = %s mm)\n",
                cleanFixedText(p.overlapLowHz, 0).c_str(), cleanFixedText(p.overlapHighHz, 0).c_str(),
                cleanFixedText(options.gateMs, 2).c_str(), cleanFixedText(radiusMm, 1).c_str());
    std::printf("merge band: %s..%s Hz about %s Hz\n", cleanFixedText(p.band.lowHz, 0).c_str(),
                cleanFixedText(p.band.highHz, 0).c_str(), cleanFixedText(p.mergeHz, 0).c_str());
    std::printf("near field to %s m: Keele %s dB, fitted %s dB (rms misfit %s dB), delay %s ms, phase %s deg\n",
                cleanFixedText(o.distanceM, 2).c_str(), fixedText(r.keeleGainDb, 2, true).c_str(),
                fixedText(r.fittedGainDb, 2, true).c_str(), cleanFixedText(r.fitResidualDb, 2).c_str(),
                cleanFixedText(r.delayMs, 3).c_str(), cleanFixedText(r.phaseDegrees, 1).c_str());
    if (options.driveDb != 0)
        std::printf("the walk was driven %s dB above the near field: Keele's estimate includes it\n",
                    fixedText(options.driveDb, 2, true).c_str());
    std::printf("saved: %s\n", o.output.c_str());
    return 0;
}

std::function<int()> setupMerge(CLI::App& app)
{
    auto o = std::make_shared<MergeOptions>();
    app.add_option("GATED", o->gated, "the gated balloon (*.BAL with its *.MSR record of the gate)")->required();
    app.add_option("NEARFIELD", o->nearField, "the near-field curve (vantrel-cli nearfield)")->required();
    app.add_option("-o", o->output, "the merged balloon to write (*.BAL; its *.MSR beside it)")->required();
    addDecimalOption(app, "--merge-hz", o->mergeHz,
                     "the middle of the crossfade, Hz, inside the overlap band (default its geometric middle)")
        ->each([o](const std::string&) { o->mergeGiven = true; });
    addDecimalOption(app, "--radius", o->radiusMm, "the low-frequency radiator's radius, mm (default: the curve's)");
    addDecimalOption(app, "--distance-m", o->distanceM, "the balloon's measuring distance, m (default 2)");
    return [o] { return run(*o); };
}

const CliRegistration registration({"merge", "Complete a gated balloon below its gate with a near-field curve", setupMerge});

} // namespace
} // namespace vantrel
