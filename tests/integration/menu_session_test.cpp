// The main window's menu bar driven through the session harness: each export of the balloon in
// memory against the command line's of its file, the recent files kept beside the preferences,
// the entries a walk holds, and the refusals that write nothing.

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/export_dialog.h"
#include "app/main_window_menus.h"
#include "app/recent_balloons.h"
#include "app/report_window.h"
#include "balloon/balloon_file.h"
#include "balloon/distortion_balloon.h"
#include "mls/sweep.h"
#include "cli_run.h"
#include "integration/session_fixture.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

namespace fs = std::filesystem;

// Every file under p (or p itself), by its path below p, with its bytes.
std::map<std::string, std::string> contents(const fs::path& p)
{
    std::map<std::string, std::string> out;
    if (fs::is_regular_file(p)) {
        out[""] = readWholeFile(p);
        return out;
    }
    if (fs::is_directory(p))
        for (const auto& e : fs::recursive_directory_iterator(p))
            if (e.is_regular_file())
                out[fs::relative(e.path(), p).string()] = readWholeFile(e.path());
    return out;
}

std::string q(const fs::path& p)
{
    std::string text(1, '\'');
    return text.append(p.string()).append(1, '\'');
}

class Menus : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A 10-degree balloon measured everywhere, sloping with frequency and angle.
        auto m = BalloonMatrix::create();
        ASSERT_TRUE(m);
        for (int row = 0; row <= 18; ++row)
            for (int column = 0; column <= 36; ++column) {
                auto cell = m->cell(row, column);
                for (std::size_t b = 0; b < cell.size(); ++b)
                    cell[b] = {0.5f / static_cast<float>(1 + column % 19), 0.001f * static_cast<float>(b % 7)};
            }
        balloon_ = dir_.path() / "box.BAL";
        ASSERT_FALSE(saveBalloon(balloon_.string(), *m, BalloonTrailer{0, 5, 3, 0, 3, 6, 1}));
        session_ = std::make_unique<Session>(dir_.path());
    }
    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    SessionRun open(const fs::path& p) { return run("file \"" + p.string() + "\"\nmenu main 1037\n"); }
    HeadlessWindow& main() { return *session_->platform().window("main"); }

    TempDir dir_;
    fs::path balloon_;
    std::unique_ptr<Session> session_;
};

} // namespace

TEST_F(Menus, EachExportWritesTheBytesOfTheCommandLine)
{
    // The SOFA file's date is pinned for both writers.
    ::setenv("SOURCE_DATE_EPOCH", "86400", 1);
    struct Case {
        int menu;
        std::string dialog; // the typing and pressing in the export window before "OK"
        std::string options; // the command line's, before the output
        std::string output;  // the command line's output option
    };
    const std::vector<Case> cases = {
        {menu_ids::kExportSofa, "type export 11 \"Box title\"\ntype export 16 \"Acme\"\n",
         "--title 'Box title' --manufacturer Acme", "--sofa"},
        {menu_ids::kExportFrd, "type export 19 \"bx\"\npress export 20\n", "--prefix bx --phase unwrapped", "--frd"},
        {menu_ids::kExportClf,
         "type export 21 \"2\"\ntype export 22 \"Box 1\"\ntype export 16 \"Acme\"\ntype export 23 \"2\"\n"
         "type export 24 \"2.83\"\n",
         "--clf-version 2 --model 'Box 1' --manufacturer Acme --distance 2 --sensitivity-ref 2.83", "--clf"},
        {menu_ids::kExportSplTables, "", "", "--spinorama"},
        {menu_ids::kExportHtml, "", "", "--html"},
    };
    open(balloon_);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const fs::path byMenu = dir_.path() / ("menu" + c.output);
        const fs::path byCli = dir_.path() / ("cli" + c.output);
        const SessionRun r = run("menu main " + std::to_string(c.menu) + "\ntype export 10 \"" + byMenu.string() +
                                 "\"\n" + c.dialog + "press export 1\n");
        EXPECT_EQ(session_->platform().window("export"), nullptr) << "the dialog closes once written\n" << r.events;
        EXPECT_NE(r.find(byMenu.string() + ": "), -1) << r.events;
        const CliResult cli = runCli("export " + q(balloon_) + " " + c.options + " " + c.output + " " + q(byCli),
                                     "SOURCE_DATE_EPOCH=86400");
        ASSERT_EQ(cli.status, 0) << cli.err;
        const auto menuFiles = contents(byMenu), cliFiles = contents(byCli);
        ASSERT_FALSE(menuFiles.empty());
        EXPECT_TRUE(menuFiles == cliFiles) << menuFiles.size() << " files against " << cliFiles.size();
    }
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST_F(Menus, DirectivityReportShowsAndSavesWhatTheCommandLineWrites)
{
    open(balloon_);
    SessionRun r = run("menu main 2101\n");
    EXPECT_NE(r.find("tabs report 10 \"Polar maps\" \"Polar plots\" \"Directivity\" \"CTA-2034\""), -1) << r.events;
    HeadlessWindow* report = session_->platform().window("report");
    ASSERT_NE(report, nullptr);
    // The CTA-2034 tab carries the preference numbers with its curves.
    const auto& tabs = report->pictureTabs(report_ids::kTabs);
    ASSERT_EQ(tabs.size(), 4u);
    EXPECT_NE(tabs[3].text.find("preference rating"), std::string::npos) << tabs[3].text;
    // The buttons, the keys and Ctrl+wheel climb one ladder of steps, held at its ends.
    struct Step {
        std::string script; // empty: Ctrl+wheel, a notch in (+) or out (-)
        int wheel;
        int zoom;
    };
    const std::vector<Step> steps = {
        {"press report 2\npress report 2\npress report 3\n", 0, 140},
        {"press report 5\n", 0, 200}, // Ctrl++
        {"press report 6\n", 0, 280}, // Ctrl+=
        {"", 1, 400},
        {"", 1, 400},
        {"press report 2\n", 0, 400},
        {"press report 8\n", 0, 100}, // Ctrl+0
        {"press report 7\n", 0, 70},  // Ctrl+-
        {"", -1, 50},
        {"", -1, 35},
        {"", -1, 25},
        {"", -1, 25},
        {"press report 3\n", 0, 25},
        {"", 1, 35},
    };
    for (const Step& step : steps) {
        if (step.wheel)
            report->client().command(report_ids::kTabs, step.wheel > 0 ? kNotifyZoomIn : kNotifyZoomOut);
        else
            run(step.script);
        SCOPED_TRACE(step.script + std::to_string(step.wheel));
        const int zoom = step.zoom;
        EXPECT_EQ(report->pictureZoom(report_ids::kTabs), zoom);
        EXPECT_EQ(report->control(report_ids::kZoomText)->text, std::to_string(zoom) + " %");
        EXPECT_EQ(report->control(report_ids::kZoomIn)->enabled, zoom < 400);
        EXPECT_EQ(report->control(report_ids::kZoomOut)->enabled, zoom > 25);
    }

    // A folder that cannot be made (a file stands in its way): said, nothing written.
    const fs::path blocked = balloon_ / "report";
    r = run("file \"" + blocked.string() + "\"\npress report 1\n");
    EXPECT_NE(r.find(blocked.string() + "\\n\\nThe folder cannot be made."), -1) << r.events;

    const fs::path byMenu = dir_.path() / "report", byCli = dir_.path() / "directivity";
    r = run("file \"" + byMenu.string() + "\"\npress report 1\n");
    const CliResult cli = runCli("directivity " + q(balloon_) + " -o " + q(byCli));
    ASSERT_EQ(cli.status, 0) << cli.err;
    const auto cliFiles = contents(byCli);
    EXPECT_EQ(cliFiles.size(), 7u);
    EXPECT_TRUE(contents(byMenu) == cliFiles) << r.events;
}

// Compare With and Plane: the report window shows and saves the command line's files.
TEST_F(Menus, CompareAndPlaneSaveWhatTheCommandLineWrites)
{
    const fs::path reference = dir_.path() / "ref.BAL";
    fs::copy_file(balloon_, reference);
    open(balloon_);
    SessionRun r = run("file \"" + reference.string() + "\"\nmenu main 2102\ntype input 11 \"half\"\npress input 1\n");
    EXPECT_NE(r.find("The tolerance is a level difference in dB, not \\\"half\\\""), -1) << r.events;
    r = run("type input 11 \"0.5\"\ntype input 12 \"200,8000\"\npress input 1\n");
    ASSERT_NE(session_->platform().window("report"), nullptr) << r.events;
    EXPECT_EQ(session_->platform().window("report")->title(), "Compare: PASS - box.BAL against ref.BAL");
    const fs::path byMenu = dir_.path() / "cmp-menu", byCli = dir_.path() / "cmp-cli";
    run("file \"" + byMenu.string() + "\"\npress report 1\n");
    CliResult cli = runCli("compare " + q(reference) + " " + q(balloon_) + " -o " + q(byCli) +
                           " --tolerance 0.5 --band 200,8000");
    ASSERT_EQ(cli.status, 0) << cli.err;
    EXPECT_EQ(contents(byCli).size(), 6u);
    EXPECT_TRUE(contents(byMenu) == contents(byCli));

    const fs::path planeMenu = dir_.path() / "plane-menu", planeCli = dir_.path() / "plane-cli";
    r = run("menu main 2103\ntype input 11 \"30\"\npress input 1\nfile \"" + planeMenu.string() +
            "\"\npress report 1\n");
    EXPECT_NE(r.find("tabs report 10 \"Plane 30\""), -1) << r.events;
    cli = runCli("directivity " + q(balloon_) + " -o " + q(planeCli) + " --plane 30");
    ASSERT_EQ(cli.status, 0) << cli.err;
    const auto saved = contents(planeMenu);
    ASSERT_EQ(saved.size(), 2u);
    const auto all = contents(planeCli);
    for (const auto& [name, bytes] : saved)
        EXPECT_TRUE(all.count(name) && all.at(name) == bytes) << name;
}

// A balloon measured with the sweep: its THD, H2 and H3 in the views as `render --quantity`
// draws them, and its THD maps in the report as `directivity` writes them.
TEST_F(Menus, ADistortionBalloonShowsItsQuantitiesAndThdMaps)
{
    open(balloon_);
    EXPECT_FALSE(main().menu(menu_ids::kViewThd)->enabled);
    EXPECT_NE(main().menu(menu_ids::kViewThd)->reason.find("No distortion balloon"), std::string::npos);

    FrequencyAxis axis; // the balloon's own
    axis.buildFromIndexes(3, 6);
    DistortionBalloon d;
    d.reset(AngleGrid::Grid10, 10, 24000, axis);
    for (int v = 90; v >= -80; v -= 10)
        for (int h = 0; h <= 360; h += 10) {
            std::array<float, kAxisPoints> h2{}, h3{}, noise{};
            for (int i = 0; i < kAxisPoints; ++i) {
                const auto k = static_cast<std::size_t>(i);
                h2[k] = axis[i] >= 10000 ? kNoHarmonicDb : -60.0f + 0.05f * static_cast<float>(h) - 0.03f * static_cast<float>(i);
                h3[k] = axis[i] >= 7000 ? kNoHarmonicDb : -70.0f + 0.1f * static_cast<float>(v);
                noise[k] = -90.0f;
            }
            ASSERT_TRUE(d.store(h, v, h2, h3, h2, noise));
        }
    d.fillPoleRow();
    ASSERT_FALSE(saveDistortion(distortionPathFor(balloon_.string()), d));
    open(balloon_);
    ASSERT_TRUE(main().menu(menu_ids::kViewThd)->enabled);

    struct Case {
        int menu;
        const char* quantity;
    };
    for (const Case& c : {Case{menu_ids::kViewThd, "thd"}, Case{menu_ids::kViewH2, "h2"}, Case{menu_ids::kViewH3, "h3"}}) {
        SCOPED_TRACE(c.quantity);
        const fs::path shot = dir_.path() / (std::string(c.quantity) + "-menu.png");
        const fs::path rendered = dir_.path() / (std::string(c.quantity) + "-cli.png");
        run("menu main " + std::to_string(c.menu) + "\nscreenshot main \"" + shot.string() + "\"\n");
        EXPECT_TRUE(main().menu(c.menu)->checked);
        EXPECT_FALSE(main().menu(menu_ids::kViewLevel)->checked);
        ASSERT_EQ(runCli("render " + q(balloon_) + " --quantity " + c.quantity + " -o " + q(rendered)).status, 0);
        const QImage window = QImage(QString::fromStdString(shot.string())).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(window.copy(420, 5, 680, 705),
                  QImage(QString::fromStdString(rendered.string())).convertToFormat(QImage::Format_RGB32));
    }
    run("menu main 2201\n");
    EXPECT_TRUE(main().menu(menu_ids::kViewLevel)->checked);

    const fs::path byMenu = dir_.path() / "thd-report", byCli = dir_.path() / "thd-cli";
    const SessionRun r = run("menu main 2101\nfile \"" + byMenu.string() + "\"\npress report 1\n");
    EXPECT_NE(r.find("\"THD maps\""), -1) << r.events;
    ASSERT_EQ(runCli("directivity " + q(balloon_) + " -o " + q(byCli)).status, 0);
    const auto cliFiles = contents(byCli);
    EXPECT_EQ(cliFiles.count("thd-map-horizontal.png") + cliFiles.count("distortion-on-axis.txt"), 2u);
    EXPECT_TRUE(contents(byMenu) == cliFiles);
}

TEST_F(Menus, RefusalsNameTheCauseAndWriteNothing)
{
    open(balloon_);
    const fs::path missing = dir_.path() / "no" / "such" / "box.tab";
    // A field the command line would refuse keeps the dialog open with what was typed.
    SessionRun r = run("menu main 2013\ntype export 10 \"" + missing.string() + "\"\ntype export 23 \"2,5\"\n"
                       "press export 1\n");
    EXPECT_NE(r.find("The distance must be a number above 0, not \\\"2,5\\\""), -1) << r.events;
    ASSERT_NE(session_->platform().window("export"), nullptr);
    // An unwritable folder: the cause, the file named, nothing left.
    r = run("type export 23 \"2\"\npress export 1\n");
    EXPECT_NE(r.find(missing.string()), -1) << r.events;
    EXPECT_FALSE(fs::exists(missing.parent_path()));
    run("press export 2\n");
    // Without three.js the page is refused before anything is written.
    ::setenv("VANTREL_THREE_JS_DIR", (dir_.path() / "nothing").c_str(), 1);
    const fs::path page = dir_.path() / "box.html";
    r = run("menu main 2015\ntype export 10 \"" + page.string() + "\"\npress export 1\npress export 2\n");
    ::unsetenv("VANTREL_THREE_JS_DIR");
    EXPECT_NE(r.find("libjs-three"), -1) << r.events;
    EXPECT_FALSE(fs::exists(page));
}

TEST_F(Menus, RecentBalloonsKeepTheLastEightBesideThePreferences)
{
    std::vector<fs::path> files;
    for (int i = 0; i < 9; ++i) {
        files.push_back(dir_.path() / std::string("b").append(std::to_string(i)).append(".BAL"));
        fs::copy_file(balloon_, files.back());
        open(files.back());
    }
    const std::vector<std::string> kept = loadRecentBalloons(dir_.path().string());
    ASSERT_EQ(kept.size(), kRecentBalloons);
    EXPECT_EQ(kept.front(), files[8].string());
    EXPECT_EQ(kept.back(), files[1].string());
    EXPECT_EQ(main().menu(menu_ids::kRecentFirst)->caption, "1  " + files[8].string());
    EXPECT_FALSE(main().menu(menu_ids::kNoRecent)->visible);
    // Choosing the oldest entry loads it and brings it to the front.
    const SessionRun r = run("menu main " + std::to_string(menu_ids::kRecentFirst + 7) + "\n");
    EXPECT_NE(r.find("title \"Vantrel - " + files[1].string() + "\""), -1) << r.events;
    EXPECT_EQ(loadRecentBalloons(dir_.path().string()).front(), files[1].string());
    // The preferences file is not touched by any of it.
    EXPECT_FALSE(fs::exists(dir_.path() / "Pellant.pre"));
}

// A recent file deleted since: choosing it says so and takes it off the list and its file;
// the balloon in memory, its name and the preferences stay as they were.
TEST_F(Menus, ARecentBalloonGoneIsSaidAndTakenOffTheList)
{
    const fs::path gone = dir_.path() / "gone.BAL", kept = dir_.path() / "kept.BAL";
    fs::copy_file(balloon_, gone);
    fs::copy_file(balloon_, kept);
    std::ofstream(dir_.path() / "Pellant.pre", std::ios::binary) << std::string(6116, '\x01');
    open(gone);
    open(kept);
    open(balloon_);
    fs::remove(gone);
    const std::string title = main().title();
    SessionRun r = run("menu main " + std::to_string(menu_ids::kRecentFirst + 2) + "\n");
    EXPECT_NE(r.find(gone.string() + "\\n\\nThe balloon file no longer exists: it is taken off \\\"Recent Balloons\\\"."),
              -1)
        << r.events;
    EXPECT_EQ(r.find("title"), -1) << r.events;
    EXPECT_EQ(main().title(), title);
    const std::vector<std::string> left{balloon_.string(), kept.string()};
    EXPECT_EQ(loadRecentBalloons(dir_.path().string()), left);
    EXPECT_EQ(main().menu(menu_ids::kRecentFirst + 1)->caption, "2  " + kept.string());
    EXPECT_FALSE(main().menu(menu_ids::kRecentFirst + 2)->visible);
    EXPECT_EQ(readWholeFile(dir_.path() / "Pellant.pre"), std::string(6116, '\x01'));

    // The last one gone: the list says it is empty.
    fs::remove(kept);
    fs::remove(balloon_);
    run("menu main " + std::to_string(menu_ids::kRecentFirst) + "\nmenu main " +
        std::to_string(menu_ids::kRecentFirst) + "\n");
    EXPECT_TRUE(loadRecentBalloons(dir_.path().string()).empty());
    EXPECT_TRUE(main().menu(menu_ids::kNoRecent)->visible);
    EXPECT_EQ(main().title(), title);
}

// A file manager opening a balloon: the desktop program shows it in "Fine Mode" at start, the
// pixels of the command line's render.
TEST_F(Menus, ABalloonNamedAtStartShowsInFineModeAsRenderDrawsIt)
{
    const fs::path shot = dir_.path() / "start.png", fine = dir_.path() / "fine.png";
    const std::string command = "cd " + q(dir_.path()) + " && QT_QPA_PLATFORM=offscreen '" VANTREL_DESKTOP_PATH
                                "' --screenshot start.png box.BAL > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ASSERT_EQ(runCli("render " + q(balloon_) + " --mode fine --area window -o " + q(fine)).status, 0);
    const QImage window = QImage(QString::fromStdString(shot.string())).convertToFormat(QImage::Format_RGB32);
    const QImage rendered = QImage(QString::fromStdString(fine.string())).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(window.size(), rendered.size());
    EXPECT_EQ(window.copy(420, 5, 680, 705), rendered.copy(420, 5, 680, 705));
    session_->main().openBalloonAtStart(balloon_.string());
    EXPECT_TRUE(main().control(1053)->checked) << "\"Fine Mode\" is the mode shown";
    EXPECT_EQ(main().title(), "Vantrel - " + balloon_.string());
}

// Help and Calibration: the about box names the version and the libraries; "Manual" asks the
// desktop to open it; "Microphone File..." is the calibration window's "Mic File".
TEST_F(Menus, HelpAndMicrophoneFile)
{
    SessionRun r = run("menu main 2401\nmenu main 2402\n");
    const int about = r.find("\"About Vantrel\"");
    ASSERT_NE(about, -1) << r.events;
    const std::string box = r.lines()[static_cast<std::size_t>(about)];
    for (const char* named : {"Vantrel 0.", "Qt 6", "PortAudio", "fftw", "netCDF", "zlib", "libjs-three"})
        EXPECT_NE(box.find(named), std::string::npos) << named << " in " << box;
    EXPECT_NE(r.find("manual"), -1) << r.events;

    const fs::path mic = dir_.path() / "mic.txt";
    std::ofstream(mic) << "20 -1.0\n1000 0\n20000 2.5\n";
    r = run("file \"" + mic.string() + "\"\nmenu main 2301\n");
    EXPECT_NE(r.find("file-dialog calibration open \"" + mic.string() + "\""), -1) << r.events;
    EXPECT_EQ(r.find("message"), -1) << r.events;
    std::ofstream(mic) << "20 0\n1000 nan\n";
    r = run("file \"" + mic.string() + "\"\nmenu main 2301\n");
    EXPECT_NE(r.find(mic.string() + "\\n\\nline 2: 'nan' is not a finite number"), -1) << r.events;
}

TEST(RecentBalloonsFile, ReadsWhatItWritesAndNothingElse)
{
    struct Case {
        std::string text;
        std::vector<std::string> paths;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"/a.BAL\n/b.BAL\n", {"/a.BAL", "/b.BAL"}},
        {"/a.BAL\r\n\n/a.BAL\n/c d.BAL", {"/a.BAL", "/c d.BAL"}},
        {"1\n2\n3\n4\n5\n6\n7\n8\n9\n", {"1", "2", "3", "4", "5", "6", "7", "8"}},
        {std::string("/x\0y\n/z\n", 7), {"/z"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseRecentBalloons(c.text), c.paths) << c.text;
        EXPECT_EQ(parseRecentBalloons(formatRecentBalloons(c.paths)), c.paths);
    }
    EXPECT_EQ(withRecentBalloon({"/a", "/b"}, "/b"), (std::vector<std::string>{"/b", "/a"}));
    EXPECT_EQ(withRecentBalloon({"/a"}, "/x\ny"), std::vector<std::string>{"/a"});
}

// A walk holds the entries that would replace its balloon; what it has measured so far can be
// saved and exported, the export saying it is incomplete.
TEST(MenusDuringAWalk, HoldTheLoadsAndExportWhatIsMeasured)
{
    TempDir dir;
    Session session(dir.path(), true);
    const auto run = [&](const std::string& script) {
        SessionRun r = session.run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    };
    run("press main 1031\npress main 1004\npress main 1012\npress main 1038\n"
        "select measure 10003 0\ntype measure 10012 \"4000\"\n");
    HeadlessWindow& main = *session.platform().window("main");
    ASSERT_TRUE(main.menu(menu_ids::kOpenBalloon)->enabled);
    run("press main 1024\nwait 20000\n");
    ASSERT_TRUE(session.main().sequence().sequenceRunning);
    for (int id : {menu_ids::kOpenBalloon, menu_ids::kRecentFirst}) {
        EXPECT_FALSE(main.menu(id)->enabled) << id;
        EXPECT_NE(main.menu(id)->reason.find("\"ABORT Test\""), std::string::npos) << id;
    }
    for (int id : {menu_ids::kSaveBalloonAs, menu_ids::kExportClf, menu_ids::kPrint, menu_ids::kQuit})
        EXPECT_TRUE(main.menu(id)->enabled) << id;
    SessionRun r = run("file \"" + (dir.path() / "other.BAL").string() + "\"\nmenu main 1037\n");
    EXPECT_NE(r.find("menu main 1037 disabled"), -1) << r.events;
    EXPECT_EQ(r.find("file-dialog"), -1);

    const fs::path sofa = dir.path() / "mid.sofa";
    r = run("menu main 2011\ntype export 10 \"" + sofa.string() + "\"\npress export 1\n");
    EXPECT_TRUE(fs::exists(sofa)) << r.events;
    EXPECT_NE(r.find("the balloon is incomplete"), -1) << r.events;

    run("press main 1027\n");
    EXPECT_FALSE(session.main().sequence().sequenceRunning);
    EXPECT_TRUE(main.menu(menu_ids::kOpenBalloon)->enabled);
    EXPECT_TRUE(main.menu(menu_ids::kOpenBalloon)->reason.empty());
}

// The export window's fields as the command line's options; a refused field names itself.
TEST(ExportFields, BecomeTheCommandLinesOptionsOrAreRefused)
{
    using namespace export_ids;
    struct Case {
        ExportKind kind;
        ExportFields fields;
        std::string refused; // part of the reason, or empty when taken
    };
    const std::vector<Case> cases = {
        {ExportKind::Clf, {{kOutput, "a.tab"}, {kClfVersion, "2"}, {kDistance, "2.5"}, {kDriveVolts, "2.83"}}, ""},
        {ExportKind::Clf, {{kOutput, "a.tab"}, {kClfVersion, "3"}}, "CLF version is 1 or 2"},
        {ExportKind::Clf, {{kOutput, "a.tab"}, {kDistance, "2,5"}}, "distance must be a number above 0"},
        {ExportKind::Clf, {{kOutput, "a.tab"}, {kDriveVolts, "-1"}}, "drive voltage must be a number above 0"},
        {ExportKind::Clf, {{kOutput, "a.tab"}, {kDistance, "inf"}}, "distance must be a number above 0"},
        {ExportKind::Sofa, {{kTitle, "T"}}, "Choose the file"},
        {ExportKind::Frd, {}, "Choose the folder"},
        {ExportKind::Frd, {{kOutput, "d"}, {kPrefix, "p"}, {kUnwrapped, "1"}, {kAllPoints, "1"}}, ""},
        {ExportKind::Sofa, {{kOutput, "s.sofa"}, {kTitle, "T"}, {kManufacturer, "M"}, {kAllPoints, "0"}}, ""},
    };
    for (const Case& c : cases) {
        ExportRequest r;
        bool allPoints = false;
        const std::string error = exportRequestFromFields(c.kind, c.fields, r, allPoints);
        if (!c.refused.empty()) {
            EXPECT_NE(error.find(c.refused), std::string::npos) << error;
            continue;
        }
        ASSERT_EQ(error, "");
        switch (c.kind) {
        case ExportKind::Clf:
            EXPECT_EQ(r.clf, "a.tab");
            EXPECT_EQ(r.clfOptions.version, 2);
            EXPECT_DOUBLE_EQ(r.clfOptions.distanceMetres, 2.5);
            EXPECT_DOUBLE_EQ(r.clfOptions.driveVolts, 2.83);
            break;
        case ExportKind::Frd:
            EXPECT_EQ(r.frd, "d");
            EXPECT_EQ(r.prefix, "p");
            EXPECT_EQ(r.phase, FrdPhase::Unwrapped);
            EXPECT_TRUE(allPoints);
            break;
        default:
            EXPECT_EQ(r.sofa, "s.sofa");
            EXPECT_EQ(r.metadata.title, "T");
            EXPECT_EQ(r.metadata.manufacturer, "M");
            EXPECT_FALSE(allPoints);
            EXPECT_TRUE(r.frd.empty() && r.clf.empty() && r.html.empty() && r.spinorama.empty());
        }
    }
}
