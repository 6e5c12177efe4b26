#pragma once
// The Canvas on a QImage, shared by the desktop windows and the headless host so that a
// headless render has the same pixels as the window.

#include <QImage>
#include <QPoint>

#include "platform/canvas.h"

namespace vantrel {

class ImageCanvas final : public Canvas {
public:
    explicit ImageCanvas(QImage& image);

    Pen setPen(const Pen& pen) override;
    Brush setBrush(const Brush& brush) override;
    Font setFont(Font font) override;
    void setTextColour(Rgb colour) override;
    void setTextBackground(bool opaque, Rgb colour) override;
    void rectangle(int left, int top, int right, int bottom) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void textOut(int x, int y, std::string_view text) override;
    void polyline(std::span<const Point> points) override;

    // Erases the whole image to colour (the window background before a full repaint).
    void erase(Rgb colour);
    QImage& image() { return image_; }

private:
    void plot(int x, int y, QRgb colour);
    QPen widePen() const;

    QImage& image_;
    Pen pen_{{0, 0, 0}, 1, PenStyle::Solid};
    Brush brush_{{255, 255, 255}, false};
    Font font_ = Font::System;
    Rgb textColour_{0, 0, 0};
    bool opaqueText_ = true;
    Rgb textBackground_{255, 255, 255};
    QPoint position_{0, 0};
    unsigned stylePhase_ = 0; // position in the dot/dash pattern, carried across segments
};

// Sets what Qt needs from the environment before an application object exists.
void prepareQtEnvironment();

// QPainter text needs a QGuiApplication; makes an offscreen one if the process has none.
void ensureGuiApplication();

} // namespace vantrel
