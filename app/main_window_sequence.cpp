// The main window's part of the automatic balloon walk: "RUN Test", "ABORT Test", timer 7000
// and the point view the walk marks.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/main_window.h"
#include "app/preferences.h"
#include "balloon/balloon_file.h"
#include "app/main_window_controls.h"
#include "mls/measurement_window.h"

namespace vantrel {

namespace {

constexpr int kOffGridIndex = -100;
constexpr std::string_view kSequenceCaption = "Karvell";

} // namespace

void MainWindow::createSequencer()
{
    SequencerContext context{*host_,
                             *turntables_,
                             sequence_,
                             selection_,
                             *matrix_,
                             settings_,
                             platform_.log(),
                             [this] { return angleGrid_; },
                             [this] { return measurementDialog(); },
                             [this] { showRadioMarks(); },
                             [this](const PointViewRequest& request) { drawPointView(request); },
                             [this](SequenceEvent event) { return autosaveEvent(event); },
                             [this] { return platform_.clock().tickMs(); },
                             [this] { return pacing_; }};
    sequencer_ = std::make_unique<BalloonSequencer>(std::move(context));
}

bool MainWindow::sequenceCommand(int id)
{
    if (id == main_ids::kRunTest && sequence_.sequenceRunning) {
        sequencer_->run(); // a halted walk goes on; a running one ignores the press
        return true;
    }
    // The checks come before the offer: a "Yes" replaces the balloon and the settings, which
    // only a walk that then starts may do.
    if (id == main_ids::kRunTest && !sequencer_->readyToStart())
        return true;
    // A new walk would overwrite the autosave of an interrupted one (a walk a fault halted, or
    // one declined at start-up): the operator is asked first.
    if (id == main_ids::kRunTest && askBeforeNewWalk_ && !pendingResume_)
        offerResume();
    // A resume goes on with the balloon its autosave keeps; a new walk overwrites the one in memory.
    if (id == main_ids::kRunTest && !pendingResume_ && !mayOverwriteBalloon())
        return true;
    if (id == main_ids::kRunTest && pendingResume_) {
        const AutosaveProgress progress = *pendingResume_;
        // Taken over before the walk goes on: a walk with nothing left but its end completes
        // at once and stores the whole balloon. The record keeps naming the last stored point
        // until the next one is stored.
        autosave_ = std::make_unique<BalloonAutosave>(autosaveDirectory_, devices_.autosaveLimitBytes);
        const auto warning = autosave_->resume(progress);
        if (measurement_ && pendingGate_)
            measurement_->resumeGate(*pendingGate_);
        autosavedRecord_.reset();
        if (sequencer_->resume(progress.phase, progress.hAngle, progress.vAngle, progress.pointsDone)) {
            pendingResume_.reset();
            pendingGate_.reset();
            if (warning)
                host_->message(*warning + "\n\nThe measurement goes on without its autosave.", kSequenceCaption,
                               MessageIcon::Warning);
            resumeDistortionAutosave();
        }
    } else if (id == main_ids::kRunTest)
        sequencer_->run();
    else if (id == main_ids::kAbortTest)
        sequencer_->abort();
    else
        return false;
    return true;
}

AutosaveProgress MainWindow::autosaveProgress(AutosaveState state) const
{
    AutosaveProgress p;
    p.state = state;
    p.gridFlag = angleGridFlag(angleGrid_);
    p.phase = sequence_.sequencePhase;
    p.hAngle = sequence_.currentHAngle;
    p.vAngle = sequence_.currentVAngle;
    p.pointsDone = sequencer_->pointsDone();
    p.simulatedRig = devices_.simulatedRig;
    p.simA2 = devices_.simA2;
    p.simA3 = devices_.simA3;
    p.excitation = excitation_.sweep ? AutosaveExcitation::sweep : AutosaveExcitation::mls;
    if (excitation_.sweep) {
        p.sweepF1Hz = excitation_.f1Hz;
        p.sweepF2Hz = excitation_.f2Hz;
    }
    p.time = static_cast<std::int64_t>(std::time(nullptr));
    return p;
}

std::optional<std::string> MainWindow::autosaveEvent(SequenceEvent event)
{
    // The balloon a new walk starts on was saved or discarded at "RUN Test".
    if (event == SequenceEvent::started || event == SequenceEvent::stored || event == SequenceEvent::completed)
        balloonUnsaved_ = event != SequenceEvent::started;
    // From the first point on, the balloon is this walk's, no longer the file's it was loaded from.
    if (event == SequenceEvent::started)
        loadedSource_.reset();
    std::optional<std::string> warning = balloonAutosaveEvent(event);
    std::optional<std::string> distortion = distortionEvent(event);
    // Each says what it lost; one does not hide the other.
    if (warning && distortion)
        return *warning + "\n\n" + *distortion;
    return warning ? warning : distortion;
}

std::optional<std::string> MainWindow::balloonAutosaveEvent(SequenceEvent event)
{
    switch (event) {
    case SequenceEvent::started: {
        if (measurement_) // the gate is found afresh at the walk's first point
            measurement_->newWalk();
        pendingResume_.reset();
        pendingGate_.reset();
        autosavedRecord_.reset();
        autosave_ = std::make_unique<BalloonAutosave>(autosaveDirectory_, devices_.autosaveLimitBytes);
        AutosaveProgress first = autosaveProgress(AutosaveState::running);
        // No point is stored yet: the record names the one before the first.
        first.hAngle = -gridStepDegrees(angleGrid_);
        PreferencesRecord runSettings{};
        packPreferences(settings_, calibration_, runSettings);
        if (auto warning = autosave_->start(*matrix_, trailerOfSettings(settings_, angleGrid_), runSettings, first))
            return *warning + "\n\nThe measurement goes on without its autosave.";
        return std::nullopt;
    }
    case SequenceEvent::stored: {
        if (!autosave_ || !autosave_->active())
            return std::nullopt;
        const AutosaveProgress p = autosaveProgress(AutosaveState::running);
        const CellIndex cell{rowForAngle(p.vAngle, angleGrid_), columnForAngle(p.hAngle, angleGrid_)};
        if (auto error = autosave_->storeCell(*matrix_, cell, p))
            return "The autosave could not keep the point: " + *error;
        // The gate is found at the first point: its record goes beside the autosave then, so
        // that a resumed walk keeps it.
        if (const MeasurementRecord record = measurementRecord(); record != autosavedRecord_) {
            if (auto error = saveMeasurementRecord(measurementRecordPathFor(autosave_->balloonPath()), record))
                return "The autosave could not keep the measurement record: " + *error;
            autosavedRecord_ = record;
        }
        return std::nullopt;
    }
    case SequenceEvent::completed:
        if (autosave_ && autosave_->active())
            if (auto error = autosave_->storeAll(*matrix_, autosaveProgress(AutosaveState::finished));
                error || (error = saveMeasurementRecord(measurementRecordPathFor(autosave_->balloonPath()),
                                                        measurementRecord())))
                return "The autosave could not keep the finished balloon: " + *error;
        return std::nullopt;
    case SequenceEvent::aborted:
        if (autosave_ && autosave_->active())
            (void)autosave_->record(autosaveProgress(AutosaveState::aborted));
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> MainWindow::prepareResume(const std::string& directory)
{
    const std::optional<AutosaveProgress> progress = readAutosaveProgress(directory);
    if (!progress)
        return "no valid progress record '" + std::string(kAutosaveProgressName) + "' in '" + directory + "'";
    if (progress->state != AutosaveState::running)
        return "the measurement in '" + directory + "' is not interrupted: it was " +
               (progress->state == AutosaveState::finished ? "finished" : "aborted");
    const auto rigName = [](bool simulated) {
        return std::string(simulated ? "the simulated rig" : "turntables and a sound card");
    };
    if (progress->simulatedRig != devices_.simulatedRig)
        return "the measurement in '" + directory + "' was made on " + rigName(progress->simulatedRig) + ", this is " +
               rigName(devices_.simulatedRig) + ": its points would not match the ones kept";
    if (progress->simulatedRig && devices_.simulatedRig &&
        (progress->simA2 != devices_.simA2 || progress->simA3 != devices_.simA3))
        return "the measurement in '" + directory + "' was made on a simulated rig with the distortion " +
               simDistortionText(progress->simA2, progress->simA3) + ", this rig has " +
               simDistortionText(devices_.simA2, devices_.simA3) + ": its points would not match the ones kept";
    const LoadedRecord keptRecord =
        loadMeasurementRecordFor((std::filesystem::path(directory) / kAutosaveBalloonName).string());
    if (!keptRecord.error.empty())
        return keptRecord.error;
    ExcitationSettings excitation;
    std::unique_ptr<DistortionBalloon> keptDistortion;
    if (auto refusal = readDistortionResume(directory, *progress, excitation, keptDistortion))
        return refusal;
    const std::string path = (std::filesystem::path(directory) / kAutosaveBalloonName).string();
    const BalloonLoadResult loaded = loadBalloon(path, *matrix_);
    if (!loaded)
        return loaded.error;
    // The run's own settings and calibration, so that the rest is measured as the start was;
    // the balloon's trailer has the last word on what it records.
    if (const auto kept = readAutosaveSettings(directory, kPreferencesSize)) {
        PreferencesRecord record{};
        std::copy(kept->begin(), kept->end(), record.begin());
        (void)unpackPreferences(record, settings_, calibration_);
    }
    const BalloonTrailer& t = *loaded.settings;
    settings_.windowTypeIndex = t.windowTypeIndex;
    settings_.rateIndex = t.rateIndex;
    settings_.smoothingIndex = t.smoothingIndex;
    settings_.fftWindowPosition = t.fftWindowPosition;
    settings_.fromIndex = t.fromIndex;
    settings_.toIndex = t.toIndex;
    angleGrid_ = angleGridFromFlag(progress->gridFlag);
    // The rest is measured with the excitation the walk started with.
    excitation_ = excitation;
    distortion_ = std::move(keptDistortion);
    // The rest is measured on the axis of the cells already kept, and the window shows it.
    axis_.buildFromIndexes(settings_.fromIndex, settings_.toIndex);
    if (MeasurementWindow* m = measurementDialog())
        m->settingsReplaced();
    autosaveDirectory_ = directory;
    pendingResume_ = *progress;
    pendingGate_ = keptRecord.record ? keptRecord.record->gate : std::nullopt;
    if (pendingGate_) {
        // The run's settings were kept at its start, before its first point set the gate's
        // window: the rest is measured through the window the kept cells were.
        const MeasurementRecord& r = *keptRecord.record;
        settings_.windowTypeIndex = r.windowType;
        settings_.fftWindowPosition = r.windowPosition;
        settings_.windowWidthText = std::to_string(static_cast<long long>(r.windowSamples));
        settings_.windowTimeText = windowTimeText(settings_.windowWidthText, settings_.sampleRate());
        if (MeasurementWindow* m = measurementDialog())
            m->settingsReplaced();
    }
    balloonUnsaved_ = false; // the balloon in memory is the autosave's
    showRadioMarks();
    drawCurrentView();
    return std::nullopt;
}

void MainWindow::offerResume(bool atStartUp)
{
    const std::optional<AutosaveProgress> progress = readAutosaveProgress(autosaveDirectory_);
    if (!progress || progress->state != AutosaveState::running)
        return;
    // The question names the point the walk goes on with.
    int phase = progress->phase, h = progress->hAngle, v = progress->vAngle;
    (void)nextWalkPoint(angleGridFromFlag(progress->gridFlag), phase, h, v);
    char text[96];
    std::snprintf(text, sizeof text, "Resume the interrupted balloon measurement at H=%d, V=%d ?", h, v);
    if (host_->message(text, kSequenceCaption, MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return; // the file stays
    if (auto error = prepareResume(autosaveDirectory_))
        host_->message(*error, kSequenceCaption, MessageIcon::Warning);
    else if (atStartUp)
        host_->message("The walk goes on at \"RUN Test\": connect both turntables (\"Connect TT1\", \"Connect TT2\") "
                       "and open \"Measurements\" first.",
                       kSequenceCaption, MessageIcon::Information);
}

void MainWindow::drawPointView(const PointViewRequest& request)
{
    if (request.clear) {
        // A new walk starts from an empty balloon point grid: rows and points 0..75, all zero.
        PointGrid& points = display_->grids().balloon;
        for (int row = 0; row <= 75; ++row)
            for (int point = 0; point <= 75; ++point)
                points[static_cast<std::size_t>(row)][static_cast<std::size_t>(point)] = ModelPoint{};
        drawBalloonPoints(1, 0, 0, 0);
        platform_.log().record("points", "clear");
    } else if (request.mark) {
        drawBalloonPoints(0, request.vIndex, request.hIndex, 1);
        platform_.log().record("points", "mark " + std::to_string(request.vIndex) + " " + std::to_string(request.hIndex));
    } else {
        // The walk has left the grid: the marked view is drawn again with a position that
        // lies on no grid, so nothing new is marked.
        drawBalloonPoints(0, kOffGridIndex, kOffGridIndex, 1);
        platform_.log().record("points", "redraw");
    }
    host_->showDrawing();
}

} // namespace vantrel
