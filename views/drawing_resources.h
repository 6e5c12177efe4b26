#pragma once
// The drawing objects every balloon view shares. The Canvas takes pens and brushes by value,
// so the objects made once at start are constants here and "selecting" one is a set call.

#include <algorithm>
#include <array>

#include "platform/canvas.h"

namespace vantrel {

inline constexpr Pen kPenRed1{{192, 0, 0}, 1, PenStyle::Solid};
inline constexpr Pen kPenGreen1{{0, 128, 0}, 1, PenStyle::Solid};
inline constexpr Pen kPenBlue1{{0, 0, 255}, 1, PenStyle::Solid};
inline constexpr Pen kPenBlue2{{0, 0, 164}, 2, PenStyle::Solid};
inline constexpr Pen kPenBlack1{{0, 0, 0}, 1, PenStyle::Solid};
inline constexpr Pen kPenBlack2{{0, 0, 0}, 2, PenStyle::Solid};
inline constexpr Brush kBrushLightYellow{{255, 255, 64}, false};

// The three fonts made at start, as the host should realise them (cell height and width in
// pixels, weight 100 normal .. 700 bold; all variable pitch, Swiss family).
struct FontSpec {
    Font font;
    const char* face;
    int height;
    int width;
    int weight;
};
inline constexpr std::array<FontSpec, 3> kFontSpecs{{
    {Font::Helv, "Helv", 6, 4, 100},
    {Font::Times, "Times", 30, 16, 700},
    {Font::Arial, "Arial", 12, 5, 100},
}};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWindowBackground{158, 194, 216}; // main window class brush

// The level scale, lowest first: dark blue, blue, cyan, green, yellow, orange, red, dark red.
// 17/20 and 18/19 repeat on purpose: the scale lingers on green around its middle.
inline constexpr int kPaletteSize = 38;
inline constexpr std::array<Rgb, kPaletteSize> kPaletteColours{{
    {0, 0, 128},    {0, 0, 196},    {0, 0, 228},    {0, 32, 255},   {0, 64, 255},
    {0, 96, 255},   {0, 128, 255},  {0, 164, 255},  {0, 196, 255},  {0, 228, 255},
    {0, 255, 255},  {0, 255, 196},  {0, 242, 164},  {0, 232, 128},  {0, 222, 96},
    {0, 212, 64},   {0, 196, 32},   {0, 164, 0},    {0, 128, 0},    {0, 128, 0},
    {0, 164, 0},    {64, 164, 0},   {64, 196, 0},   {96, 228, 0},   {164, 255, 0},
    {196, 255, 0},  {228, 255, 0},  {255, 255, 0},  {255, 228, 0},  {255, 192, 0},
    {255, 164, 0},  {255, 128, 0},  {255, 96, 0},   {255, 64, 0},   {255, 32, 0},
    {228, 0, 0},    {196, 0, 0},    {128, 0, 0},
}};

// One solid brush and one solid 1-pixel pen per palette colour. An index above the scale
// selects its top colour; one below it (never produced by a clamped level) its bottom one.
struct ColourPalette {
    static constexpr int clampIndex(int index) { return std::clamp(index, 0, kPaletteSize - 1); }
    static constexpr Rgb colour(int index) { return kPaletteColours[static_cast<std::size_t>(clampIndex(index))]; }
    static constexpr Pen pen(int index) { return {colour(index), 1, PenStyle::Solid}; }
    static constexpr Brush brush(int index) { return {colour(index), false}; }
};

// Selects a pen and brush for the lifetime of a scope and puts back what it found.
class ScopedPenBrush {
public:
    ScopedPenBrush(Canvas& canvas, const Pen& pen, const Brush& brush)
        : canvas_(canvas), oldPen_(canvas.setPen(pen)), oldBrush_(canvas.setBrush(brush))
    {
    }
    ~ScopedPenBrush()
    {
        canvas_.setBrush(oldBrush_);
        canvas_.setPen(oldPen_);
    }
    ScopedPenBrush(const ScopedPenBrush&) = delete;
    ScopedPenBrush& operator=(const ScopedPenBrush&) = delete;

private:
    Canvas& canvas_;
    Pen oldPen_;
    Brush oldBrush_;
};

} // namespace vantrel
