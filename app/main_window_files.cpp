// The main window's balloon file commands, "Save Data" and "Load Data", and the hand-over of
// the selected cell to the measurement window's plot.

#include "app/main_window.h"

#include "app/main_window_controls.h"
#include "balloon/balloon_file.h"
#include "balloon/measured_balloon.h"
#include "app/distortion_report.h"
#include "mls/curve_slots.h"
#include "mls/measurement_window.h"

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "Karvell";
constexpr std::string_view kTitleName = "Vantrel";
// The file-name buffer holds 2048 characters with the terminating zero.
constexpr std::size_t kFileNameChars = 2047;

} // namespace

BalloonTrailer trailerOfSettings(const MlsSettings& s, AngleGrid grid)
{
    return {s.windowTypeIndex, s.rateIndex, s.smoothingIndex, s.fftWindowPosition,
            s.fromIndex, s.toIndex, angleGridFlag(grid)};
}

std::optional<std::string> MainWindow::chooseBalloonFile(bool save)
{
    FileDialogSpec dialog;
    dialog.save = save; // the save dialog asks before overwriting
    dialog.filterName = "Balloon Files (*.BAL)";
    dialog.filterPattern = "*.bal";
    dialog.initialPath = balloonFileName_;
    std::optional<std::string> path = host_->fileDialog(dialog);
    if (!path)
        return std::nullopt;
    if (path->size() > kFileNameChars) {
        host_->message(*path + "\n\nThe path is longer than 2047 characters.", kCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    balloonFileName_ = *path;
    return path;
}

MeasurementRecord MainWindow::measurementRecord() const
{
    // A merged balloon keeps the record of its merge (the gated walk's, with the merge band).
    if (mergedRecord_)
        return *mergedRecord_;
    return measurementRecordOf(settings_, &excitation_, measurement_ ? measurement_->gateRecord() : std::nullopt);
}

bool MainWindow::saveData()
{
    bool saved = false;
    if (const auto path = chooseBalloonFile(true)) {
        auto error = saveBalloon(*path, *matrix_, trailerOfSettings(settings_, angleGrid_));
        if (!error)
            error = saveMeasurementRecord(measurementRecordPathFor(*path), measurementRecord());
        if (error)
            host_->message(*error, kCaption, MessageIcon::Warning);
        else
            saved = true;
        if (saved)
            rememberBalloon(*path);
    }
    if (saved)
        balloonUnsaved_ = false;
    // Whether saved, failed or cancelled.
    host_->repaintNow();
    host_->setTitle(std::string(kTitleName) + " - " + balloonFileName_);
    drawCurrentView();
    return saved;
}

bool MainWindow::mayOverwriteBalloon()
{
    if (!balloonUnsaved_)
        return true;
    host_->beep(BeepKind::Exclamation);
    switch (host_->message("The balloon in memory has not been saved: a new measurement overwrites it.\n\n"
                           "Save it first? (\"No\" discards it)",
                           kCaption, MessageIcon::Question, MessageButtons::YesNoCancel)) {
    case MessageAnswer::Yes: return saveData(); // a failed or cancelled save starts nothing
    case MessageAnswer::No: return true;
    default: return false;
    }
}

void MainWindow::loadData()
{
    loadBalloonFrom(chooseBalloonFile(false));
}

void MainWindow::loadBalloonFrom(const std::optional<std::string>& path)
{
    if (path) {
        const BalloonLoadResult loaded = loadBalloon(*path, *matrix_);
        if (loaded) {
            balloonUnsaved_ = false;
            mergedRecord_.reset();
            LoadedSource source{matrix_->readTrailer(), *loaded.settings, {}, {}};
            std::optional<MeasurementRecord> record;
            if (auto measured = measuredWithFor(*path, record, source.recordError))
                source.measured = *measured;
            // As the command line reads it: a window in samples without its rate takes the trailer's.
            if (record && record->windowSamples > 0 && !(record->rateHz > 0))
                source.measured.windowSeconds = record->windowSamples / trailerRateHz(loaded.settings->rateIndex);
            loadedSource_ = std::move(source);
            rememberBalloon(*path);
            // The harmonics belong to the balloon they were measured with: its own, or none.
            std::string why;
            std::optional<DistortionBalloon> harmonics = distortionBeside(*path, why);
            distortion_ = harmonics ? std::make_unique<DistortionBalloon>(std::move(*harmonics)) : nullptr;
            if (!why.empty())
                host_->message(distortionPathFor(*path) + "\n\n" + why + "\n\nThe balloon is loaded without its distortion.",
                               kCaption, MessageIcon::Warning);
            const BalloonTrailer& t = *loaded.settings;
            settings_.windowTypeIndex = t.windowTypeIndex;
            settings_.rateIndex = t.rateIndex;
            settings_.smoothingIndex = t.smoothingIndex;
            settings_.fftWindowPosition = t.fftWindowPosition;
            // The axis follows the next time the measurement window computes it.
            settings_.fromIndex = t.fromIndex;
            settings_.toIndex = t.toIndex;
            angleGrid_ = angleGridFromFlag(t.angleGridFlag);
        } else {
            host_->message(loaded.error, kCaption, MessageIcon::Warning);
        }
    }
    // Whether loaded, refused or cancelled. A view of a distortion quantity was of the balloon before.
    if (viewQuantity_)
        showQuantity(std::nullopt);
    refreshViewMenu();
    // Whether loaded, refused or cancelled.
    host_->repaintNow();
    showRadioMarks();
    host_->setTitle(std::string(kTitleName) + " - " + balloonFileName_);
    showCellInMeasurementPlot();
    drawCurrentView();
}

void MainWindow::showCellInMeasurementPlot()
{
    putCellInCurveSlots(*matrix_, {selection_.selectedRow, selection_.selectedColumn}, settings_, *curves_);
    if (MeasurementWindow* m = measurementDialog())
        m->redrawSplPlot();
}

} // namespace vantrel
