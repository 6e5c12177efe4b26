#pragma once
// The machine's side of printing and the clipboard: the screen's colour depth, the default
// printer, a picture of a window's client area as it is on screen, the print dialog with the
// printer it hands back, and the clipboard's picture.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace vantrel {

class WindowHost;

// Pixels 0xRRGGBB, rows from the top.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

    Rgb at(int x, int y) const
    {
        const std::uint32_t p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
    }
    bool empty() const { return width <= 0 || height <= 0; }
};

// Right and bottom edges excluded.
struct PageRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const PageRect&, const PageRect&) = default;
};

// One chosen printer, held until the job object goes (which releases it; a document left
// unfinished is dropped).
class PrinterJob {
public:
    virtual ~PrinterJob() = default;
    // The printable area in printer pixels.
    virtual int horzRes() const = 0;
    virtual int vertRes() const = 0;
    virtual bool startDocument(std::string_view name) = 0;
    virtual bool startPage() = 0;
    // Stretches the source part of picture onto target, colour on colour (no smoothing).
    virtual void drawPicture(const PageRect& target, const Picture& picture, const PageRect& source) = 0;
    virtual bool endPage() = 0;
    virtual bool endDocument() = 0;
};

class PrintSystem {
public:
    virtual ~PrintSystem() = default;
    // Planes x bits per pixel of the screen.
    virtual int screenBitsPerPixel() const = 0;
    // The default printer as "name,driver,port"; empty when there is none.
    virtual std::string defaultPrinterDescription() const = 0;
    // The window's client area as it is on screen, controls included; nothing when the
    // window shows no area.
    virtual std::optional<Picture> captureClient(WindowHost& window) = 0;
    // The print dialog, owned by owner: the chosen printer, or nullptr when cancelled.
    virtual std::unique_ptr<PrinterJob> choosePrinter(WindowHost& owner) = 0;
    // Replaces the clipboard's contents with the picture; false when the clipboard refused.
    virtual bool setClipboardPicture(const Picture& picture) = 0;
};

} // namespace vantrel
