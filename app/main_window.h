#pragma once
// The main window: owner of every process-wide record (balloon, settings, curves, calibration
// curve, selection, sequence state), the hub that forwards each control to its module, the
// painter of the status panel, the view area and the legend, and the confirmed exit.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/arc_calibration.h"
#include "app/arc_file.h"
#include "app/arc_walk.h"
#include "balloon/angle_grid.h"
#include "balloon/balloon_autosave.h"
#include "balloon/balloon_matrix.h"
#include "balloon/distortion_balloon.h"
#include "balloon/frequency_axis.h"
#include "balloon/measurement_record.h"
#include "balloon/valid_band.h"
#include "analysis/near_field_curve.h"
#include "mls/frequency_response.h"
#include "app/walk_pacing_file.h"
#include "balloon/selection_state.h"
#include "mls/mls_settings.h"
#include "mls/sweep.h"
#include "platform/audio_system.h"
#include "platform/devices.h"
#include "platform/platform.h"
#include "platform/serial_port.h"
#include "turntable/sequence_state.h"
#include "turntable/turntables.h"
#include "sequencer/balloon_sequencer.h"
#include "app/preferences.h"
#include "calibration/calibration_builder.h"
#include "views/balloon_display.h"

namespace vantrel {

class CalibrationWindow;
class ExportDialog;
class InputDialog;
struct CompareReportOptions;
class ReportWindow;
class MainWindowPrinter;
enum class ExportKind;
struct ExportRequest;
class MeasurementWindow;

// The settings a balloon file keeps.
BalloonTrailer trailerOfSettings(const MlsSettings& s, AngleGrid grid);

class MainWindow final : public WindowClient {
public:
    // Start-up: allocates the process-wide records, opens the window with its controls, loads
    // the preferences from startDirectory. Nothing when the records cannot be allocated (the
    // user has been told, and the platform asked to quit).
    // offerResume: an interrupted autosave in startDirectory is offered for resuming.
    static std::unique_ptr<MainWindow> start(Platform& platform, Devices devices, const std::string& startDirectory,
                                             bool offerResume = true);
    ~MainWindow() override;

    void command(int id, int code) override;
    void scroll(int id, ScrollCode code, int position) override;
    void paint(Canvas& canvas) override;
    void timer(int id) override;
    void closeRequested() override;

    WindowHost& host() { return *host_; }
    BalloonMatrix& matrix() { return *matrix_; }
    MlsSettings& settings() { return settings_; }
    CurveSet& curves() { return *curves_; }
    CalibrationCurve& calibration() { return calibration_; }
    FrequencyAxis& axis() { return axis_; }
    // How the walk is paced; the command line sets it for its run without touching the file.
    WalkPacing& pacing() { return pacing_; }
    SelectionState& selection() { return selection_; }
    SequenceState& sequence() { return sequence_; }
    AngleGrid angleGrid() const { return angleGrid_; }
    Turntables& turntables() { return *turntables_; }
    BalloonSequencer& sequencer() { return *sequencer_; }
    bool destroyed() const { return destroyed_; }
    // The open "MLS Measurement" window, or nullptr while it is closed.
    MeasurementWindow* measurementDialog();

    // The point view on the window, now: clear = 1 only clears the view area; otherwise
    // vIndex and hIndex are the position being measured (angles divided by the grid step) and
    // mark = 1 marks it among the measured positions.
    void drawBalloonPoints(int clear, int vIndex, int hIndex, int mark);
    // The colour or point view of viewMode, drawn on the window now.
    void drawCurrentView();
    BalloonDisplay& display() { return *display_; }

    // Loads an interrupted run's autosave (directory/"autosave.BAL" and its record): cells and
    // settings; the next "RUN Test" continues that walk where it stopped and keeps autosaving
    // there. The reason when there is nothing to resume.
    std::optional<std::string> prepareResume(const std::string& directory);
    const std::string& autosaveDirectory() const { return autosaveDirectory_; }

    // The excitation of the measurements (MLS unless set to the sweep), and the distortion
    // balloon its sweep measurements fill (nullptr until the first one).
    ExcitationSettings& excitation() { return excitation_; }
    // What the balloon is measured with now (excitation, rate, time window, gate), for the
    // record beside every balloon file saved (main_window_files.cpp).
    MeasurementRecord measurementRecord() const;
    const DistortionBalloon* distortion() const { return distortion_.get(); }

    // A balloon file named at start (a file manager opening it): loaded as "Load Data" loads
    // a chosen file, then shown in "Fine Mode".
    void openBalloonAtStart(const std::string& path);

    // The microphone arc "RUN Test" walks instead of the single microphone (main_window_arc.cpp),
    // read from path (empty: the simulated rig's own), with its self-calibration if any.
    void useArc(ArcDescription arc, std::string path, std::optional<ArcCalibration> calibration);
    // An arc walk or self-calibration runs: the windows take no other command meanwhile.
    bool arcBusy() const;

private:
    MainWindow(Platform& platform, Devices devices, const std::string& startDirectory);
    [[nodiscard]] bool allocateRecords();
    void createControls();
    void showRadioMarks();
    void settleEdited();
    void setViewMode(int mode);
    // Views and the controls that choose them (main_window_views.cpp).
    void chooseViewMode(int id);
    void chooseSliceMode(int id);
    void clearBalloon();
    void testBalloon();
    void repairCell();
    void writeScrollReadout(int id, int value);
    void destroyWindow();
    void openMeasurementWindow();
    // The calibration window (modal over owner), made at its first opening.
    void openCalibration(WindowHost& owner);
    // main_window_sequence.cpp: the automatic walk and the point view it marks.
    void createSequencer();
    bool sequenceCommand(int id);
    void drawPointView(const PointViewRequest& request);
    std::optional<std::string> autosaveEvent(SequenceEvent event);
    std::optional<std::string> balloonAutosaveEvent(SequenceEvent event);
    AutosaveProgress autosaveProgress(AutosaveState state) const;
    // atStartUp: a "Yes" is followed by what the operator does next.
    void offerResume(bool atStartUp = false);
    // main_window_arc.cpp: "Arc..." (the description read and its channels shown; a refused one
    // changes nothing), "Arc Calibrate", and "RUN Test" / "ABORT Test" while an arc is chosen.
    void chooseArc(WindowHost& owner);
    void calibrateArc(WindowHost& owner);
    bool arcCommand(int id, int code);
    void walkArc();
    // The walk's options for the arc chosen, or nothing when it may not start (the user is told).
    std::optional<ArcWalkOptions> arcWalkOptions(WindowHost& owner, bool calibrated);
    // main_window_distortion.cpp: the harmonics of sweep measurements, kept and autosaved
    // beside the balloon.
    void storeHarmonics(int hAngle, int vAngle, const HarmonicResponses& harmonics);
    std::optional<std::string> distortionEvent(SequenceEvent event);
    // The excitation a resumed walk goes on with, and the distortion kept for it (nullptr: none,
    // or the walk was measured with the MLS); the reason when it cannot go on with the one it
    // was measured with. Changes nothing.
    std::optional<std::string> readDistortionResume(const std::string& directory, const AutosaveProgress& progress,
                                                    ExcitationSettings& excitation,
                                                    std::unique_ptr<DistortionBalloon>& kept) const;
    void resumeDistortionAutosave();
    // "Save Data" and "Load Data": the balloon file dialog, the transfer, and what follows
    // either way (repaint, marks, title, selected cell, view).
    // True when the balloon was saved.
    bool saveData();
    void loadData();
    // The load of a chosen file (nothing: the dialog was cancelled) and what follows either way.
    void loadBalloonFrom(const std::optional<std::string>& path);
    // Before a new walk overwrites a balloon nobody has saved: save, discard or cancel. True
    // when the walk may start.
    bool mayOverwriteBalloon();
    [[nodiscard]] std::optional<std::string> chooseBalloonFile(bool save);
    // The selected cell as one more curve pair of the measurement window's plot.
    void showCellInMeasurementPlot();
    // main_window_nearfield.cpp: the near-field curve kept from "Near Field" (and offered to
    // a file), and "Merge Near Field" of the balloon in memory with it.
    void nearFieldMeasured(const AxisLevelPhase& response, double radiusMm);
    void mergeNearField();
    // main_window_menus.cpp: the menu bar's own commands (true when id was one), the entries
    // a walk holds, the recent balloon files and the exports of the balloon in memory.
    bool menuCommand(int id);
    void refreshMenus();
    void showRecentBalloons();
    void rememberBalloon(const std::string& path);
    void openRecentBalloon(std::size_t index);
    // Shows the list and writes it beside the preferences, if it changed.
    void keepRecentBalloons(std::vector<std::string> paths);
    void openExportDialog(ExportKind kind);
    bool writeExport(const ExportRequest& request, bool allPoints);
    // The balloon in memory as the analyses read it: its settings, what it was measured with,
    // its file; nothing when its record is damaged (the user is told).
    struct AnalysisSource {
        BalloonTrailer settings;
        MeasuredWith measured;
        std::string path, name;
    };
    std::optional<AnalysisSource> analysisSource();
    // plane: only the polar map and plots of the plane rolled by that many degrees.
    void directivityReport(std::optional<double> plane = std::nullopt);
    void askPlane();
    // The quantity the balloon views show: the responses' level, or a distortion quantity of
    // the distortion balloon in memory.
    void showQuantity(std::optional<DistortionQuantity> quantity);
    void refreshViewMenu();
    void compareWith();
    void compareReport(const std::string& referencePath, const CompareReportOptions& options);

    Platform& platform_;
    Devices devices_;
    WindowHost* host_ = nullptr;

    std::optional<BalloonMatrix> matrix_; // allocated right after the window opens
    std::unique_ptr<CurveSet> curves_;
    MlsSettings settings_;
    CalibrationCurve calibration_{};
    FrequencyAxis axis_;
    SelectionState selection_;
    AngleGrid angleGrid_ = AngleGrid::Grid5;
    SequenceState sequence_;
    std::unique_ptr<Turntables> turntables_;
    std::unique_ptr<BalloonSequencer> sequencer_;
    std::unique_ptr<BalloonDisplay> display_; // made with the balloon
    PreferencesFile preferences_;
    CalibrationSetup calibrationSetup_;
    std::unique_ptr<CalibrationWindow> calibrationWindow_;
    // Full path of the last balloon file chosen, shared by save and load, empty at start.
    std::string balloonFileName_;
    std::unique_ptr<MainWindowPrinter> printer_;
    // Made at the first "Measurements" and kept (with its buffers) for the rest of the run;
    // declared last so that it closes before anything it uses goes.
    std::unique_ptr<MeasurementWindow> measurement_;
    bool destroyed_ = false;
    std::string autosaveDirectory_;
    std::string startDirectory_;
    WalkPacing pacing_; // "Paced walk", kept in Pellant.walk
    std::unique_ptr<BalloonAutosave> autosave_;
    std::optional<AutosaveProgress> pendingResume_; // armed by prepareResume for the next "RUN Test"
    std::optional<GateRecord> pendingGate_;          // the resumed walk's gate, from its autosaved record
    std::optional<MeasurementRecord> autosavedRecord_; // the record last written beside the autosave
    bool askBeforeNewWalk_ = false; // the desktop offers an interrupted autosave before it is overwritten
    bool balloonUnsaved_ = false;   // a walk has stored into the balloon since it was last saved or loaded
    ExcitationSettings excitation_;
    std::unique_ptr<DistortionBalloon> distortion_;
    std::unique_ptr<DistortionAutosave> distortionAutosave_;
    std::optional<NearFieldCurve> nearField_;
    std::string nearFieldFileName_;
    // The record of the balloon in memory once merged: "Save Data" writes it beside the file.
    std::optional<MeasurementRecord> mergedRecord_;
    // The balloon in memory as its file held it (trailer, what it was measured with), until a
    // walk measures into it; what the exports of a loaded balloon write from.
    struct LoadedSource {
        BalloonTrailer trailer;  // as the file holds it (the exports)
        BalloonTrailer settings; // as loaded, sanitised (the analyses)
        MeasuredWith measured;
        std::string recordError; // a damaged record beside the file: the exports refuse as the command line does
    };
    std::optional<LoadedSource> loadedSource_;
    std::vector<std::string> recentBalloons_;
    std::unique_ptr<ExportDialog> exportDialog_;
    std::unique_ptr<ReportWindow> reportWindow_;
    std::unique_ptr<InputDialog> inputDialog_;
    std::optional<DistortionQuantity> viewQuantity_; // none: the level of the responses
    std::optional<BalloonMatrix> quantityMatrix_;    // the levels the views draw meanwhile
    std::optional<ArcDescription> arc_;
    std::optional<ArcDescription> rigArc_; // the simulated rig's microphones, as wired at start
    std::string arcPath_, arcCalibrationPath_;
    std::optional<ArcCalibration> arcCalibration_;
    bool arcRunning_ = false;
    std::atomic<bool> arcInterrupt_{false};
    int menusShowWalk_ = -1; // whether the menus show the walk's holds; -1 before the first look
};

} // namespace vantrel
