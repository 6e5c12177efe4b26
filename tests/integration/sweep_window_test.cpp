// "Log Sweep" in the measurement window, driven by control id on the simulated rig with its
// polynomial: the sweep is played and measured, its harmonics land in the distortion balloon,
// and a running sequence leaves the choice alone.

#include <gtest/gtest.h>

#include <cmath>

#include "integration/session_fixture.h"
#include "mls/measurement_window.h"

using namespace vantrel;
using namespace vantrel::testing;

TEST(SweepWindow, MeasuresWithTheSweepAndKeepsItsHarmonics)
{
    TempDir dir;
    SimFaults rig;
    rig.nonlinearA2 = 0.05;
    Session session(dir.path(), true, rig);
    const auto run = [&](const std::string& script) {
        const SessionRun r = session.run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    };
    run("press main 1038\npress measure 20030\nselect measure 10003 3\n");
    HeadlessWindow& w = *session.platform().window("measure");
    EXPECT_FALSE(w.isChecked(20040)) << "the MLS is the initial choice";
    EXPECT_EQ(w.text(20041), "10");
    EXPECT_EQ(w.text(20042), "");
    run("press measure 20040\ntype measure 20041 \"20\"\nenter measure 20041\n");
    EXPECT_TRUE(session.main().excitation().sweep);
    EXPECT_EQ(session.main().excitation().f1Hz, 20.0);

    const SessionRun measured = run("press measure 10007\nwait 8000\n");
    EXPECT_NE(measured.events.find("title \"Log Sweep 20 Hz .. 24000 Hz"), std::string::npos) << measured.events;
    run("press measure 10009\n");
    const DistortionBalloon* d = session.main().distortion();
    ASSERT_NE(d, nullptr);
    const AngleGrid grid = session.main().angleGrid();
    const int row = rowForAngle(session.main().sequence().currentVAngle, grid);
    const int column = columnForAngle(session.main().sequence().currentHAngle, grid);
    ASSERT_TRUE(d->measured(row, column));
    int k = 0;
    while (session.main().axis()[k] < 1000)
        ++k;
    // a2 A / 2 at volume 10: -52 dB, through a flat stretch of the loudspeaker at 1 and 2 kHz.
    EXPECT_TRUE(d->aboveNoise(row, column, DistortionQuantity::h2, k));
    EXPECT_NEAR(d->value(row, column, DistortionQuantity::h2, k), 20 * std::log10(0.05 * 0.0994 / 2), 1.5);

    // A running sequence keeps the excitation it started with.
    session.main().sequence().sequenceRunning = 1;
    run("press measure 20040\ntype measure 20041 \"500\"\n");
    EXPECT_TRUE(session.main().excitation().sweep);
    EXPECT_TRUE(w.isChecked(20040));
    EXPECT_EQ(w.text(20041), "20");
    session.main().sequence().sequenceRunning = 0;
}

TEST(SweepWindow, TheBandTakesWholeHertzWhenItsEditIsFinishedAndRefusesAnyOtherTextWhole)
{
    TempDir dir;
    Session session(dir.path(), true);
    const auto run = [&](const std::string& script) {
        const SessionRun r = session.run(script);
        EXPECT_FALSE(r.error) << r.error->line << ": " << r.error->message;
        return r;
    };
    run("press main 1038\n");
    const HeadlessWindow& w = *session.platform().window("measure");
    const ExcitationSettings& e = session.main().excitation();
    struct Case {
        int edit;
        const char* typed;
        double f1Hz, f2Hz; // in effect after the edit (f2 0: the Nyquist frequency)
        bool refused;
    };
    for (const Case& c : {Case{20041, "1,5e3x", 10, 0, true}, Case{20042, "abc", 10, 0, true}, Case{20041, "abc", 10, 0, true},
                          Case{20041, "", 10, 0, true}, Case{20041, "0", 10, 0, true}, Case{20041, "-20", 10, 0, true},
                          Case{20041, "025", 25, 0, false}, Case{20042, "20000", 25, 20000, false},
                          Case{20042, "2e4", 25, 20000, true}, Case{20042, "20000.5", 25, 20000, true},
                          Case{20042, "", 25, 0, false}}) {
        const double f1 = e.f1Hz, f2 = e.f2Hz;
        run("type measure " + std::to_string(c.edit) + " \"" + c.typed + "\"\n");
        EXPECT_EQ(e.f1Hz, f1) << c.typed << ": nothing half-typed is in effect";
        EXPECT_EQ(e.f2Hz, f2) << c.typed;
        const SessionRun r = run("enter measure " + std::to_string(c.edit) + "\n");
        EXPECT_EQ(e.f1Hz, c.f1Hz) << c.typed;
        EXPECT_EQ(e.f2Hz, c.f2Hz) << c.typed;
        EXPECT_EQ(r.find(std::string("\\\"") + c.typed + "\\\" is no sweep") != -1, c.refused) << c.typed << r.events;
        // The edits show the band in effect.
        EXPECT_EQ(w.text(20041), std::to_string(static_cast<int>(c.f1Hz))) << c.typed;
        EXPECT_EQ(w.text(20042), c.f2Hz > 0 ? std::to_string(static_cast<int>(c.f2Hz)) : "") << c.typed;
    }
}
