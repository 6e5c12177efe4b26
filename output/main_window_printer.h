#pragma once
// The main window's picture on paper and on the clipboard: the print command (settings window,
// capture, print dialog, one page) and the clipboard copy, with the layout they keep.

#include <memory>
#include <optional>

#include "output/print_layout.h"
#include "output/print_settings_window.h"
#include "platform/platform.h"

namespace vantrel {

// The main window's command that prints it (Ctrl+P).
inline constexpr int kPrintMainWindowCommand = 103;
inline constexpr ControlSpec kPrintShortcut{kPrintMainWindowCommand, ControlKind::Shortcut, "Ctrl+P"};

enum class PrintResult { Printed = 0, NotLocked = 1, NotStarted = 2, NotClosed = 3 };

// Prints picture on one page of job at the layout's page rectangle, as document "Merrowin".
PrintResult printPicture(PrinterJob& job, const Picture& picture, const PrintLayout& layout, EventLog& log);

class MainWindowPrinter {
public:
    MainWindowPrinter(Platform& platform, WindowHost& mainWindow);

    // The whole print command; finishes when the settings window closes.
    void printMainWindow();
    void copyWindowToClipboard();
    // The main window's client area as it is on screen, or nothing.
    std::optional<Picture> captureWindowDib();

    const PrintLayout& layout() const { return layout_; }
    const PrinterDescription& printer() const { return printer_; }
    PrintSettingsWindow& settingsWindow() { return settings_; }

private:
    void settingsClosed(int result);

    Platform& platform_;
    WindowHost& main_;
    PrintLayout layout_;
    PrinterDescription printer_;
    PrintSettingsWindow settings_;
};

} // namespace vantrel
