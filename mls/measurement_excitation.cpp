// The measurement window's excitation controls: "Log Sweep" instead of the MLS, and the
// sweep's band in two edits (held as text, read where used; an empty or non-numeric f2 means
// the Nyquist frequency). Like the other settings of a measurement they ignore the user while
// the balloon sequence runs.

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

bool MeasurementWindow::excitationCommand(int id)
{
    if (id != kLogSweepCheck && id != kSweepF1Edit && id != kSweepF2Edit)
        return false;
    if (!ctx_.excitation || ctx_.sequence.sequenceRunning == 1) {
        showExcitation();
        return true;
    }
    ExcitationSettings& e = *ctx_.excitation;
    switch (id) {
    case kLogSweepCheck:
        e.sweep = !e.sweep;
        host_->setCheck(id, e.sweep);
        break;
    case kSweepF1Edit: e.f1Hz = textValue(clipEditText(host_->text(id))); break;
    case kSweepF2Edit: e.f2Hz = textValue(clipEditText(host_->text(id))); break;
    default: break;
    }
    return true;
}

} // namespace vantrel
