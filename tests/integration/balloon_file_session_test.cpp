// "Save Data" and "Load Data" driven through the session harness: the file written, the block
// and settings restored, refused and failed transfers that change nothing, the title, the grid
// marks, and the selected cell handed to the measurement window's plot.

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include <sys/resource.h>

#include <QImage>

#include "app/main_window_controls.h"
#include "balloon/balloon_file.h"
#include "integration/session_fixture.h"
#include "mls/measurement_controls.h"
#include "mls/measurement_window.h"
#include "platform/event_log.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

namespace fs = std::filesystem;
constexpr std::size_t kImage = BalloonMatrix::kBlockBytes;

std::vector<char> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<char> blockOf(const BalloonMatrix& m)
{
    const auto* b = reinterpret_cast<const char*>(m.bytes().data());
    return {b, b + kImage};
}

// Every cell byte depends on its offset, so a misplaced or lost byte shows.
void pattern(BalloonMatrix& m, unsigned seed)
{
    auto bytes = m.bytes();
    for (std::size_t i = 0; i < BalloonMatrix::kTrailerOffset; ++i)
        bytes[i] = static_cast<std::byte>((i * 2654435761u + seed) >> 11);
}

class BalloonFiles : public ::testing::Test {
protected:
    void SetUp() override { session_ = std::make_unique<Session>(dir_.path()); }

    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    SessionRun save(const fs::path& p) { return run("file \"" + p.string() + "\"\npress main 1036\n"); }
    SessionRun load(const fs::path& p) { return run("file \"" + p.string() + "\"\npress main 1037\n"); }
    MainWindow& main() { return session_->main(); }
    MlsSettings& settings() { return main().settings(); }
    HeadlessWindow& window() { return *session_->platform().window("main"); }
    fs::path file(const std::string& name) const { return dir_.path() / name; }

    // A file of the right size with the given trailer words and patterned cells.
    void writeBalloon(const fs::path& p, const BalloonSettings& words, unsigned seed = 9)
    {
        auto m = BalloonMatrix::create();
        ASSERT_TRUE(m);
        pattern(*m, seed);
        m->settings() = words;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(m->bytes().data()), kImage);
    }
    void setSettings(int window, int rate, int smoothing, int position, int from, int to)
    {
        settings().windowTypeIndex = window;
        settings().rateIndex = rate;
        settings().smoothingIndex = smoothing;
        settings().fftWindowPosition = position;
        settings().fromIndex = from;
        settings().toIndex = to;
    }
    std::vector<int> settingsNow()
    {
        const MlsSettings& s = settings();
        return {s.windowTypeIndex, s.rateIndex, s.smoothingIndex, s.fftWindowPosition, s.fromIndex, s.toIndex,
                angleGridFlag(main().angleGrid())};
    }
    std::string warning(const std::string& text) { return "message main \"Karvell\" warning " + vantrel::quoted(text) + " -> ok"; }

    TempDir dir_;
    std::unique_ptr<Session> session_;
};

TEST_F(BalloonFiles, SaveThenLoadRestoresEveryByteAndTheSevenSettings)
{
    pattern(main().matrix(), 1);
    // Never written by a measurement, yet part of the image.
    main().matrix().cell(36, 73)[759] = {1.25f, -7.5f};
    main().matrix().cell(30, 60)[755] = {3.0f, 4.0f};
    setSettings(7, 6, 2, 345, 1, 4);
    run("press main 1031\n");
    const fs::path b = file("b.BAL");
    const SessionRun saved = save(b);
    EXPECT_TRUE(saved.has("0 title \"Vantrel - " + b.string() + "\"")) << saved.events;
    ASSERT_EQ(fs::file_size(b), 16'647'072u);
    const std::vector<char> block = blockOf(main().matrix());
    const std::vector<int> settingsSaved = settingsNow();
    EXPECT_EQ(readAll(b), block);

    // Everything changed, then the file brings it back.
    pattern(main().matrix(), 2);
    setSettings(0, 5, 3, 0, 3, 6);
    run("press main 1030\n");
    const SessionRun loaded = load(b);
    EXPECT_EQ(loaded.find("message"), -1) << loaded.events;
    EXPECT_TRUE(blockOf(main().matrix()) == block);
    EXPECT_EQ(settingsNow(), settingsSaved);
    EXPECT_EQ(main().angleGrid(), AngleGrid::Grid10);
    EXPECT_FALSE(window().isChecked(main_ids::kGrid5));
    EXPECT_TRUE(window().isChecked(main_ids::kGrid10));

    // Saved again under another name: the same bytes.
    const fs::path c = file("c.BAL");
    save(c);
    EXPECT_TRUE(readAll(c) == readAll(b));
    EXPECT_EQ(window().title(), "Vantrel - " + c.string());
}

TEST_F(BalloonFiles, WrongSizedFilesAreNotRecognizedAndChangeNothing)
{
    pattern(main().matrix(), 3);
    setSettings(4, 6, 1, 100, 2, 5);
    const std::vector<char> block = blockOf(main().matrix());
    const std::vector<int> before = settingsNow();
    for (const std::size_t size : {kImage - 1, kImage + 1, std::size_t{100}}) {
        const fs::path p = file(std::to_string(size) + ".BAL");
        std::ofstream(p, std::ios::binary) << std::string(size, '\x42');
        const SessionRun r = load(p);
        EXPECT_TRUE(r.has("0 " + warning("This Balloon File is NOT Recognized"))) << r.events;
        EXPECT_TRUE(blockOf(main().matrix()) == block) << size;
        EXPECT_EQ(settingsNow(), before) << size;
        EXPECT_EQ(window().title(), "Vantrel - " + p.string()) << "the title follows the name chosen";
    }
    const SessionRun missing = load(file("none.BAL"));
    EXPECT_TRUE(missing.has("0 " + warning(file("none.BAL").string() + "\n\n" + std::strerror(ENOENT))))
        << missing.events;
    EXPECT_TRUE(blockOf(main().matrix()) == block);
}

TEST_F(BalloonFiles, TrailerWordsTruncateAndOutOfRangeWordsLoadAsInitialValues)
{
    writeBalloon(file("t.BAL"), {2.9f, -0.5f, 4.99f, 0.0f, 400.0f, 0, 7, 0});
    load(file("t.BAL"));
    EXPECT_EQ(settingsNow(), (std::vector<int>{2, 0, 4, 400, 0, 7, 0}));

    // A "From:" of 12 would index past the table; NaN and 1e9 are no settings; grid 5 is read as 0.
    writeBalloon(file("u.BAL"), {std::nanf(""), 1e9f, 6.0f, 0.0f, -1.0f, 12, 3, 5});
    const SessionRun r = load(file("u.BAL"));
    EXPECT_EQ(r.find("message"), -1) << "the cells still load";
    EXPECT_EQ(settingsNow(), (std::vector<int>{0, 5, 3, 0, 3, 6, 0}));
    EXPECT_TRUE(window().isChecked(main_ids::kGrid5));
    EXPECT_EQ(readAll(file("u.BAL")), blockOf(main().matrix()));
}

TEST_F(BalloonFiles, ACancelledDialogReadsAndWritesNothingButSetsTheTitle)
{
    pattern(main().matrix(), 4);
    const std::vector<char> block = blockOf(main().matrix());
    const SessionRun first = run("file cancel\npress main 1036\n");
    EXPECT_TRUE(first.has("0 file-dialog main save cancel")) << first.events;
    EXPECT_TRUE(first.has("0 title \"Vantrel - \"")) << first.events;
    const SessionRun second = run("file cancel\npress main 1037\n");
    EXPECT_TRUE(second.has("0 title \"Vantrel - \"")) << second.events;
    EXPECT_TRUE(blockOf(main().matrix()) == block);
    for (const auto& e : fs::directory_iterator(dir_.path()))
        EXPECT_NE(e.path().extension(), ".BAL") << e.path();

    // The name chosen last stays for the title and the next dialog.
    save(file("k.BAL"));
    const SessionRun third = run("file cancel\npress main 1037\n");
    EXPECT_TRUE(third.has("0 title \"Vantrel - " + file("k.BAL").string() + "\"")) << third.events;
}

TEST_F(BalloonFiles, AFailedSaveWarnsAndKeepsTheOldFile)
{
    const fs::path b = file("b.BAL");
    pattern(main().matrix(), 5);
    save(b);
    const std::vector<char> original = readAll(b);

    pattern(main().matrix(), 6);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const SessionRun r = save(b);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    EXPECT_TRUE(r.has("0 " + warning(b.string() + "\n\n" + std::strerror(EFBIG)))) << r.events;
    EXPECT_TRUE(readAll(b) == original);
    std::vector<fs::path> left;
    for (const auto& e : fs::directory_iterator(dir_.path()))
        if (e.path().filename() != "Pellant.pre" && e.path().filename() != "Pellant.recent")
            left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    // The first save's measurement record stands beside its balloon.
    EXPECT_EQ(left, (std::vector<fs::path>{"b.BAL", "b.MSR"})) << "no temporary file stays";

    // A directory of that name is not replaced either.
    fs::create_directory(file("d.BAL"));
    const SessionRun onDir = save(file("d.BAL"));
    EXPECT_TRUE(onDir.has("0 " + warning(file("d.BAL").string() + "\n\n" + std::strerror(EISDIR)))) << onDir.events;
    EXPECT_TRUE(fs::is_directory(file("d.BAL")));
}

class CellInPlot : public BalloonFiles {
protected:
    Curve& curve(int c) { return main().curves()[static_cast<std::size_t>(c)]; }
};

TEST_F(CellInPlot, ALoadPutsTheSelectedCellIntoTheNextSlotsNineDecibelsUp)
{
    // Cell (2, 5) holds 80 dB at 30 degrees in bin 100 and 0 degrees elsewhere; (0, 0) nothing.
    std::array<float, kDataBins> level, phase;
    level.fill(80.0f);
    phase.fill(0.0f);
    phase[100] = 30.0f;
    auto source = BalloonMatrix::create();
    ASSERT_TRUE(source);
    ASSERT_TRUE(source->storeMeasurement(25, 80, AngleGrid::Grid5, level, phase));
    ASSERT_EQ(saveBalloon(file("cell.BAL").string(), *source, kInitialBalloonTrailer), std::nullopt);

    run("press main 1038\nscroll main 1045 thumbposition 2\nscroll main 1046 thumbposition 5\n");
    // Both bars already handed their cell over: the (2, 0) cell, then (2, 5), both unmeasured.
    EXPECT_EQ(settings().splSlot, 2);
    EXPECT_FLOAT_EQ(curve(kSplCurve0 + 1)[10], -130.0f) << "an unmeasured cell";
    EXPECT_FLOAT_EQ(curve(kPhaseCurve0 + 1)[10], 0.0f);

    const std::string png = (dir_.path() / "m.png").string();
    const SessionRun r = run("file \"" + file("cell.BAL").string() + "\"\npress main 1037\nscreenshot measure \"" + png + "\"\n");
    EXPECT_EQ(r.find("message"), -1) << r.events;
    const Curve& spl = curve(kSplCurve0 + 2);
    const Curve& ph = curve(kPhaseCurve0 + 2);
    const double lift = 20 * std::log10(3.0);
    EXPECT_NEAR(spl[0], 80 - 90 + lift, 1e-3) << "the plot's level is dB minus 90";
    EXPECT_NEAR(spl[749], 80 - 90 + lift, 1e-3);
    EXPECT_NEAR(ph[100], 30.0, 1e-3);
    EXPECT_NEAR(ph[0], 0.0, 1e-6);
    // In use, with slot 2's colour and the level pen; phase slot 2 with entry 3's colour.
    EXPECT_EQ(spl[750], 1.0f);
    EXPECT_EQ(spl[751], 0.0f);
    EXPECT_EQ(spl[753], 196.0f);
    EXPECT_EQ(spl[754], 2.0f);
    EXPECT_EQ(ph[750], 1.0f);
    EXPECT_EQ(ph[751], 196.0f);
    EXPECT_EQ(ph[753], 196.0f);
    EXPECT_EQ(ph[754], 1.0f);
    EXPECT_EQ(settings().splSlot, 3);
    EXPECT_EQ(settings().phaseSlot, 3);

    // The SPL plot shows the new curve in slot 2's colour.
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    int blue = 0;
    for (int y = kSplPlotRect.y; y < kSplPlotRect.y + kSplPlotRect.height; ++y)
        for (int x = kSplPlotRect.x; x < kSplPlotRect.x + kSplPlotRect.width; ++x)
            blue += image.pixel(x, y) == qRgb(0, 0, 196);
    EXPECT_GT(blue, 700);
}

TEST_F(CellInPlot, SlotsWrapFromNineToZeroAndRepairTargetBarsOnlyOnLineAndPage)
{
    settings().splSlot = 9;
    settings().phaseSlot = 9;
    run("scroll main 1057 linedown\n");
    EXPECT_EQ(curve(kSplCurve0 + 9)[750], 1.0f);
    EXPECT_EQ(curve(kPhaseCurve0 + 9)[751], 196.0f) << "phase slot 9 takes entry 0's colour";
    EXPECT_EQ(settings().splSlot, 0);
    run("scroll main 1058 thumbposition 4\nscroll main 1058 endscroll\nscroll main 1057 top\n");
    EXPECT_EQ(settings().splSlot, 0) << "thumb, end and top codes hand nothing over";
    run("scroll main 1058 pageup\n");
    EXPECT_EQ(settings().splSlot, 1);
    run("scroll main 1045 endscroll\n");
    EXPECT_EQ(settings().splSlot, 1) << "the end of a scroll changes nothing";
}

TEST(BalloonTrailer, FallsBackToTheMeasurementSettingsInitialValues)
{
    const MlsSettings initial;
    EXPECT_EQ(kInitialBalloonTrailer, (BalloonTrailer{initial.windowTypeIndex, initial.rateIndex, initial.smoothingIndex,
                                                      initial.fftWindowPosition, initial.fromIndex, initial.toIndex, 0}));
    EXPECT_EQ(kWindowTypeCount, static_cast<int>(kWindowTypeTexts.size()));
    EXPECT_EQ(kRateCount, static_cast<int>(kRateTexts.size()));
    EXPECT_EQ(kSmoothingCount, static_cast<int>(kSmoothingTexts.size()));
}

#ifdef VANTREL_CLI
TEST_F(BalloonFiles, AcceptanceThroughTheRealCli)
{
    const std::string b = file("b.BAL").string(), c = file("c.BAL").string();
    const std::string out = runCliSession(dir_.path(), "",
                                          "file \"" + b + "\"\\npress main 1036\\nfile \"" + b + "\"\\npress main 1037\\n" +
                                              "file \"" + c + "\"\\npress main 1036\\nanswer yes\\nclose main\\n");
    EXPECT_NE(out.find("title \"Vantrel - " + b + "\""), std::string::npos) << out;
    EXPECT_EQ(fs::file_size(b), 16'647'072u);
    EXPECT_TRUE(readAll(b) == readAll(c));
}
#endif

} // namespace
