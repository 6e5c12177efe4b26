// The distortion balloon of a walk measured with the swept sine: each stored sweep
// measurement's harmonics go into the cell of its angles, the autosave keeps them cell by cell
// beside "autosave.BAL" ("autosave.DST"), and a resumed walk takes them and the sweep back.

#include <filesystem>

#include "app/main_window.h"
#include "mls/measurement_window.h"

namespace vantrel {

namespace {

constexpr std::string_view kSequenceCaption = "Karvell";

std::string distortionAutosavePath(const std::string& directory)
{
    return (std::filesystem::path(directory) / kAutosaveDistortionName).string();
}

} // namespace

void MainWindow::storeHarmonics(int hAngle, int vAngle, const HarmonicResponses& harmonics)
{
    const SweepPlan* plan = measurement_ ? &measurement_->engine().sweepPlan() : nullptr;
    if (!distortion_ || distortion_->grid() != angleGrid_) {
        distortion_ = std::make_unique<DistortionBalloon>();
        distortion_->reset(angleGrid_, plan ? plan->f1 : excitation_.f1Hz, plan ? plan->f2 : excitation_.f2Hz, axis_);
    }
    (void)distortion_->store(hAngle, vAngle, harmonics.harmonicDb[0], harmonics.harmonicDb[1], harmonics.thdDb,
                             harmonics.noiseDb);
}

std::optional<std::string> MainWindow::distortionEvent(SequenceEvent event)
{
    const std::string path = distortionAutosavePath(autosaveDirectory_);
    switch (event) {
    case SequenceEvent::started: {
        distortionAutosave_.reset();
        std::error_code ec;
        if (!excitation_.sweep) {
            // An MLS walk has no harmonics: a sweep's file left from before must not be taken
            // for this walk's at a resume, nor a balloon's from before shown for this one.
            std::filesystem::remove(path, ec);
            distortion_.reset();
            return std::nullopt;
        }
        distortion_ = std::make_unique<DistortionBalloon>();
        const double nyquist = settings_.sampleRate() / 2.0;
        distortion_->reset(angleGrid_, excitation_.f1Hz, excitation_.f2Hz > 0 ? excitation_.f2Hz : nyquist, axis_);
        distortionAutosave_ = std::make_unique<DistortionAutosave>(path);
        if (auto warning = distortionAutosave_->start(*distortion_)) {
            distortionAutosave_.reset();
            return *warning + "\n\nThe measurement goes on without the autosave of its distortion.";
        }
        return std::nullopt;
    }
    case SequenceEvent::stored: {
        if (!distortionAutosave_ || !distortion_)
            return std::nullopt;
        const int row = rowForAngle(sequence_.currentVAngle, angleGrid_);
        const int column = columnForAngle(sequence_.currentHAngle, angleGrid_);
        if (auto error = distortionAutosave_->storeCell(*distortion_, row, column))
            return "The autosave could not keep the point's distortion: " + *error;
        return std::nullopt;
    }
    case SequenceEvent::completed:
        if (distortion_) {
            distortion_->fillPoleRow();
            if (distortionAutosave_)
                if (auto error = saveDistortion(path, *distortion_))
                    return "The autosave could not keep the finished distortion balloon: " + *error;
        }
        return std::nullopt;
    case SequenceEvent::aborted:
        distortionAutosave_.reset();
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> MainWindow::readDistortionResume(const std::string& directory,
                                                             const AutosaveProgress& progress,
                                                             ExcitationSettings& excitation,
                                                             std::unique_ptr<DistortionBalloon>& kept) const
{
    const std::string path = distortionAutosavePath(directory);
    std::error_code ec;
    const bool present = std::filesystem::exists(path, ec);
    std::string error;
    std::optional<DistortionBalloon> loaded = present ? loadDistortion(path, error) : std::nullopt;
    const auto unreadable = [&](std::string_view why) {
        return "the measurement in '" + directory + "' " + std::string(why) + ", and its distortion autosave '" +
               kAutosaveDistortionName + "' cannot be read (" + error + ")";
    };
    excitation = excitation_;
    kept.reset();
    switch (progress.excitation) {
    case AutosaveExcitation::mls:
        excitation.sweep = false;
        return std::nullopt;
    case AutosaveExcitation::sweep:
        // Going on over a damaged file would replace the harmonics it still holds.
        if (present && !loaded)
            return unreadable("was measured with the log sweep");
        excitation.sweep = true;
        excitation.f1Hz = progress.sweepF1Hz;
        excitation.f2Hz = progress.sweepF2Hz;
        break;
    case AutosaveExcitation::unknown:
        // A record from before the excitation was kept: the file is the only witness.
        if (!present) {
            excitation.sweep = false;
            return std::nullopt;
        }
        if (!loaded)
            return unreadable("does not say which excitation it was measured with");
        excitation.sweep = true;
        excitation.f1Hz = loaded->f1();
        excitation.f2Hz = loaded->f2();
        break;
    }
    if (loaded)
        kept = std::make_unique<DistortionBalloon>(std::move(*loaded));
    return std::nullopt;
}

void MainWindow::resumeDistortionAutosave()
{
    if (!excitation_.sweep)
        return;
    const std::string path = distortionAutosavePath(autosaveDirectory_);
    distortionAutosave_ = std::make_unique<DistortionAutosave>(path);
    if (!distortion_) {
        // The walk went on without the autosave of its distortion (it failed at the start): the
        // harmonics are kept from here on, the points before have none.
        distortion_ = std::make_unique<DistortionBalloon>();
        const double nyquist = settings_.sampleRate() / 2.0;
        distortion_->reset(angleGrid_, excitation_.f1Hz, excitation_.f2Hz > 0 ? excitation_.f2Hz : nyquist, axis_);
        std::string text = "The walk had no autosave of its distortion: the points measured before the resume have no "
                           "harmonics.";
        if (auto warning = distortionAutosave_->start(*distortion_)) {
            distortionAutosave_.reset();
            text += "\n\n" + *warning + "\n\nThe measurement goes on without the autosave of its distortion.";
        }
        host_->message(text, kSequenceCaption, MessageIcon::Warning);
        return;
    }
    if (auto warning = distortionAutosave_->resume()) {
        distortionAutosave_.reset();
        host_->message(*warning + "\n\nThe measurement goes on without the autosave of its distortion.", kSequenceCaption,
                       MessageIcon::Warning);
    }
}

} // namespace vantrel
