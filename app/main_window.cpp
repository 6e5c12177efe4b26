#include "app/main_window.h"

#include <cstdio>
#include <new>

#include "app/export_dialog.h"
#include "app/input_dialog.h"
#include "app/main_window_controls.h"
#include "app/recent_balloons.h"
#include "app/report_window.h"
#include "calibration/calibration_window.h"
#include "mls/measurement_window.h"
#include "output/main_window_printer.h"

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "Karvell";
constexpr int kMoveTimer1 = 4000;
constexpr int kMoveTimer2 = 4001;


} // namespace

std::unique_ptr<MainWindow> MainWindow::start(Platform& platform, Devices devices, const std::string& startDirectory,
                                              bool offerResume)
{
    std::unique_ptr<MainWindow> window(new MainWindow(platform, devices, startDirectory));
    if (!window->allocateRecords()) {
        window->host_->message("Not enough memory for the balloon and the measurement buffers.\n\nVantrel cannot start.",
                               kCaption, MessageIcon::Warning);
        window->destroyWindow();
        return nullptr;
    }
    window->createControls();
    window->createSequencer();
    window->showRadioMarks();
    window->recentBalloons_ = loadRecentBalloons(startDirectory);
    window->showRecentBalloons();
    window->refreshMenus();
    // The operator sees the window before any start-up message.
    window->host_->repaintNow();
    if (!window->preferences_.load(window->settings_, window->calibration_))
        window->host_->message("Unable To OPEN Preferences File", kCaption, MessageIcon::Warning);
    window->askBeforeNewWalk_ = offerResume;
    if (offerResume)
        window->offerResume(true);
    return window;
}

MainWindow::MainWindow(Platform& platform, Devices devices, const std::string& startDirectory)
    : platform_(platform), devices_(devices), preferences_(startDirectory), autosaveDirectory_(startDirectory),
      startDirectory_(startDirectory), pacing_(loadWalkPacing(startDirectory))
{
    host_ = &platform_.createWindow(kMainWindowSpec, *this, nullptr, false);
    turntables_ = std::make_unique<Turntables>(*host_, platform_.clock(), devices_.link1Ports, devices_.link2Ports,
                                               sequence_, [this](int turntable, bool endSent) {
                                                   if (!sequencer_)
                                                       return;
                                                   if (endSent)
                                                       sequencer_->measurementStep();
                                                   else
                                                       sequencer_->moveEndFailed(turntable);
                                               });
    printer_ = std::make_unique<MainWindowPrinter>(platform_, *host_);
}

bool MainWindow::allocateRecords()
{
    matrix_ = BalloonMatrix::create();
    try {
        curves_ = std::make_unique<CurveSet>();
    } catch (const std::bad_alloc&) {
        curves_.reset();
    }
    if (!matrix_ || !curves_)
        return false;
    curves_->fill(Curve{});
    display_ = std::make_unique<BalloonDisplay>(*matrix_, selection_, axis_, angleGrid_, sequence_.sequencePhase);
    return true;
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    using namespace main_ids;
    host_->setScrollPos(kViewScrollH, selection_.viewScrollH);
    host_->setScrollPos(kViewScrollV, selection_.viewScrollV);
    host_->setScrollPos(kViewScrollSide, selection_.viewScrollSide);
    axis_.buildFromIndexes(settings_.fromIndex, settings_.toIndex);
    turntables_->fillPortList(1);
    turntables_->fillPortList(2);
    host_->setScrollPos(kSliceLimit, selection_.sliceLimit);
    host_->setScrollPos(kSelectedBin, selection_.selectedBin);
    host_->setScrollPos(kColourScale, selection_.colourScale);
    host_->setScrollPos(kRepairSourceRow, selection_.repairSourceRow);
    host_->setScrollPos(kRepairSourceColumn, selection_.repairSourceColumn);
    host_->setScrollPos(kRepairTargetRow, selection_.repairTargetRow);
    host_->setScrollPos(kRepairTargetColumn, selection_.repairTargetColumn);
}

void MainWindow::showRadioMarks()
{
    using namespace main_ids;
    const int modes[] = {kMeasurementModeRadio, kRawModeRadio, kCoarseModeRadio, kFineModeRadio, kTestModeRadio};
    for (int i = 0; i < 5; ++i)
        host_->setCheck(modes[i], selection_.viewMode == i);
    host_->setCheck(kSliceLeftRadio, selection_.sliceMode == 0);
    host_->setCheck(kSliceRightRadio, selection_.sliceMode == 1);
    host_->setCheck(kSliceFullRadio, selection_.sliceMode == 2);
    host_->setCheck(kGrid5, angleGrid_ == AngleGrid::Grid5);
    host_->setCheck(kGrid10, angleGrid_ == AngleGrid::Grid10);
    host_->setCheck(kPacedWalk, pacing_.paced);
    if (host_->text(kSettleEdit) != std::to_string(pacing_.settleMs))
        host_->setText(kSettleEdit, std::to_string(pacing_.settleMs));
}

// Whole milliseconds, 0..5000, taken when the edit is finished (Enter, or the focus leaving the
// box), so that no half-typed number is ever in effect (a running walk settles so from its next
// point on). Anything else is refused whole and the time in effect is shown again.
void MainWindow::settleEdited()
{
    using namespace main_ids;
    const std::string text = host_->text(kSettleEdit);
    const std::optional<int> ms = parseSettleMs(text);
    if (!ms) {
        // Shown again before the message takes the focus, which finishes the edit once more.
        host_->setText(kSettleEdit, std::to_string(pacing_.settleMs));
        host_->message("\"" + text + "\" is no settle time: whole milliseconds 0..5000.\n\nThe walk keeps settling " +
                           std::to_string(pacing_.settleMs) + " ms.",
                       kCaption, MessageIcon::Warning);
        return;
    }
    host_->setText(kSettleEdit, std::to_string(*ms));
    if (*ms == pacing_.settleMs)
        return;
    pacing_.settleMs = *ms;
    if (!saveWalkPacing(startDirectory_, pacing_))
        host_->message(std::string("Unable To SAVE ") + kWalkPacingName, kCaption, MessageIcon::Warning);
    platform_.log().record("pacing", "settle " + std::to_string(*ms) + " ms");
}

void MainWindow::setViewMode(int mode)
{
    selection_.viewMode = mode;
    showRadioMarks();
}

void MainWindow::paint(Canvas& canvas)
{
    display_->paint(canvas, turntables_->connected(1), turntables_->connected(2));
}

void MainWindow::command(int id, int code)
{
    using namespace main_ids;
    if (destroyed_)
        return;
    // A walk starts and ends in commands and timers: the menus follow at once.
    struct RefreshMenus {
        MainWindow& window;
        ~RefreshMenus() { window.refreshMenus(); }
    } refresh{*this};
    if (arcCommand(id, code) || turntables_->command(id, code) || sequenceCommand(id) || menuCommand(id))
        return;
    switch (id) {
    case kMeasurements:
        openMeasurementWindow();
        return;
    case kSaveData:
        saveData();
        return;
    case kLoadData:
        // The walk stores into this balloon and autosaves it.
        if (sequence_.sequenceRunning)
            host_->message("A balloon measurement is running: \"ABORT Test\" ends it before a balloon is loaded.",
                           kCaption, MessageIcon::Information);
        else
            loadData();
        return;
    case kPacedWalk:
        // Read at every point: a running walk takes the new pacing from its next point on.
        pacing_.paced = !pacing_.paced;
        host_->setCheck(kPacedWalk, pacing_.paced);
        if (!saveWalkPacing(startDirectory_, pacing_))
            host_->message(std::string("Unable To SAVE ") + kWalkPacingName, kCaption, MessageIcon::Warning);
        platform_.log().record("pacing", pacing_.paced ? "paced" : "fixed");
        return;
    case kSettleEdit:
        if (code == kNotifyEditFinished)
            settleEdited();
        return;
    case kPrintMainWindowCommand:
        printer_->printMainWindow();
        return;
    case kGrid5:
    case kGrid10:
        // A running walk keeps the grid it started with: its cells and path depend on it.
        if (sequence_.sequenceRunning)
            host_->beep(BeepKind::Exclamation);
        else
            angleGrid_ = id == kGrid10 ? AngleGrid::Grid10 : AngleGrid::Grid5;
        showRadioMarks();
        host_->raise();
        return;
    case kMeasurementModeRadio:
    case kRawModeRadio:
    case kCoarseModeRadio:
    case kFineModeRadio:
    case kTestModeRadio:
        chooseViewMode(id);
        return;
    case kSliceLeftRadio:
    case kSliceRightRadio:
    case kSliceFullRadio:
        chooseSliceMode(id);
        return;
    case kClearBalloon:
        clearBalloon();
        return;
    case kTestBalloon:
        testBalloon();
        return;
    case kRepair:
        repairCell();
        return;
    default:
        return;
    }
}

void MainWindow::timer(int id)
{
    if (destroyed_)
        return;
    struct RefreshMenus {
        MainWindow& window;
        ~RefreshMenus() { window.refreshMenus(); }
    } refresh{*this};
    if (id == kMoveTimer1 || id == kMoveTimer2)
        (void)turntables_->timer(id);
    else if (sequencer_)
        (void)sequencer_->timer(id);
}

void MainWindow::closeRequested()
{
    if (destroyed_)
        return;
    if (arcBusy()) { // the walk stops at its next stop; the window stays for what it tells
        (void)arcCommand(main_ids::kAbortTest, kNotifyClicked);
        return;
    }
    if (!preferences_.save(settings_, calibration_))
        host_->message("Unable To SAVE Preferences File", kCaption, MessageIcon::Warning);
    host_->beep(BeepKind::Exclamation);
    const MessageAnswer answer = host_->message("Last chance to save data !\n\nDO YOU WISH TO EXIT ?", kCaption,
                                                MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes)
        return;
    destroyWindow();
}

MeasurementWindow* MainWindow::measurementDialog()
{
    return measurement_ && measurement_->isOpen() ? measurement_.get() : nullptr;
}

void MainWindow::openMeasurementWindow()
{
    if (!measurement_) {
        MeasurementContext context{platform_, *host_, devices_.audio, settings_, *curves_, calibration_, axis_, *matrix_,
                                   sequence_, selection_, [this] { return angleGrid_; },
                                   [this](WindowHost& owner) { openCalibration(owner); },
                                   [this] {
                                       if (calibrationWindow_ && calibrationWindow_->isOpen())
                                           calibrationWindow_->closeRequested();
                                   },
                                   [this](bool ok) { sequencer_->measurementDone(ok); }};
        context.excitation = &excitation_;
        context.harmonicsStored = [this](int h, int v, const HarmonicResponses& harmonics) {
            storeHarmonics(h, v, harmonics);
        };
        context.nearFieldMeasured = [this](const AxisLevelPhase& r, double radiusMm) { nearFieldMeasured(r, radiusMm); };
        context.mergeNearField = [this] { mergeNearField(); };
        context.openArc = [this](WindowHost& owner) { chooseArc(owner); };
        context.calibrateArc = [this](WindowHost& owner) { calibrateArc(owner); };
        context.arcBusy = [this] { return arcBusy(); };
        measurement_ = std::make_unique<MeasurementWindow>(std::move(context));
    }
    measurement_->open(); // brings an open window forward instead of making a second one
}

void MainWindow::openCalibration(WindowHost& owner)
{
    if (!calibrationWindow_)
        calibrationWindow_ = std::make_unique<CalibrationWindow>(calibrationSetup_, *curves_, calibration_, axis_,
                                                                 [this] {
                                                                     if (MeasurementWindow* m = measurementDialog())
                                                                         m->redrawSplPlot();
                                                                 },
                                                                 nullptr);
    calibrationWindow_->open(platform_, &owner);
}

void MainWindow::destroyWindow()
{
    // Closing ends a walk quietly; its autosave stays resumable.
    if (sequencer_)
        sequencer_->endQuietly();
    if (measurement_)
        measurement_->close();
    if (exportDialog_)
        exportDialog_->closeRequested();
    if (reportWindow_)
        reportWindow_->closeRequested();
    if (inputDialog_)
        inputDialog_->closeRequested();
    turntables_->closeLinks();
    destroyed_ = true;
    host_->destroy();
    platform_.quit();
}

} // namespace vantrel
