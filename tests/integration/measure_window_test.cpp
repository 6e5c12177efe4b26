// The "MLS Measurement" window driven by control id through the session harness: stored and
// live measurements on the simulated rig, the curve slots and balloon cells they fill, the
// refusals, the controls a running sequence locks, and the window's own lifecycle.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

#include "app/simulated_recording.h"
#include "integration/session_fixture.h"
#include "mls/measurement_window.h"
#include "mls/mls_plots.h"
#include "platform/sim/sim_audio.h"

using namespace vantrel;
using namespace vantrel::testing;

namespace {

bool recordOnSimulatedRig(const std::string& path, double h, double v, int order)
{
    return !vantrel::recordOnSimulatedRig({h, v, order, 5}, path);
}

class MeasureWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        recordings_ = std::make_unique<TempDir>();
        ASSERT_TRUE(recordOnSimulatedRig(recording(), 0, 0, 16));
    }
    static void TearDownTestSuite() { recordings_.reset(); }
    static std::string recording() { return (recordings_->path() / "axis.RES").string(); }

    void SetUp() override
    {
        session_ = std::make_unique<Session>(dir_.path(), true);
        open();
    }

    SessionRun run(const std::string& script)
    {
        SessionRun r = session_->run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    }
    void open() { run("press main 1038\n"); }
    HeadlessWindow& window() { return *session_->platform().window("measure"); }
    MainWindow& main() { return session_->main(); }
    MlsSettings& settings() { return main().settings(); }
    Curve& curve(int c) { return main().curves()[static_cast<std::size_t>(c)]; }
    MeasurementWindow& measurement() { return *main().measurementDialog(); }
    SessionRun importRecording(const std::string& path) { return run("file \"" + path + "\"\npress measure 10007\n"); }

    TempDir dir_;
    std::unique_ptr<Session> session_;
    static std::unique_ptr<TempDir> recordings_;
};

std::unique_ptr<TempDir> MeasureWindow::recordings_;

std::string quotedMessage(const std::string& caption, const std::string& icon, const std::string& text)
{
    return "message measure \"" + caption + "\" " + icon + " \"" + text + "\" -> ok";
}

} // namespace

TEST_F(MeasureWindow, OpensOnceFromTheSettingsAndComesForwardWhenPressedAgain)
{
    HeadlessWindow& w = window();
    EXPECT_EQ(w.title(), "MLS Measurement");
    EXPECT_EQ(w.listItem(10004, w.listSelection(10004)), "48000");
    EXPECT_EQ(w.listItem(10003, w.listSelection(10003)), "262143");
    EXPECT_EQ(w.listItem(10011, w.listSelection(10011)), "1/24 oct");
    EXPECT_EQ(w.listCount(20024), 10);
    EXPECT_EQ(w.listCount(20025), 8);
    EXPECT_EQ(w.text(10012), "30000");
    EXPECT_EQ(w.text(10015), "625.000");
    EXPECT_EQ(w.text(20005), "Output = -20.0dB (10%)");
    EXPECT_EQ(w.text(20011), "FFT Window = 0 ");
    EXPECT_EQ(w.text(20013), "Pre-emphasis OFF");
    EXPECT_TRUE(w.isChecked(20030));
    EXPECT_TRUE(w.isChecked(10016));
    EXPECT_FALSE(w.isChecked(20038));
    EXPECT_EQ(w.listItem(20026, 0), "Simulated Rig,  ID: 0");
    EXPECT_EQ(curve(kTimeWindowCurve)[752], 1.0f);

    run("press main 1038\n");
    EXPECT_EQ(&window(), &w) << "the open window is reused";

    run("close measure\n");
    EXPECT_EQ(session_->platform().window("measure"), nullptr);
    EXPECT_EQ(main().measurementDialog(), nullptr);
    open();
    ASSERT_NE(main().measurementDialog(), nullptr);
}

TEST_F(MeasureWindow, StoredRecordingGivesBothImpulseResponsesAndIrToSplStoresSlotAndCell)
{
    main().sequence().currentHAngle = 30;
    main().sequence().currentVAngle = -45;
    const SessionRun r = importRecording(recording());
    EXPECT_NE(r.find("file-dialog measure open"), -1);
    EXPECT_GT(measurement().engine().refDelay(), 0);
    EXPECT_GT(measurement().engine().inDelay(), measurement().engine().refDelay());
    EXPECT_EQ(curve(kRefImpulseCurve)[752], 1.0f);
    EXPECT_EQ(curve(kInImpulseCurve)[752], 1.0f);
    EXPECT_EQ(curve(kInImpulseCurve)[753], 164.0f) << "IN takes entry 16";
    EXPECT_EQ(curve(kRefImpulseCurve)[755], 164.0f) << "REF takes entry 17";
    EXPECT_EQ(window().listItem(10003, window().listSelection(10003)), "65535") << "the file's MLS length";
    EXPECT_EQ(window().listItem(10004, window().listSelection(10004)), "48000") << "the file's rate";
    EXPECT_EQ(settings().mlsLengthIndex, 3);
    EXPECT_EQ(curve(0)[750], 0.0f) << "no response before IR -> SPL outside a sequence";

    const SessionRun spl = run("press measure 10009\n");
    EXPECT_NE(spl.find("stored 27 6"), -1) << spl.events;
    EXPECT_EQ(curve(0)[750], 1.0f);
    EXPECT_EQ(curve(10)[750], 1.0f);
    EXPECT_EQ(settings().splSlot, 1);
    const ComplexBin bin = main().matrix().cell(27, 6)[300];
    const float level = 10 * std::log10(bin.re * bin.re + bin.im * bin.im) + 90;
    EXPECT_NEAR(level, curve(0)[300] + 90, 0.01);
    EXPECT_EQ(main().matrix().cell(18, 0)[300].re, 0.0f) << "only the cell of the current angles";
}

TEST_F(MeasureWindow, ImportTakesTheRateOfTheFileOverTheListsSelection)
{
    run("select measure 10004 6\n");
    ASSERT_EQ(settings().rateIndex, 6);
    importRecording(recording());
    EXPECT_EQ(settings().rateIndex, 5);
    EXPECT_EQ(window().listSelection(10004), 5);
}

TEST_F(MeasureWindow, ResultAtTheLowerPoleOnTheFiveDegreeGridFillsASlotButNoCell)
{
    main().sequence().currentVAngle = -90;
    main().sequence().currentHAngle = 0;
    importRecording(recording());
    const SessionRun r = run("press measure 10009\n");
    EXPECT_EQ(r.find("stored"), -1) << r.events;
    EXPECT_EQ(r.find("message"), -1) << r.events;
    EXPECT_EQ(curve(0)[750], 1.0f);
    EXPECT_EQ(curve(10)[750], 1.0f);
    EXPECT_EQ(settings().splSlot, 1);
    for (int c : {0, 36, 72})
        EXPECT_EQ(main().matrix().cell(36, c)[300].re, 0.0f) << c;
}

TEST_F(MeasureWindow, InvertChecksShowTheSignOfEachChannel)
{
    run("press measure 20038\n");
    EXPECT_EQ(settings().inPolarity, -1);
    EXPECT_TRUE(window().isChecked(20038));
    EXPECT_EQ(settings().refPolarity, 1);
    EXPECT_FALSE(window().isChecked(20039));
    run("press measure 20039\npress measure 20038\n");
    EXPECT_EQ(settings().inPolarity, 1);
    EXPECT_FALSE(window().isChecked(20038));
    EXPECT_EQ(settings().refPolarity, -1);
    EXPECT_TRUE(window().isChecked(20039));

    // Reopened, the marks follow the settings again.
    run("close measure\n");
    open();
    EXPECT_FALSE(window().isChecked(20038));
    EXPECT_TRUE(window().isChecked(20039));
}

TEST_F(MeasureWindow, EleventhResultReusesSlotZeroWithEntryZerosColour)
{
    importRecording(recording());
    for (int i = 0; i < 10; ++i)
        run("press measure 10009\n");
    EXPECT_EQ(curve(9)[751], 128.0f) << "slot 9 has entry 9's colour";
    EXPECT_EQ(curve(19)[751], 196.0f) << "phase slot 9 has entry 0's colour";
    EXPECT_EQ(curve(11)[752], 0.0f) << "phase slot 1 has entry 2's colour";
    EXPECT_EQ(curve(11)[753], 196.0f);
    for (int slot : {0, 9})
        EXPECT_EQ(curve(slot)[754], 2.0f) << "every SPL curve has entry 0's width";
    EXPECT_EQ(settings().splSlot, 0);

    curve(0)[751] = 1; // the eleventh result has to write the colour again
    curve(0)[5] = 1234;
    run("press measure 10009\n");
    EXPECT_EQ(curve(0)[751], 196.0f);
    EXPECT_EQ(curve(0)[752], 0.0f);
    EXPECT_NE(curve(0)[5], 1234.0f);
    EXPECT_EQ(settings().splSlot, 1);

    run("press measure 10008\n");
    for (int c = 0; c < 20; ++c)
        EXPECT_EQ(curve(c)[750], 0.0f) << c;
    EXPECT_EQ(settings().splSlot, 0);
    EXPECT_EQ(settings().phaseSlot, 0);
}

TEST_F(MeasureWindow, WithoutSlotColoursEveryResultTakesTheFirstTwoEntries)
{
    settings().slotColours = 0;
    importRecording(recording());
    for (int i = 0; i < 3; ++i)
        run("press measure 10009\n");
    for (int slot : {0, 2}) {
        EXPECT_EQ(curve(slot)[751], 196.0f) << slot;
        EXPECT_EQ(curve(slot)[753], 0.0f) << slot;
        EXPECT_EQ(curve(10 + slot)[751], 0.0f) << slot;
        EXPECT_EQ(curve(10 + slot)[752], 164.0f) << slot;
        EXPECT_EQ(curve(10 + slot)[754], 1.0f) << "phase curves take entry 1's width";
    }
}

TEST_F(MeasureWindow, RefusedFilesLeaveNoImpulseResponse)
{
    importRecording(recording());
    ASSERT_GT(measurement().engine().refDelay(), 0);

    const std::string wrong = (dir_.path() / "wrong.res").string();
    {
        std::ofstream out(wrong, std::ios::binary);
        const std::vector<char> bytes(2108008, '1');
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    SessionRun r = importRecording(wrong);
    EXPECT_NE(r.find(quotedMessage("MLS Control", "warning", "Accepting 24bit files only")), -1) << r.events;
    r = run("press measure 10009\n");
    EXPECT_NE(r.find("\"Please Generate Impulse Response First\""), -1) << r.events;
    EXPECT_EQ(r.find("stored"), -1);

    const std::string missing = (dir_.path() / "missing.Res").string();
    r = importRecording(missing);
    EXPECT_NE(r.find("message measure \"Unable To Open\" warning \"" + missing + "\""), -1) << r.events;
}

TEST_F(MeasureWindow, FileNameRulesForTheImport)
{
    // Any case of ".res" is read.
    const std::string mixed = (dir_.path() / "copy.rEs").string();
    std::filesystem::copy_file(recording(), mixed);
    importRecording(mixed);
    EXPECT_GT(measurement().engine().refDelay(), 0);

    // Cancel keeps the last name (a .res): nothing is computed and the responses are dropped.
    SessionRun r = run("file cancel\npress measure 10007\n");
    EXPECT_EQ(measurement().engine().refDelay(), 0);
    r = run("press measure 10009\n");
    EXPECT_NE(r.find("Please Generate Impulse Response First"), -1);

    // Another name reads nothing and recomputes from the signals held: no message, no file read.
    settings().mlsLengthIndex = 0;
    r = run("file \"" + (dir_.path() / "notes.txt").string() + "\"\npress measure 10007\n");
    EXPECT_EQ(r.find("message"), -1) << r.events;
    EXPECT_EQ(settings().mlsLengthIndex, 0) << "no file was read";
}

TEST_F(MeasureWindow, RateOutsideFortyEightAndNinetySixKilohertzIsRefusedAndStopsTheSequenceTimer)
{
    run("select measure 10004 4\n");
    EXPECT_EQ(settings().rateIndex, 4);
    main().host().startTimer(kMeasureTimerId, 8000);
    const SessionRun r = run("press measure 10007\nwait 9000\n");
    EXPECT_NE(r.find("timer main 7000 kill"), -1) << r.events;
    EXPECT_NE(r.find(quotedMessage("MLS Control", "information", "Allowed Sampling Rates Are 48kHz and 96kHz")), -1);
    EXPECT_EQ(r.find("timer main 7000 fire"), -1);
    EXPECT_EQ(r.find("audio start"), -1);
    EXPECT_EQ(r.find("file-dialog"), -1);
}

TEST_F(MeasureWindow, RunningSequenceLocksTheMeasurementSettingsOnly)
{
    main().sequence().sequenceRunning = 1;
    const MlsSettings before = settings();
    run("select measure 10003 0\nselect measure 10004 6\nselect measure 10005 2\nselect measure 10011 0\n"
        "type measure 10012 \"100\"\ntype measure 10015 \"1\"\ntype measure 10013 \"20\"\ntype measure 10010 \"6\"\n"
        "type measure 20031 \"50\"\ntype measure 20032 \"1\"\ntype measure 20033 \"2\"\n"
        "press measure 10014\npress measure 10016\npress measure 20034\npress measure 20038\npress measure 20039\n");
    const MlsSettings& s = settings();
    EXPECT_EQ(s.mlsLengthIndex, before.mlsLengthIndex);
    EXPECT_EQ(s.rateIndex, before.rateIndex);
    EXPECT_EQ(s.windowTypeIndex, before.windowTypeIndex);
    EXPECT_EQ(s.smoothingIndex, before.smoothingIndex);
    EXPECT_EQ(s.windowWidthText, "30000");
    EXPECT_EQ(s.frontWindowText, before.frontWindowText);
    EXPECT_EQ(s.addDbText, before.addDbText);
    EXPECT_EQ(s.filterF3dbText, before.filterF3dbText);
    EXPECT_EQ(s.filterQText, before.filterQText);
    EXPECT_EQ(s.filterSlopeText, before.filterSlopeText);
    EXPECT_EQ(s.frontWindowOn, 0);
    EXPECT_EQ(s.showWindow, 1);
    EXPECT_EQ(s.useMatchedFilter, 0);
    EXPECT_EQ(s.inPolarity, 1);
    EXPECT_EQ(s.refPolarity, 1);
    HeadlessWindow& w = window();
    EXPECT_FALSE(w.isChecked(20038)) << "the ignored click is taken back";
    EXPECT_TRUE(w.isChecked(10016));
    EXPECT_EQ(w.text(10012), "30000");
    EXPECT_EQ(w.listSelection(10004), 5);

    run("press measure 20029\npress measure 20030\npress measure 20023\npress measure 20035\n"
        "type measure 10022 \"100\"\nselect measure 20026 0\n");
    EXPECT_EQ(s.showPhase, 0);
    EXPECT_EQ(s.useSavedIr, 0);
    EXPECT_EQ(s.twoChannels, 0);
    EXPECT_EQ(s.useCalibration, 1);
    EXPECT_EQ(w.text(20013), "Pre-emphasis ON");

    // Run MLS stays live: inside a sequence the recording goes straight on to the balloon.
    run("press measure 20030\n");
    SessionRun r = importRecording(recording());
    EXPECT_NE(r.find("stored 18 0"), -1) << r.events;
    EXPECT_EQ(s.splSlot, 1);

    // So do IR -> SPL and Clear SPL; the frequency scale is held, since a new axis would put
    // two axes into one balloon.
    r = run("press measure 10009\n");
    EXPECT_NE(r.find("stored 18 0"), -1) << r.events;
    EXPECT_EQ(s.splSlot, 2);
    run("press measure 10008\n");
    EXPECT_EQ(s.splSlot, 0);
    EXPECT_EQ(curve(0)[750], 0.0f);
    r = run("dblclick measure 20025 5\n");
    EXPECT_EQ(s.toIndex, 6);
    EXPECT_EQ(w.listSelection(20025), 6);
    EXPECT_NE(r.find("beep"), -1) << r.events;
    EXPECT_EQ(r.find("stored"), -1);
}

TEST_F(MeasureWindow, ASecondRunWhileRecordingIsRefusedBeforeTheBuffersAreTouched)
{
    run("select measure 10003 3\npress measure 20030\npress measure 10007\nwait 500\n");
    const auto play = measurement().engine().playBuffer();
    const std::vector<std::int32_t> playing(play.begin(), play.end());
    const std::string title = window().title();
    const Curve timeWindow = curve(kTimeWindowCurve);

    // A second run with another length would regenerate a different sequence into the buffer.
    const SessionRun second = run("select measure 10003 0\npress measure 10007\n");
    EXPECT_NE(second.find(quotedMessage("MLS Control", "warning", "Measurement still running")), -1) << second.events;
    EXPECT_EQ(second.find("audio start"), -1);
    EXPECT_TRUE(std::equal(play.begin(), play.end(), playing.begin())) << "the sound card is still playing from it";
    EXPECT_EQ(window().title(), title) << "no new sequence was generated";
    EXPECT_EQ(curve(kTimeWindowCurve), timeWindow);

    // The first recording still arrives whole and measures the rig.
    const SessionRun done = run("select measure 10003 3\nwait 7000\npress measure 10009\n");
    ASSERT_NE(done.find("stored 18 0"), -1) << done.events;
    EXPECT_EQ(done.find("message"), -1) << done.events;
    EXPECT_GT(main().matrix().cellLevel(18, 0, 400), 10.0f);
}

TEST_F(MeasureWindow, LiveMeasurementOnTheSimulatedRigMatchesTheLoudspeakerModel)
{
    SessionRun r = run("press measure 20030\npress measure 10007\n");
    EXPECT_NE(r.find("audio start 48000 18"), -1);
    EXPECT_NE(window().title().find("Length = 262143"), std::string::npos);
    r = run("wait 7000\npress measure 10009\n");
    ASSERT_NE(r.find("stored 18 0"), -1) << r.events;

    // Level differences against 1 kHz, measured and modelled, across the band the 30000-sample
    // window resolves.
    const auto* audio = dynamic_cast<SimAudioSystem*>(&session_->devices().audio());
    ASSERT_NE(audio, nullptr);
    const FrequencyAxis& axis = main().axis();
    const auto db = [](std::complex<double> t) { return 20 * std::log10(std::abs(t)); };
    int k1 = 0;
    while (axis[k1] < 1000)
        ++k1;
    const auto cell = main().matrix().cell(18, 0);
    const auto measured = [&](int i) {
        return 10 * std::log10(static_cast<double>(cell[static_cast<std::size_t>(i)].re) * cell[static_cast<std::size_t>(i)].re +
                               static_cast<double>(cell[static_cast<std::size_t>(i)].im) * cell[static_cast<std::size_t>(i)].im);
    };
    double worst = 0;
    int compared = 0;
    for (int i = 0; i < kAxisPoints; ++i) {
        if (axis[i] < 100 || axis[i] > 15000)
            continue;
        const double model = db(audio->inTransfer(axis[i], 0, 0)) - db(audio->inTransfer(axis[k1], 0, 0));
        worst = std::max(worst, std::abs(measured(i) - measured(k1) - model));
        ++compared;
    }
    EXPECT_GT(compared, 300);
    EXPECT_LT(worst, 0.5);
}

TEST_F(MeasureWindow, WidthAndTimeFollowEachOther)
{
    run("type measure 10015 \"625\"\n");
    EXPECT_EQ(window().text(10012), "30001");
    EXPECT_EQ(settings().windowWidthText, "30001");
    run("type measure 10012 \"4800\"\n");
    EXPECT_EQ(window().text(10015), "100.000");
    EXPECT_EQ(settings().windowTimeText, "100.000");
    run("type measure 10012 \"123456789012\"\n");
    EXPECT_EQ(settings().windowWidthText, "123456789") << "an edit gives at most 9 characters";

    // MLS 8191 cannot hold a 30000-sample window.
    run("type measure 10012 \"30000\"\n");
    importRecording(recording());
    run("select measure 10003 0\n");
    EXPECT_EQ(settings().mlsOrder(), 13);
    const SessionRun spl = run("press measure 10009\n");
    EXPECT_NE(spl.find("\"Please reduce Timw Window Length\""), -1) << spl.events;
}

TEST_F(MeasureWindow, ScrollBarsMoveVolumeAndWindowPosition)
{
    run("scroll measure 10006 top\n");
    EXPECT_EQ(window().text(20005), "Output = -140.0dB (0%)");
    run("scroll measure 10006 bottom\n");
    EXPECT_EQ(window().text(20005), "Output = 0.0dB (100%)");
    run("scroll measure 10006 pagedown\n");
    EXPECT_EQ(settings().outputVolume, 100);

    run("scroll measure 10021 bottom\n");
    EXPECT_EQ(settings().fftWindowPosition, 200);
    EXPECT_EQ(window().scrollPos(10021), 200);
    EXPECT_EQ(window().text(20011), "FFT Window = 200 ");
    run("scroll measure 10021 thumbtrack 399\nscroll measure 10021 linedown\nscroll measure 10021 linedown\n");
    EXPECT_EQ(settings().fftWindowPosition, 400);
    run("scroll measure 10021 pageup\n");
    EXPECT_EQ(settings().fftWindowPosition, 390);
}

TEST_F(MeasureWindow, FrequencyScaleChangesOnDoubleClickAndRefusesAnEmptyRange)
{
    importRecording(recording());
    run("press measure 10009\n");
    run("select measure 20024 5\n");
    EXPECT_EQ(settings().fromIndex, 3) << "a single click changes nothing";

    SessionRun r = run("dblclick measure 20024 8\n");
    EXPECT_EQ(settings().fromIndex, 8);
    EXPECT_NEAR(main().axis().from(), 500.0, 1e-9);
    EXPECT_NE(r.find("stored 18 0"), -1) << "the response is recomputed on the new axis";
    EXPECT_EQ(settings().splSlot, 1) << "slots restart";

    r = run("dblclick measure 20025 0\n");
    EXPECT_NE(r.find("message measure \"MLS Control\" warning"), -1) << r.events;
    EXPECT_EQ(settings().toIndex, 6);
    EXPECT_EQ(window().listSelection(20025), 6);
    EXPECT_NEAR(main().axis().to(), 50000.0, 1e-9);
    EXPECT_EQ(r.find("stored"), -1);
}

TEST_F(MeasureWindow, CreateOpensTheCalibrationWindowAndClosingTakesItAlong)
{
    run("press measure 20036\n");
    ASSERT_NE(session_->platform().window("calibration"), nullptr);
    run("press calibration 1\n"); // Show previews the curve in the SPL plot
    EXPECT_EQ(curve(kCalibrationLevelCurve)[750], 1.0f);
    run("close measure\n");
    EXPECT_EQ(session_->platform().window("calibration"), nullptr);
    EXPECT_EQ(session_->platform().window("measure"), nullptr);
}

TEST_F(MeasureWindow, ClosingDuringARecordingAbandonsIt)
{
    run("press measure 20030\npress measure 10007\nclose measure\n");
    const SessionRun r = run("wait 8000\n");
    EXPECT_EQ(r.find("stored"), -1);
    EXPECT_EQ(r.find("capture-done"), -1) << r.events;
    open();
    const SessionRun again = run("press measure 10007\nwait 7000\npress measure 10009\n");
    EXPECT_NE(again.find("stored 18 0"), -1) << again.events;
}

TEST_F(MeasureWindow, AcceptanceSessionStoresTheCellAndDrawsBothPlots)
{
    const std::string png = (dir_.path() / "m.png").string();
    const SessionRun r = run("press measure 20030\npress measure 10007\nwait 7000\npress measure 10009\nscreenshot measure \"" +
                             png + "\"\n");
    EXPECT_NE(r.find(" stored 18 0"), -1) << r.events;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    const auto coloured = [&](PlotRect area, QRgb colour) {
        int n = 0;
        for (int y = area.y; y < area.y + area.height; ++y)
            for (int x = area.x; x < area.x + 750; ++x)
                n += image.pixel(x, y) == colour;
        return n;
    };
    EXPECT_GT(coloured(kImpulsePlotRect, qRgb(164, 0, 0)), 200) << "IN impulse response";
    EXPECT_GT(coloured(kImpulsePlotRect, qRgb(0, 0, 164)), 200) << "REF impulse response";
    EXPECT_GT(coloured(kSplPlotRect, qRgb(196, 0, 0)), 700) << "SPL slot 0";
    EXPECT_GT(coloured(kSplPlotRect, qRgb(0, 164, 0)), 300) << "phase slot 0";
}
