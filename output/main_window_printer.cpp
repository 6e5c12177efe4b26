#include "output/main_window_printer.h"

#include <string>

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "Test";
constexpr std::string_view kDocumentName = "Merrowin";
constexpr int kClipboardHeightCut = 40;

std::string rectText(const PageRect& r)
{
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " + std::to_string(r.bottom);
}

} // namespace

PrintResult printPicture(PrinterJob& job, const Picture& picture, const PrintLayout& layout, EventLog& log)
{
    if (picture.empty())
        return PrintResult::NotLocked;
    const int horzRes = job.horzRes();
    const int vertRes = job.vertRes();
    const PageRect page = pageRectangle(layout, horzRes, vertRes);
    if (!job.startDocument(kDocumentName)) {
        log.record("print-job", "\"Merrowin\" not started");
        return PrintResult::NotStarted;
    }
    log.record("print-job", "\"Merrowin\" page " + std::to_string(horzRes) + " " + std::to_string(vertRes) + " rect " +
                                rectText(page));
    (void)job.startPage();
    job.drawPicture(page, picture, sourceRectangle(page, picture.width, picture.height));
    if (!job.endPage()) {
        log.record("print-job", "\"Merrowin\" failed");
        return PrintResult::NotClosed;
    }
    (void)job.endDocument();
    log.record("print-job", "\"Merrowin\" done");
    return PrintResult::Printed;
}

MainWindowPrinter::MainWindowPrinter(Platform& platform, WindowHost& mainWindow)
    : platform_(platform),
      main_(mainWindow),
      settings_(layout_, printer_, [this] { copyWindowToClipboard(); }, [this](int result) { settingsClosed(result); })
{
}

void MainWindowPrinter::printMainWindow()
{
    if (settings_.isOpen()) {
        settings_.raise();
        return;
    }
    printer_ = splitPrinterDescription(platform_.printing().defaultPrinterDescription());
    layout_.colourCountText = std::to_string(screenColourCount(platform_.printing().screenBitsPerPixel()));
    settings_.open(platform_, main_);
}

std::optional<Picture> MainWindowPrinter::captureWindowDib()
{
    std::optional<Picture> picture = platform_.printing().captureClient(main_);
    if (picture && picture->empty())
        picture.reset();
    return picture;
}

void MainWindowPrinter::settingsClosed(int result)
{
    if (result == kPrintSettingsCancel)
        return;
    // The capture must see the whole picture, not what the settings window left on it.
    main_.repaintNow();
    std::optional<Picture> picture = captureWindowDib();
    if (!picture) {
        main_.message("Screen NOT captured", kCaption, MessageIcon::Warning);
        return;
    }
    std::unique_ptr<PrinterJob> job = platform_.printing().choosePrinter(main_);
    if (!job)
        return;
    main_.repaintNow();
    switch (printPicture(*job, *picture, layout_, platform_.log())) {
    case PrintResult::NotStarted:
        main_.message("Unable To Start Print Job", kCaption, MessageIcon::Warning);
        break;
    case PrintResult::NotClosed:
        main_.message("Error Closing Print Job", kCaption, MessageIcon::Warning);
        break;
    case PrintResult::Printed:
    case PrintResult::NotLocked:
        break;
    }
}

void MainWindowPrinter::copyWindowToClipboard()
{
    std::optional<Picture> picture = captureWindowDib();
    if (!picture || picture->height <= kClipboardHeightCut) {
        main_.beep(BeepKind::Default);
        return;
    }
    picture->height -= kClipboardHeightCut;
    picture->pixels.resize(static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height));
    // A clipboard that refuses the picture is not "copied".
    if (!platform_.printing().setClipboardPicture(*picture)) {
        main_.beep(BeepKind::Default);
        return;
    }
    platform_.log().record("clipboard", std::to_string(picture->width) + " " + std::to_string(picture->height));
    main_.message("Screen Copied", kCaption, MessageIcon::Information);
}

} // namespace vantrel
