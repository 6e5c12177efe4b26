// The autosave of a running balloon: what reaches the disk after each stored cell, the progress
// record's guarantees, a full disk and an unwritable directory.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "balloon/balloon_autosave.h"
#include "balloon/balloon_file.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool sameAsMemory(const std::string& path, BalloonMatrix& m)
{
    const std::vector<char> bytes = fileBytes(path);
    const auto block = m.bytes();
    return bytes.size() == block.size() && std::memcmp(bytes.data(), block.data(), block.size()) == 0;
}

void fillCell(BalloonMatrix& m, CellIndex c, float value)
{
    for (ComplexBin& b : m.cell(c.row, c.column))
        b = {value, -value};
}

// What the program keeps of its settings is opaque to the autosave.
const std::vector<std::uint8_t> kRunSettings = [] {
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7);
    return bytes;
}();

AutosaveProgress at(int phase, int h, int v, int points)
{
    AutosaveProgress p;
    p.phase = phase;
    p.hAngle = h;
    p.vAngle = v;
    p.pointsDone = points;
    return p;
}

TEST(BalloonAutosave, EveryStoredCellIsOnDiskWithTheRecordOfItsPoint)
{
    testing::TempDir dir;
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    fillCell(*m, {5, 5}, 7.0f); // an older balloon's cell stays as it is in memory
    BalloonAutosave autosave(dir.path().string());
    ASSERT_EQ(autosave.start(*m, kInitialBalloonTrailer, kRunSettings, at(0, 0, 90, 0)), std::nullopt);
    EXPECT_TRUE(sameAsMemory(autosave.balloonPath(), *m));
    EXPECT_EQ(readAutosaveProgress(dir.path().string())->pointsDone, 0);
    EXPECT_EQ(readAutosaveSettings(dir.path().string(), kRunSettings.size()), kRunSettings);
    EXPECT_FALSE(readAutosaveSettings(dir.path().string(), kRunSettings.size() - 1)) << "a file of another size";
    EXPECT_FALSE(fs::exists(dir.path() / (std::string(kAutosaveSettingsName) + ".new")));

    fillCell(*m, {0, 0}, 1.5f);
    ASSERT_EQ(autosave.storeCell(*m, {0, 0}, at(0, 0, 90, 1)), std::nullopt);
    fillCell(*m, {0, 1}, 2.5f);
    ASSERT_EQ(autosave.storeCell(*m, {0, 1}, at(0, 10, 90, 2)), std::nullopt);
    EXPECT_TRUE(sameAsMemory(autosave.balloonPath(), *m));
    const auto progress = readAutosaveProgress(dir.path().string());
    ASSERT_TRUE(progress);
    EXPECT_EQ(progress->state, AutosaveState::running);
    EXPECT_EQ(progress->hAngle, 10);
    EXPECT_EQ(progress->vAngle, 90);
    EXPECT_EQ(progress->pointsDone, 2);
    EXPECT_FALSE(fs::exists(autosave.progressPath() + ".new"));

    ASSERT_EQ(autosave.record([] { auto p = at(18, 0, 0, 667); p.state = AutosaveState::finished; return p; }()), std::nullopt);
    EXPECT_EQ(readAutosaveProgress(dir.path().string())->state, AutosaveState::finished);
    // The autosave is a balloon file like any other.
    auto loaded = BalloonMatrix::create();
    ASSERT_TRUE(loaded && loadBalloon(autosave.balloonPath(), *loaded));
    EXPECT_EQ(loaded->cell(0, 1)[3].re, 2.5f);
}

TEST(BalloonAutosave, OnlyAWholeValidRecordCounts)
{
    AutosaveProgress p = at(3, 120, 60, 140);
    p.gridFlag = 0;
    p.simulatedRig = true;
    p.time = 1700000000;
    const std::string text = formatAutosaveProgress(p);
    EXPECT_EQ(parseAutosaveProgress(text), p);
    // Cut at any point, as a crash in the middle of a plain write would leave it.
    for (std::size_t n = 0; n + 1 < text.size(); ++n)
        EXPECT_FALSE(parseAutosaveProgress(text.substr(0, n))) << n;
    auto record = [](std::string grid, std::string h, std::string v, std::string points) {
        return "vantrel autosave 1\nstate running\ngrid " + grid + "\nphase 3\nh " + h + "\nv " + v + "\npoints " +
               points + "\nrig simulated\ntime 1700000000\nend\n";
    };
    EXPECT_EQ(parseAutosaveProgress(record("0", "120", "60", "140")), p);
    EXPECT_FALSE(parseAutosaveProgress(record("2", "120", "60", "140")));
    EXPECT_FALSE(parseAutosaveProgress(record("0", "361", "60", "140")));
    EXPECT_FALSE(parseAutosaveProgress(record("0", "1e2", "60", "140")));
    EXPECT_FALSE(parseAutosaveProgress(record("0", "120", "-91", "140")));
    EXPECT_FALSE(parseAutosaveProgress(record("0", "120", "60", "-1")));
    AutosaveProgress hardware = p;
    hardware.simulatedRig = false;
    EXPECT_EQ(parseAutosaveProgress(formatAutosaveProgress(hardware)), hardware);
    std::string foreign = record("0", "120", "60", "140");
    foreign.replace(foreign.find("simulated"), 9, "borrowed");
    EXPECT_FALSE(parseAutosaveProgress(foreign));

    // The simulated rig's distortion rides on the rig line; a record without it is a linear rig.
    AutosaveProgress distorted = p;
    distorted.simA2 = 0.1;
    distorted.simA3 = -3e-5;
    EXPECT_EQ(parseAutosaveProgress(formatAutosaveProgress(distorted)), distorted);
    EXPECT_NE(formatAutosaveProgress(distorted).find("\nrig simulated 0.1 -3e-05\n"), std::string::npos);
    for (const char* rig : {"rig simulated 0.1", "rig simulated 0.1 nan", "rig simulated  0.1 1", "rig simulated 0.1 1 ",
                            "rig simulated 0,1 1", "rig hardware 0.1 1", "rig simulatedx"}) {
        std::string bad = record("0", "120", "60", "140");
        bad.replace(bad.find("rig simulated"), 13, rig);
        EXPECT_FALSE(parseAutosaveProgress(bad)) << rig;
    }
}

TEST(BalloonAutosave, TheRecordKeepsTheExcitationAndOlderRecordsStillRead)
{
    AutosaveProgress p = at(3, 120, 60, 140);
    p.time = 1700000000;
    const std::string old = formatAutosaveProgress(p);
    EXPECT_EQ(parseAutosaveProgress(old)->excitation, AutosaveExcitation::unknown) << "a record from before";
    AutosaveProgress mls = p, sweep = p;
    mls.excitation = AutosaveExcitation::mls;
    sweep.excitation = AutosaveExcitation::sweep;
    sweep.sweepF1Hz = 20;
    sweep.sweepF2Hz = 0;
    for (const AutosaveProgress& kept : {mls, sweep}) {
        const std::string text = formatAutosaveProgress(kept);
        EXPECT_EQ(parseAutosaveProgress(text), kept) << text;
        for (std::size_t n = 0; n + 1 < text.size(); ++n)
            EXPECT_FALSE(parseAutosaveProgress(text.substr(0, n))) << n;
    }
    EXPECT_NE(formatAutosaveProgress(sweep).find("\nexcitation sweep 20 0\ntime "), std::string::npos);
    for (const char* bad : {"excitation", "excitation chirp", "excitation sweep 20", "excitation sweep 0 100",
                            "excitation sweep -5 100", "excitation sweep 20 nan", "excitation sweep 20 100 ",
                            "excitation mls 20"}) {
        std::string text = old;
        text.insert(text.find("time "), std::string(bad) + "\n");
        EXPECT_FALSE(parseAutosaveProgress(text)) << bad;
    }
}

TEST(BalloonAutosave, AFullDiskFailsTheCellThatDoesNotFitAndKeepsEveryEarlierOne)
{
    testing::TempDir dir;
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    // Room for the balloon, its records and two more cells with theirs, not a third.
    const std::int64_t cell = kCellBins * sizeof(ComplexBin);
    AutosaveProgress stamped = at(0, 10, 90, 0);
    stamped.time = 2000000000;
    const std::int64_t record = static_cast<std::int64_t>(formatAutosaveProgress(stamped).size());
    BalloonAutosave autosave(dir.path().string(), BalloonMatrix::kBlockBytes + static_cast<std::int64_t>(kRunSettings.size()) +
                                                       3 * record + 2 * cell + cell / 2);
    ASSERT_EQ(autosave.start(*m, kInitialBalloonTrailer, kRunSettings, at(0, 0, 90, 0)), std::nullopt);
    fillCell(*m, {0, 0}, 1.0f);
    ASSERT_EQ(autosave.storeCell(*m, {0, 0}, at(0, 0, 90, 1)), std::nullopt);
    fillCell(*m, {0, 1}, 2.0f);
    ASSERT_EQ(autosave.storeCell(*m, {0, 1}, at(0, 10, 90, 2)), std::nullopt);
    const std::vector<char> before = fileBytes(autosave.balloonPath());
    fillCell(*m, {0, 2}, 3.0f);
    const auto error = autosave.storeCell(*m, {0, 2}, at(0, 20, 90, 3));
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("No space left on device"), std::string::npos) << *error;
    EXPECT_EQ(fileBytes(autosave.balloonPath()), before);
    EXPECT_EQ(readAutosaveProgress(dir.path().string())->hAngle, 10);
    // A disk too small for the balloon itself refuses at the start.
    BalloonAutosave tiny((dir.path() / "x").string(), 1000);
    EXPECT_TRUE(tiny.start(*m, kInitialBalloonTrailer, kRunSettings, at(0, 0, 90, 0)));
    EXPECT_FALSE(tiny.active());
}

TEST(BalloonAutosave, AnUnwritableDirectoryWarnsOnceAndThenDoesNothing)
{
    testing::TempDir top;
    // A "directory" that is a plain file: unwritable for every user, root included.
    const fs::path dir = top.path() / "plain-file";
    std::ofstream(dir) << "x";
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    BalloonAutosave autosave(dir.string());
    const auto warning = autosave.start(*m, kInitialBalloonTrailer, kRunSettings, at(0, 0, 90, 0));
    ASSERT_TRUE(warning);
    EXPECT_NE(warning->find(dir.string()), std::string::npos) << *warning;
    EXPECT_FALSE(autosave.active());
    EXPECT_EQ(autosave.storeCell(*m, {0, 0}, at(0, 0, 90, 1)), std::nullopt);
    EXPECT_EQ(autosave.record(at(0, 0, 90, 1)), std::nullopt);
    EXPECT_FALSE(readAutosaveProgress(dir.string()));
}

} // namespace
} // namespace vantrel
