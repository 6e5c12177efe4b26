// The "Calibration File Data" window driven through the headless host by control id, the way
// the session harness drives it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_dir.h"
#include "calibration/calibration_window.h"
#include "calibration/target_file.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"

namespace vantrel {
namespace {

class CalibrationWindowTest : public ::testing::Test {
protected:
    CalibrationWindowTest()
        : window(setup, curves, curve, axis, [this] { ++redraws; }, [this] { ++closes; })
    {
        curve.fill({0.5f, 0.25f});
    }

    HeadlessWindow& open()
    {
        window.open(platform, nullptr);
        HeadlessWindow* w = platform.window("calibration");
        EXPECT_NE(w, nullptr);
        return *w;
    }

    void run(const std::string& script)
    {
        std::istringstream in(script);
        const auto error = runSessionScript(platform, in);
        ASSERT_FALSE(error) << "line " << error->line << ": " << error->message;
    }

    // Every section By-Pass, so that one section can be looked at alone.
    void bypassAll() { run("select calibration 10604 8\nselect calibration 10623 8\nselect calibration 10613 8\n"); }

    // ctest runs the cases of one program in parallel processes: each keeps its own directory.
    static std::filesystem::path scratch(const std::string& name)
    {
        static const testing::TempDir dir;
        return dir.path() / name;
    }

    std::ostringstream events;
    HeadlessPlatform platform{events};
    CalibrationSetup setup;
    CurveSet curves{};
    CalibrationCurve curve;
    FrequencyAxis axis;
    int redraws = 0;
    int closes = 0;
    CalibrationWindow window;
};

TEST_F(CalibrationWindowTest, OpensWithTheStoredSections)
{
    setup.invertResponse = 1;
    HeadlessWindow& w = open();
    EXPECT_EQ(w.title(), "Calibration File Data");
    EXPECT_TRUE(w.isChecked(kCalInvertCheck));
    for (int k = 0; k < kFilterSectionCount; ++k) {
        const SectionControlIds& ids = kSectionControlIds[static_cast<std::size_t>(k)];
        EXPECT_EQ(w.listCount(ids.family), 11);
        EXPECT_EQ(w.listCount(ids.order), 16);
        EXPECT_EQ(w.listItem(ids.family, 4), "Shelving-6dB");
        EXPECT_EQ(w.listItem(ids.order, 15), "LP -42dB/oct");
    }
    EXPECT_EQ(w.listSelection(10604), 1); // section 0: Butterworth "HP +6dB/oct"
    EXPECT_EQ(w.listSelection(10603), 5);
    EXPECT_EQ(w.text(10605), "30.0");
    EXPECT_EQ(w.text(10606), "20.0");
    EXPECT_EQ(w.text(10607), "-10.0");
    EXPECT_EQ(w.listSelection(10613), 5); // section 2: "Shelving-12dB"
    EXPECT_EQ(w.text(10625), "22000.0");
    EXPECT_EQ(w.text(10627), "13.0");
}

TEST_F(CalibrationWindowTest, ListsAndEditsWriteTheSections)
{
    open();
    run("select calibration 10618 3\n"
        "select calibration 10619 14\n"
        "type calibration 10620 \"1234.5678901\"\n" // only 9 characters count: 1234.5678
        "type calibration 10621 \"abc\"\n"
        "type calibration 10622 \"-7.5dB\"\n");
    const FilterSection& s = setup.sections[3];
    EXPECT_EQ(s.family, kQParametric);
    EXPECT_EQ(s.orderIndex, 14);
    EXPECT_FLOAT_EQ(s.cutoff, 1234.5678f);
    EXPECT_EQ(s.q, 0.0f);
    EXPECT_EQ(s.gainOrSlope, -7.5f);
}

TEST_F(CalibrationWindowTest, ShowBuildsTheCurveAndPreviewsIt)
{
    HeadlessWindow& w = open();
    bypassAll();
    run("select calibration 10623 1\nselect calibration 10624 6\n"
        "type calibration 10625 \"1000\"\n"
        "type calibration 10610 \"0.5\"\n"
        "press calibration 1\n");
    EXPECT_EQ(w.text(10610), "1.0");
    EXPECT_EQ(setup.sections[1].cutoff, 1.0f);
    EXPECT_EQ(redraws, 1);
    int nearest = 0;
    for (int i = 0; i < kAxisPoints; ++i)
        if (std::abs(axis[i] - 1000.0f) < std::abs(axis[nearest] - 1000.0f))
            nearest = i;
    EXPECT_NEAR(curve[static_cast<std::size_t>(nearest)].level, -3.0f, 0.1f);
    EXPECT_NEAR(curve[static_cast<std::size_t>(nearest)].phase, 90.0f, 1.0f);
    EXPECT_EQ(curves[25][750], 1.0f);
    EXPECT_EQ(curves[26][750], 1.0f);
    EXPECT_EQ(curves[25][static_cast<std::size_t>(nearest)], curve[static_cast<std::size_t>(nearest)].level);

    run("press calibration 10628\npress calibration 1\n");
    EXPECT_EQ(setup.invertResponse, 1);
    EXPECT_TRUE(w.isChecked(kCalInvertCheck));
    EXPECT_NEAR(curve[static_cast<std::size_t>(nearest)].level, 3.0f, 0.1f);
    EXPECT_NEAR(curve[static_cast<std::size_t>(nearest)].phase, -90.0f, 1.0f);
    run("press calibration 10628\n");
    EXPECT_EQ(setup.invertResponse, 0);
    EXPECT_FALSE(w.isChecked(kCalInvertCheck));
}

TEST_F(CalibrationWindowTest, OddLinkwitzOrderIsRefusedWithoutTouchingTheCurve)
{
    open();
    run("select calibration 10613 2\nselect calibration 10614 2\npress calibration 1\n");
    EXPECT_NE(events.str().find("message calibration \"UE Message\" warning "
                                "\"LP Option NOT Applicable To Linkwitz Filters 2\""),
              std::string::npos)
        << events.str();
    EXPECT_EQ(curve[0].level, 0.5f);
    EXPECT_EQ(curves[25][750], 0.0f);
    EXPECT_EQ(redraws, 0);
}

TEST_F(CalibrationWindowTest, ClearHidesThePreviewButKeepsTheCurve)
{
    open();
    run("press calibration 1\n");
    const LevelPhase shown = curve[300];
    run("press calibration 10631\n");
    EXPECT_EQ(curves[25][750], 0.0f);
    EXPECT_EQ(curves[26][750], 0.0f);
    EXPECT_EQ(curves[25][300], 0.0f);
    EXPECT_EQ(curve[300].level, shown.level);
    EXPECT_EQ(redraws, 2);
}

TEST_F(CalibrationWindowTest, SaveAndLoadTargetFiles)
{
    const auto path = scratch("window.trg");
    std::filesystem::remove(path);
    open();
    run("press calibration 1\nfile \"" + path.string() + "\"\npress calibration 10629\n");
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(setup.saveFileName, path.string());
    const CalibrationCurve saved = curve;

    curve.fill({});
    run("file \"" + path.string() + "\"\npress calibration 10630\n");
    EXPECT_NEAR(curve[10].level, saved[10].level, 0.006f);
    EXPECT_NEAR(curve[10].phase, saved[10].phase, 0.006f);
    EXPECT_EQ(curve[749].level, curve[748].level);
    EXPECT_EQ(curves[26][10], curve[10].phase);
    EXPECT_EQ(setup.loadFileName, path.string());
}

TEST_F(CalibrationWindowTest, LoadProblemsAreToldAndThePreviewStillShows)
{
    open();
    const auto missing = scratch("missing.trg");
    std::filesystem::remove(missing);
    run("file \"" + missing.string() + "\"\npress calibration 10630\n");
    EXPECT_NE(events.str().find("message calibration \"Karvell\" warning \"" + missing.string() + "\""),
              std::string::npos);
    EXPECT_EQ(curve[0].level, 0.5f);

    const auto shortFile = scratch("short.trg");
    std::ofstream(shortFile, std::ios::binary) << "20 -1 10\r\n25 -2 20\r\n";
    run("file \"" + shortFile.string() + "\"\npress calibration 10630\n");
    EXPECT_NE(events.str().find("\"Target file holds only 2 points\""), std::string::npos);
    EXPECT_EQ(curve[1].level, -2.0f);
    EXPECT_EQ(curve[2].level, 0.5f);

    run("file cancel\npress calibration 10630\n");
    EXPECT_EQ(curves[25][750], 1.0f);
    EXPECT_EQ(curves[25][2], 0.5f);
    EXPECT_EQ(redraws, 3);
}

// "Mic File": a microphone's calibration file becomes the curve and its preview; a malformed one
// is told with its line and leaves the curve as it was.
TEST_F(CalibrationWindowTest, MicFileBecomesTheCurve)
{
    open();
    const auto bad = scratch("bad-mic.txt");
    std::ofstream(bad) << "20 0\n1000 nan\n";
    run("file \"" + bad.string() + "\"\npress calibration 10632\n");
    EXPECT_NE(events.str().find("line 2: 'nan' is not a finite number"), std::string::npos) << events.str();
    EXPECT_EQ(curve[100].level, 0.5f);
    EXPECT_EQ(redraws, 0);

    const auto mic = scratch("mic.txt");
    std::ofstream(mic) << "* mic 42\n20 -1 0\n20000 -1 0\n";
    run("file \"" + mic.string() + "\"\npress calibration 10632\n");
    EXPECT_EQ(setup.micFileName, mic.string());
    EXPECT_FLOAT_EQ(curve[0].level, -1.0f);
    EXPECT_FLOAT_EQ(curve[749].level, -1.0f);
    EXPECT_EQ(curves[25][100], -1.0f);
    EXPECT_EQ(redraws, 1);
}

TEST_F(CalibrationWindowTest, SaveToAnUnwritablePathShowsThePath)
{
    open();
    const std::string bad = (scratch("no-such-dir") / "x.trg").string();
    run("file \"" + bad + "\"\npress calibration 10629\n");
    EXPECT_NE(events.str().find("message calibration \"Karvell\" warning \"" + bad + "\""), std::string::npos);
}

TEST_F(CalibrationWindowTest, DoneClosesAndTheSectionsOutliveTheWindow)
{
    open();
    run("type calibration 10615 \"4321\"\npress calibration 2\n");
    EXPECT_EQ(platform.window("calibration"), nullptr);
    EXPECT_FALSE(window.isOpen());
    EXPECT_EQ(closes, 1);

    HeadlessWindow& again = open();
    EXPECT_EQ(again.text(10615), "4321.0");
    run("close calibration\n");
    EXPECT_EQ(platform.window("calibration"), nullptr);
    EXPECT_EQ(closes, 2);
}

} // namespace
} // namespace vantrel
