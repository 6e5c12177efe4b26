#include "platform/qt/picture_file.h"

#include <QImage>
#include <QImageWriter>

#include "platform/qt/image_canvas.h"

namespace vantrel {

std::optional<std::string> savePicturePng(int width, int height, const std::function<void(Canvas&)>& draw,
                                          const std::string& path)
{
    ensureGuiApplication();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return "cannot make a " + std::to_string(width) + " x " + std::to_string(height) + " picture";
    image.fill(Qt::white);
    ImageCanvas canvas(image);
    draw(canvas);
    QImageWriter writer(QString::fromStdString(path), "PNG");
    if (!writer.write(image))
        return "cannot write " + path + ": " + writer.errorString().toStdString();
    return std::nullopt;
}

} // namespace vantrel
