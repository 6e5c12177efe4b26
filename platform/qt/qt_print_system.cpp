#include "platform/qt/qt_print_system.h"

#include <QApplication>
#include <QClipboard>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>

#include "platform/qt/paged_print_job.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"

namespace vantrel {

namespace {

// The description separates its fields by commas, so a field may not carry one.
std::string field(const QString& text)
{
    std::string s = text.trimmed().toStdString();
    for (char& c : s)
        if (c == ',')
            c = ' ';
    return s;
}

} // namespace

int QtPrintSystem::screenBitsPerPixel() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 0;
}

std::string QtPrintSystem::defaultPrinterDescription() const
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull())
        return {};
    return field(printer.printerName()) + "," + field(printer.makeAndModel()) + "," + field(printer.location());
}

std::optional<Picture> QtPrintSystem::captureClient(WindowHost& window)
{
    auto* w = dynamic_cast<QtWindow*>(&window);
    if (!w || w->width() <= 0 || w->height() <= 0)
        return std::nullopt;
    const QPixmap grabbed = w->grab();
    if (grabbed.isNull())
        return std::nullopt;
    return toPicture(grabbed.toImage());
}

std::unique_ptr<PrinterJob> QtPrintSystem::choosePrinter(WindowHost& owner)
{
    if (platform_.options().autoAnswer)
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), dynamic_cast<QtWindow*>(&owner));
    // One page, the whole picture, to a printer: no page range, selection or print-to-file.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    QPrinter* p = printer.get();
    return std::make_unique<PagedPrinterJob>(std::move(printer), [p](const QString& name) { p->setDocName(name); });
}

bool QtPrintSystem::setClipboardPicture(const Picture& picture)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || picture.empty())
        return false;
    clipboard->setImage(toQImage(picture));
    return true;
}

} // namespace vantrel
