// Printing the main window and copying it to the clipboard, driven as a user drives them:
// command 103 opens "EnterScales", OK prints through the print dialog onto one PDF page, which
// poppler turns back into pixels; a right-button click copies the window to the clipboard.

#include <gtest/gtest.h>

#include <QImage>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "app/main_window_controls.h"
#include "integration/session_fixture.h"
#include "print_pages.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

constexpr QRgb kBackground = qRgb(158, 194, 216);

std::string quotedPath(const std::filesystem::path& p) { return std::string(1, '"') + p.string() + '"'; }

// "print-job "Merrowin" page W H rect L T R B" of the log, as numbers.
struct LoggedJob {
    int horzRes = 0, vertRes = 0;
    QRect rect; // right and bottom excluded
    bool found = false;
};

LoggedJob loggedJob(const SessionRun& run)
{
    LoggedJob job;
    const int at = run.find("print-job \"Merrowin\" page ");
    if (at < 0)
        return job;
    const std::string line = run.lines()[static_cast<std::size_t>(at)];
    int v[6] = {};
    const char* p = line.c_str() + line.find(" page ") + 6;
    const char* end = line.c_str() + line.size();
    for (int i = 0; i < 6; ++i) {
        while (p < end && (*p == ' ' || (*p >= 'a' && *p <= 'z')))
            ++p;
        p = std::from_chars(p, end, v[i]).ptr;
    }
    job.horzRes = v[0], job.vertRes = v[1];
    job.rect = QRect(QPoint(v[2], v[3]), QPoint(v[4] - 1, v[5] - 1));
    job.found = true;
    return job;
}

} // namespace

TEST(PrintMainWindow, OkPrintsTheWindowAtEightyPercentOnOnePdfPage)
{
    TempDir dir;
    const auto pdf = dir.path() / "p.pdf";
    const auto shot = dir.path() / "main.png";
    Session s(dir.path());
    const SessionRun run = s.run(std::string("printer ") + quotedPath(pdf) + "\npress main 103\npress print 1\nscreenshot main " +
                                 quotedPath(shot) + "\n");
    ASSERT_FALSE(run.error) << run.error->message;
    EXPECT_TRUE(run.has(std::string("0 print-dialog main ") + quotedPath(pdf)));
    EXPECT_TRUE(run.has("0 print-job \"Merrowin\" done"));
    EXPECT_EQ(run.find("message"), -1) << run.events;
    EXPECT_EQ(s.platform().window("print"), nullptr) << "OK closes the settings window";

    const LoggedJob job = loggedJob(run);
    ASSERT_TRUE(job.found) << run.events;
    EXPECT_EQ(job.rect.left(), 300);
    EXPECT_EQ(job.rect.top(), 400);
    EXPECT_EQ(job.rect.right() + 1, 300 + job.horzRes * 8 / 10);
    EXPECT_EQ(job.rect.bottom() + 1, 400 + job.vertRes * 8 / 20);

    EXPECT_EQ(pdfInfo(pdf, "Pages"), "1");
    EXPECT_EQ(pdfInfo(pdf, "Title"), "Merrowin");
    const QImage page = renderPdfPage(pdf, 150);
    ASSERT_FALSE(page.isNull());
    const QImage window(QString::fromStdString(shot.string()));
    ASSERT_EQ(window.size(), QSize(kMainWidth, kMainHeight));

    // The page holds the window's picture inside the page rectangle and nothing outside it.
    const double scale = static_cast<double>(page.width()) / job.horzRes;
    const QRectF box(job.rect.left() * scale, job.rect.top() * scale, (job.rect.width()) * scale, (job.rect.height()) * scale);
    const QRect ink = inkBox(page);
    EXPECT_NEAR(ink.left(), box.left(), 2);
    EXPECT_NEAR(ink.top(), box.top(), 2);
    EXPECT_NEAR(ink.right() + 1, box.right(), 2);
    EXPECT_NEAR(ink.bottom() + 1, box.bottom(), 2);
    EXPECT_TRUE(showsAt(page, window, box, 1145, 701)) << "the legend's colour 0 box";
    EXPECT_EQ(window.pixel(1145, 701), qRgb(0, 0, 128));
    EXPECT_TRUE(showsAt(page, window, box, 300, 75)) << "the background";
    EXPECT_EQ(window.pixel(300, 75), kBackground);
    EXPECT_GT(expectPictureIn(page, window, box), 1500);
}

TEST(PrintMainWindow, SettingsWindowShowsThePrinterAndTheLayoutAndKeepsWhatOkReads)
{
    TempDir dir;
    const auto pdf = dir.path() / "p.pdf";
    Session s(dir.path());
    ASSERT_FALSE(s.run("press main 103\n").error);
    HeadlessWindow* w = s.platform().window("print");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->text(7001), "Vantrel PDF");
    EXPECT_EQ(w->text(7000), "PDF Writer");
    EXPECT_EQ(w->text(7002), "FILE:");
    EXPECT_EQ(w->text(7005), "");
    ASSERT_EQ(w->listCount(809), 4);
    EXPECT_EQ(w->listItem(809, 0), "100 %");
    EXPECT_EQ(w->listItem(809, 3), "80 %");
    EXPECT_EQ(w->listSelection(809), 3);
    EXPECT_FALSE(w->isChecked(807));
    EXPECT_TRUE(w->isChecked(808));
    EXPECT_EQ(w->text(810), "300");
    EXPECT_EQ(w->text(811), "400");
    EXPECT_EQ(w->text(812), "1") << "a 32-bit screen: 2^(32 mod 32)";

    // 30 %, tall, a new left margin typed with more than the field holds.
    const SessionRun run = s.run("select print 809 1\npress print 807\ntype print 810 \"250trailing\"\nprinter " +
                                 quotedPath(pdf) + "\npress print 1\n");
    ASSERT_FALSE(run.error) << run.error->message;
    const LoggedJob job = loggedJob(run);
    ASSERT_TRUE(job.found) << run.events;
    EXPECT_EQ(job.rect.left(), 350) << "L + 100 when tall";
    EXPECT_EQ(job.rect.top(), 400);
    EXPECT_EQ(job.rect.width(), job.horzRes * 3 / 10);
    EXPECT_EQ(job.rect.height(), job.vertRes * 3 / 10);

    // Kept for the next print.
    ASSERT_FALSE(s.run("press main 103\n").error);
    w = s.platform().window("print");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->listSelection(809), 1);
    EXPECT_EQ(w->text(7005), "30 %");
    EXPECT_TRUE(w->isChecked(807));
    EXPECT_FALSE(w->isChecked(808));
    EXPECT_EQ(w->text(810), "250trai") << "at most 7 characters are read back";
    // A second command 103 while the window is open opens no second window.
    ASSERT_FALSE(s.run("press main 103\n").error);
    ASSERT_FALSE(s.run("press print 808\nselect print 809 0\ntype print 811 \"9\"\npress print 2\n").error);
    EXPECT_EQ(s.platform().window("print"), nullptr);
    ASSERT_FALSE(s.run("press main 103\n").error);
    w = s.platform().window("print");
    EXPECT_TRUE(w->isChecked(807)) << "Cancel undoes the choices made in the window";
    EXPECT_EQ(w->listSelection(809), 1);
    EXPECT_EQ(w->text(7005), "30 %");
    EXPECT_EQ(w->text(811), "400");
}

TEST(PrintMainWindow, CancelAnywhereLeavesNoPrintAndNoMessage)
{
    TempDir dir;
    const auto pdf = dir.path() / "p.pdf";
    Session s(dir.path());
    // Cancel in "EnterScales": no print dialog at all, so the printer answer waits.
    SessionRun run = s.run(std::string("printer ") + quotedPath(pdf) + "\npress main 103\npress print 2\n");
    ASSERT_FALSE(run.error);
    EXPECT_EQ(run.find("print-dialog"), -1) << run.events;
    EXPECT_FALSE(std::filesystem::exists(pdf));
    // Closing the window is Cancel too.
    run = s.run("press main 103\nclose print\n");
    EXPECT_EQ(run.find("print-dialog"), -1) << run.events;
    EXPECT_EQ(s.platform().window("print"), nullptr);
    // The waiting answer goes to the next print dialog.
    run = s.run("press main 103\npress print 1\n");
    EXPECT_TRUE(run.has(std::string("0 print-dialog main ") + quotedPath(pdf))) << run.events;
    std::filesystem::remove(pdf);
    // The print dialog cancelled: nothing printed, nothing said.
    run = s.run("printer cancel\npress main 103\npress print 1\n");
    EXPECT_TRUE(run.has("0 print-dialog main cancel")) << run.events;
    EXPECT_EQ(run.find("print-job"), -1);
    EXPECT_EQ(run.find("message"), -1);
    // Unanswered, the print dialog is cancelled as well.
    run = s.run("press main 103\npress print 1\n");
    EXPECT_TRUE(run.has("0 print-dialog main cancel")) << run.events;
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(PrintMainWindow, PrinterThatCannotStartTheJobIsReported)
{
    TempDir dir;
    const auto pdf = dir.path() / "missing" / "p.pdf";
    Session s(dir.path());
    const SessionRun run = s.run(std::string("printer ") + quotedPath(pdf) + "\npress main 103\npress print 1\n");
    ASSERT_FALSE(run.error);
    EXPECT_TRUE(run.has("0 message main \"Test\" warning \"Unable To Start Print Job\" -> ok")) << run.events;
    EXPECT_EQ(run.find("print-job \"Merrowin\" done"), -1);
    // The printer was released: the next print works.
    const auto good = dir.path() / "p.pdf";
    EXPECT_TRUE(s.run(std::string("printer ") + quotedPath(good) + "\npress main 103\npress print 1\n").has("0 print-job \"Merrowin\" done"));
    EXPECT_EQ(pdfInfo(good, "Pages"), "1");
}

TEST(CopyWindowToClipboard, RightClickCopiesTheWindowLessFortyRows)
{
    TempDir dir;
    const auto shot = dir.path() / "main.png";
    const auto clip = dir.path() / "c.png";
    Session s(dir.path());
    // Nothing on the clipboard yet.
    EXPECT_TRUE(s.run(std::string("screenshot clipboard ") + quotedPath(clip) + "\n").error);
    const SessionRun run = s.run(std::string("press main 103\nrclick print\npress print 2\nscreenshot clipboard ") + quotedPath(clip) +
                                 std::string("\nscreenshot main ") + quotedPath(shot) + "\n");
    ASSERT_FALSE(run.error) << run.error->message;
    EXPECT_TRUE(run.has("0 clipboard 1210 750"));
    EXPECT_TRUE(run.has("0 message main \"Test\" information \"Screen Copied\" -> ok"));
    EXPECT_EQ(run.find("print-dialog"), -1) << "the copy prints nothing";

    const QImage window = QImage(QString::fromStdString(shot.string())).convertToFormat(QImage::Format_RGB32);
    const QImage copied = QImage(QString::fromStdString(clip.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(copied.size(), QSize(kMainWidth, kMainHeight - 40));
    EXPECT_EQ(copied, window.copy(0, 0, kMainWidth, kMainHeight - 40));
    EXPECT_EQ(copied.pixel(1145, 701), qRgb(0, 0, 128)) << "the legend is on the copy";
}
