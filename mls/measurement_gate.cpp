// The measurement window's gate: "Auto Gate", the walk's first point, the check of every later
// point, and the window set in its controls.

#include "mls/measurement_gate.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "mls/frequency_response.h"
#include "mls/gate.h"
#include "mls/measurement_controls.h"
#include "mls/numeric_text.h"
#include "mls/measurement_window.h"
#include "mls/time_windows.h"
#include "platform/number_text.h"

namespace vantrel {

using namespace measure_ids;

namespace {

constexpr int kGatePositionMax = 400; // the "Bin" scroll bar's range

std::string msText(double ms) { return cleanFixedText(ms, 2) + " ms"; }

} // namespace

MeasurementRecord measurementRecordOf(const MlsSettings& s, const ExcitationSettings* excitation,
                                      const std::optional<GateRecord>& gate)
{
    MeasurementRecord r;
    r.rateHz = s.sampleRate();
    if (excitation && excitation->sweep) {
        r.excitation = RecordedExcitation::sweep;
        r.sweepF1Hz = excitation->f1Hz;
        r.sweepF2Hz = excitation->f2Hz > 0 ? excitation->f2Hz : r.rateHz / 2;
    }
    r.windowSamples = timeWindowParameters(s, s.transformSize()).length;
    r.windowType = s.windowTypeIndex;
    r.windowPosition = s.fftWindowPosition;
    r.gate = gate;
    r.outputVolumePercent = s.outputVolume > 0 ? s.outputVolume : 0;
    return r;
}

void MeasurementWindow::requestGate(std::optional<double> fixedMs)
{
    gate_ = GateState{};
    gate_.mode = fixedMs ? GateState::Mode::fixed : GateState::Mode::automatic;
    gate_.requestedMs = fixedMs.value_or(0);
}

void MeasurementWindow::resumeGate(const GateRecord& gate)
{
    const MlsSettings& s = ctx_.settings;
    // gateWindowFor put the window's end at floor(direct + gate): the direct sound is the one
    // whole sample that lands there.
    const double end = s.fftWindowPosition + textValue(s.windowWidthText);
    const int direct = static_cast<int>(std::ceil(end - gate.ms * s.sampleRate() / 1000.0 - 1e-9));
    gate_ = GateState{gate.automatic ? GateState::Mode::automatic : GateState::Mode::fixed, gate.ms, gate.ms, direct,
                      true};
}

std::optional<GateRecord> MeasurementWindow::gateRecord() const
{
    if (gate_.mode == GateState::Mode::off || !gate_.ms)
        return std::nullopt;
    return GateRecord{gate_.mode == GateState::Mode::automatic, *gate_.ms};
}

void MeasurementWindow::autoGate()
{
    if (ctx_.sequence.sequenceRunning == 1) { // the window of a running walk is held
        host_->beep(BeepKind::Exclamation);
        return;
    }
    if (engine_.refDelay() == 0 || engine_.inDelay() == 0) {
        tell(kNoImpulseResponseText, kMlsCaption, MessageIcon::Warning);
        return;
    }
    const MlsSettings& s = ctx_.settings;
    const int rate = s.sampleRate();
    const auto in = std::span<const float>(engine_.inSignal()).first(static_cast<std::size_t>(s.transformSize()));
    const ReflectionSearch found = findFirstReflection(in, rate);
    if (!found.reflection) {
        tell(kNoReflectionText, kMlsCaption, MessageIcon::Information);
        return;
    }
    const double ms = gateMsFor(found.direct, *found.reflection, rate);
    const std::optional<GateWindow> w = gateWindowFor(found.direct, ms, rate, kGatePositionMax);
    if (!w) {
        tell("The first reflection arrives " + msText(ms + kGateMarginMs) +
                 " after the direct sound: too soon for a time window between them",
             kMlsCaption, MessageIcon::Warning);
        return;
    }
    applyGateWindow(*w);
    gate_ = GateState{GateState::Mode::automatic, 0, ms, found.direct, false};
}

bool MeasurementWindow::gatePoint(int hAngle, int vAngle)
{
    if (gate_.mode == GateState::Mode::off)
        return true;
    const MlsSettings& s = ctx_.settings;
    const int rate = s.sampleRate();
    const auto in = std::span<const float>(engine_.inSignal()).first(static_cast<std::size_t>(s.transformSize()));
    const std::string point = "H=" + std::to_string(hAngle) + " V=" + std::to_string(vAngle) + " deg";
    if (!gate_.walkLocked) {
        gate_.walkLocked = true;
        gate_.ms.reset();
        const ReflectionSearch found = findFirstReflection(in, rate);
        double ms = gate_.requestedMs;
        if (gate_.mode == GateState::Mode::automatic) {
            if (!found.reflection) {
                ctx_.platform.log().record("gate", "no reflection at " + point + ": the window stays");
                return true;
            }
            ms = gateMsFor(found.direct, *found.reflection, rate);
        }
        const std::optional<GateWindow> w = gateWindowFor(found.direct, ms, rate, kGatePositionMax);
        if (!w || w->width > s.transformSize() - 1) {
            tell("A gate of " + msText(ms) + " after the direct sound at " + point + " gives no time window the MLS length " +
                     std::to_string(s.mlsLength()) + " can hold",
                 kMlsCaption, MessageIcon::Warning);
            return false;
        }
        applyGateWindow(*w);
        gate_.ms = ms;
        gate_.direct = found.direct;
        ctx_.platform.log().record("gate", msText(ms) + " at " + point + ", window " + std::to_string(w->width) +
                                               " samples from " + std::to_string(w->position));
    }
    if (!gate_.ms)
        return true;
    const ReflectionSearch found = findFirstReflection(in, rate, gate_.direct);
    if (found.reflection) {
        const double ms = (*found.reflection - gate_.direct) * 1000.0 / rate;
        if (ms < *gate_.ms) {
            tell("The first reflection at " + point + " arrives " + msText(ms) +
                     " after the direct sound, inside the time window's gate of " + msText(*gate_.ms),
                 kMlsCaption, MessageIcon::Warning);
            return false;
        }
    }
    return true;
}

// As a user sets them: "Semi-Rectangular", the width (and so the time) and the "Bin" position.
void MeasurementWindow::applyGateWindow(const GateWindow& w)
{
    MlsSettings& s = ctx_.settings;
    WindowHost& h = *host_;
    s.windowTypeIndex = kSemiRectangularType;
    h.setListSelection(kWindowTypeList, s.windowTypeIndex);
    s.fftWindowPosition = w.position;
    h.setScrollPos(kWindowPositionBar, s.fftWindowPosition);
    showWindowPosition();
    s.windowWidthText = std::to_string(w.width);
    s.windowTimeText = windowTimeText(s.windowWidthText, s.sampleRate());
    widthFlag_ = timeFlag_ = false;
    h.setText(kWindowWidthEdit, s.windowWidthText);
    h.setText(kWindowTimeEdit, s.windowTimeText);
    widthFlag_ = timeFlag_ = true;
    windowsChanged();
}

void MeasurementWindow::gateWindowEdited() { gate_ = GateState{}; }

} // namespace vantrel
