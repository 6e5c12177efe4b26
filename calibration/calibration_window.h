#pragma once
// The modal "Calibration File Data" window: five filter sections to edit, "Show" to build the
// calibration curve and preview it in the measurement window's SPL plot, "Invert Response",
// "Clear", "Save"/"Load" of target files, and "Mic File" for a microphone's calibration file.

#include <array>
#include <functional>

#include "balloon/frequency_axis.h"
#include "calibration/calibration_builder.h"
#include "mls/mls_settings.h"
#include "platform/platform.h"
#include "platform/window_host.h"

namespace vantrel {

// Control ids.
inline constexpr int kCalShowButton = 1;
inline constexpr int kCalDoneButton = 2;
inline constexpr int kCalInvertCheck = 10628;
inline constexpr int kCalSaveButton = 10629;
inline constexpr int kCalLoadButton = 10630;
inline constexpr int kCalClearButton = 10631;
// A measurement microphone's calibration file becomes the curve (see mic_file.h).
inline constexpr int kCalMicFileButton = 10632;

struct SectionControlIds {
    int family, order, cutoff, q, gainOrSlope;
};
inline constexpr std::array<SectionControlIds, kFilterSectionCount> kSectionControlIds{{
    {10604, 10603, 10605, 10606, 10607},
    {10609, 10608, 10610, 10611, 10612},
    {10613, 10614, 10615, 10616, 10617},
    {10618, 10619, 10620, 10621, 10622},
    {10623, 10624, 10625, 10626, 10627},
}};

extern const WindowSpec kCalibrationWindowSpec; // name "calibration"

class CalibrationWindow final : public WindowClient {
public:
    // redrawSplPlot repaints the measurement window's SPL plot (empty when that window is
    // closed); closed runs last when the window has closed and may destroy this object.
    CalibrationWindow(CalibrationSetup& setup, CurveSet& curves, CalibrationCurve& curve,
                      const FrequencyAxis& axis, std::function<void()> redrawSplPlot,
                      std::function<void()> closed);

    // Creates the modal window over owner and fills its controls from the setup.
    void open(Platform& platform, WindowHost* owner);
    bool isOpen() const { return host_ != nullptr; }

    void command(int id, int code) override;
    void closeRequested() override;

private:
    void fillControls();
    void show();
    void clear();
    void save();
    void load();
    void loadMicFile();
    void done();
    void redrawSplPlot();
    bool sectionEdit(int id);
    bool sectionList(int id);

    CalibrationSetup& setup_;
    CurveSet& curves_;
    CalibrationCurve& curve_;
    const FrequencyAxis& axis_;
    std::function<void()> redrawSplPlot_;
    std::function<void()> closed_;
    WindowHost* host_ = nullptr;
};

} // namespace vantrel
