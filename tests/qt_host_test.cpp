// The desktop host's controls behave as the window logic expects: radio buttons never mark
// themselves, scroll bars only report and wait for the logic to move them, list changes made by
// the logic do not echo back, and direct drawing survives until the next full repaint.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTest>
#include <array>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <unistd.h>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "mls/measurement_window.h"
#include "platform/qt/image_canvas.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"
#include "temp_dir.h"

using namespace vantrel;

namespace {

QApplication& app()
{
    prepareQtEnvironment();
    static int argc = 1;
    static char name[] = "qt_host_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's teardown at process exit runs after its own statics are gone.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

struct Recorder final : WindowClient {
    std::vector<std::pair<int, int>> commands;
    std::vector<std::tuple<int, ScrollCode, int>> scrolls;
    std::vector<int> timers;
    int paints = 0;
    void command(int id, int code) override { commands.emplace_back(id, code); }
    void scroll(int id, ScrollCode code, int position) override { scrolls.emplace_back(id, code, position); }
    void timer(int id) override { timers.push_back(id); }
    void paint(Canvas& canvas) override
    {
        ++paints;
        canvas.setBrush({{0, 0, 255}, false});
        canvas.setPen({{0, 0, 255}, 1, PenStyle::Solid});
        canvas.rectangle(0, 0, 10, 10);
    }
};

constexpr std::array<ControlSpec, 4> kControls{{
    {1, ControlKind::RadioButton, "Radio", 10, 10, 100, 20},
    {2, ControlKind::CheckBox, "Check", 10, 40, 100, 20},
    {3, ControlKind::HScrollBar, "", 10, 70, 200, 16, 0, 100},
    {4, ControlKind::ListBox, "", 10, 100, 100, 80},
}};
constexpr WindowSpec kLayout{"test", "Test", 300, 200, {158, 194, 216}, kControls};

} // namespace

TEST(QtHost, ControlsReportAndLeaveTheirStateToTheLogic)
{
    app();
    QtPlatform platform;
    Recorder client;
    auto& host = static_cast<QtWindow&>(platform.createWindow(kLayout, client, nullptr, false));

    auto* radio = host.findChild<QRadioButton*>();
    ASSERT_NE(radio, nullptr);
    radio->click();
    EXPECT_FALSE(radio->isChecked()) << "a radio button does not mark itself";
    ASSERT_EQ(client.commands.size(), 1u);
    EXPECT_EQ(client.commands[0], std::make_pair(1, kNotifyClicked));
    host.setCheck(1, true);
    EXPECT_TRUE(host.isChecked(1));

    auto* check = host.findChild<QCheckBox*>();
    check->click();
    EXPECT_TRUE(host.isChecked(2)) << "a check box toggles itself before reporting";
    EXPECT_EQ(client.commands.back(), std::make_pair(2, kNotifyClicked));

    auto* bar = host.findChild<QScrollBar*>();
    host.setScrollPos(3, 40);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(host.scrollPos(3), 40) << "the bar waits for the logic to move it";
    ASSERT_EQ(client.scrolls.size(), 3u);
    EXPECT_EQ(std::get<1>(client.scrolls[0]), ScrollCode::LineDown);
    EXPECT_EQ(std::get<2>(client.scrolls[0]), 41);
    EXPECT_EQ(std::get<1>(client.scrolls[1]), ScrollCode::PageUp);
    EXPECT_EQ(std::get<1>(client.scrolls[2]), ScrollCode::Bottom);
    host.setScrollPos(3, 500);
    EXPECT_EQ(host.scrollPos(3), 100) << "positions are clamped to the range";

    client.commands.clear();
    host.insertListItem(4, -1, "COM1");
    host.insertListItem(4, -1, "COM2");
    host.setListSelection(4, 1);
    EXPECT_TRUE(client.commands.empty()) << "the logic's own changes do not echo back";
    EXPECT_EQ(host.listSelection(4), 1);
    EXPECT_EQ(host.listCaret(4), 1);
    host.findChild<QListWidget*>()->setCurrentRow(0);
    ASSERT_EQ(client.commands.size(), 1u);
    EXPECT_EQ(client.commands[0], std::make_pair(4, kNotifySelChange));
    EXPECT_EQ(host.listCaret(4), 0);
    host.destroy();
}

TEST(QtHost, AListClickTheLogicRefusesLeavesTheLogicsRowSelected)
{
    app();
    QtPlatform platform;
    struct Refuser final : WindowClient {
        WindowHost* host = nullptr;
        int refusals = 0;
        void command(int id, int) override
        {
            if (id == 4 && host) {
                host->setListSelection(4, 1);
                ++refusals;
            }
        }
    } client;
    auto& host = static_cast<QtWindow&>(platform.createWindow(kLayout, client, nullptr, false));
    for (const char* item : {"48000", "44100", "96000"})
        host.insertListItem(4, -1, item);
    host.setListSelection(4, 1);
    client.host = &host;
    auto* list = host.findChild<QListWidget*>();
    for (const int row : {0, 2}) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        QTest::qWait(20);
        EXPECT_EQ(host.listSelection(4), 1) << "clicked " << row;
        EXPECT_EQ(host.listCaret(4), 1);
        ASSERT_EQ(list->selectedItems().size(), 1);
        EXPECT_EQ(list->row(list->selectedItems().front()), 1) << "what the list shows";
    }
    EXPECT_EQ(client.refusals, 2);
    host.destroy();
}

TEST(QtHost, TimersFireUntilKilledAndDirectDrawingPersists)
{
    app();
    QtPlatform platform;
    Recorder client;
    auto& host = static_cast<QtWindow&>(platform.createWindow(kLayout, client, nullptr, false));
    host.repaintNow();
    EXPECT_GE(client.paints, 1);
    Canvas& c = host.surface();
    c.setBrush({{255, 0, 0}, false});
    c.setPen({{255, 0, 0}, 1, PenStyle::Solid});
    c.rectangle(250, 150, 260, 160);
    QApplication::processEvents();
    const QImage shown = host.grab().toImage();
    EXPECT_EQ(shown.pixel(255, 155), qRgb(255, 0, 0)) << "drawing outside a paint stays on screen";
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 0, 255));

    host.startTimer(7, 5);
    QTest::qWait(60);
    host.killTimer(7);
    const auto fired = client.timers.size();
    EXPECT_GE(fired, 2u) << "window timers repeat until killed";
    QTest::qWait(30);
    EXPECT_EQ(client.timers.size(), fired);
    host.destroy();
}

// Ctrl+wheel over a picture zooms instead of scrolling, a notch a step, a touchpad's half
// notches adding up; the keys of a Shortcut control reach the logic as its click.
TEST(QtHost, CtrlWheelOverPictureTabsAndShortcutKeysReportToTheLogic)
{
    app();
    constexpr std::array<ControlSpec, 2> controls{{
        {9, ControlKind::PictureTabs, "", 0, 0, 300, 200},
        {5, ControlKind::Shortcut, "Ctrl++"},
    }};
    const WindowSpec layout{"tabs", "Tabs", 300, 200, {236, 236, 236}, controls};
    QtPlatform platform;
    Recorder client;
    auto& host = static_cast<QtWindow&>(platform.createWindow(layout, client, nullptr, false));
    host.setPictureTabs(9, {{"One", {{200, 900, [](Canvas&) {}}}, "text"}});
    host.show();
    QTest::qWait(20); // the layouts settle
    auto* area = host.findChild<QScrollArea*>();
    ASSERT_NE(area, nullptr);
    const auto wheel = [&](int delta, Qt::KeyboardModifiers keys) {
        QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                          Qt::NoScrollPhase, false);
        // Qt passes only a real wheel on from the picture to the viewport under it.
        QApplication::sendEvent(area->viewport(), &event);
    };
    struct Turn {
        int delta;
        Qt::KeyboardModifiers keys;
        std::vector<std::pair<int, int>> reported;
    };
    const std::vector<Turn> turns = {
        {120, Qt::ControlModifier, {{9, kNotifyZoomIn}}},
        {-240, Qt::ControlModifier, {{9, kNotifyZoomOut}, {9, kNotifyZoomOut}}},
        {60, Qt::ControlModifier, {}},
        {60, Qt::ControlModifier, {{9, kNotifyZoomIn}}},
        {-120, Qt::NoModifier, {}},
    };
    for (const Turn& t : turns) {
        client.commands.clear();
        const int scrolled = area->verticalScrollBar()->value();
        wheel(t.delta, t.keys);
        EXPECT_EQ(client.commands, t.reported) << t.delta;
        if (t.keys == Qt::ControlModifier) {
            EXPECT_EQ(area->verticalScrollBar()->value(), scrolled) << "Ctrl+wheel does not scroll";
        }
    }
    EXPECT_GT(area->verticalScrollBar()->value(), 0) << "the plain wheel still scrolls";

    client.commands.clear();
    host.activateWindow();
    QTest::keyClick(&host, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(client.commands, (std::vector<std::pair<int, int>>{{5, kNotifyClicked}}));
    host.destroy();
}

TEST(QtHost, ScreenshotOfTheMainWindowShowsBackgroundAndLegend)
{
    vantrel::testing::TempDir dir;
    const std::string command = "cd '" + dir.path().string() + "' && QT_QPA_PLATFORM=offscreen '" VANTREL_TEST_BINARY_DIR
                                "/vantrel' --screenshot shot.png > out.txt 2> err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    QImage shot((dir.path() / "shot.png").string().c_str());
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.width(), 1210);
    EXPECT_EQ(shot.height(), 790);
    EXPECT_EQ(shot.pixel(1130, 694), qRgb(0, 0, 128));
    EXPECT_EQ(shot.pixel(1159, 708), qRgb(0, 0, 128));
    EXPECT_EQ(shot.pixel(1200, 780), qRgb(158, 194, 216));
    std::FILE* err = std::fopen((dir.path() / "err.txt").string().c_str(), "r");
    ASSERT_NE(err, nullptr);
    char line[256] = {};
    std::string text;
    while (std::fgets(line, sizeof line, err))
        text += line;
    std::fclose(err);
    EXPECT_NE(text.find("Unable To OPEN Preferences File"), std::string::npos) << "message boxes are printed";
}

// Everything the user saw is in the log, in the harness's line form: `vantrel --log`.
TEST(QtHost, TheEventLogHoldsMessageBoxesAndFileDialogs)
{
    app();
    vantrel::testing::TempDir dir;
    const std::string logPath = (dir.path() / "log.txt").string();
    std::fflush(stderr);
    const int saved = ::dup(2);
    std::FILE* log = std::fopen(logPath.c_str(), "w");
    ASSERT_NE(log, nullptr);
    ::dup2(::fileno(log), 2);
    {
        QtPlatformOptions options;
        options.logEvents = true;
        options.autoAnswer = true;
        QtPlatform platform(options);
        DeviceSet devices(true, platform.clock(), platform.log());
        auto main = MainWindow::start(platform, devices.devices(), dir.path().string());
        ASSERT_NE(main, nullptr);
        main->command(1038, kNotifyClicked);
        ASSERT_NE(main->measurementDialog(), nullptr);
        main->measurementDialog()->command(10007, kNotifyClicked); // "Saved IR" asks for a recording
        main->closeRequested();
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(log);
    std::string text;
    if (std::FILE* f = std::fopen(logPath.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f))
            text += line;
        std::fclose(f);
    }
    EXPECT_NE(text.find(" message main \"Karvell\" warning \"Unable To OPEN Preferences File\" -> ok\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find(" file-dialog measure open cancel\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" message main \"Karvell\" question \"Last chance to save data !"), std::string::npos) << text;
    EXPECT_EQ(text.find("message \"Karvell\":"), std::string::npos) << "printed once, as an event";
}

// A list box shows whole rows of the font in use: no entry is cut at the bottom edge.
TEST(QtHost, ListBoxesOfTheMeasurementWindowShowWholeRows)
{
    app();
    vantrel::testing::TempDir dir;
    QtPlatformOptions options;
    options.autoAnswer = true;
    QtPlatform platform(options);
    DeviceSet devices(true, platform.clock(), platform.log());
    auto main = MainWindow::start(platform, devices.devices(), dir.path().string());
    ASSERT_NE(main, nullptr);
    main->command(1038, kNotifyClicked);
    QtWindow* host = platform.window("measure");
    ASSERT_NE(host, nullptr);
    const auto lists = host->findChildren<QListWidget*>();
    ASSERT_GE(lists.size(), 8);
    for (QListWidget* l : lists) {
        ASSERT_GT(l->count(), 0);
        const int row = l->sizeHintForRow(0);
        const int inside = l->height() - 2 * l->frameWidth();
        EXPECT_GT(inside / row, 0);
        EXPECT_EQ(inside % row, 0) << l->item(0)->text().toStdString() << ": " << inside << " px for rows of " << row;
    }
    main->closeRequested();
}

// The desktop path end to end on the simulated rig: real Qt windows and timers, the rig's
// completions on the desktop clock (sped up), and the result stored in the balloon.
TEST(QtHost, SimulatedMeasurementCompletesOnTheDesktopClock)
{
    app();
    vantrel::testing::TempDir dir;
    QtPlatformOptions options;
    options.speed = 20;
    options.autoAnswer = true;
    QtPlatform platform(options);
    DeviceSet devices(true, platform.clock(), platform.log());
    auto main = MainWindow::start(platform, devices.devices(), dir.path().string());
    ASSERT_NE(main, nullptr);
    main->command(1038, kNotifyClicked);
    MeasurementWindow* measure = main->measurementDialog();
    ASSERT_NE(measure, nullptr);
    QtWindow* host = platform.window("measure");
    ASSERT_NE(host, nullptr);
    host->setCheck(20030, false); // "Saved IR" off: measure live
    measure->command(20030, kNotifyClicked);
    measure->command(10007, kNotifyClicked);
    // 5.5 s of capture at 48 kHz is under 0.3 s at twenty times the speed.
    for (int i = 0; i < 100 && main->matrix().cellLevel(18, 0, 400) == 0.0f; ++i) {
        QTest::qWait(50);
        measure->command(10009, kNotifyClicked);
    }
    EXPECT_GT(main->matrix().cellLevel(18, 0, 400), 10.0f) << "IR -> SPL stored the live measurement";
    main->closeRequested();
    EXPECT_TRUE(main->destroyed());
}

TEST(QtHost, TheRigClockRunsEventsInDueOrderAndAHandlersComputingTakesNoRigTime)
{
    app();
    QtPlatformOptions options;
    options.speed = 100;
    options.rigClock = true;
    QtPlatform platform(options);
    Recorder client;
    auto& host = static_cast<QtWindow&>(platform.createWindow(kLayout, client, nullptr, false));
    Clock& clock = platform.clock();
    const std::uint32_t start = clock.tickMs();
    std::vector<std::pair<char, std::uint32_t>> seen; // what ran, at what rig time
    clock.callAfter(std::chrono::milliseconds(1000), [&] {
        seen.emplace_back('a', clock.tickMs() - start);
        QTest::qSleep(100); // 10 s of rig time, were it counted
        seen.emplace_back('b', clock.tickMs() - start);
        clock.delayMs(10); // a busy wait does count
        clock.callAfter(std::chrono::milliseconds(500), [&] { seen.emplace_back('c', clock.tickMs() - start); });
    });
    host.startTimer(7, 1400); // due before 'c', after 'a'
    for (int i = 0; i < 100 && (seen.size() < 3 || client.timers.empty()); ++i)
        QTest::qWait(10);
    host.killTimer(7);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_NEAR(seen[0].second, 1000.0, 2.0);
    EXPECT_EQ(seen[1].second, seen[0].second) << "the handler's computing took no rig time";
    EXPECT_EQ(seen[2].second, seen[0].second + 510);
    EXPECT_EQ(client.timers.size(), 1u) << "timer 7 fired once, at 1400, between them";
    host.destroy();
}
