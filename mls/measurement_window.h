#pragma once
// The modeless "MLS Measurement" window: configures a measurement, runs it (a sequence played
// and recorded by the sound card, or a stored *.RES recording), shows the impulse responses,
// turns them into a level and phase response on "IR -> SPL", keeps the last ten results in the
// curve slots and stores each one into the balloon cell of the current turntable angles.
//
// The object lives for the whole run and keeps the measurement buffers; the window itself
// exists from open() until close(). While the balloon sequence runs, the controls that would
// change a measurement under it (lists, edits, window and filter check boxes) refuse the user
// with a beep and keep showing the setting in use.
//
// A live measurement: Run MLS -> sound card plays and records -> the completion, on the
// user-interface thread, converts the recording and computes both impulse responses -> inside
// a sequence IR -> SPL follows at once; outside it the user presses "IR -> SPL".

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "balloon/angle_grid.h"
#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/selection_state.h"
#include "mls/gate.h"
#include "mls/measurement_gate.h"
#include "mls/mls_engine.h"
#include "mls/mls_settings.h"
#include "mls/sound_card.h"
#include "platform/audio_system.h"
#include "platform/platform.h"
#include "turntable/sequence_state.h"

namespace vantrel {

inline constexpr int kMeasureTimerId = 7000; // the main window's timer of one sequenced point
inline constexpr std::string_view kMlsCaption = "MLS Control";
inline constexpr std::string_view kRateRefusalText = "Allowed Sampling Rates Are 48kHz and 96kHz";
inline constexpr std::string_view kAcceptingText = "Accepting 24bit files only";
inline constexpr std::string_view kScaleOrderText = "The \"From:\" frequency must lie below the \"To:\" frequency";

// What the window works on; everything but the window is owned by the main window.
struct MeasurementContext {
    Platform& platform;
    WindowHost& mainWindow;       // owner; its timer 7000 paces the sequence
    AudioSystem* audio = nullptr; // nullptr: no sound card, a live measurement is refused
    MlsSettings& settings;
    CurveSet& curves;
    CalibrationCurve& calibration;
    FrequencyAxis& axis;
    BalloonMatrix& matrix;
    const SequenceState& sequence;
    const SelectionState& selection;
    std::function<AngleGrid()> angleGrid;
    // The modal calibration window over owner; closeCalibration closes it when it is open.
    std::function<void(WindowHost& owner)> openCalibration;
    std::function<void()> closeCalibration;
    // How a measurement started by runSequencedMls ended: true once its result is stored,
    // false when it was refused or failed (the reason has been shown).
    std::function<void(bool ok)> sequenceMeasurementDone;
    // The excitation (MLS unless it says sweep), kept by the owner beside the settings; and
    // where the harmonics of each stored sweep measurement go, with the angles of its cell.
    ExcitationSettings* excitation = nullptr;
    std::function<void(int hAngle, int vAngle, const HarmonicResponses&)> harmonicsStored = {};
    // A near-field response ("Near Field") and the radiator's radius typed beside it; and
    // "Merge Near Field". The owner keeps the curve and merges the balloon with it.
    std::function<void(const AxisLevelPhase& response, double radiusMm)> nearFieldMeasured = {};
    std::function<void()> mergeNearField = {};
    // "Arc..." and "Arc Calibrate": the owner reads the microphone arc and runs its
    // self-calibration; while arcBusy says so, the window takes no command.
    std::function<void(WindowHost& owner)> openArc = {};
    std::function<void(WindowHost& owner)> calibrateArc = {};
    std::function<bool()> arcBusy = {};
};

// The microphone's distance from the cone in a near-field measurement, m.
inline constexpr double kNearFieldDistanceM = 0.005;

class MeasurementWindow final : public WindowClient {
public:
    explicit MeasurementWindow(MeasurementContext context);
    ~MeasurementWindow() override;
    MeasurementWindow(const MeasurementWindow&) = delete;
    MeasurementWindow& operator=(const MeasurementWindow&) = delete;

    // Creates the window and fills every control from the settings; an open window is only
    // brought forward.
    void open();
    bool isOpen() const { return host_ != nullptr; }
    WindowHost* host() { return host_; }
    // Abandons a recording in flight, closes the calibration window, destroys the window.
    // Harmless when closed.
    void close();

    void redrawSplPlot();
    // The settings were replaced (a resumed walk's own): the axis and every control follow.
    void settingsReplaced()
    {
        if (host_)
            initialise();
    }

    // The sequence's "Run MLS": the result is stored into the cell of the angles current now,
    // and sequenceMeasurementDone reports the outcome.
    void runSequencedMls();
    // "ABORT Test": a recording still in flight is stored nowhere and reported to no one.
    void abandonSequencedMeasurement();

    void command(int id, int code) override;
    void scroll(int id, ScrollCode code, int position) override;
    void paint(Canvas& canvas) override;
    void closeRequested() override { close(); }

    // measurement_gate.cpp: the gate, automatic (nothing) or fixed ms after the direct sound; a
    // walk finds it at its first point and keeps it for its balloon. newWalk: a walk starts.
    void requestGate(std::optional<double> fixedMs);
    void newWalk() { gate_.walkLocked = false; }
    // A resumed walk keeps the gate its first point found: the window its settings hold ends
    // gate.ms after the direct sound, and every further point is checked against it.
    void resumeGate(const GateRecord& gate);
    std::optional<GateRecord> gateRecord() const;

    MlsEngine& engine() { return engine_; }
    // A recording is under way on the sound card (its playback or capture not yet back).
    bool recording() const;
    // True while a dialog of this window waits for a person (the file dialog of a stored
    // recording, a message box): the time it takes is no fault of the sound card.
    bool waitingForPerson() const { return personWaits_ > 0; }

private:
    void initialise();
    // measurement_excitation.cpp: "Log Sweep" and its band.
    void showExcitation();
    bool excitationCommand(int id, int code);
    bool guardedCommand(int id, int code);
    void restoreControl(int id);
    void freeCommand(int id, int code);

    struct PointAngles {
        int h = 0, v = 0;
    };

    // measurement_gate.cpp
    void autoGate();
    bool gatePoint(int hAngle, int vAngle); // false: refused, with a message
    void applyGateWindow(const GateWindow& w);
    void gateWindowEdited();

    void runMls();
    void startNearField();
    void finishNearField(bool recorded);
    void processRecording();
    void captureFailed();
    void tell(std::string_view text, std::string_view caption, MessageIcon icon);
    bool importStoredRecording(); // false: stop, nothing more to compute
    bool irToSpl(std::optional<PointAngles> at = std::nullopt);
    bool storeResult(PointAngles at); // false: refused, with a message
    void finishSequenced(bool ok);
    void clearSlots();
    void frequencyScaleChange(int list);

    void widthUpdate();
    void timeUpdate();
    void windowsChanged();
    void copyTimeWindowCurve();
    void showVolume();
    void showWindowPosition();
    void showPreEmphasis();
    void setChecks();

    void redrawLevelMeter();
    void redrawImpulsePlot();
    void redrawTimeScale();
    void redrawLevelScale();
    void redrawFrequencyScale();

    MeasurementContext ctx_;
    MlsEngine engine_;
    std::vector<std::int32_t> captureBuffer_; // what the sound card records into
    std::unique_ptr<AudioSystem> noAudio_;
    std::unique_ptr<SoundCard> card_;
    WindowHost* host_ = nullptr;
    std::string resFileName_; // the last *.RES name chosen, kept for the next dialog
    bool widthFlag_ = true;   // off while the time edit writes the width edit
    bool timeFlag_ = true;    // off while the width edit writes the time edit
    // The angles a live recording was started at; empty once it is processed or abandoned.
    std::optional<PointAngles> liveAngles_;
    bool sequencedPending_ = false; // runSequencedMls has not been answered yet
    bool liveSweep_ = false;        // the recording in flight was made with the sweep
    bool harmonicsValid_ = false;   // engine_.harmonics() belong to the response held
    // The outcome of a sequenced measurement whose playback has not ended yet: the point is
    // outstanding until the sound card is idle, so that the next start finds it free.
    std::optional<bool> outcomeAwaitingPlayback_;
    int personWaits_ = 0;
    GateState gate_;
    bool nearFieldPending_ = false; // the recording in flight is a near-field one
    std::string radiusText_ = "80"; // the "a [mm]" edit
};

// "Output = %.1fdB (%d%%)" of a volume in percent.
std::string volumeText(int percent);
// The first 7 characters of "%f" of width x 1000 / rate.
std::string windowTimeText(std::string_view widthText, int rateHz);
// "%d" of trunc(time x rate x 0.001) + 1, cut to 7 characters.
std::string windowWidthText(std::string_view timeText, int rateHz);

} // namespace vantrel
