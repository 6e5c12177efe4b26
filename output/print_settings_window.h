#pragma once
// The print-settings window "EnterScales": shows the default printer, lets the user choose the
// scale, the picture's shape and the margins, and copies the main window to the clipboard on
// a right-button click. Modal over the main window; it reports how it closed.

#include <array>
#include <functional>

#include "output/print_layout.h"
#include "platform/platform.h"

namespace vantrel {

namespace print_ids {
inline constexpr int kOk = 1, kCancel = 2;
inline constexpr int kTallRadio = 807, kWideRadio = 808, kScaleList = 809;
inline constexpr int kLeftEdit = 810, kTopEdit = 811, kColourCountEdit = 812;
inline constexpr int kDriver = 7000, kPrinterName = 7001, kPort = 7002, kScaleCaption = 7005;
} // namespace print_ids

inline constexpr int kPrintSettingsOk = 1;
inline constexpr int kPrintSettingsCancel = 2;

extern const WindowSpec kPrintSettingsSpec; // name "print"

class PrintSettingsWindow final : public WindowClient {
public:
    // closed gets kPrintSettingsOk or kPrintSettingsCancel, after the window is gone.
    PrintSettingsWindow(PrintLayout& layout, const PrinterDescription& printer, std::function<void()> copyToClipboard,
                        std::function<void(int)> closed);

    void open(Platform& platform, WindowHost& owner);
    bool isOpen() const { return host_ != nullptr; }
    void raise();

    void command(int id, int code) override;
    void closeRequested() override;
    void rightClick(int x, int y) override;

private:
    void showTallMarks();
    void close(int result);

    PrintLayout& layout_;
    // What the window shows; it becomes the layout on OK only, so Cancel undoes every choice.
    PrintLayout draft_;
    const PrinterDescription& printer_;
    std::function<void()> copyToClipboard_;
    std::function<void(int)> closed_;
    WindowHost* host_ = nullptr;
};

} // namespace vantrel
