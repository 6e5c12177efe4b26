#include "platform/qt/image_canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace vantrel {

namespace {

QColor toQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Fonts chosen to match the cell sizes the layouts were drawn for.
QFont qtFont(Font font)
{
    QFont f;
    f.setStyleStrategy(QFont::NoAntialias);
    switch (font) {
    case Font::System:
        f.setFamily(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(12);
        break;
    case Font::Helv:
        f.setFamily(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(8);
        break;
    case Font::Times:
        f.setFamily(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(26);
        f.setBold(true);
        break;
    case Font::Arial:
        f.setFamily(QStringLiteral("DejaVu Sans Condensed"));
        f.setPixelSize(11);
        break;
    }
    return f;
}

// On/off run lengths in pixels of the dotted and dashed pens.
bool patternOn(PenStyle style, unsigned phase)
{
    switch (style) {
    case PenStyle::Dot: return (phase % 6) < 3;
    case PenStyle::Dash: return (phase % 24) < 18;
    case PenStyle::Null: return false;
    case PenStyle::Solid: break;
    }
    return true;
}

} // namespace

ImageCanvas::ImageCanvas(QImage& image) : image_(image) {}

Pen ImageCanvas::setPen(const Pen& pen)
{
    const Pen old = pen_;
    pen_ = pen;
    return old;
}

Brush ImageCanvas::setBrush(const Brush& brush)
{
    const Brush old = brush_;
    brush_ = brush;
    return old;
}

Font ImageCanvas::setFont(Font font)
{
    const Font old = font_;
    font_ = font;
    return old;
}

void ImageCanvas::setTextColour(Rgb colour) { textColour_ = colour; }

void ImageCanvas::setTextBackground(bool opaque, Rgb colour)
{
    opaqueText_ = opaque;
    textBackground_ = colour;
}

void ImageCanvas::plot(int x, int y, QRgb colour)
{
    if (x >= 0 && y >= 0 && x < image_.width() && y < image_.height())
        image_.setPixel(x, y, colour);
}

void ImageCanvas::erase(Rgb colour) { image_.fill(toQColor(colour)); }

void ImageCanvas::rectangle(int left, int top, int right, int bottom)
{
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    if (right - left < 1 || bottom - top < 1)
        return;
    // The colour views draw tens of thousands of small squares a repaint; a painter per square
    // would cost more than a frame, so solid squares with a thin solid outline are written
    // straight into the image. They are the same pixels the painter draws.
    const bool direct32 = image_.depth() == 32 && right - left >= 2 && bottom - top >= 2 &&
                          (pen_.style == PenStyle::Null || (pen_.style == PenStyle::Solid && pen_.width <= 1));
    if (direct32) {
        const int x0 = std::max(left, 0), x1 = std::min(right, image_.width());
        const int y0 = std::max(top, 0), y1 = std::min(bottom, image_.height());
        if (x0 >= x1 || y0 >= y1)
            return;
        const QRgb fill = toQColor(brush_.colour).rgb();
        const QRgb edge = toQColor(pen_.colour).rgb();
        const bool outline = pen_.style != PenStyle::Null;
        const int inner0 = outline ? std::max(x0, left + 1) : x0;
        const int inner1 = outline ? std::min(x1, right - 1) : x1;
        uchar* const bits = image_.bits(); // one detach check per square, not per row
        const qsizetype stride = image_.bytesPerLine();
        for (int y = y0; y < y1; ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            if (outline && (y == top || y == bottom - 1)) {
                std::fill(line + x0, line + x1, edge);
                continue;
            }
            if (!brush_.hollow && inner0 < inner1)
                std::fill(line + inner0, line + inner1, fill);
            if (outline) {
                if (left >= x0)
                    line[left] = edge;
                if (right - 1 < x1)
                    line[right - 1] = edge;
            }
        }
        return;
    }
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (!brush_.hollow)
        p.fillRect(QRect(left, top, right - left, bottom - top), toQColor(brush_.colour));
    if (pen_.style == PenStyle::Null)
        return;
    const int w = std::max(1, pen_.width);
    // The outline lies inside [left, right) x [top, bottom) for a 1-pixel pen; wider pens are
    // centred on that outline.
    QPen qpen(toQColor(pen_.colour));
    qpen.setWidth(w);
    qpen.setJoinStyle(Qt::MiterJoin);
    qpen.setCapStyle(Qt::SquareCap);
    if (pen_.style == PenStyle::Dot)
        qpen.setStyle(Qt::DotLine);
    else if (pen_.style == PenStyle::Dash)
        qpen.setStyle(Qt::DashLine);
    p.setPen(qpen);
    p.setBrush(Qt::NoBrush);
    if (w == 1)
        p.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    else
        p.drawRect(QRectF(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1));
}

void ImageCanvas::moveTo(int x, int y)
{
    position_ = QPoint(x, y);
    stylePhase_ = 0;
}

void ImageCanvas::lineTo(int x, int y)
{
    const QPoint from = position_;
    const QPoint to(x, y);
    position_ = to;
    if (pen_.style == PenStyle::Null || from == to)
        return;
    const QRgb colour = toQColor(pen_.colour).rgb();
    if (pen_.width <= 1) {
        // Bresenham from the start point up to, not including, the end point. The plots draw
        // thousands of these a measurement: 32-bit pixels are written straight into the image
        // (detached once), the same pixels setPixel would write.
        int x0 = from.x(), y0 = from.y();
        const int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
        const int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
        int err = dx + dy;
        const bool direct = image_.depth() == 32 && !image_.isNull();
        uchar* const bits = direct ? image_.bits() : nullptr;
        const qsizetype stride = image_.bytesPerLine();
        const int width = image_.width(), height = image_.height();
        while (!(x0 == x && y0 == y)) {
            if (patternOn(pen_.style, stylePhase_)) {
                if (!direct)
                    plot(x0, y0, colour);
                else if (x0 >= 0 && y0 >= 0 && x0 < width && y0 < height)
                    reinterpret_cast<QRgb*>(bits + y0 * stride)[x0] = colour;
            }
            ++stylePhase_;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
        return;
    }
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(widePen());
    p.drawLine(from, to);
}

QPen ImageCanvas::widePen() const
{
    QPen qpen(toQColor(pen_.colour));
    qpen.setWidth(pen_.width);
    qpen.setCapStyle(Qt::FlatCap);
    if (pen_.style == PenStyle::Dot)
        qpen.setStyle(Qt::DotLine);
    else if (pen_.style == PenStyle::Dash)
        qpen.setStyle(Qt::DashLine);
    return qpen;
}

void ImageCanvas::polyline(std::span<const Point> points)
{
    // Thin lines are cheap segment by segment; a wide pen needs a painter, and setting one up
    // for each of a plot curve's 750 segments cost more than the measurement's processing.
    if (points.empty() || pen_.width <= 1 || pen_.style == PenStyle::Null) {
        Canvas::polyline(points);
        return;
    }
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(widePen());
    for (std::size_t j = 1; j < points.size(); ++j) {
        const QPoint from(points[j - 1].x, points[j - 1].y), to(points[j].x, points[j].y);
        if (from != to)
            p.drawLine(from, to); // one line each, as lineTo draws: the dash pattern restarts
    }
    position_ = QPoint(points.back().x, points.back().y);
    stylePhase_ = 0;
}

void ImageCanvas::textOut(int x, int y, std::string_view text)
{
    if (text.empty())
        return;
    QPainter p(&image_);
    const QFont f = qtFont(font_);
    p.setFont(f);
    const QFontMetrics fm(f);
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (opaqueText_)
        p.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()), toQColor(textBackground_));
    p.setPen(toQColor(textColour_));
    p.drawText(x, y + fm.ascent(), s);
}

void prepareQtEnvironment()
{
    // Qt complains on every start when a root session has no runtime directory.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = "/tmp/runtime-" + qgetenv("USER");
        mkdir(dir.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
}

void ensureGuiApplication()
{
    if (QGuiApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareQtEnvironment();
    static int argc = 1;
    static char name[] = "vantrel";
    static char* argv[] = {name, nullptr};
    // Kept for the life of the process: tearing Qt down during exit races its own statics.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

} // namespace vantrel
