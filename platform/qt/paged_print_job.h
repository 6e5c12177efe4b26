#pragma once
// A PrinterJob on any Qt paged device (a system printer or a PDF file), and the conversions
// between Picture and QImage, shared by the desktop and the headless host.

#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <functional>
#include <memory>

#include "platform/print_system.h"

namespace vantrel {

QImage toQImage(const Picture& picture);
Picture toPicture(const QImage& image);

class PagedPrinterJob final : public PrinterJob {
public:
    // nameDocument gives the device its document name before the document starts.
    PagedPrinterJob(std::unique_ptr<QPagedPaintDevice> device, std::function<void(const QString&)> nameDocument);
    ~PagedPrinterJob() override;

    int horzRes() const override;
    int vertRes() const override;
    bool startDocument(std::string_view name) override;
    bool startPage() override;
    void drawPicture(const PageRect& target, const Picture& picture, const PageRect& source) override;
    bool endPage() override;
    bool endDocument() override;

private:
    std::unique_ptr<QPagedPaintDevice> device_;
    std::function<void(const QString&)> nameDocument_;
    std::unique_ptr<QPainter> painter_;
    bool pageEnded_ = false;
};

} // namespace vantrel
