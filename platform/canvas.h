#pragma once
// The drawing context every view and plot draws on. Semantics follow the classic GDI rules the
// window layouts were drawn for: a rectangle is filled with the brush and outlined with the
// pen, its right and bottom edge excluded; lineTo draws up to but not including its end point.

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

namespace vantrel {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

struct Point {
    int x = 0, y = 0;
};

enum class PenStyle { Solid, Dot, Dash, Null };

struct Pen {
    Rgb colour;
    int width = 1;
    PenStyle style = PenStyle::Solid;
};

struct Brush {
    Rgb colour;
    bool hollow = false; // the null brush: rectangles are outlined only
};

// The three fonts made at start: "Helv" 6 x 4, "Times" 30 x 16 bold, "Arial" 12 x 5, and the
// window's default font.
enum class Font { System, Helv, Times, Arial };

class Canvas {
public:
    virtual ~Canvas() = default;

    // Each setter returns what it replaced, so a view can restore what it found.
    virtual Pen setPen(const Pen& pen) = 0;
    virtual Brush setBrush(const Brush& brush) = 0;
    virtual Font setFont(Font font) = 0;
    virtual void setTextColour(Rgb colour) = 0;
    // Opaque text fills its cell with the background colour first, so a shorter new text
    // covers the old one.
    virtual void setTextBackground(bool opaque, Rgb colour = {255, 255, 255}) = 0;

    virtual void rectangle(int left, int top, int right, int bottom) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void textOut(int x, int y, std::string_view text) = 0;

    // moveTo the first point, then lineTo each of the others: the same pixels, but a surface
    // may set its pen up once for the whole line instead of once a segment.
    virtual void polyline(std::span<const Point> points)
    {
        if (points.empty())
            return;
        moveTo(points[0].x, points[0].y);
        for (const Point& p : points.subspan(1))
            lineTo(p.x, p.y);
    }
};

// Drawing on a window nobody sees goes nowhere; the setters still return what they replaced.
class NullCanvas final : public Canvas {
public:
    Pen setPen(const Pen& pen) override { return std::exchange(pen_, pen); }
    Brush setBrush(const Brush& brush) override { return std::exchange(brush_, brush); }
    Font setFont(Font font) override { return std::exchange(font_, font); }
    void setTextColour(Rgb) override {}
    void setTextBackground(bool, Rgb) override {}
    void rectangle(int, int, int, int) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int, int, std::string_view) override {}
    void polyline(std::span<const Point>) override {}

private:
    Pen pen_;
    Brush brush_;
    Font font_ = Font::System;
};

} // namespace vantrel
