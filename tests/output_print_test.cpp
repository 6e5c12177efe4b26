// The print layout's arithmetic and the one-page print against a recording printer: the page
// rectangle, the printer description, the screen's colour count, and what each failing step of
// a print job reports.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/main_window_printer.h"
#include "output/print_layout.h"

namespace vantrel {
namespace {

TEST(PrintLayout, PageRectangleFollowsScaleShapeAndMargins)
{
    const PrintLayout initial;
    EXPECT_EQ(initial.scalePercent, 80);
    EXPECT_EQ(initial.tallFlag, 0);
    EXPECT_EQ(pageRectangle(initial, 4800, 6600), (PageRect{300, 400, 4140, 3040}));

    PrintLayout tall30 = initial;
    tall30.scalePercent = 30;
    tall30.tallFlag = 1;
    const PageRect r = pageRectangle(tall30, 4800, 6600);
    EXPECT_EQ(r, (PageRect{400, 400, 400 + 1440, 400 + 1980})) << "L + 100, T, 0.3 x HORZRES, 0.3 x VERTRES";

    PrintLayout full = initial;
    full.scalePercent = 100;
    full.leftText = "0";
    full.topText = "0";
    EXPECT_EQ(pageRectangle(full, 4800, 6600), (PageRect{0, 0, 4800, 3300})) << "not tall: half the page height";

    // Margins are read as typed: the leading number counts, anything else reads as 0.
    PrintLayout typed = initial;
    typed.leftText = " 120mm";
    typed.topText = "abc";
    EXPECT_EQ(pageRectangle(typed, 1000, 1000).left, 120);
    EXPECT_EQ(pageRectangle(typed, 1000, 1000).top, 0);
}

TEST(PrintLayout, LeadingIntegerOfTypedText)
{
    EXPECT_EQ(leadingInt("300"), 300);
    EXPECT_EQ(leadingInt("-25x"), -25);
    EXPECT_EQ(leadingInt(""), 0);
    EXPECT_EQ(leadingInt("x1"), 0);
    EXPECT_EQ(leadingInt("99999999999"), INT32_MAX) << "out of range saturates instead of wrapping";
}

TEST(PrintLayout, PrinterDescriptionSplitsIntoNameDriverAndPort)
{
    const auto d = splitPrinterDescription("Office Laser,HP LaserJet 4,  LPT1:");
    EXPECT_EQ(d.name, "Office Laser");
    EXPECT_EQ(d.driver, "HP LaserJet 4");
    EXPECT_EQ(d.driverFile, "HP LaserJet 4.DRV");
    EXPECT_EQ(d.port, "LPT1:") << "blanks after a comma are skipped";

    const auto alone = splitPrinterDescription("JustAName");
    EXPECT_EQ(alone.name, "JustAName");
    EXPECT_EQ(alone.driver, "");
    EXPECT_EQ(alone.port, "");
    EXPECT_EQ(alone.driverFile, "");

    const auto none = splitPrinterDescription("");
    EXPECT_EQ(none.name, "");
    EXPECT_EQ(none.driver, "");

    // At most 80 characters of the entry are read.
    const auto longPort = splitPrinterDescription("P,D," + std::string(100, 'x'));
    EXPECT_EQ(longPort.port.size(), 76u);
}

TEST(PrintLayout, ScreenColourCountWrapsAtThirtyTwoBits)
{
    EXPECT_EQ(screenColourCount(1), 2);
    EXPECT_EQ(screenColourCount(8), 256);
    EXPECT_EQ(screenColourCount(24), 16777216);
    EXPECT_EQ(screenColourCount(32), 1) << "2^(32 mod 32)";
}

TEST(PrintLayout, WholePictureIsTheSource)
{
    EXPECT_EQ(sourceRectangle({300, 400, 4140, 3040}, 1210, 790), (PageRect{0, 0, 1210, 790}));
    EXPECT_EQ(sourceRectangle({0, 0, 0, 10}, 1210, 790), PageRect{});
}

struct RecordingJob final : PrinterJob {
    bool startOk = true, endPageOk = true;
    std::vector<std::string> calls;
    PageRect target, source;
    int horzRes() const override { return 4800; }
    int vertRes() const override { return 6600; }
    bool startDocument(std::string_view name) override
    {
        calls.push_back("start " + std::string(name));
        return startOk;
    }
    bool startPage() override
    {
        calls.push_back("page");
        return true;
    }
    void drawPicture(const PageRect& t, const Picture&, const PageRect& s) override
    {
        calls.push_back("draw");
        target = t, source = s;
    }
    bool endPage() override
    {
        calls.push_back("end page");
        return endPageOk;
    }
    bool endDocument() override
    {
        calls.push_back("end document");
        return true;
    }
};

struct Lines final : EventLog {
    std::vector<std::string> lines;
    void record(std::string_view kind, std::string_view details) override
    {
        lines.push_back(std::string(kind) + " " + std::string(details));
    }
};

Picture picture(int w, int h) { return {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), 0x102030)}; }

TEST(PrintPicture, OnePageNamedMerrowinAtThePageRectangle)
{
    RecordingJob job;
    Lines log;
    EXPECT_EQ(printPicture(job, picture(1210, 790), PrintLayout{}, log), PrintResult::Printed);
    EXPECT_EQ(job.calls, (std::vector<std::string>{"start Merrowin", "page", "draw", "end page", "end document"}));
    EXPECT_EQ(job.target, (PageRect{300, 400, 4140, 3040}));
    EXPECT_EQ(job.source, (PageRect{0, 0, 1210, 790}));
    ASSERT_FALSE(log.lines.empty());
    EXPECT_EQ(log.lines.front(), "print-job \"Merrowin\" page 4800 6600 rect 300 400 4140 3040");
}

TEST(PrintPicture, EachFailureStopsWithItsOwnResult)
{
    Lines log;
    RecordingJob notStarted;
    notStarted.startOk = false;
    EXPECT_EQ(printPicture(notStarted, picture(10, 10), PrintLayout{}, log), PrintResult::NotStarted);
    EXPECT_EQ(notStarted.calls, std::vector<std::string>{"start Merrowin"}) << "nothing drawn without a document";

    RecordingJob notClosed;
    notClosed.endPageOk = false;
    EXPECT_EQ(printPicture(notClosed, picture(10, 10), PrintLayout{}, log), PrintResult::NotClosed);
    EXPECT_EQ(notClosed.calls.back(), "end page");

    RecordingJob nothing;
    EXPECT_EQ(printPicture(nothing, Picture{}, PrintLayout{}, log), PrintResult::NotLocked);
    EXPECT_TRUE(nothing.calls.empty());
}

} // namespace
} // namespace vantrel
