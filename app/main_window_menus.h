#pragma once
// The main window's menu bar as data. Entries that do what a control of the window does carry
// that control's id, so the one command path serves both.

#include <array>

#include "output/main_window_printer.h"
#include "platform/window_host.h"

namespace vantrel {

namespace menu_ids {
inline constexpr int kOpenBalloon = 1037;   // "Load Data"
inline constexpr int kSaveBalloonAs = 1036; // "Save Data"
inline constexpr int kExportSofa = 2011, kExportFrd = 2012, kExportClf = 2013, kExportSplTables = 2014,
                     kExportHtml = 2015;
inline constexpr int kNoRecent = 2020;
inline constexpr int kRecentFirst = 2021; // .. kRecentFirst + 7, newest first
inline constexpr int kPrint = kPrintMainWindowCommand;
inline constexpr int kQuit = 2032;
inline constexpr int kDirectivityReport = 2101, kCompareWith = 2102, kPlane = 2103;
inline constexpr int kViewLevel = 2201, kViewThd = 2202, kViewH2 = 2203, kViewH3 = 2204;
inline constexpr int kMicrophoneFile = 2301;
inline constexpr int kAbout = 2401, kManual = 2402;
} // namespace menu_ids

inline constexpr std::array<MenuSpec, 38> kMainMenus{{
    {0, -1, "&File"},
    {1, menu_ids::kOpenBalloon, "&Open Balloon...", "Load a balloon file (as \"Load Data\")", false, "Ctrl+O"},
    {1, menu_ids::kSaveBalloonAs, "&Save Balloon As...", "Save the balloon to a file (as \"Save Data\")", false, "Ctrl+S"},
    {1, -1, ""},
    {1, -1, "&Export", "Write the balloon in memory for other tools"},
    {2, menu_ids::kExportSofa, "SOFA...", "An AES69 directivity file"},
    {2, menu_ids::kExportFrd, "FRD...", "FRD files of the horizontal and vertical planes"},
    {2, menu_ids::kExportClf, "CLF...", "CLF text"},
    {2, menu_ids::kExportSplTables, "SPL Tables...", "The CTA-2034 tooling's SPL tables"},
    {2, menu_ids::kExportHtml, "HTML Page...", "One HTML page that turns the balloon in a browser"},
    {1, -1, "&Recent Balloons"},
    {2, menu_ids::kNoRecent, "No Recent Balloons"},
    {2, menu_ids::kRecentFirst + 0, ""},
    {2, menu_ids::kRecentFirst + 1, ""},
    {2, menu_ids::kRecentFirst + 2, ""},
    {2, menu_ids::kRecentFirst + 3, ""},
    {2, menu_ids::kRecentFirst + 4, ""},
    {2, menu_ids::kRecentFirst + 5, ""},
    {2, menu_ids::kRecentFirst + 6, ""},
    {2, menu_ids::kRecentFirst + 7, ""},
    {1, -1, ""},
    {1, menu_ids::kPrint, "&Print...", "Print the main window (Ctrl+P)"},
    {1, -1, ""},
    {1, menu_ids::kQuit, "&Quit", "Save the preferences and leave, after asking", false, "Ctrl+Q"},
    {0, -1, "&Analysis"},
    {1, menu_ids::kDirectivityReport, "&Directivity Report...",
     "Polar maps and plots, directivity and the CTA-2034-A curves of the balloon in memory"},
    {1, menu_ids::kCompareWith, "&Compare With...",
     "The balloon in memory against a reference balloon file: difference maps, PASS or FAIL"},
    {1, menu_ids::kPlane, "&Plane...", "The polar map and plots of the plane through the axis at any roll angle"},
    {0, -1, "&View"},
    {1, menu_ids::kViewLevel, "&Level", "The balloon views show the level of the responses", true},
    {1, menu_ids::kViewThd, "&THD", "The balloon views show THD relative to the fundamental", true},
    {1, menu_ids::kViewH2, "H&2", "The balloon views show H2 relative to the fundamental", true},
    {1, menu_ids::kViewH3, "H&3", "The balloon views show H3 relative to the fundamental", true},
    {0, -1, "&Calibration"},
    {1, menu_ids::kMicrophoneFile, "&Microphone File...",
     "Read a microphone's calibration file into the calibration window (as its \"Mic File\")"},
    {0, -1, "&Help"},
    {1, menu_ids::kAbout, "&About Vantrel", "The version, the commit and the libraries of this program"},
    {1, menu_ids::kManual, "&Manual", "Open the installed manual", false, "F1"},
}};

} // namespace vantrel
