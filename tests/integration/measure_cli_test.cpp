// vantrel-cli measure as a user runs it, unattended: killed outright at a random instant and
// resumed from its autosave, or halted by a rehearsed fault and resumed once the fault is gone.
// Either way the finished balloon file equals an uninterrupted run's, byte for byte.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/preferences.h"
#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"
#include "calibration/mic_file.h"
#include "cli_run.h"
#include "walk_cells.h"

extern char** environ;

namespace vantrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kWholeWalk = 667; // points of the 10-degree serpentine

// The shortest sequence with a window that fits it: the same walk as at order 18, quicker.
void writeShortSettings(const fs::path& file)
{
    MlsSettings settings;
    settings.mlsLengthIndex = 0;
    settings.windowWidthText = "4000";
    settings.useSavedIr = 0;
    CalibrationCurve curve{};
    PreferencesRecord record{};
    packPreferences(settings, curve, record);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(record.data()),
                                                static_cast<std::streamsize>(record.size()));
}

std::string quoted(const fs::path& p)
{
    std::string text = p.string();
    text.insert(text.begin(), '\'');
    text.push_back('\'');
    return text;
}

CliResult measureIn(const fs::path& dir, const std::string& arguments)
{
    return runCli("measure " + arguments, "cd " + quoted(dir) + " &&");
}

BalloonMatrix load(const fs::path& file)
{
    BalloonMatrix m = *BalloonMatrix::create();
    const BalloonLoadResult loaded = loadBalloon(file.string(), m);
    EXPECT_TRUE(loaded) << file << ": " << loaded.error;
    return m;
}

std::string newRun(const fs::path& settings)
{
    return "--simulate --grid 10 --preferences " + quoted(settings);
}

// Killed outright, resumed with a motor that stalls on the way, resumed again: the finished
// balloon is the uninterrupted one.
TEST(MeasureCli, KilledAtARandomInstantThenHaltedByAFaultAndResumedItEqualsAnUninterruptedRun)
{
    TempDir scratch;
    const fs::path settings = scratch.path() / "short.pre";
    writeShortSettings(settings);
    const fs::path whole = scratch.path() / "whole";
    fs::create_directory(whole);
    const CliResult uninterrupted = measureIn(whole, newRun(settings) + " -o whole.BAL");
    ASSERT_EQ(uninterrupted.status, 0) << uninterrupted.err;
    ASSERT_NE(uninterrupted.out.find("points measured: 667"), std::string::npos) << uninterrupted.out;
    const std::string reference = readWholeFile(whole / "whole.BAL");
    const BalloonMatrix referenceCells = load(whole / "whole.BAL");

    std::random_device entropy;
    const int killAfter = std::uniform_int_distribution<int>(1, kWholeWalk - 100)(entropy);
    SCOPED_TRACE("killed once " + std::to_string(killAfter) + " points were kept");
    const fs::path dir = scratch.path() / "run";
    fs::create_directory(dir);

    // Started through the shell as a user would, then killed outright: no handler runs.
    const std::string command = "cd " + quoted(dir) + " && exec '" VANTREL_CLI_PATH "' measure " + newRun(settings) +
                                " -o killed.BAL > /dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    int seen = 0;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(30);
         std::chrono::steady_clock::now() < deadline;) {
        if (const auto p = readAutosaveProgress(dir.string()); p && p->pointsDone >= killAfter) {
            seen = p->pointsDone;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run ended before it was killed";
    ASSERT_GE(seen, killAfter);
    EXPECT_FALSE(fs::exists(dir / "killed.BAL"));
    const auto killed = readAutosaveProgress(dir.string());
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->state, AutosaveState::running);
    // The record may have moved on between the look and the kill, never back.
    ASSERT_GE(killed->pointsDone, seen);
    ASSERT_LT(killed->pointsDone, kWholeWalk);

    // Resumed on a rig whose 20th move stalls (the drive from home counts too).
    const CliResult halted =
        measureIn(dir, "--simulate --fault stall=20 --resume " + quoted(dir / kAutosaveBalloonName) + " -o part.BAL");
    ASSERT_EQ(halted.status, 1) << halted.err;
    // Only what the record did not name was measured again: at most the point in flight.
    const auto stalled = readAutosaveProgress(dir.string());
    ASSERT_TRUE(stalled);
    ASSERT_GT(stalled->pointsDone, killed->pointsDone);
    ASSERT_LT(stalled->pointsDone, killed->pointsDone + 20);
    const auto path = firstPoints(stalled->pointsDone + 1);
    const auto [haltRow, haltColumn] = path.back();
    // The stalled move is the one from the last point kept: along H within a row, else down in V.
    const char* stalledMove = path[path.size() - 2].first == haltRow ? "Turntable 1 could not be told that its move ended"
                                                                     : "Turntable 2 could not be told that its move ended";
    EXPECT_NE(halted.err.find(stalledMove), std::string::npos) << halted.err;
    EXPECT_NE(halted.err.find("at H=" + std::to_string(haltColumn * 10) + ", V=" + std::to_string(90 - haltRow * 10) +
                              " deg"),
              std::string::npos)
        << halted.err;
    EXPECT_NE(halted.err.find("halted after " + std::to_string(stalled->pointsDone) +
                              " points; what was measured is saved in part.BAL"),
              std::string::npos)
        << halted.err;
    EXPECT_NE(halted.err.find("'vantrel-cli measure --resume " + dir.string() + "'"), std::string::npos) << halted.err;
    const BalloonMatrix part = load(dir / "part.BAL");
    const BalloonMatrix autosaved = load(dir / kAutosaveBalloonName);
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const auto [row, column] = path[i];
        EXPECT_TRUE(sameCell(part, referenceCells, row, column)) << row << "," << column;
        EXPECT_TRUE(sameCell(autosaved, referenceCells, row, column)) << row << "," << column;
    }
    EXPECT_TRUE(cellIsZero(part, haltRow, haltColumn));
    EXPECT_TRUE(cellIsZero(autosaved, haltRow, haltColumn));

    // The fault gone, the walk is finished where it stopped: no --simulate needed, the
    // autosave knows its rig.
    const CliResult resumed = measureIn(dir, "--resume . -o resumed.BAL");
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find("Process Completed"), std::string::npos) << resumed.out;
    EXPECT_NE(resumed.out.find("points kept from the autosave: " + std::to_string(stalled->pointsDone) + "\n"),
              std::string::npos)
        << resumed.out;
    EXPECT_TRUE(readWholeFile(dir / "resumed.BAL") == reference) << "the resumed balloon differs";
    EXPECT_TRUE(readWholeFile(dir / kAutosaveBalloonName) == reference) << "the finished autosave differs";
    EXPECT_EQ(readAutosaveProgress(dir.string())->state, AutosaveState::finished);
}

// With a microphone's calibration file every cell of the balloon is the one measured without
// it, lowered by the file's level (and turned back by its phase) at each frequency.
TEST(MeasureCli, AMicFileLowersEveryCellByTheFilesValue)
{
    TempDir scratch;
    const fs::path settings = scratch.path() / "short.pre";
    writeShortSettings(settings);
    const fs::path mic = scratch.path() / "mic.txt";
    std::ofstream(mic) << "\"Sens Factor =-1.4dB\"\n100\t-1.0\t0\n1000\t3.0\t30\n10000\t0.5\t-20\n";
    const CliResult plain = measureIn(scratch.path(), newRun(settings) + " -o plain.BAL");
    ASSERT_EQ(plain.status, 0) << plain.err;
    const CliResult corrected = measureIn(scratch.path(), newRun(settings) + " --mic-file mic.txt -o mic.BAL");
    ASSERT_EQ(corrected.status, 0) << corrected.err;
    EXPECT_NE(corrected.out.find("mic.txt: 3 points"), std::string::npos) << corrected.out;

    const BalloonMatrix a = load(scratch.path() / "plain.BAL");
    const BalloonMatrix b = load(scratch.path() / "mic.BAL");
    const MicReadResult file = readMicFile(mic.string());
    ASSERT_TRUE(file.calibration);
    FrequencyAxis axis;
    const CalibrationCurve curve = micCurve(*file.calibration, axis);
    double worst = 0;
    std::string where;
    for (const auto& [row, column] : firstPoints(kWholeWalk))
        for (int bin = 0; bin < kDataBins && axis[bin] < 21600; bin += 7) { // below the usable limit of 48 kHz
            const ComplexBin x = a.cell(row, column)[static_cast<std::size_t>(bin)];
            const ComplexBin y = b.cell(row, column)[static_cast<std::size_t>(bin)];
            const double levelX = 10 * std::log10(double(x.re) * x.re + double(x.im) * x.im);
            const double levelY = 10 * std::log10(double(y.re) * y.re + double(y.im) * y.im);
            const double error = std::abs(levelX - curve[static_cast<std::size_t>(bin)].level - levelY);
            if (error > worst) {
                worst = error;
                where = "row " + std::to_string(row) + ", column " + std::to_string(column) + ", " +
                        std::to_string(axis[bin]) + " Hz, " + std::to_string(levelX) + " dB";
            }
        }
    EXPECT_LT(worst, 0.01) << where;
    EXPECT_EQ(measureIn(scratch.path(), newRun(settings) + " --mic-file plain.BAL -o x.BAL").status, 2);
}

TEST(MeasureCli, ARecordingThatNeverReturnsOrADeadLineEndsTheRunInsteadOfHangingIt)
{
    struct Case {
        const char* fault;
        const char* said;
        int kept;
    };
    const Case cases[] = {{"hang=3", "The recording did not complete within 30 s of its wait\n\nat H=20, V=90 deg", 2},
                          {"serial-dies=150", "Turntable 1 did not take the move to the point\n\nat H=50, V=90 deg", 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        TempDir dir;
        writeShortSettings(dir.path() / "short.pre");
        const CliResult r =
            measureIn(dir.path(), newRun(dir.path() / "short.pre") + " --fault " + c.fault + " -o part.BAL");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("halted after " + std::to_string(c.kept) + " points"), std::string::npos) << r.err;
        EXPECT_EQ(readAutosaveProgress(dir.path().string())->pointsDone, c.kept);
        EXPECT_TRUE(fs::exists(dir.path() / "part.BAL"));
    }
    // Settings come from the autosave; others given beside --resume are refused.
    TempDir dir;
    const CliResult r = runCli("measure --resume " + quoted(dir.path()) + " --order 14");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("--order"), std::string::npos) << r.err;
    // A directory without an interrupted walk has nothing to resume.
    const CliResult none = runCli("measure --resume " + quoted(dir.path()));
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_NE(none.err.find("no valid progress record 'autosave.run'"), std::string::npos) << none.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 0) << "nothing written";
}

TEST(MeasureCli, WhatTheWalkWouldRefuseIsRefusedBeforeAnyTurntableCommandNamingTheOption)
{
    TempDir dir;
    {
        MlsSettings settings;
        settings.rateIndex = 4; // 44100 Hz: no measurement starts at that rate
        CalibrationCurve curve{};
        PreferencesRecord record{};
        packPreferences(settings, curve, record);
        std::ofstream(dir.path() / "rate.pre", std::ios::binary)
            .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    }
    struct Case {
        const char* arguments;
        const char* option; // named by the refusal
    };
    const Case cases[] = {{"--order 13 --window 9000 -o b.BAL", "--window"},
                          {"--order 13 --window 4000 --front 4000 -o b.BAL", "--front"},
                          {"-o /nonexistent/b.BAL", "-o"},
                          {"--input 3 -o b.BAL", "--input"},
                          {"--preferences rate.pre -o b.BAL", "--rate"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const CliResult r = measureIn(dir.path(), std::string("--simulate ") + c.arguments);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.option), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.path() / kAutosaveProgressName)) << "no walk started";
        EXPECT_FALSE(fs::exists(dir.path() / "b.BAL"));
    }
}

TEST(MeasureCli, AnOrderTheDefaultWindowDoesNotFitMeasuresWithTheLongestWindowItAllows)
{
    TempDir dir;
    // The second recording never returns: one point is enough to see the window used.
    const CliResult r = measureIn(dir.path(), "--simulate --order 13 --fault hang=2 -o b13.BAL");
    EXPECT_NE(r.err.find("time window: 8191 samples, the longest order 13 allows"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Please reduce Timw Window Length"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("halted after 1 points"), std::string::npos) << r.err;
}

// A sweep walk through the rig's distortion, halted by a stalled motor and resumed with nothing
// but --resume: the balloon and its distortion file equal an uninterrupted run's byte for byte.
// The autosave keeps the distortion; a resume that names another is refused and changes nothing.
TEST(MeasureCli, AnInterruptedSweepWalkResumesThroughTheSameDistortionIntoTheSameFiles)
{
    TempDir scratch;
    const std::string run = "--simulate --grid 10 --order 15 --window 4000 --excitation sweep --f1 100 "
                            "--sim-nonlinearity 0.01,0.02";
    const fs::path whole = scratch.path() / "whole";
    const fs::path dir = scratch.path() / "run";
    fs::create_directory(whole);
    fs::create_directory(dir);
    const CliResult uninterrupted = measureIn(whole, run + " -o whole.BAL");
    ASSERT_EQ(uninterrupted.status, 0) << uninterrupted.err;

    ASSERT_EQ(measureIn(dir, run + " --fault stall=200 -o part.BAL").status, 1);
    const auto halted = readAutosaveProgress(dir.string());
    ASSERT_TRUE(halted);
    EXPECT_EQ(halted->simA3, 0.02);
    const CliResult other = measureIn(dir, "--resume . --simulate --sim-nonlinearity 0.01,0.03 -o r.BAL");
    EXPECT_NE(other.status, 0);
    EXPECT_NE(other.err.find("measured with --sim-nonlinearity 0.01,0.02"), std::string::npos) << other.err;
    EXPECT_EQ(readAutosaveProgress(dir.string()), halted);

    const CliResult resumed = measureIn(dir, "--resume . -o r.BAL");
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_TRUE(readWholeFile(dir / "r.BAL") == readWholeFile(whole / "whole.BAL")) << "the resumed balloon differs";
    EXPECT_TRUE(readWholeFile(dir / "r.DST") == readWholeFile(whole / "whole.DST")) << "the resumed distortion differs";
}

} // namespace
} // namespace vantrel::testing
