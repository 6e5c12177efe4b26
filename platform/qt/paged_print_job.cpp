#include "platform/qt/paged_print_job.h"

#include <QPdfWriter>

namespace vantrel {

QImage toQImage(const Picture& picture)
{
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x)
            row[x] = 0xff000000u | picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                                                  static_cast<std::size_t>(x)];
    }
    return image;
}

Picture toPicture(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Picture picture;
    picture.width = rgb.width();
    picture.height = rgb.height();
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < picture.width; ++x)
            picture.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) + static_cast<std::size_t>(x)] =
                row[x] & 0xffffffu;
    }
    return picture;
}

PagedPrinterJob::PagedPrinterJob(std::unique_ptr<QPagedPaintDevice> device, std::function<void(const QString&)> nameDocument)
    : device_(std::move(device)), nameDocument_(std::move(nameDocument))
{
}

PagedPrinterJob::~PagedPrinterJob()
{
    // The painter must let go of the device before the device goes.
    if (painter_ && painter_->isActive())
        painter_->end();
    painter_.reset();
}

int PagedPrinterJob::horzRes() const { return device_->width(); }

int PagedPrinterJob::vertRes() const { return device_->height(); }

bool PagedPrinterJob::startDocument(std::string_view name)
{
    if (painter_)
        return false;
    nameDocument_(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    painter_ = std::make_unique<QPainter>();
    // Qt opens the document and its first page together.
    if (!painter_->begin(device_.get())) {
        painter_.reset();
        return false;
    }
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
    return true;
}

bool PagedPrinterJob::startPage() { return painter_ && painter_->isActive() && !pageEnded_; }

void PagedPrinterJob::drawPicture(const PageRect& target, const Picture& picture, const PageRect& source)
{
    if (!painter_ || !painter_->isActive() || picture.empty())
        return;
    painter_->drawImage(QRect(target.left, target.top, target.width(), target.height()), toQImage(picture),
                        QRect(source.left, source.top, source.width(), source.height()));
}

bool PagedPrinterJob::endPage()
{
    // The one page ends with the document: that is when Qt writes the file or hands the job
    // to the spooler, so this is where a failure shows.
    if (!painter_ || !painter_->isActive())
        return false;
    pageEnded_ = true;
    return painter_->end();
}

bool PagedPrinterJob::endDocument() { return pageEnded_; }

} // namespace vantrel
