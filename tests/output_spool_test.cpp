// The desktop's print path for real: Ctrl+P in the main window opens "EnterScales", OK opens the
// system's print dialog, and the page goes through a private CUPS server (scripts/with-cups)
// whose default printer, the CUPS-PDF driver, writes the filtered job to a file. That file,
// turned into pixels by Ghostscript and poppler, must show the window at 80 % in the page
// rectangle.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "output/print_layout.h"
#include "platform/qt/image_canvas.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"
#include "print_pages.h"
#include "temp_dir.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

QApplication& app()
{
    prepareQtEnvironment();
    static int argc = 1;
    static char name[] = "output_spool_test";
    static char* argv[] = {name, nullptr};
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// Answers the modal dialogs the way a user would: OK to every message box, Print in the print
// dialog (on the printer it offers first, the system's default).
struct DialogAnswerer {
    QTimer timer;
    std::vector<std::string> messages;
    std::vector<std::string> printers;
    DialogAnswerer()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages.push_back(box->text().toStdString());
                box->accept();
            } else if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                printers.push_back(dialog->printer()->printerName().toStdString());
                dialog->accept();
            }
        });
        timer.start(50);
    }
};

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(DesktopPrint, CtrlPPrintsTheMainWindowThroughTheSpooler)
{
    const char* output = std::getenv("VANTREL_CUPS_OUTPUT");
    ASSERT_NE(output, nullptr) << "run through scripts/with-cups";
    app();
    QtPlatform platform;

    // The default printer as the settings window shows it.
    const PrinterDescription printer = splitPrinterDescription(platform.printing().defaultPrinterDescription());
    EXPECT_EQ(printer.name, "VantrelPDF");
    EXPECT_NE(printer.driver.find("CUPS-PDF"), std::string::npos) << printer.driver;
    EXPECT_EQ(printer.driverFile, printer.driver + ".DRV");
    EXPECT_EQ(printer.port, "Test bench");

    DialogAnswerer answerer;
    TempDir dir;
    DeviceSet devices(true, platform.clock(), platform.log());
    auto main = MainWindow::start(platform, devices.devices(), dir.path().string());
    ASSERT_NE(main, nullptr);
    QtWindow* window = platform.window("main");
    ASSERT_NE(window, nullptr);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));

    QTest::keyClick(window, Qt::Key_P, Qt::ControlModifier);
    QtWindow* settings = platform.window("print");
    ASSERT_NE(settings, nullptr) << "Ctrl+P opens \"EnterScales\"";
    EXPECT_EQ(settings->text(7001), "VantrelPDF");
    EXPECT_EQ(settings->text(7002), "Test bench");
    EXPECT_EQ(settings->text(7000), printer.driver);
    EXPECT_EQ(settings->listSelection(809), 3);

    // A right-button click in the settings window copies the main window, less 40 rows.
    QTest::mouseClick(settings, Qt::RightButton, {}, QPoint(20, 240));
    EXPECT_EQ(answerer.messages.back(), "Screen Copied");
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    const QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(copied.size(), QSize(shown.width(), shown.height() - 40));
    EXPECT_EQ(copied, shown.copy(0, 0, shown.width(), shown.height() - 40));

    QPushButton* ok = nullptr;
    for (auto* b : settings->findChildren<QPushButton*>())
        if (b->text() == "OK")
            ok = b;
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_EQ(answerer.printers, std::vector<std::string>{"VantrelPDF"});
    EXPECT_EQ(answerer.messages.back(), "Screen Copied") << "printing says nothing";
    const QImage picture = window->grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The spooler runs the job through its filters; wait for the finished file.
    const std::filesystem::path spooled(output);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string job;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(spooled)) {
            job = fileText(spooled);
            if (job.find("%%EOF") != std::string::npos)
                break;
        }
        QTest::qWait(200);
    }
    ASSERT_NE(job.find("%%EOF"), std::string::npos) << "no finished job in " << spooled;
    EXPECT_NE(job.find("Merrowin"), std::string::npos) << "the document name travels with the job";

    const auto pdf = dir.path() / "spooled.pdf";
    ASSERT_EQ(std::system(("ps2pdf '" + spooled.string() + "' '" + pdf.string() + "'").c_str()), 0);
    EXPECT_EQ(pdfInfo(pdf, "Pages"), "1");
    const QImage page = renderPdfPage(pdf, 150);
    ASSERT_FALSE(page.isNull());

    // The picture spans 80 % of the printable width and 40 % of its height, 300 and 400 printer
    // pixels from the printable area's corner. The printable area sits in the middle of the
    // sheet, so its margins, and from them the printer's resolution, follow from the ink.
    const QRect ink = inkBox(page);
    ASSERT_FALSE(ink.isNull());
    const double printableWidth = ink.width() / 0.8, printableHeight = ink.height() / 0.4;
    const double marginX = (page.width() - printableWidth) / 2, marginY = (page.height() - printableHeight) / 2;
    EXPECT_GE(marginX, -2.0);
    EXPECT_GE(marginY, -2.0);
    EXPECT_LT(marginX, 75.0) << "a margin of half an inch at most";
    EXPECT_LT(marginY, 75.0);
    const double scale = (ink.left() - marginX) / 300; // page pixels per printer pixel
    EXPECT_GT(scale, 0.0);
    EXPECT_NEAR(ink.top() - marginY, 400 * scale, 3) << "left : top = 300 : 400 from the printable corner";
    const QRectF box(ink.left(), ink.top(), ink.width(), ink.height());
    EXPECT_TRUE(showsAt(page, picture, box, 1145, 701)) << "the legend's colour 0 box";
    EXPECT_TRUE(showsAt(page, picture, box, 236, 75)) << "the background";
    EXPECT_GT(expectPictureIn(page, picture, box, 32), 1000);
}
