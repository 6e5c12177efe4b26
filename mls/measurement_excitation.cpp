// The measurement window's excitation controls: "Log Sweep" instead of the MLS, and the
// sweep's band in two edits, in whole hertz, each taken when its edit is finished (an empty f2:
// the Nyquist frequency); a text that is no whole number is refused whole. Like the other
// settings of a measurement they refuse the user while the balloon sequence runs, with a beep.

#include <cmath>

#include "mls/measurement_controls.h"
#include "mls/measurement_window.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"

namespace vantrel {

using namespace measure_ids;

namespace {

std::string hzEditText(double hz) { return hz > 0 ? cleanFixedText(hz, hz == std::floor(hz) ? 0 : 1) : ""; }

} // namespace

void MeasurementWindow::showExcitation()
{
    if (!host_ || !ctx_.excitation)
        return;
    const ExcitationSettings& e = *ctx_.excitation;
    host_->setCheck(kLogSweepCheck, e.sweep);
    host_->setText(kSweepF1Edit, hzEditText(e.f1Hz));
    host_->setText(kSweepF2Edit, hzEditText(e.f2Hz));
}

bool MeasurementWindow::excitationCommand(int id, int code)
{
    if (id != kLogSweepCheck && id != kSweepF1Edit && id != kSweepF2Edit)
        return false;
    const bool edit = id != kLogSweepCheck;
    if (!ctx_.excitation || ctx_.sequence.sequenceRunning == 1) {
        // The end of an edit whose keystrokes were refused has nothing left to refuse.
        if (edit && code == kNotifyEditFinished)
            return true;
        showExcitation();
        host_->beep(BeepKind::Exclamation);
        return true;
    }
    ExcitationSettings& e = *ctx_.excitation;
    if (!edit) {
        e.sweep = !e.sweep;
        host_->setCheck(id, e.sweep);
        return true;
    }
    if (code != kNotifyEditFinished)
        return true; // a half-typed number is never in effect
    const bool start = id == kSweepF1Edit;
    const std::string text = clipEditText(host_->text(id));
    double& hz = start ? e.f1Hz : e.f2Hz;
    // No sweep reaches past the Nyquist frequency of the fastest rate; the plan checks the band.
    constexpr long long kHighestHz = 96000;
    const std::optional<long long> typed =
        start || !text.empty() ? parseWholeNumber(text, start ? 1 : 0, kHighestHz) : std::optional<long long>(0);
    if (!typed) {
        const std::string kept = hz > 0 ? hzEditText(hz) + " Hz" : "the Nyquist frequency";
        showExcitation(); // before the message takes the focus and finishes the edit again
        tell("\"" + text + "\" is no " + (start ? "sweep start f1" : "sweep end f2") + ": whole hertz 1.." +
                 std::to_string(kHighestHz) + ", digits only" + (start ? "" : " (empty: the Nyquist frequency)") +
                 ".\n\n" + (start ? "f1" : "f2") + " stays " + kept + ".",
             kMlsCaption, MessageIcon::Warning);
        return true;
    }
    hz = static_cast<double>(*typed);
    showExcitation();
    return true;
}

} // namespace vantrel
