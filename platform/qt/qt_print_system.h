#pragma once
// The desktop's printers and clipboard: the system's default printer and print dialog
// (CUPS on Linux), a grab of the window as it is on screen, the system clipboard.

#include "platform/print_system.h"

namespace vantrel {

class QtPlatform;

class QtPrintSystem final : public PrintSystem {
public:
    explicit QtPrintSystem(const QtPlatform& platform) : platform_(platform) {}

    int screenBitsPerPixel() const override;
    std::string defaultPrinterDescription() const override;
    std::optional<Picture> captureClient(WindowHost& window) override;
    std::unique_ptr<PrinterJob> choosePrinter(WindowHost& owner) override;
    bool setClipboardPicture(const Picture& picture) override;

private:
    const QtPlatform& platform_;
};

} // namespace vantrel
