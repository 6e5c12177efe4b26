// The microphone arc on the desktop, driven through its controls: "Arc..." shows the channels
// it read and a refused description changes nothing; "RUN Test" walks the arc's stops into the
// same balloon as `vantrel-cli measure` with the same options; "Arc Calibrate" saves the set
// `vantrel-cli arc-calibrate` writes.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "app/preferences.h"
#include "app/measure_plan.h"
#include "balloon/balloon_file.h"
#include "platform/sim/sim_arc.h"
#include "sequencer/arc_record.h"
#include "integration/session_fixture.h"

namespace vantrel {
namespace {

using testing::Session;
using testing::TempDir;

std::string bytesOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

SimFaults arcRig()
{
    SimFaults faults;
    faults.arc = simulatedArc(8, 20); // REF and 8 microphones: 9 input channels
    return faults;
}

// The message "Arc..." showed last, or empty.
std::string arcMessage(const testing::SessionRun& run)
{
    std::string last;
    for (const std::string& line : run.lines())
        if (line.find(" message measure \"Arc\" ") != std::string::npos)
            last = line;
    return last;
}

TEST(ArcDesktop, ArcShowsTheChannelsReadAndARefusedFileChangesNothing)
{
    TempDir dir;
    const SimFaults faults = arcRig();
    Session s(dir.path(), true, faults);
    s.main().useArc(simulatedArcDescription(faults), "", std::nullopt);
    // No file chosen: the simulated rig's arc.
    auto run = s.run("press main 1031\npress main 1038\nfile cancel\npress measure 20055\n");
    ASSERT_FALSE(run.error) << run.error->message;
    EXPECT_NE(arcMessage(run).find("The simulated rig's arc: 8 microphones\\n\\nchannel 2: 0 deg\\nchannel 3: 20 deg"),
              std::string::npos)
        << arcMessage(run);
    EXPECT_NE(arcMessage(run).find("channel 9: 140 deg"), std::string::npos);

    write(dir.path() / "good.txt", "radius 2.5\n4 40\n2 0\n3 20\n");
    run = s.run("file \"" + (dir.path() / "good.txt").string() + "\"\npress measure 20055\n");
    ASSERT_FALSE(run.error) << run.error->message;
    const std::string shown = arcMessage(run);
    EXPECT_NE(shown.find("good.txt: radius 2.500 m, 3 microphones\\n\\nchannel 4: 40 deg\\nchannel 2: 0 deg\\nchannel 3: "
                         "20 deg"),
              std::string::npos)
        << shown;

    struct Refused {
        const char* text;
        const char* why;
    };
    const Refused refused[] = {
        {"radius 2\n2 0\n3 20\n2 40\n", "line 4: channel 2 repeats line 2"},
        {"radius 2\n2 0\n10 20\n", "line 3: channel 10 is beyond the device's 9 input channels"},
        {"radius 2\n2 0\n3 15\n", "line 3: the angle 15 is not on the 10-degree grid"},
        {"radius 2\n2 190\n", "line 2: the angle 190: the turntables bring only angles of -180..180"},
        // The simulated rig keeps the microphones it was started with.
        {"radius 2\n2 0\n3 40\n", "line 3: the simulated rig has its microphone on channel 3 at 20 degrees"},
    };
    for (const Refused& r : refused) {
        write(dir.path() / "bad.txt", r.text);
        run = s.run("file \"" + (dir.path() / "bad.txt").string() + "\"\npress measure 20055\n");
        ASSERT_FALSE(run.error) << run.error->message;
        const std::string warning = arcMessage(run);
        EXPECT_NE(warning.find("\"Arc\" warning \"" + (dir.path() / "bad.txt").string() + ": " + r.why),
                  std::string::npos)
            << warning;
        // The arc read before is the one in use.
        run = s.run("file cancel\npress measure 20055\n");
        EXPECT_EQ(arcMessage(run).substr(arcMessage(run).find(" message")), shown.substr(shown.find(" message"))) << r.text;
    }
}

// vantrel and `session` read their arc options through one reader, refused as measure refuses.
TEST(ArcDesktop, TheArcOptionsAreRefusedNamingTheOption)
{
    TempDir dir;
    write(dir.path() / "off.txt", "radius 2\n2 0\n3 12\n");
    const std::string off = (dir.path() / "off.txt").string();
    struct Case {
        ArcOptions options;
        bool simulate;
        std::string why; // empty: accepted
    };
    const Case cases[] = {
        {{"8,20", "", "", std::nullopt}, true, ""},
        {{"8,20", "", "", 3u}, true, ""},
        {{"0,20", "", "", std::nullopt}, true, "--sim-arc '0,20': the number of microphones must be 1..64"},
        {{"8,20", "", "", std::nullopt}, false, "--sim-arc and --sim-mic-errors need --simulate"},
        {{"", "", "", 3u}, false, "--sim-arc and --sim-mic-errors need --simulate"},
        {{"8,20", off, "", std::nullopt}, true, "give one arc: --arc FILE or --sim-arc N,STEP"},
        {{"", "", off, std::nullopt}, true, "--arc-calibration needs an arc: --arc FILE or --sim-arc N,STEP"},
        {{"", off, "", std::nullopt}, true, "--arc " + off + ": line 3: the angle 12 is not on the 5-degree grid"},
        {{"8,20", "", off, std::nullopt}, true, "--arc-calibration " + off + ": line 1: not an arc calibration"},
    };
    for (const Case& c : cases) {
        SimFaults faults;
        std::optional<ArcSetup> setup;
        EXPECT_EQ(readArcOptions(c.options, c.simulate, faults, setup), c.why) << c.options.simArc;
        EXPECT_EQ(setup.has_value(), c.why.empty());
        if (setup) {
            ASSERT_EQ(setup->arc->microphones.size(), 8u);
            EXPECT_EQ(setup->arc->microphones.back().channel, 9);
            EXPECT_EQ(setup->arc->microphones.back().angle, 140);
            EXPECT_EQ(faults.arc.size(), 8u);
        }
    }

    // --sim-mic-errors alone: the one microphone is the arc's first, errors and all.
    SimFaults faults;
    std::optional<ArcSetup> setup;
    EXPECT_EQ(readArcOptions({"", "", "", 3u}, true, faults, setup), "");
    EXPECT_FALSE(setup);
    EXPECT_TRUE(faults.arc.empty());
    std::vector<SimArcMicrophone> first = simulatedArc(8, 20);
    plantMicErrors(first, 3);
    ASSERT_TRUE(faults.microphone);
    EXPECT_EQ(faults.microphone->levelDb, first[0].levelDb);
    EXPECT_EQ(faults.microphone->delaySeconds, first[0].delaySeconds);
    EXPECT_EQ(faults.microphone->radiusError, first[0].radiusError);
}

// A walk goes on from its autosave: the desktop and measure --resume walk the same last stops
// from the same kept balloon into the same file, byte for byte.
TEST(ArcDesktop, ADesktopWalkEqualsMeasureWithTheSameOptions)
{
    TempDir desk, cli;
    {
        Session s(desk.path(), true, arcRig()); // an empty balloon kept as the walk's autosave
        ArcProgress kept;
        kept.grid = AngleGrid::Grid10;
        kept.mlsLengthIndex = 0;
        kept.rateIndex = 5;
        kept.angles = {0, 20, 40, 60, 80, 100, 120, 140};
        kept.stops = 108;
        kept.stopsDone = 104;
        for (const TempDir* d : {&desk, &cli}) {
            write(d->path() / kArcRecordName, arcProgressText(kept));
            ASSERT_FALSE(saveBalloon((d->path() / kArcBalloonName).string(), s.main().matrix(),
                                     trailerOfSettings(s.main().settings(), AngleGrid::Grid10)));
        }
    }
    const std::string events = testing::runCliSession(
        desk.path(), "--simulate --sim-arc 8,20",
        "press main 1031\\npress main 1004\\npress main 1012\\npress main 1038\\nselect measure 10003 0\\n"
        "type measure 10012 \"8191\"\\nanswer yes\\npress main 1024\\nfile \"desk.BAL\"\\nmenu main 1036\\n");
    EXPECT_NE(events.find("\"Resume the interrupted arc walk after 104 of 108 stops ?\" -> yes"), std::string::npos)
        << events;
    EXPECT_NE(events.find("arc stop 108 of 108"), std::string::npos);
    EXPECT_NE(events.find("\"Process Completed\""), std::string::npos);

    const std::string command = "cd '" + cli.path().string() + "' && '" VANTREL_CLI
                                "' measure --simulate --sim-arc 8,20 --resume . -o cli.BAL > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << bytesOf(cli.path() / "out.txt");
    const std::string a = bytesOf(desk.path() / "desk.BAL"), b = bytesOf(cli.path() / "cli.BAL");
    ASSERT_FALSE(a.empty()) << events;
    EXPECT_TRUE(a == b) << "the desktop's balloon differs from measure's";
    EXPECT_EQ(bytesOf(desk.path() / kArcRecordName), bytesOf(cli.path() / kArcRecordName));
}

// "Arc Calibrate" runs arc-calibrate's self-calibration and saves the same set, processed with
// the window's settings: the initial ones, or those of the preferences arc-calibrate is given.
TEST(ArcDesktop, ArcCalibrateSavesTheSetArcCalibrateWrites)
{
    std::string initial; // the set of the initial settings
    for (const bool preferences : {false, true}) {
        TempDir dir;
        if (preferences) {
            MlsSettings s;
            s.smoothingIndex = 5; // "None"
            CalibrationCurve curve{};
            PreferencesRecord record{};
            packPreferences(s, curve, record);
            std::ofstream(dir.path() / "Pellant.pre", std::ios::binary)
                .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        }
        const std::string events = testing::runCliSession(
            dir.path(), "--simulate --sim-arc 8,20 --sim-mic-errors 3",
            "press main 1004\npress main 1012\npress main 1038\nselect measure 10003 0\ntype measure 10012 \"8191\"\n"
            "file \"desk.cal\"\npress measure 20056\n");
        EXPECT_NE(events.find("The self-calibration of 8 microphones is saved in desk.cal"), std::string::npos) << events;
        const std::string command = "cd '" + dir.path().string() + "' && '" VANTREL_CLI
                                    "' arc-calibrate --simulate --sim-arc 8,20 --sim-mic-errors 3 --order 13 -o cli.cal " +
                                    std::string(preferences ? "--preferences Pellant.pre " : "") + "> out.txt 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << bytesOf(dir.path() / "out.txt");
        const std::string desk = bytesOf(dir.path() / "desk.cal");
        ASSERT_FALSE(desk.empty());
        EXPECT_TRUE(desk == bytesOf(dir.path() / "cli.cal")) << (preferences ? "with" : "without") << " preferences";
        if (preferences)
            EXPECT_NE(desk, initial) << "the preferences' processing makes another set";
        else
            initial = desk;
    }
}

} // namespace
} // namespace vantrel
