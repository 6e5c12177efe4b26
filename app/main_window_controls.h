#pragma once
// The main window's controls as data: id, kind, caption, geometry and range, in creation order.

#include <array>

#include "app/main_window_menus.h"
#include "output/main_window_printer.h"
#include "platform/window_host.h"

namespace vantrel {

inline constexpr int kMainWidth = 1210;
inline constexpr int kMainHeight = 790;
inline constexpr Rgb kMainBackground{158, 194, 216};

namespace main_ids {
inline constexpr int kViewScrollH = 1141, kViewScrollV = 1140, kViewScrollSide = 1142;
inline constexpr int kConnectTt1 = 1004, kConnectTt2 = 1012;
inline constexpr int kPortList1 = 3000, kPortList2 = 3001;
inline constexpr int kAbortTt1 = 1021, kAbortTt2 = 1022;
inline constexpr int kRunTest = 1024, kAbortTest = 1027, kTestBalloon = 1029;
inline constexpr int kGrid5 = 1030, kGrid10 = 1031;
inline constexpr int kSaveData = menu_ids::kSaveBalloonAs, kLoadData = menu_ids::kOpenBalloon, kMeasurements = 1038;
inline constexpr int kClearBalloon = 1044;
inline constexpr int kSelectedRow = 1045, kSelectedColumn = 1046, kSelectedBin = 1048, kColourScale = 1049;
inline constexpr int kMeasurementModeRadio = 1050, kRawModeRadio = 1051, kCoarseModeRadio = 1052, kFineModeRadio = 1053, kTestModeRadio = 1054;
inline constexpr int kRepairSourceRow = 1055, kRepairSourceColumn = 1056, kRepairTargetRow = 1057, kRepairTargetColumn = 1058;
inline constexpr int kRepair = 1059, kSliceLimit = 1060;
inline constexpr int kSliceLeftRadio = 1061, kSliceRightRadio = 1062, kSliceFullRadio = 1063;
inline constexpr int kPacedWalk = 1070, kSettleEdit = 1071;
} // namespace main_ids

using CK = ControlKind;

inline constexpr std::array<ControlSpec, 60> kMainControls{{
    {1141, CK::HScrollBar, "", 420, 715, 683, 20, 0, 720, true},
    {1140, CK::VScrollBar, "", 1105, 5, 20, 710, 0, 720, true},
    {1142, CK::VScrollBar, "", 395, 5, 20, 710, 0, 180, true},
    {1004, CK::PushButton, "Connect TT1", 10, 10, 110, 30},
    {1000, CK::PushButton, "+90 Deg", 10, 100, 70, 20},
    {1001, CK::PushButton, "-90 Deg", 10, 130, 70, 20},
    {1040, CK::PushButton, "+10 Deg", 90, 100, 70, 20},
    {1041, CK::PushButton, "-10 Deg", 90, 130, 70, 20},
    {1002, CK::PushButton, "+5 Deg", 10, 160, 70, 20},
    {1003, CK::PushButton, "-5 Deg", 10, 190, 70, 20},
    {1008, CK::PushButton, "+1 Deg", 170, 100, 70, 20},
    {1009, CK::PushButton, "-1 Deg", 170, 130, 70, 20},
    {1010, CK::PushButton, "+0.1 Deg", 170, 160, 70, 20},
    {1011, CK::PushButton, "-0.1 Deg", 170, 190, 70, 20},
    {1021, CK::PushButton, "Abort TT1", 10, 220, 110, 20},
    {3000, CK::ListBox, "", 130, 10, 80, 60},
    {1070, CK::CheckBox, "Paced walk", 262, 43, 125, 18},
    {-1, CK::Static, "Settle ms", 128, 222, 58, 18},
    {1071, CK::Edit, "", 188, 220, 60, 20},
    {1024, CK::PushButton, "RUN Test", 260, 100, 120, 20},
    {1027, CK::PushButton, "ABORT Test", 260, 130, 120, 20},
    {1036, CK::PushButton, "Save Data", 260, 160, 120, 20},
    {1037, CK::PushButton, "Load Data", 260, 190, 120, 20},
    {1038, CK::PushButton, "Measurements", 260, 220, 120, 20},
    {1029, CK::PushButton, "Test Balloon", 165, 250, 100, 20},
    {1044, CK::PushButton, "Clear Balloon", 165, 280, 100, 20},
    {1060, CK::HScrollBar, "", 265, 336, 120, 15, 0, 36},
    {1045, CK::HScrollBar, "", 265, 371, 120, 15, 0, 36},
    {1046, CK::HScrollBar, "", 265, 406, 120, 15, 0, 72},
    {1048, CK::HScrollBar, "", 10, 407, 160, 15, 0, 749},
    {1050, CK::RadioButton, "Measurement Mode", 10, 260, 150, 20},
    {1051, CK::RadioButton, "Raw Mode", 10, 280, 150, 20},
    {1052, CK::RadioButton, "Coarse Mode", 10, 300, 150, 20},
    {1053, CK::RadioButton, "Fine Mode", 10, 320, 150, 20},
    {1054, CK::RadioButton, "Test Mode", 165, 320, 90, 20},
    {1061, CK::RadioButton, "Left", 205, 350, 55, 20},
    {1062, CK::RadioButton, "Right", 205, 370, 55, 20},
    {1063, CK::RadioButton, "Full", 205, 390, 55, 20},
    {1049, CK::HScrollBar, "", 10, 365, 160, 15, 0, 100},
    {1012, CK::PushButton, "Connect TT2", 10, 430, 110, 30},
    {1013, CK::PushButton, "+90 Deg", 10, 520, 70, 20},
    {1014, CK::PushButton, "-90 Deg", 10, 550, 70, 20},
    {1042, CK::PushButton, "+10 Deg", 90, 520, 70, 20},
    {1043, CK::PushButton, "-10 Deg", 90, 550, 70, 20},
    {1015, CK::PushButton, "+5 Deg", 10, 580, 70, 20},
    {1016, CK::PushButton, "-5 Deg", 10, 610, 70, 20},
    {1017, CK::PushButton, "+1 Deg", 170, 520, 70, 20},
    {1018, CK::PushButton, "-1 Deg", 170, 550, 70, 20},
    {1019, CK::PushButton, "+0.1 Deg", 170, 580, 70, 20},
    {1020, CK::PushButton, "-0.1 Deg", 170, 610, 70, 20},
    {1022, CK::PushButton, "Abort TT2", 10, 640, 110, 20},
    {3001, CK::ListBox, "", 130, 430, 80, 60},
    {1030, CK::RadioButton, "5deg Step", 270, 250, 100, 20},
    {1031, CK::RadioButton, "10deg Step", 270, 270, 100, 20},
    {1055, CK::HScrollBar, "", 260, 609, 120, 15, 0, 36},
    {1056, CK::HScrollBar, "", 260, 644, 120, 15, 0, 72},
    {1057, CK::HScrollBar, "", 260, 693, 120, 15, 0, 36},
    {1058, CK::HScrollBar, "", 260, 728, 120, 15, 0, 72},
    {1059, CK::PushButton, "Repair", 170, 700, 70, 40},
    kPrintShortcut,
}};

inline constexpr WindowSpec kMainWindowSpec{"main", "Vantrel", kMainWidth, kMainHeight, kMainBackground, kMainControls,
                                             kMainMenus};

} // namespace vantrel
