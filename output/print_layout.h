#pragma once
// Where the main window's picture lands on the printed page, and the printer it goes to.

#include <string>
#include <string_view>

#include "platform/print_system.h"

namespace vantrel {

// Kept from start to exit; the texts are held as typed and read where they are used.
struct PrintLayout {
    int scalePercent = 80;         // 100, 30, 50 or 80
    int tallFlag = 0;              // 1: the picture takes the page's full height, 100 further right
    std::string leftText = "300";  // margins in printer pixels
    std::string topText = "400";
    std::string colourCountText;   // palette entries of the capture
    std::string scaleCaption;
};

inline constexpr std::size_t kMarginTextLimit = 7;
inline constexpr std::size_t kColourCountTextLimit = 10;
// The profile entry is read into a buffer of this many characters.
inline constexpr std::size_t kPrinterDescriptionLimit = 80;

struct PrinterDescription {
    std::string name, driver, port;
    std::string driverFile; // the driver with ".DRV" appended; empty without a driver
};

// Splits "name,driver,port" (blanks after each comma skipped, at most 80 characters read).
// A value without commas is all name.
PrinterDescription splitPrinterDescription(std::string_view value);

// 2 to the power (planes x bits per pixel), the exponent taken modulo 32, as a 32-bit integer.
int screenColourCount(int bitsPerPixel);

// The leading decimal integer of a typed text; 0 when it has none.
int leadingInt(std::string_view text);

// The page rectangle of the picture on a printer of horzRes x vertRes pixels.
PageRect pageRectangle(const PrintLayout& layout, int horzRes, int vertRes);

// The part of a width x height picture that lands in target when stretched to fill it.
PageRect sourceRectangle(const PageRect& target, int width, int height);

} // namespace vantrel
