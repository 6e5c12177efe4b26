// The near field on the desktop: the curve "Near Field" measured, kept for the run and offered
// to a file, and "Merge Near Field" of the balloon in memory with it, the same merge as
// `vantrel-cli merge`, its record written beside the balloon by the next "Save Data".

#include "app/main_window.h"

#include "analysis/nearfield_merge.h"
#include "balloon/valid_band.h"
#include "mls/measurement_window.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {
constexpr std::string_view kCaption = "Near Field";
} // namespace

void MainWindow::nearFieldMeasured(const AxisLevelPhase& response, double radiusMm)
{
    NearFieldCurve curve;
    curve.distanceMm = kNearFieldDistanceM * 1000;
    curve.radiusMm = radiusMm;
    curve.outputVolumePercent = settings_.outputVolume > 0 ? settings_.outputVolume : 0;
    FrequencyAxis axis;
    axis.buildFromIndexes(settings_.fromIndex, settings_.toIndex);
    const ValidBand band = validBand(trailerOfSettings(settings_, angleGrid_), axis);
    for (int i = band.first; i <= band.last; ++i) {
        curve.hz.push_back(axis[i]);
        curve.levelDb.push_back(response[static_cast<std::size_t>(i)].level);
        curve.phaseDegrees.push_back(response[static_cast<std::size_t>(i)].phase);
    }
    nearField_ = curve;
    FileDialogSpec dialog;
    dialog.save = true;
    dialog.filterName = "Near-Field Curves (*.txt)";
    dialog.filterPattern = "*.txt";
    dialog.initialPath = nearFieldFileName_;
    const std::optional<std::string> path = host_->fileDialog(dialog);
    if (!path)
        return; // kept in memory for "Merge Near Field" all the same
    nearFieldFileName_ = *path;
    if (const auto error = saveNearFieldCurve(*path, curve))
        host_->message(*error, kCaption, MessageIcon::Warning);
}

void MainWindow::mergeNearField()
{
    auto refuse = [&](const std::string& why) { host_->message(why, kCaption, MessageIcon::Warning); };
    if (sequence_.sequenceRunning == 1) {
        host_->beep(BeepKind::Exclamation);
        return;
    }
    if (!nearField_)
        return refuse("No near-field curve: measure one with \"Near Field\" first.");
    if (balloonFileName_.empty())
        return refuse("The balloon in memory comes from no file: load a gated balloon (with its record) first.");
    const LoadedRecord loaded = loadMeasurementRecordFor(balloonFileName_);
    if (!loaded.error.empty())
        return refuse(loaded.error);
    const std::string recordPath = measurementRecordPathFor(balloonFileName_);
    if (!loaded.record || !loaded.record->gate)
        return refuse(balloonFileName_ + " has no gate in its record (" + recordPath + "): only a gated balloon is merged.");
    if (loaded.record->merge || mergedRecord_)
        return refuse("The balloon in memory is merged already.");

    NearFieldMergeOptions options;
    options.radiusM = nearField_->radiusMm / 1000;
    options.nearDistanceM = nearField_->distanceMm / 1000;
    options.gateMs = loaded.record->gate->ms;
    options.driveDb = driveDifferenceDb(*loaded.record, *nearField_);
    FrequencyAxis axis;
    axis.buildFromIndexes(settings_.fromIndex, settings_.toIndex);
    const BalloonTrailer trailer = trailerOfSettings(settings_, angleGrid_);
    const NearFieldMergeResult r = vantrel::mergeNearField(*matrix_, axis, angleGrid_, validBand(trailer, axis).first,
                                                  *nearField_, options);
    if (r.refusal)
        return refuse(*r.refusal + "; the balloon is unchanged.");
    mergedRecord_ = *loaded.record;
    mergedRecord_->merge = r.plan.band;
    balloonUnsaved_ = true;
    drawCurrentView();
    showCellInMeasurementPlot();
    host_->message("Merged below " + cleanFixedText(r.plan.band.highHz, 0) + " Hz, crossfaded over " +
                       cleanFixedText(r.plan.band.lowHz, 0) + ".." + cleanFixedText(r.plan.band.highHz, 0) +
                       " Hz. \"Save Data\" keeps the merge band in the balloon's record.",
                   kCaption, MessageIcon::Information);
}

} // namespace vantrel
