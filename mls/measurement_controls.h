#pragma once
// The "MLS Measurement" window's controls: ids, kinds, captions and layout. The plots fill the
// left part (level meter, impulse plot over its time scale, SPL plot between its level and
// frequency scales); the settings sit in their groups on the right and along the bottom.

#include <array>

#include "platform/window_host.h"

namespace vantrel::measure_ids {

// Plot areas.
inline constexpr int kLevelMeter = 10000;
inline constexpr int kImpulsePlot = 10017;
inline constexpr int kTimeScale = 10018;
inline constexpr int kSplPlot = 10019;
inline constexpr int kLevelScale = 10020;
inline constexpr int kFrequencyScale = 20028;

// Lists.
inline constexpr int kMlsLengthList = 10003;
inline constexpr int kRateList = 10004;
inline constexpr int kWindowTypeList = 10005;
inline constexpr int kSmoothingList = 10011;
inline constexpr int kFromList = 20024;
inline constexpr int kToList = 20025;

// Scroll bars and the texts that replace their labels.
inline constexpr int kVolumeBar = 10006;
inline constexpr int kVolumeText = 20005;
inline constexpr int kWindowPositionBar = 10021;
inline constexpr int kWindowPositionText = 20011;

// Buttons.
inline constexpr int kRunMls = 10007;
inline constexpr int kClearSpl = 10008;
inline constexpr int kIrToSpl = 10009;
inline constexpr int kCreateCalibration = 20036;
// Sets the time window to end before the first reflection of the impulse response held.
inline constexpr int kAutoGate = 20045;

// Edits.
inline constexpr int kAddDbEdit = 10010;
inline constexpr int kWindowWidthEdit = 10012;
inline constexpr int kFrontWindowEdit = 10013;
inline constexpr int kWindowTimeEdit = 10015;
inline constexpr int kPreEmphasisEdit = 10022;
inline constexpr int kPreEmphasisText = 20013;
inline constexpr int kFilterF3dbEdit = 20031;
inline constexpr int kFilterQEdit = 20032;
inline constexpr int kFilterSlopeEdit = 20033;

// Check boxes.
inline constexpr int kFrontWindowCheck = 10014;
inline constexpr int kShowWindowCheck = 10016;
inline constexpr int kTwoChannelsCheck = 20023;
inline constexpr int kShowPhaseCheck = 20029;
inline constexpr int kSavedIrCheck = 20030;
inline constexpr int kMatchedFilterCheck = 20034;
inline constexpr int kUseCalibrationCheck = 20035;
inline constexpr int kInvertInCheck = 20038;
inline constexpr int kInvertRefCheck = 20039;

// The excitation: "Log Sweep" instead of the MLS, and its band (empty f2: Nyquist). The
// length comes from the MLS length list.
inline constexpr int kLogSweepCheck = 20040;
inline constexpr int kSweepF1Edit = 20041;
inline constexpr int kSweepF2Edit = 20042;

// The near field: one measurement with the microphone at the woofer's cone, kept as a curve,
// the radiator's radius in mm, and the merge of the balloon in memory with that curve.
inline constexpr int kNearFieldButton = 20050;
inline constexpr int kRadiusEdit = 20051;
inline constexpr int kMergeNearFieldButton = 20053;

// The microphone arc: its description read ("Arc...") and its self-calibration.
inline constexpr int kArcButton = 20055;
inline constexpr int kArcCalibrateButton = 20056;

// Device lists (and their labels) are the sound card's: 20026, 20027, 20016, 20017.

} // namespace vantrel::measure_ids

namespace vantrel {

inline constexpr Rgb kMeasureBackground{240, 240, 240};
inline constexpr int kMeasureWidth = 1262;
inline constexpr int kMeasureHeight = 724;

struct PlotRect {
    int x = 0, y = 0;          // top-left corner in the window
    int width = 0, height = 0;
};

inline constexpr PlotRect kLevelMeterRect{10, 28, 44, 202};
inline constexpr PlotRect kImpulsePlotRect{104, 28, 750, 200};
inline constexpr PlotRect kTimeScaleRect{104, 230, 790, 18};
inline constexpr PlotRect kSplPlotRect{104, 254, 750, 370};
inline constexpr PlotRect kLevelScaleRect{66, 254, 36, 380};
inline constexpr PlotRect kFrequencyScaleRect{104, 626, 790, 18};

namespace measure_detail {

using CK = ControlKind;

constexpr ControlSpec plot(int id, PlotRect r) { return {id, CK::PlotArea, "", r.x, r.y, r.width, r.height}; }

// Right-hand column: two sub-columns inside each group.
constexpr int kGx = 902, kGw = 352;
constexpr int kAx = 912, kBx = 1084, kCw = 160;

} // namespace measure_detail

inline constexpr std::array<ControlSpec, 76> kMeasureControls{{
    // Plots and the meter labels.
    measure_detail::plot(10000, kLevelMeterRect),
    {20001, ControlKind::Static, "Ref", 12, 10, 22, 16},
    {20002, ControlKind::Static, "In", 34, 10, 20, 16},
    measure_detail::plot(10017, kImpulsePlotRect),
    measure_detail::plot(10018, kTimeScaleRect),
    measure_detail::plot(10019, kSplPlotRect),
    measure_detail::plot(10020, kLevelScaleRect),
    measure_detail::plot(20028, kFrequencyScaleRect),

    // MLS Signal Generator.
    {21001, ControlKind::GroupBox, "MLS Signal Generator", measure_detail::kGx, 6, measure_detail::kGw, 462},
    {20003, ControlKind::Static, "MLS Length", measure_detail::kAx, 24, measure_detail::kCw, 16},
    {10003, ControlKind::ListBox, "", measure_detail::kAx, 42, measure_detail::kCw, 60, 0, 0, true},
    {20004, ControlKind::Static, "Sampling Rate", measure_detail::kBx, 24, measure_detail::kCw, 16},
    {10004, ControlKind::ListBox, "", measure_detail::kBx, 42, measure_detail::kCw, 60, 0, 0, true},
    {10016, ControlKind::CheckBox, "Show window", measure_detail::kAx, 106, measure_detail::kCw, 20},
    {10005, ControlKind::ListBox, "", measure_detail::kAx, 128, measure_detail::kCw, 62, 0, 0, true},
    {20005, ControlKind::Static, "Volume", measure_detail::kAx, 272, 330, 16},
    {10006, ControlKind::HScrollBar, "", measure_detail::kAx, 290, 330, 18, 0, 100},
    {10007, ControlKind::PushButton, "Run MLS", measure_detail::kAx, 428, 104, 28},
    {10008, ControlKind::PushButton, "Clear SPL", 1025, 428, 104, 28},
    {10009, ControlKind::PushButton, "IR -> SPL", 1138, 428, 104, 28},
    {20006, ControlKind::Static, "Add", measure_detail::kBx, 245, 30, 16},
    {10010, ControlKind::Edit, "", 1116, 242, 64, 22, 0, 0, true},
    {20007, ControlKind::Static, "dB", 1184, 245, 24, 16},
    {20011, ControlKind::Static, "Bin", measure_detail::kAx, 312, 330, 16},
    {10021, ControlKind::HScrollBar, "", measure_detail::kAx, 330, 330, 18, 0, 400},
    {20038, ControlKind::CheckBox, "Invert IN", measure_detail::kAx, 354, 104, 20},
    {20039, ControlKind::CheckBox, "Invert REF", 1025, 354, 104, 20},
    {20008, ControlKind::Static, "Smoothing", measure_detail::kBx, 106, measure_detail::kCw, 16},
    {10011, ControlKind::ListBox, "", measure_detail::kBx, 124, measure_detail::kCw, 66, 0, 0, true},
    {20009, ControlKind::Static, "Window Width    Front Window", measure_detail::kAx, 196, 200, 16},
    {10012, ControlKind::Edit, "", measure_detail::kAx, 214, 80, 22, 0, 0, true},
    {10013, ControlKind::Edit, "", 1000, 214, 64, 22, 0, 0, true},
    {10014, ControlKind::CheckBox, "Front Wnd", measure_detail::kBx, 214, 100, 22},
    {10015, ControlKind::Edit, "", measure_detail::kAx, 242, 80, 22, 0, 0, true},
    {20010, ControlKind::Static, "Time[ms]", 996, 245, 70, 16},
    {20030, ControlKind::CheckBox, "Saved IR", 1138, 354, 104, 20},
    {20023, ControlKind::CheckBox, "2 Channels", measure_detail::kAx, 376, 104, 20},
    {20029, ControlKind::CheckBox, "Show Phase", 1025, 376, 104, 20},
    {20045, ControlKind::PushButton, "Auto Gate", 1138, 375, 104, 24},
    {10022, ControlKind::Edit, "", measure_detail::kAx, 400, 64, 22, 0, 0, true},
    {20012, ControlKind::Static, "[Hz]", 980, 403, 30, 16},
    {20013, ControlKind::Static, "", 1016, 403, 160, 16},

    // SPL Frequency Scale [Double-Click].
    {21002, ControlKind::GroupBox, "SPL Frequency Scale [Double-Click]", measure_detail::kGx, 474, measure_detail::kGw, 100},
    {20014, ControlKind::Static, "From:", measure_detail::kAx, 492, 50, 16},
    {20024, ControlKind::ListBox, "", measure_detail::kAx, 510, measure_detail::kCw, 56, 0, 0, true},
    {20015, ControlKind::Static, "To:", measure_detail::kBx, 492, 50, 16},
    {20025, ControlKind::ListBox, "", measure_detail::kBx, 510, measure_detail::kCw, 56, 0, 0, true},

    // Audio Devices.
    {21003, ControlKind::GroupBox, "Audio Devices", measure_detail::kGx, 580, measure_detail::kGw, 138},
    {20016, ControlKind::Static, "Input", measure_detail::kAx, 598, 332, 16},
    {20026, ControlKind::ListBox, "", measure_detail::kAx, 616, 332, 36, 0, 0, true},
    {20017, ControlKind::Static, "Output", measure_detail::kAx, 656, 332, 16},
    {20027, ControlKind::ListBox, "", measure_detail::kAx, 674, 332, 36, 0, 0, true},

    // Optional Matched Filter, under the plots.
    {21004, ControlKind::GroupBox, "Optional Matched Filter", 8, 652, 566, 62},
    {20018, ControlKind::Static, "F3dB=", 18, 680, 44, 16},
    {20031, ControlKind::Edit, "", 62, 677, 64, 22, 0, 0, true},
    {20019, ControlKind::Static, "Hz", 130, 680, 22, 16},
    {20020, ControlKind::Static, "Q= ", 160, 680, 26, 16},
    {20032, ControlKind::Edit, "", 186, 677, 56, 22, 0, 0, true},
    {20021, ControlKind::Static, "Slope=", 252, 680, 46, 16},
    {20033, ControlKind::Edit, "", 298, 677, 48, 22, 0, 0, true},
    {20022, ControlKind::Static, "x 6dB/Oct", 350, 680, 70, 16},
    {20034, ControlKind::CheckBox, "Use Matched Filter", 426, 678, 142, 20},

    // Calibration File.
    {21005, ControlKind::GroupBox, "Calibration File", 582, 652, 312, 62},
    {20035, ControlKind::CheckBox, "Use It", 596, 678, 90, 20},
    {20036, ControlKind::PushButton, "Create", 700, 674, 100, 28},

    // The excitation, above the impulse plot.
    {20040, ControlKind::CheckBox, "Log Sweep", 104, 4, 100, 20},
    {20043, ControlKind::Static, "f1 [Hz]", 212, 7, 48, 16},
    {20041, ControlKind::Edit, "", 262, 3, 64, 22, 0, 0, true},
    {20044, ControlKind::Static, "f2 [Hz]", 336, 7, 48, 16},
    {20042, ControlKind::Edit, "", 386, 3, 64, 22, 0, 0, true},

    // The near field, beside the excitation.
    {20050, ControlKind::PushButton, "Near Field", 470, 1, 96, 25},
    {20052, ControlKind::Static, "a [mm]", 576, 7, 48, 16},
    {20051, ControlKind::Edit, "", 626, 3, 56, 22, 0, 0, true},
    {20053, ControlKind::PushButton, "Merge Near Field", 692, 1, 140, 25},

    // The microphone arc, in free space: beside the near field, and in the calibration group.
    {20055, ControlKind::PushButton, "Arc...", 840, 1, 56, 25},
    {20056, ControlKind::PushButton, "Arc Calibrate", 806, 674, 84, 28},
}};

inline constexpr WindowSpec kMeasureWindowSpec{"measure", "MLS Measurement", kMeasureWidth, kMeasureHeight,
                                               kMeasureBackground, kMeasureControls};

} // namespace vantrel
