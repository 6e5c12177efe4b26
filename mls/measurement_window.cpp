#include "mls/measurement_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "mls/curve_slots.h"
#include "mls/harmonic_plot.h"
#include "mls/measurement_controls.h"
#include "mls/mls_plots.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"

namespace vantrel {

using namespace measure_ids;

namespace {

constexpr int kVolumeMax = 100;
constexpr int kWindowPositionMax = 400;
constexpr int kWindowPositionEnd = 200; // where the End key puts the time window
constexpr float kInUse = 1.0f;
constexpr double kMeterUnit = 1100.0; // peak per meter level unit

// Stands in for a missing sound card: no devices, every open refused with a plain text.
class NoAudioSystem final : public AudioSystem {
public:
    int inputDeviceCount() override { return 0; }
    int outputDeviceCount() override { return 0; }
    AudioStatus inputCaps(int, AudioDeviceCaps&) override { return 1; }
    AudioStatus outputCaps(int, AudioDeviceCaps&) override { return 1; }
    std::string errorText(AudioStatus) override { return "No sound card is available"; }
    AudioStatus openOutput(int, int, WindowHost&, AudioCompletion&) override { return 1; }
    AudioStatus prepareOutput(std::span<const std::int32_t>) override { return 1; }
    AudioStatus openInput(int, int, WindowHost&, AudioCompletion&) override { return 1; }
    AudioStatus prepareInput(std::span<std::int32_t>) override { return 1; }
    AudioStatus queueInput() override { return 1; }
    AudioStatus startInput() override { return 1; }
    AudioStatus play() override { return 1; }
    AudioStatus resetOutput() override { return kAudioOk; }
    AudioStatus unprepareOutput() override { return kAudioOk; }
    AudioStatus closeOutput() override { return kAudioOk; }
    AudioStatus stopInput() override { return kAudioOk; }
    AudioStatus resetInput() override { return kAudioOk; }
    AudioStatus unprepareInput() override { return kAudioOk; }
    AudioStatus closeInput() override { return kAudioOk; }
};

template <std::size_t N>
void fillList(WindowHost& host, int id, const std::array<std::string_view, N>& texts, int selected)
{
    host.clearList(id);
    for (const std::string_view t : texts)
        host.insertListItem(id, -1, t);
    host.setListSelection(id, selected >= 0 && selected < static_cast<int>(N) ? selected : -1);
}

// A caret inside a list of count entries, or nothing.
std::optional<int> listIndex(const WindowHost& host, int id, std::size_t count)
{
    const int caret = host.listCaret(id);
    if (caret < 0 || caret >= static_cast<int>(count))
        return std::nullopt;
    return caret;
}

bool endsInRes(const std::string& name)
{
    if (name.size() < 3)
        return false;
    const std::string tail = name.substr(name.size() - 3);
    return (tail[0] == 'r' || tail[0] == 'R') && (tail[1] == 'e' || tail[1] == 'E') && (tail[2] == 's' || tail[2] == 'S');
}

void setAttributes(Curve& curve, int flagElement, const LineStyle& colour, const LineStyle& pen)
{
    const auto at = [&](int offset) -> float& { return curve[static_cast<std::size_t>(flagElement + offset)]; };
    at(0) = kInUse;
    at(1) = static_cast<float>(colour.red);
    at(2) = static_cast<float>(colour.green);
    at(3) = static_cast<float>(colour.blue);
    at(4) = static_cast<float>(pen.width);
    at(5) = static_cast<float>(pen.style);
}

} // namespace

std::string volumeText(int percent)
{
    return "Output = " + fixedText(20 * std::log10(percent * 0.01 + 1e-7), 1) + "dB (" + std::to_string(percent) + "%)";
}

std::string windowTimeText(std::string_view widthText, int rateHz)
{
    const double ms = rateHz > 0 ? textValue(widthText) * 1000 / rateHz : 0.0;
    return fixedText(ms, 6).substr(0, 7);
}

std::string windowWidthText(std::string_view timeText, int rateHz)
{
    // Far beyond any transform; keeps the conversion to int defined for absurd entries.
    constexpr double kLimit = 1e9;
    const double samples = std::clamp(std::trunc(textValue(timeText) * rateHz * 0.001), -kLimit, kLimit);
    const double width = std::isnan(samples) ? 1 : samples + 1;
    return std::to_string(static_cast<long>(width)).substr(0, 7);
}

MeasurementWindow::MeasurementWindow(MeasurementContext context)
    : ctx_(std::move(context)), captureBuffer_(2 * kCaptureBufferFrames, 0)
{
    if (!ctx_.audio) {
        noAudio_ = std::make_unique<NoAudioSystem>();
        ctx_.audio = noAudio_.get();
    }
}

MeasurementWindow::~MeasurementWindow() { close(); }

void MeasurementWindow::open()
{
    if (host_) {
        host_->raise();
        return;
    }
    host_ = &ctx_.platform.createWindow(kMeasureWindowSpec, *this, &ctx_.mainWindow, false);
    card_ = std::make_unique<SoundCard>(*host_, *ctx_.audio, ctx_.settings, ctx_.platform.log(),
                                        SoundCardBuffers{engine_.playBuffer(), captureBuffer_, engine_.captureCopy()},
                                        [this] { processRecording(); }, [this] { captureFailed(); });
    card_->setPlaybackEnded([this] {
        if (const auto ok = std::exchange(outcomeAwaitingPlayback_, std::nullopt))
            finishSequenced(*ok);
    });
    initialise();
    host_->invalidate();
}

void MeasurementWindow::close()
{
    WindowHost* host = host_;
    if (!host)
        return;
    card_.reset(); // closes the devices of a recording still in flight
    liveAngles_.reset();
    if (nearFieldPending_)
        finishNearField(false); // the microphone goes back to the measuring distance
    if (ctx_.closeCalibration)
        ctx_.closeCalibration();
    host_ = nullptr;
    host->destroy();
    finishSequenced(false);
}

void MeasurementWindow::runSequencedMls()
{
    // A recording already under way (a manual "Run MLS") refuses this one; a hand press during
    // a sequenced recording must not count as that recording's failure, so the refusal is
    // judged here rather than in runMls.
    const bool refused = card_ && card_->running();
    sequencedPending_ = true;
    command(kRunMls, 0);
    // A window that could not even take the command has nothing outstanding.
    if (!host_ || refused)
        finishSequenced(false);
}

void MeasurementWindow::abandonSequencedMeasurement()
{
    if (card_ && sequencedPending_)
        card_->abandon(); // a recording that never returned must not block the next start
    liveAngles_.reset();
    sequencedPending_ = false;
    outcomeAwaitingPlayback_.reset();
}

void MeasurementWindow::finishSequenced(bool ok)
{
    if (!sequencedPending_)
        return;
    if (card_ && card_->running()) {
        outcomeAwaitingPlayback_ = ok;
        return;
    }
    outcomeAwaitingPlayback_.reset();
    sequencedPending_ = false;
    if (ctx_.sequenceMeasurementDone)
        ctx_.sequenceMeasurementDone(ok);
}

void MeasurementWindow::initialise()
{
    MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    ctx_.axis.buildFromIndexes(s.fromIndex, s.toIndex);

    fillList(h, kMlsLengthList, kMlsLengthTexts, s.mlsLengthIndex);
    s.rateIndex = std::clamp(s.rateIndex, 0, static_cast<int>(kRateTexts.size()) - 1);
    fillList(h, kRateList, kRateTexts, s.rateIndex);
    fillList(h, kWindowTypeList, kWindowTypeTexts, s.windowTypeIndex);

    h.setScrollRange(kVolumeBar, 0, kVolumeMax);
    h.setScrollPos(kVolumeBar, s.outputVolume);
    showVolume();

    h.setText(kAddDbEdit, s.addDbText);
    fillList(h, kSmoothingList, kSmoothingTexts, s.smoothingIndex);
    setChecks();

    h.setText(kWindowWidthEdit, s.windowWidthText);
    h.setText(kFrontWindowEdit, s.frontWindowText);
    s.windowTimeText = windowTimeText(s.windowWidthText, s.sampleRate());
    h.setText(kWindowTimeEdit, s.windowTimeText);

    h.setScrollRange(kWindowPositionBar, 0, kWindowPositionMax);
    h.setScrollPos(kWindowPositionBar, s.fftWindowPosition);
    showWindowPosition();

    h.setText(kPreEmphasisEdit, s.preEmphasisText);
    showPreEmphasis();

    fillList(h, kFromList, kFromTexts, s.fromIndex);
    fillList(h, kToList, kToTexts, s.toIndex);

    h.setText(kFilterF3dbEdit, s.filterF3dbText);
    h.setText(kFilterQEdit, s.filterQText);
    h.setText(kFilterSlopeEdit, s.filterSlopeText);

    showExcitation();
    h.setText(kRadiusEdit, radiusText_);
    card_->fillDeviceLists();
    std::fill(engine_.captureCopy().begin(), engine_.captureCopy().end(), 0);
    engine_.buildTimeWindows(s);
    copyTimeWindowCurve();
}

void MeasurementWindow::setChecks()
{
    const MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    h.setCheck(kSavedIrCheck, s.useSavedIr != 0);
    h.setCheck(kShowPhaseCheck, s.showPhase != 0);
    h.setCheck(kShowWindowCheck, s.showWindow != 0);
    h.setCheck(kFrontWindowCheck, s.frontWindowOn != 0);
    h.setCheck(kInvertInCheck, s.inPolarity != 1);
    h.setCheck(kInvertRefCheck, s.refPolarity != 1);
    h.setCheck(kMatchedFilterCheck, s.useMatchedFilter != 0);
    h.setCheck(kTwoChannelsCheck, s.twoChannels != 0);
    h.setCheck(kUseCalibrationCheck, s.useCalibration != 0);
}

void MeasurementWindow::showVolume() { host_->setText(kVolumeText, volumeText(ctx_.settings.outputVolume)); }

void MeasurementWindow::showWindowPosition()
{
    host_->setText(kWindowPositionText, "FFT Window = " + std::to_string(ctx_.settings.fftWindowPosition) + " ");
}

void MeasurementWindow::showPreEmphasis()
{
    host_->setText(kPreEmphasisText, textValue(ctx_.settings.preEmphasisText) > 0 ? "Pre-emphasis ON" : "Pre-emphasis OFF");
}

// ---- commands ----

void MeasurementWindow::command(int id, int code)
{
    if (!host_)
        return;
    if (ctx_.arcBusy && ctx_.arcBusy()) { // the arc walk records through the same sound card
        restoreControl(id);
        host_->beep(BeepKind::Exclamation);
        return;
    }
    if (excitationCommand(id, code))
        return;
    // The other edits take their text as it is typed: the end of an edit adds nothing.
    if (code == kNotifyEditFinished)
        return;
    if (guardedCommand(id, code))
        return;
    freeCommand(id, code);
}

// The commands that change what a running sequence measures. While it runs they are refused
// with a beep and the control is put back to the setting in use, since a check box, list or
// edit shows the user's input by itself.
bool MeasurementWindow::guardedCommand(int id, int code)
{
    switch (id) {
    case kMlsLengthList: case kRateList: case kWindowTypeList: case kAddDbEdit: case kSmoothingList:
    case kWindowWidthEdit: case kFrontWindowEdit: case kFrontWindowCheck: case kWindowTimeEdit:
    case kShowWindowCheck: case kFilterF3dbEdit: case kFilterQEdit: case kFilterSlopeEdit:
    case kMatchedFilterCheck: case kInvertInCheck: case kInvertRefCheck:
        break;
    default:
        return false;
    }
    if (ctx_.sequence.sequenceRunning == 1) {
        restoreControl(id);
        host_->beep(BeepKind::Exclamation);
        return true;
    }
    (void)code;
    MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    const auto editText = [&] { return clipEditText(h.text(id)); };
    switch (id) {
    case kMlsLengthList:
        if (const auto i = listIndex(h, id, kMlsLengthTexts.size()))
            s.mlsLengthIndex = *i;
        break;
    case kRateList:
        if (const auto i = listIndex(h, id, kRateTexts.size()))
            s.rateIndex = *i;
        break;
    case kWindowTypeList:
        if (const auto i = listIndex(h, id, kWindowTypeTexts.size()))
            s.windowTypeIndex = *i;
        widthUpdate();
        break;
    case kAddDbEdit: s.addDbText = editText(); break;
    case kSmoothingList:
        if (const auto i = listIndex(h, id, kSmoothingTexts.size()))
            s.smoothingIndex = *i;
        break;
    case kWindowWidthEdit: widthUpdate(); break;
    case kFrontWindowEdit:
        s.frontWindowText = editText();
        widthUpdate();
        break;
    case kFrontWindowCheck:
        s.frontWindowOn = s.frontWindowOn ? 0 : 1;
        h.setCheck(id, s.frontWindowOn != 0);
        widthUpdate();
        break;
    case kWindowTimeEdit: timeUpdate(); break;
    case kShowWindowCheck:
        s.showWindow = s.showWindow ? 0 : 1;
        h.setCheck(id, s.showWindow != 0);
        ctx_.curves[kTimeWindowCurve][752] = s.showWindow ? kInUse : 0.0f;
        redrawImpulsePlot();
        break;
    case kFilterF3dbEdit: s.filterF3dbText = editText(); break;
    case kFilterQEdit: s.filterQText = editText(); break;
    case kFilterSlopeEdit: s.filterSlopeText = editText(); break;
    case kMatchedFilterCheck:
        s.useMatchedFilter = s.useMatchedFilter ? 0 : 1;
        h.setCheck(id, s.useMatchedFilter != 0);
        redrawSplPlot();
        break;
    case kInvertInCheck:
        s.inPolarity = s.inPolarity == 1 ? -1 : 1;
        h.setCheck(id, s.inPolarity != 1);
        break;
    case kInvertRefCheck:
        s.refPolarity = s.refPolarity == 1 ? -1 : 1;
        h.setCheck(id, s.refPolarity != 1);
        break;
    default: break;
    }
    return true;
}

void MeasurementWindow::restoreControl(int id)
{
    const MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    switch (id) {
    case kMlsLengthList: h.setListSelection(id, s.mlsLengthIndex); return;
    case kRateList: h.setListSelection(id, s.rateIndex); return;
    case kWindowTypeList: h.setListSelection(id, s.windowTypeIndex); return;
    case kSmoothingList: h.setListSelection(id, s.smoothingIndex); return;
    case kAddDbEdit: h.setText(id, s.addDbText); return;
    case kWindowWidthEdit: h.setText(id, s.windowWidthText); return;
    case kFrontWindowEdit: h.setText(id, s.frontWindowText); return;
    case kWindowTimeEdit: h.setText(id, s.windowTimeText); return;
    case kFilterF3dbEdit: h.setText(id, s.filterF3dbText); return;
    case kFilterQEdit: h.setText(id, s.filterQText); return;
    case kFilterSlopeEdit: h.setText(id, s.filterSlopeText); return;
    default: setChecks(); return;
    }
}

void MeasurementWindow::freeCommand(int id, int code)
{
    MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    switch (id) {
    case kRunMls: runMls(); return;
    case kNearFieldButton: startNearField(); return;
    case kMergeNearFieldButton:
        if (ctx_.mergeNearField)
            ctx_.mergeNearField();
        return;
    case kArcButton:
        if (ctx_.openArc)
            ctx_.openArc(h);
        return;
    case kArcCalibrateButton:
        if (ctx_.calibrateArc)
            ctx_.calibrateArc(h);
        return;
    case kClearSpl:
        harmonicsValid_ = false;
        clearSlots();
        redrawSplPlot();
        return;
    case kIrToSpl: irToSpl(); return;
    case kAutoGate: autoGate(); return;
    case kPreEmphasisEdit:
        s.preEmphasisText = clipEditText(h.text(id));
        showPreEmphasis();
        return;
    case kTwoChannelsCheck:
        s.twoChannels = s.twoChannels ? 0 : 1;
        h.setCheck(id, s.twoChannels != 0);
        return;
    case kFromList:
    case kToList:
        if (code != kNotifyDblClick)
            return;
        // The balloon of a running walk holds one axis: a new one would mix two in it.
        if (ctx_.sequence.sequenceRunning == 1) {
            h.setListSelection(id, id == kFromList ? s.fromIndex : s.toIndex);
            h.beep(BeepKind::Exclamation);
            return;
        }
        frequencyScaleChange(id);
        return;
    case kInputDeviceList: card_->selectInputDevice(); return;
    case kOutputDeviceList: card_->selectOutputDevice(); return;
    case kShowPhaseCheck:
        s.showPhase = s.showPhase ? 0 : 1;
        h.setCheck(id, s.showPhase != 0);
        redrawSplPlot();
        return;
    case kSavedIrCheck:
        s.useSavedIr = s.useSavedIr ? 0 : 1;
        h.setCheck(id, s.useSavedIr != 0);
        return;
    case kUseCalibrationCheck:
        s.useCalibration = s.useCalibration ? 0 : 1;
        h.setCheck(id, s.useCalibration != 0);
        return;
    case kCreateCalibration:
        if (ctx_.openCalibration)
            ctx_.openCalibration(h);
        return;
    default: return;
    }
}

void MeasurementWindow::scroll(int id, ScrollCode code, int position)
{
    if (!host_ || (id != kVolumeBar && id != kWindowPositionBar))
        return;
    const bool volume = id == kVolumeBar;
    int& value = volume ? ctx_.settings.outputVolume : ctx_.settings.fftWindowPosition;
    // The window's position is part of what every cell of a running walk is measured with.
    if (!volume && ctx_.sequence.sequenceRunning == 1) {
        host_->setScrollPos(id, value);
        host_->beep(BeepKind::Exclamation);
        return;
    }
    const int v = scrolledValue(value, code, position, 0, volume ? kVolumeMax : kWindowPositionEnd);
    value = std::clamp(v, 0, volume ? kVolumeMax : kWindowPositionMax);
    host_->setScrollPos(id, value);
    if (volume) {
        showVolume();
    } else {
        gateWindowEdited();
        showWindowPosition();
        redrawImpulsePlot();
    }
}

// ---- width and time of the time window ----

void MeasurementWindow::widthUpdate()
{
    if (ctx_.sequence.sequenceRunning == 1 || !widthFlag_)
        return;
    gateWindowEdited();
    MlsSettings& s = ctx_.settings;
    s.windowWidthText = clipEditText(host_->text(kWindowWidthEdit));
    s.windowTimeText = windowTimeText(s.windowWidthText, s.sampleRate());
    timeFlag_ = false;
    host_->setText(kWindowTimeEdit, s.windowTimeText);
    timeFlag_ = true;
    windowsChanged();
}

void MeasurementWindow::timeUpdate()
{
    if (ctx_.sequence.sequenceRunning == 1 || !timeFlag_)
        return;
    gateWindowEdited();
    MlsSettings& s = ctx_.settings;
    s.windowTimeText = clipEditText(host_->text(kWindowTimeEdit));
    s.windowWidthText = windowWidthText(s.windowTimeText, s.sampleRate());
    widthFlag_ = false;
    host_->setText(kWindowWidthEdit, s.windowWidthText);
    widthFlag_ = true;
    windowsChanged();
}

void MeasurementWindow::windowsChanged()
{
    engine_.buildTimeWindows(ctx_.settings);
    copyTimeWindowCurve();
    redrawImpulsePlot();
}

void MeasurementWindow::copyTimeWindowCurve()
{
    Curve& w = ctx_.curves[kTimeWindowCurve];
    std::copy_n(engine_.inWindow().begin(), kAxisPoints, w.begin());
    w[752] = kInUse;
}

// ---- Run MLS and the recording ----

void MeasurementWindow::runMls()
{
    // The sound card is still playing from the play buffer and will deliver into the capture
    // copy: a second run must not clear or regenerate either.
    if (card_ && card_->refuseWhileRunning())
        return;
    MlsSettings& s = ctx_.settings;
    const int rate = s.sampleRate();
    if (rate != 48000 && rate != 96000) {
        ctx_.mainWindow.killTimer(kMeasureTimerId);
        tell(kRateRefusalText, kMlsCaption, MessageIcon::Information);
        finishSequenced(false);
        return;
    }
    engine_.clearWorkArrays();
    engine_.buildTimeWindows(s);
    if (s.useSavedIr == 1) {
        processRecording();
        return;
    }
    liveSweep_ = ctx_.excitation && ctx_.excitation->sweep;
    if (const MlsStatus status = liveSweep_ ? engine_.generateSweepForPlayback(s, *ctx_.excitation)
                                            : engine_.generateMlsForPlayback(s);
        !status.ok()) {
        tell(status.message, kMlsCaption, MessageIcon::Warning);
        finishSequenced(false);
        return;
    }
    host_->setTitle(liveSweep_ ? engine_.sweepCaption() : engine_.caption());
    // The angles are taken now: the result belongs to where the table stood when it played.
    liveAngles_ = PointAngles{ctx_.sequence.currentHAngle, ctx_.sequence.currentVAngle};
    if (!card_->startPlayAndCapture()) { // the refusal has been shown
        liveAngles_.reset();
        finishSequenced(false);
    }
}

void MeasurementWindow::tell(std::string_view text, std::string_view caption, MessageIcon icon)
{
    ++personWaits_;
    host_->message(text, caption, icon);
    --personWaits_;
}

// "Near Field": one measurement with the microphone at the cone, kept as a curve, stored in no
// cell (with "Saved IR" a stored recording made so). The radius typed beside it goes with the
// curve.
void MeasurementWindow::startNearField()
{
    if (ctx_.sequence.sequenceRunning == 1 || nearFieldPending_) {
        host_->beep(BeepKind::Exclamation);
        return;
    }
    radiusText_ = clipEditText(host_->text(kRadiusEdit));
    double radius = 0;
    if (!parseDecimal(radiusText_, radius) || radius < 1 || radius > 1000) {
        tell("The radius \"" + radiusText_ + "\" is no length of 1..1000 mm", kMlsCaption, MessageIcon::Warning);
        return;
    }
    nearFieldPending_ = true;
    if (ctx_.audio)
        ctx_.audio->microphoneAtCone(kNearFieldDistanceM);
    runMls();
    if (nearFieldPending_ && ctx_.settings.useSavedIr == 0 && !liveAngles_)
        finishNearField(false); // refused before anything was recorded
}

void MeasurementWindow::finishNearField(bool recorded)
{
    nearFieldPending_ = false;
    if (ctx_.audio)
        ctx_.audio->microphoneAtCone(0);
    if (!recorded || !host_)
        return;
    // A close microphone hears some 30 dB more than one at the measuring distance.
    if (ctx_.settings.useSavedIr == 0 && engine_.inPeak() >= 0.99f * static_cast<float>(2147483648.0 * kCaptureScale)) {
        tell("The IN channel clipped with the microphone at the cone: lower the Volume and measure again",
             kMlsCaption, MessageIcon::Warning);
        return;
    }
    const MlsStatus status = engine_.computeFrequencyResponse(ctx_.settings, ctx_.axis, ctx_.calibration);
    if (!status.ok()) {
        tell(status.message, kMlsCaption, MessageIcon::Warning);
        return;
    }
    copyTimeWindowCurve();
    MlsSettings& s = ctx_.settings;
    markResultSlots(s, ctx_.curves);
    Curve& spl = ctx_.curves[static_cast<std::size_t>(kSplCurve0 + s.splSlot)];
    Curve& phase = ctx_.curves[static_cast<std::size_t>(kPhaseCurve0 + s.phaseSlot)];
    const AxisLevelPhase& r = engine_.response();
    for (std::size_t j = 0; j < r.size(); ++j) {
        spl[j] = r[j].level - 90.0f;
        phase[j] = r[j].phase;
    }
    advanceResultSlots(s);
    redrawSplPlot();
    double radius = 0;
    (void)parseDecimal(radiusText_, radius);
    if (ctx_.nearFieldMeasured)
        ctx_.nearFieldMeasured(r, radius);
}

void MeasurementWindow::captureFailed()
{
    if (nearFieldPending_)
        finishNearField(false);
    liveAngles_.reset();
    finishSequenced(false);
}

void MeasurementWindow::processRecording()
{
    if (!host_)
        return;
    MlsSettings& s = ctx_.settings;
    std::optional<PointAngles> at;
    if (s.useSavedIr == 0) {
        at = std::exchange(liveAngles_, std::nullopt);
        engine_.splitCapture(s);
        redrawLevelMeter();
    } else if (!importStoredRecording()) {
        if (nearFieldPending_)
            finishNearField(false);
        finishSequenced(false);
        return;
    }
    // A stored recording is an MLS recording whatever the excitation chosen now.
    const bool sweep = s.useSavedIr == 0 && liveSweep_;
    if (sweep)
        engine_.computeSweepResponses(s);
    else
        engine_.computeImpulseResponses(s, gate_.mode != GateState::Mode::off);
    harmonicsValid_ = false;

    const std::span<const float> ref = engine_.refSignal();
    const std::span<const float> in = engine_.inSignal();
    Curve& refCurve = ctx_.curves[kRefImpulseCurve];
    Curve& inCurve = ctx_.curves[kInImpulseCurve];
    for (std::size_t j = 0; j < 752; ++j) {
        refCurve[j] = ref[j] * 0.005f;
        inCurve[j] = in[j] * 0.005f;
    }
    setAttributes(refCurve, 752, kLineStyleTable[17], kLineStyleTable[17]);
    setAttributes(inCurve, 752, kLineStyleTable[16], kLineStyleTable[16]);
    copyTimeWindowCurve();
    redrawImpulsePlot();

    if (nearFieldPending_) {
        finishNearField(true);
        return;
    }
    // A live recording abandoned by "ABORT Test" belongs to no cell, even if a new sequence
    // runs by the time it arrives.
    const bool abandoned = s.useSavedIr == 0 && !at;
    if (ctx_.sequence.sequenceRunning == 1 && !abandoned) {
        const PointAngles point = at.value_or(PointAngles{ctx_.sequence.currentHAngle, ctx_.sequence.currentVAngle});
        finishSequenced(gatePoint(point.h, point.v) && irToSpl(at));
    }
}

bool MeasurementWindow::importStoredRecording()
{
    FileDialogSpec request;
    request.filterName = "MLS Impulse (*.RES)";
    request.filterPattern = "*.res";
    request.initialPath = resFileName_;
    ++personWaits_;
    const std::optional<std::string> chosen = host_->fileDialog(request);
    --personWaits_;
    if (!host_) // closed while the file dialog was up
        return false;
    if (chosen)
        resFileName_ = *chosen;
    // Any other name reads nothing: the impulse responses are computed from the signals held.
    if (!endsInRes(resFileName_))
        return true;
    if (!chosen) {
        engine_.clearDelays();
        return false;
    }

    const ResImport result = engine_.importRecording(resFileName_.c_str());
    if (result.outcome == ResImport::Outcome::unableToOpen) {
        tell(resFileName_, "Unable To Open", MessageIcon::Warning);
        return false;
    }
    std::fill(engine_.refSignal().begin(), engine_.refSignal().end(), 0.0f);
    std::fill(engine_.inSignal().begin(), engine_.inSignal().end(), 0.0f);
    if (!result.ok()) {
        tell(kAcceptingText, kMlsCaption, MessageIcon::Warning);
        return false;
    }

    MlsSettings& s = ctx_.settings;
    s.rateIndex = result.rateIndex;
    s.mlsLengthIndex = result.mlsLengthIndex;
    if (const MlsStatus status = engine_.rebuildMlsTables(s); !status.ok()) {
        engine_.clearDelays();
        tell(status.message, kMlsCaption, MessageIcon::Warning);
        return false;
    }
    host_->setListSelection(kRateList, s.rateIndex);
    host_->setListSelection(kMlsLengthList, s.mlsLengthIndex);
    engine_.splitCapture(s);
    redrawLevelMeter();
    return true;
}

bool MeasurementWindow::recording() const { return card_ && card_->running(); }

// ---- IR -> SPL ----

bool MeasurementWindow::irToSpl(std::optional<PointAngles> at)
{
    const bool haveResponses = engine_.refDelay() != 0 && engine_.inDelay() != 0;
    if (haveResponses)
        host_->setWaitCursor(true);
    const MlsStatus status = engine_.computeFrequencyResponse(ctx_.settings, ctx_.axis, ctx_.calibration);
    if (status.ok() && liveSweep_ && ctx_.settings.useSavedIr == 0) {
        engine_.computeHarmonics(ctx_.settings, ctx_.axis);
        harmonicsValid_ = true;
    }
    if (haveResponses)
        copyTimeWindowCurve();
    const PointAngles angles = at.value_or(PointAngles{ctx_.sequence.currentHAngle, ctx_.sequence.currentVAngle});
    const bool stored = status.ok() && storeResult(angles);
    host_->setWaitCursor(false);
    if (!status.ok())
        tell(status.message, kMlsCaption, MessageIcon::Warning);
    if (!stored) // a refused store has said why
        return false;

    const int v = angles.v, hAngle = angles.h;
    const AngleGrid grid = ctx_.angleGrid ? ctx_.angleGrid() : AngleGrid::Grid5;
    redrawSplPlot();
    AreaCanvas c(host_->surface(), kSplPlotRect);
    c.setFont(Font::Helv);
    c.setTextColour({0, 0, 0});
    c.setTextBackground(true, kPlotWhite);
    char text[96];
    std::snprintf(text, sizeof text, "V-Angle %d, H-Angle %d       ", v, hAngle);
    c.textOut(500, 2, text);
    std::snprintf(text, sizeof text, "[%d][%d]    ", rowForAngle(v, grid), columnForAngle(hAngle, grid));
    c.textOut(650, 2, text);
    c.setFont(Font::System);
    return true;
}

bool MeasurementWindow::storeResult(PointAngles at)
{
    std::array<float, kAxisPoints> levels{}, phases{};
    const AxisLevelPhase& r = engine_.response();
    for (std::size_t j = 0; j < r.size(); ++j) {
        levels[j] = r[j].level;
        phases[j] = r[j].phase;
    }
    // Checked before anything is drawn or stored: a cell of the balloon holding infinity would
    // spoil every view and file made from it.
    if (!storableResponse(levels, phases)) {
        tell(kResponseRangeText, kMlsCaption, MessageIcon::Warning);
        return false;
    }
    MlsSettings& s = ctx_.settings;
    markResultSlots(s, ctx_.curves);
    Curve& spl = ctx_.curves[static_cast<std::size_t>(kSplCurve0 + s.splSlot)];
    Curve& phase = ctx_.curves[static_cast<std::size_t>(kPhaseCurve0 + s.phaseSlot)];

    for (std::size_t j = 0; j < r.size(); ++j) {
        spl[j] = r[j].level - 90.0f;
        phase[j] = r[j].phase;
    }
    const AngleGrid grid = ctx_.angleGrid ? ctx_.angleGrid() : AngleGrid::Grid5;
    if (const auto cell = ctx_.matrix.storeMeasurement(at.h, at.v, grid,
                                                       levels, phases)) {
        ctx_.platform.log().record("stored", std::to_string(cell->row) + " " + std::to_string(cell->column));
        if (harmonicsValid_ && ctx_.harmonicsStored)
            ctx_.harmonicsStored(at.h, at.v, engine_.harmonics());
    }
    advanceResultSlots(s);
    return true;
}

void MeasurementWindow::clearSlots()
{
    ctx_.settings.splSlot = ctx_.settings.phaseSlot = 0;
    for (int c = 0; c < 20; ++c)
        std::fill_n(ctx_.curves[static_cast<std::size_t>(c)].begin(), 751, 0.0f);
}

void MeasurementWindow::frequencyScaleChange(int list)
{
    MlsSettings& s = ctx_.settings;
    const bool from = list == kFromList;
    const auto index = listIndex(*host_, list, from ? kFromTexts.size() : kToTexts.size());
    if (!index)
        return;
    // The axis divides by log10(to/from): a bound at or above the other is refused.
    const double fromHz = FrequencyAxis::fromHz(from ? *index : s.fromIndex);
    const double toHz = FrequencyAxis::toHz(from ? s.toIndex : *index);
    if (!(fromHz < toHz)) {
        host_->setListSelection(list, from ? s.fromIndex : s.toIndex);
        host_->message(kScaleOrderText, kMlsCaption, MessageIcon::Warning);
        return;
    }
    (from ? s.fromIndex : s.toIndex) = *index;
    ctx_.axis.buildFromIndexes(s.fromIndex, s.toIndex);
    clearSlots();
    redrawSplPlot();
    redrawFrequencyScale();
    irToSpl();
}

// ---- drawing ----

void MeasurementWindow::paint(Canvas& canvas)
{
    if (!host_)
        return;
    (void)canvas; // the plots draw on the surface, which is what the host repaints
    redrawLevelMeter();
    redrawImpulsePlot();
    redrawTimeScale();
    redrawSplPlot();
    redrawLevelScale();
    redrawFrequencyScale();
}

void MeasurementWindow::redrawLevelMeter()
{
    drawLevelMeter(host_->surface(), kLevelMeterRect, kMeasureBackground,
                   static_cast<float>(engine_.refPeak() / kMeterUnit), static_cast<float>(engine_.inPeak() / kMeterUnit));
}

void MeasurementWindow::redrawImpulsePlot()
{
    const MlsSettings& s = ctx_.settings;
    drawImpulsePlot(host_->surface(), kImpulsePlotRect,
                    {ctx_.curves, engine_.refSignal(), engine_.inSignal(), s.fftWindowPosition, s.showWindow == 1});
}

void MeasurementWindow::redrawTimeScale()
{
    drawTimeScale(host_->surface(), kTimeScaleRect, kMeasureBackground, ctx_.settings.sampleRate());
}

void MeasurementWindow::redrawSplPlot()
{
    if (!host_)
        return;
    const MlsSettings& s = ctx_.settings;
    SplPlotInput input{ctx_.curves};
    input.fromHz = FrequencyAxis::fromHz(s.fromIndex);
    input.toHz = FrequencyAxis::toHz(s.toIndex);
    input.showPhase = s.showPhase == 1;
    input.currentVAngle = ctx_.sequence.currentVAngle;
    input.currentHAngle = ctx_.sequence.currentHAngle;
    input.selectedRow = ctx_.selection.selectedRow;
    input.selectedColumn = ctx_.selection.selectedColumn;
    drawSplPlot(host_->surface(), kSplPlotRect, input);
    if (harmonicsValid_)
        drawHarmonicCurves(host_->surface(), kSplPlotRect, engine_.response(), engine_.harmonics());
}

void MeasurementWindow::redrawLevelScale() { drawLevelScale(host_->surface(), kLevelScaleRect, kMeasureBackground); }

void MeasurementWindow::redrawFrequencyScale()
{
    const MlsSettings& s = ctx_.settings;
    drawFrequencyScale(host_->surface(), kFrequencyScaleRect, kMeasureBackground, FrequencyAxis::fromHz(s.fromIndex),
                       FrequencyAxis::toHz(s.toIndex));
}

} // namespace vantrel
