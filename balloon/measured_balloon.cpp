#include "balloon/measured_balloon.h"

#include <filesystem>

#include "balloon/distortion_balloon.h"

namespace vantrel {

MeasuredWith measuredWithOf(const MeasurementRecord& record)
{
    MeasuredWith measured;
    if (record.excitation == RecordedExcitation::sweep) {
        measured.sweepF1Hz = record.sweepF1Hz;
        measured.sweepF2Hz = record.sweepF2Hz;
    }
    measured.windowSeconds = record.windowSeconds();
    measured.merge = record.merge;
    return measured;
}

std::optional<MeasuredWith> measuredWithFor(const std::string& balloonPath, std::optional<MeasurementRecord>& record,
                                            std::string& error)
{
    MeasuredWith measured;
    LoadedRecord loaded = loadMeasurementRecordFor(balloonPath);
    if (!loaded.error.empty()) {
        error = "its measurement record is damaged: " + loaded.error;
        return std::nullopt;
    }
    record = loaded.record;
    if (record)
        return measuredWithOf(*record);
    // No record (a balloon saved before records were written): a sweep walk always leaves its
    // distortion file beside the balloon, and that keeps f1 and f2.
    const std::string distortion = distortionPathFor(balloonPath);
    std::error_code ec;
    if (!std::filesystem::exists(distortion, ec))
        return measured;
    std::string why;
    const auto band = distortionSweepBand(distortion, why);
    if (!band) {
        error = "its distortion file, which holds the sweep's band, is damaged: " + why;
        return std::nullopt;
    }
    measured.sweepF1Hz = band->first;
    measured.sweepF2Hz = band->second;
    return measured;
}

MeasuredBalloonLoad loadMeasuredBalloon(const std::string& path, BalloonMatrix& matrix)
{
    MeasuredBalloonLoad out;
    const std::optional<MeasuredWith> measured = measuredWithFor(path, out.record, out.error);
    if (!measured)
        return out;
    BalloonLoadResult loaded = loadBalloon(path, matrix);
    if (!loaded) {
        out.error = std::move(loaded.error);
        out.record.reset();
        return out;
    }
    out.settings = loaded.settings;
    out.measured = *measured;
    // A record that gives the window in samples but not its rate: the trailer's rate.
    if (out.record && out.record->windowSamples > 0 && !(out.record->rateHz > 0))
        out.measured.windowSeconds = out.record->windowSamples / trailerRateHz(loaded.settings->rateIndex);
    return out;
}

} // namespace vantrel
