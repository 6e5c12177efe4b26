// The main window's start-up, exit and selection bars, and the session harness itself, driven
// the way a user drives them: by control id through scripts.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/main_window_controls.h"
#include "integration/session_fixture.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

QRgb pixel(const HeadlessWindow& w, int x, int y) { return w.image().pixel(x, y); }
QRgb rgb(int r, int g, int b) { return qRgb(r, g, b); }


} // namespace

TEST(MainWindowStartup, FirstStartWarnsOnceAfterTheWindowWithInitialControls)
{
    TempDir dir;
    Session s(dir.path());
    const auto startup = SessionRun{s.startupEvents(), {}};
    EXPECT_EQ(startup.lines().size(), 1u);
    EXPECT_TRUE(startup.has("0 message main \"Karvell\" warning \"Unable To OPEN Preferences File\" -> ok"));

    HeadlessWindow* w = s.platform().window("main");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isChecked(1050));
    for (int id : {1051, 1052, 1053, 1054, 1061, 1062, 1031})
        EXPECT_FALSE(w->isChecked(id)) << id;
    EXPECT_TRUE(w->isChecked(1063));
    EXPECT_TRUE(w->isChecked(1030));
    EXPECT_EQ(w->listItem(3000, w->listSelection(3000)), "COM5");
    EXPECT_EQ(w->listItem(3001, w->listSelection(3001)), "COM4");
    EXPECT_EQ(w->listCount(3000), 12);
    EXPECT_EQ(w->scrollPos(1048), 460);
    EXPECT_EQ(w->scrollPos(1049), 60);
    EXPECT_EQ(w->scrollPos(1141), 359);
    EXPECT_EQ(w->scrollPos(1140), 361);
    EXPECT_EQ(w->scrollPos(1142), 90);
    EXPECT_EQ(w->title(), "Vantrel");
    EXPECT_EQ(w->image().width(), kMainWidth);
    EXPECT_EQ(w->image().height(), kMainHeight);
}

TEST(MainWindowStartup, PaintShowsBackgroundViewAreaAndLegend)
{
    TempDir dir;
    Session s(dir.path());
    HeadlessWindow* w = s.platform().window("main");
    ASSERT_NE(w, nullptr);
    w->repaintNow();
    EXPECT_EQ(pixel(*w, 1130, 694), rgb(0, 0, 128)) << "legend box of colour 0";
    EXPECT_EQ(pixel(*w, 1159, 708), rgb(0, 0, 128));
    EXPECT_EQ(pixel(*w, 1145, 20), rgb(128, 0, 0)) << "top legend box";
    EXPECT_EQ(pixel(*w, 5, 770), rgb(158, 194, 216)) << "window background";
    EXPECT_EQ(pixel(*w, 1200, 400), rgb(158, 194, 216));
    EXPECT_EQ(pixel(*w, 700, 300), rgb(255, 255, 255)) << "cleared view area";
    EXPECT_EQ(pixel(*w, 420, 300), rgb(0, 0, 0)) << "view area frame";
    EXPECT_EQ(pixel(*w, 225, 35), rgb(255, 0, 0)) << "turntable 1 not connected";
}

TEST(MainWindowExit, NoKeepsTheWindowButThePreferencesAreAlreadyWritten)
{
    TempDir dir;
    Session s(dir.path());
    const auto run = s.run("answer no\nclose main\n");
    EXPECT_EQ(run.find("beep"), 0);
    EXPECT_TRUE(run.has("0 message main \"Karvell\" question \"Last chance to save data !\\n\\nDO YOU WISH TO EXIT ?\" -> no"));
    EXPECT_EQ(run.find("exit"), -1);
    EXPECT_NE(s.platform().window("main"), nullptr);
    const auto path = dir.path() / kPreferencesFileName;
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), kPreferencesSize);

    PreferencesRecord r{};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(r.data()), static_cast<std::streamsize>(r.size()));
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 60), "30000");
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 71), "6");
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 82), "80.0");
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 93), "0.70");
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 104), "4.0");
    for (std::size_t i = 116; i < kPreferencesSize; ++i)
        ASSERT_EQ(r[i], 0) << "calibration curve byte " << i;

    const auto yes = s.run("answer yes\nclose main\npress main 1004\n");
    EXPECT_FALSE(yes.error) << "nothing runs after the exit";
    EXPECT_NE(yes.find("exit"), -1);
}

TEST(MainWindowExit, SecondStartFindsThePreferencesFile)
{
    TempDir dir;
    runSession(dir.path(), "answer yes\nclose main\n");
    const auto second = runSession(dir.path(), "answer yes\nclose main\n");
    EXPECT_EQ(second.find("Unable To OPEN"), -1);
    EXPECT_NE(second.find("exit"), -1);
}

TEST(MainWindowStartup, APreferencesFileThatCannotBeReadWarnsLikeAMissingOne)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "Pellant.pre");
    Session s(dir.path());
    const auto startup = SessionRun{s.startupEvents(), {}};
    EXPECT_TRUE(startup.has("0 message main \"Karvell\" warning \"Unable To OPEN Preferences File\" -> ok")) << startup.events;
}

TEST(MainWindowSelection, ScrollBarsClampAndWriteTheirReadouts)
{
    TempDir dir;
    Session s(dir.path());
    HeadlessWindow* w = s.platform().window("main");
    ASSERT_NE(w, nullptr);
    ASSERT_FALSE(s.run("scroll main 1048 thumbposition 749\nscroll main 1048 linedown\n").error);
    EXPECT_EQ(w->scrollPos(1048), 749);
    EXPECT_EQ(s.main().selection().selectedBin, 749);

    ASSERT_FALSE(s.run("scroll main 1049 thumbposition 5\nscroll main 1049 pageup\n").error);
    EXPECT_EQ(w->scrollPos(1049), 0);
    EXPECT_EQ(s.main().selection().colourScale, 0);

    ASSERT_FALSE(s.run("scroll main 1057 linedown\n").error);
    EXPECT_EQ(s.main().selection().repairTargetRow, 1);
    EXPECT_TRUE(w->isChecked(1051)) << "a repair bar switches to Raw Mode";
    EXPECT_FALSE(w->isChecked(1050));

    ASSERT_FALSE(s.run("scroll main 1142 bottom\nscroll main 1141 top\n").error);
    EXPECT_EQ(w->scrollPos(1142), 180);
    EXPECT_EQ(w->scrollPos(1141), 0);
}

TEST(MainWindowSelection, RadioButtonsKeepOneMarkPerGroup)
{
    TempDir dir;
    Session s(dir.path());
    HeadlessWindow* w = s.platform().window("main");
    ASSERT_FALSE(s.run("press main 1031\npress main 1053\npress main 1061\n").error);
    EXPECT_TRUE(w->isChecked(1031));
    EXPECT_FALSE(w->isChecked(1030));
    EXPECT_EQ(s.main().angleGrid(), AngleGrid::Grid10);
    EXPECT_TRUE(w->isChecked(1053));
    EXPECT_FALSE(w->isChecked(1050));
    EXPECT_TRUE(w->isChecked(1061));
    EXPECT_FALSE(w->isChecked(1063));
    EXPECT_EQ(s.main().selection().sliceMode, 0);
}

TEST(SessionHarness, ScriptErrorsNameTheirLine)
{
    TempDir dir;
    const struct {
        const char* script;
        int line;
        const char* message;
    } cases[] = {
        {"# comment\n\nfrobnicate main\n", 3, "unknown command 'frobnicate'"},
        {"press main 99999\n", 1, "window 'main' has no control 99999"},
        {"press measure 10007\n", 1, "window 'measure' is not open"},
        {"select main 3000 12\n", 1, "list 3000 has no item 12"},
        {"press main 3000\n", 1, "control 3000 is not a button"},
        {"scroll main 1048 sideways\n", 1, "unknown scroll code 'sideways'"},
        {"type main 1004 \"x\n", 1, "unterminated text"},
        {"wait soon\n", 1, "usage: wait <ms>"},
        {"answer maybe\n", 1, "unknown answer 'maybe'"},
        // Numbers that do not fit 32 bits would wrap onto a valid id, item or position.
        {"\npress main 4294968334\n", 2, "number '4294968334' is outside the 32-bit range"},
        {"select main 3000 -4294967295\n", 1, "number '-4294967295' is outside the 32-bit range"},
        {"scroll main 1048 thumbposition 4294967346\n", 1, "number '4294967346' is outside the 32-bit range"},
        {"wait 4294967296\n", 1, "number '4294967296' is outside the 32-bit range"},
    };
    for (const auto& c : cases) {
        Session s(dir.path());
        const auto run = s.run(c.script);
        ASSERT_TRUE(run.error) << c.script;
        EXPECT_EQ(run.error->line, c.line) << c.script;
        EXPECT_EQ(run.error->message, c.message) << c.script;
    }
}

TEST(SessionHarness, TextsUnescapeAndTimersFireInTimeOrder)
{
    std::string error;
    const auto words = splitScriptLine(R"(type x 1 "a\"b\\c\nd" # trailing)", error);
    ASSERT_TRUE(words);
    ASSERT_EQ(words->size(), 4u);
    EXPECT_EQ((*words)[3], "a\"b\\c\nd");
    EXPECT_EQ(quoted("a\"b\\c\nd\r"), R"("a\"b\\c\nd\r")");

    TempDir dir;
    Session s(dir.path(), /*simulate*/ true);
    const auto run = s.run("press main 1004\npress main 1012\npress main 1008\npress main 1017\nwait 1500\n");
    ASSERT_FALSE(run.error);
    const int start1 = run.find("timer main 4000 start 1000");
    const int start2 = run.find("timer main 4001 start 1000");
    const int fire1 = run.find("timer main 4000 fire");
    const int fire2 = run.find("timer main 4001 fire");
    ASSERT_GE(start1, 0);
    ASSERT_GE(start2, 0);
    EXPECT_LT(start1, start2);
    EXPECT_LT(start2, fire1);
    EXPECT_LT(fire1, fire2);
    const auto lines = run.lines();
    // The first handler's busy wait holds the second timer back, never forward.
    EXPECT_GE(std::stoi(lines[static_cast<std::size_t>(fire2)]) - std::stoi(lines[static_cast<std::size_t>(start2)]), 1000);
    EXPECT_EQ(std::stoi(lines[static_cast<std::size_t>(fire1)]) - std::stoi(lines[static_cast<std::size_t>(start1)]), 1000);
}

TEST(SessionHarness, CommandLineToolRunsAScriptInAnEmptyDirectory)
{
    TempDir dir;
    const std::string first = runCliSession(dir.path(), "", "answer yes\\nclose main\\n");
    const auto warning = first.find("message main \"Karvell\" warning \"Unable To OPEN Preferences File\" -> ok");
    const auto question = first.find("question \"Last chance to save data !");
    const auto exit = first.find("0 exit");
    ASSERT_NE(warning, std::string::npos) << first;
    ASSERT_NE(question, std::string::npos) << first;
    ASSERT_NE(exit, std::string::npos) << first;
    EXPECT_LT(warning, question);
    EXPECT_LT(question, exit);
    const std::string second = runCliSession(dir.path(), "", "answer yes\\nclose main\\n");
    EXPECT_EQ(second.find("Unable To OPEN"), std::string::npos) << second;
    const std::string bad = runCliSession(dir.path(), "", "press main 1\\n");
    EXPECT_NE(bad.find("line 1: window 'main' has no control 1"), std::string::npos) << bad;
    const std::string wide = runCliSession(dir.path(), "2>&1; echo status $?", "press main 4294968334\n");
    EXPECT_NE(wide.find("line 1: number '4294968334' is outside the 32-bit range"), std::string::npos) << wide;
    EXPECT_NE(wide.find("status 2"), std::string::npos) << wide;
}
