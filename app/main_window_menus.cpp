// The main window's menu bar: the commands only the menus give (exports of the balloon in
// memory, the recent balloon files, quitting), the entries a running walk holds, and the list
// of recent files kept beside the preferences.

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/export_dialog.h"
#include "calibration/calibration_window.h"
#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "app/distortion_report.h"
#include "app/input_dialog.h"
#include "app/recent_balloons.h"
#include "app/report_window.h"
#include "balloon/measured_balloon.h"
#include "analysis/compare_report.h"
#include "analysis/directivity_report.h"
#include "platform/number_text.h"
#include "exports/export_run.h"
#include "mls/fft_library.h"
#include "platform/version.h"

namespace vantrel {

namespace {

constexpr std::string_view kCaption = "Karvell";
constexpr std::string_view kWalkHoldsLoad =
    "A balloon measurement is running: \"ABORT Test\" ends it before a balloon is loaded.";

constexpr std::string_view kWalkHoldsCalibration =
    "A balloon measurement is running: it keeps its calibration until \"ABORT Test\" or its end.";

static_assert(menu_ids::kOpenBalloon == main_ids::kLoadData && menu_ids::kSaveBalloonAs == main_ids::kSaveData);

struct ExportMenu {
    int id;
    ExportKind kind;
    std::string_view suffix; // of the suggested output beside the balloon file; empty: a folder
};
constexpr ExportMenu kExportMenus[] = {
    {menu_ids::kExportSofa, ExportKind::Sofa, ".sofa"},   {menu_ids::kExportFrd, ExportKind::Frd, ""},
    {menu_ids::kExportClf, ExportKind::Clf, ".tab"},      {menu_ids::kExportSplTables, ExportKind::SplTables, ""},
    {menu_ids::kExportHtml, ExportKind::Html, ".html"},
};

} // namespace

bool MainWindow::menuCommand(int id)
{
    using namespace menu_ids;
    for (const ExportMenu& e : kExportMenus)
        if (id == e.id) {
            openExportDialog(e.kind);
            return true;
        }
    if (id >= kRecentFirst && id < kRecentFirst + static_cast<int>(kRecentBalloons)) {
        openRecentBalloon(static_cast<std::size_t>(id - kRecentFirst));
        return true;
    }
    if (id == kDirectivityReport) {
        directivityReport();
        return true;
    }
    if (id == kPlane) {
        askPlane();
        return true;
    }
    if (id == kCompareWith) {
        compareWith();
        return true;
    }
    if (id >= kViewLevel && id <= kViewH3) {
        constexpr DistortionQuantity kQuantities[] = {DistortionQuantity::thd, DistortionQuantity::h2,
                                                      DistortionQuantity::h3};
        if (id == kViewLevel)
            showQuantity(std::nullopt);
        else
            showQuantity(kQuantities[id - kViewThd]);
        return true;
    }
    if (id == kMicrophoneFile) {
        if (sequence_.sequenceRunning) {
            host_->message(kWalkHoldsCalibration, kCaption, MessageIcon::Information);
            return true;
        }
        openCalibration(*host_);
        calibrationWindow_->command(kCalMicFileButton, kNotifyClicked);
        return true;
    }
    if (id == kAbout) {
        host_->message("Vantrel " + vantrelVersionText() +
                           "\nMeasures the directivity balloon of a loudspeaker.\n\nLibraries:\n" + devices_.libraries +
                           "\n" + fftLibraryVersion() + "\n" + exportLibraryVersions() +
                           "\nthree.js from libjs-three, read when a balloon page is written",
                       "About Vantrel", MessageIcon::Information);
        return true;
    }
    if (id == kManual) {
        if (auto error = platform_.openManual())
            host_->message(*error, kCaption, MessageIcon::Warning);
        return true;
    }
    if (id == kQuit) {
        closeRequested();
        return true;
    }
    return false;
}

void MainWindow::refreshMenus()
{
    if (destroyed_)
        return;
    const int walking = sequence_.sequenceRunning ? 1 : 0;
    if (walking == menusShowWalk_)
        return;
    menusShowWalk_ = walking;
    // The walk stores into the balloon in memory and keeps its grid and settings: nothing may
    // replace them. Saving and exporting what it has measured so far stays open.
    const std::string_view reason = walking ? kWalkHoldsLoad : std::string_view();
    host_->enableMenu(menu_ids::kOpenBalloon, !walking, reason);
    host_->enableMenu(menu_ids::kMicrophoneFile, !walking, walking ? kWalkHoldsCalibration : std::string_view());
    for (std::size_t i = 0; i < kRecentBalloons; ++i)
        host_->enableMenu(menu_ids::kRecentFirst + static_cast<int>(i), !walking, reason);
    // The walk fills the balloon and its harmonics cell by cell: the views show its levels.
    if (walking && viewQuantity_)
        showQuantity(std::nullopt);
    refreshViewMenu();
}

void MainWindow::refreshViewMenu()
{
    const bool walking = sequence_.sequenceRunning;
    const bool available = distortion_ && !walking;
    const std::string_view reason = walking ? std::string_view("A balloon measurement is running: the views show the "
                                                               "level it measures until \"ABORT Test\" or its end.")
                                            : std::string_view("No distortion balloon: a balloon measured with the log "
                                                               "sweep (or loaded with its .DST file) has one.");
    for (int id : {menu_ids::kViewThd, menu_ids::kViewH2, menu_ids::kViewH3})
        host_->enableMenu(id, available, available ? std::string_view() : reason);
    host_->checkMenu(menu_ids::kViewLevel, !viewQuantity_);
    host_->checkMenu(menu_ids::kViewThd, viewQuantity_ == DistortionQuantity::thd);
    host_->checkMenu(menu_ids::kViewH2, viewQuantity_ == DistortionQuantity::h2);
    host_->checkMenu(menu_ids::kViewH3, viewQuantity_ == DistortionQuantity::h3);
}

void MainWindow::showQuantity(std::optional<DistortionQuantity> quantity)
{
    if (quantity && (!distortion_ || sequence_.sequenceRunning))
        quantity.reset();
    if (quantity && !quantityMatrix_) {
        quantityMatrix_ = BalloonMatrix::create();
        if (!quantityMatrix_) {
            host_->message("Not enough memory for the view of the distortion.", kCaption, MessageIcon::Warning);
            quantity.reset();
        }
    }
    viewQuantity_ = quantity;
    if (quantity) {
        // As `render --quantity` draws it: 0 dB relative to the fundamental drawn as 90 dB.
        distortionLevels(*distortion_, *quantity, 90.0f, *quantityMatrix_);
        display_->showMatrix(*quantityMatrix_);
        display_->setCaption([this, q = *quantity] {
            const int bin = std::clamp(selection_.selectedBin, 0, kAxisPoints - 1);
            return distortion_ ? distortionCaption(q, distortion_->axis()[static_cast<std::size_t>(bin)]) : std::string();
        });
        // The point view has nothing of the quantity to show.
        if (!selection_.colourView())
            setViewMode(kFineMode);
    } else {
        display_->showMatrix(*matrix_);
        display_->setCaption(nullptr);
    }
    refreshViewMenu();
    host_->repaintNow();
}

void MainWindow::showRecentBalloons()
{
    host_->setMenuText(menu_ids::kNoRecent, "No Recent Balloons", recentBalloons_.empty());
    host_->enableMenu(menu_ids::kNoRecent, false);
    for (std::size_t i = 0; i < kRecentBalloons; ++i) {
        const bool shown = i < recentBalloons_.size();
        host_->setMenuText(menu_ids::kRecentFirst + static_cast<int>(i),
                           shown ? std::to_string(i + 1) + "  " + recentBalloons_[i] : std::string(), shown);
    }
}

void MainWindow::rememberBalloon(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    keepRecentBalloons(withRecentBalloon(recentBalloons_, ec ? path : absolute.string()));
}

void MainWindow::keepRecentBalloons(std::vector<std::string> paths)
{
    if (paths == recentBalloons_)
        return;
    recentBalloons_ = std::move(paths);
    showRecentBalloons();
    // The list is a convenience: a folder that takes no file loses it, nothing else.
    if (std::string error = saveRecentBalloons(startDirectory_, recentBalloons_); !error.empty())
        platform_.log().record("recent", "not kept: " + error);
}

void MainWindow::openRecentBalloon(std::size_t index)
{
    if (index >= recentBalloons_.size())
        return;
    if (sequence_.sequenceRunning) {
        host_->message(kWalkHoldsLoad, kCaption, MessageIcon::Information);
        return;
    }
    const std::string path = recentBalloons_[index];
    std::error_code ec;
    if (std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found) {
        // Moved or deleted since: the balloon in memory and its name stay as they are.
        std::vector<std::string> kept = recentBalloons_;
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(index));
        keepRecentBalloons(std::move(kept));
        host_->message(path + "\n\nThe balloon file no longer exists: it is taken off \"Recent Balloons\".", kCaption,
                       MessageIcon::Warning);
        return;
    }
    balloonFileName_ = path;
    loadBalloonFrom(balloonFileName_);
}

void MainWindow::openBalloonAtStart(const std::string& path)
{
    balloonFileName_ = path;
    loadBalloonFrom(path);
    chooseViewMode(main_ids::kFineModeRadio);
    refreshMenus();
}

void MainWindow::openExportDialog(ExportKind kind)
{
    std::string suggested;
    for (const ExportMenu& e : kExportMenus)
        if (e.kind == kind && !balloonFileName_.empty()) {
            const std::filesystem::path balloon(balloonFileName_);
            suggested = e.suffix.empty() ? balloon.parent_path().string()
                                         : std::filesystem::path(balloon).replace_extension(e.suffix).string();
        }
    if (!exportDialog_)
        exportDialog_ = std::make_unique<ExportDialog>();
    exportDialog_->open(platform_, *host_, kind, suggested,
                        [this](const ExportRequest& request, bool allPoints) { return writeExport(request, allPoints); });
}

bool MainWindow::writeExport(const ExportRequest& request, bool allPoints)
{
    // The same refusals as the command line, before anything is written.
    ThreeJs three;
    if (!request.html.empty())
        if (std::string error = readThreeJs(threeJsDirectory(), three); !error.empty()) {
            host_->message(request.html + "\n\n" + error, kCaption, MessageIcon::Warning);
            return false;
        }
    const bool fromFile = loadedSource_ && !mergedRecord_;
    if (fromFile && !loadedSource_->recordError.empty()) {
        host_->message(balloonFileName_ + "\n\n" + loadedSource_->recordError, kCaption, MessageIcon::Warning);
        return false;
    }
    // The balloon as its file holds it, or as "Save Data" would write it now.
    const BalloonTrailer trailer = loadedSource_ ? loadedSource_->trailer : trailerOfSettings(settings_, angleGrid_);
    const MeasuredWith measured = fromFile ? loadedSource_->measured : measuredWithOf(measurementRecord());
    const std::string name = balloonFileName_.empty() ? std::string("balloon.BAL") : balloonFileName_;
    const ExportSource source{*matrix_, trailer, name, measured, allPoints};
    std::string written, warnings;
    const ExportReport report{[&](const std::string& line) { written += line + "\n"; },
                              [&](const std::string& warning) { warnings += "\nwarning: " + warning + "\n"; }};
    host_->setWaitCursor(true);
    const std::string error = runExportRequest(source, request, three, report);
    host_->setWaitCursor(false);
    platform_.log().record("export", error.empty() ? "written" : "refused: " + error);
    if (!error.empty()) {
        host_->message(written + (written.empty() ? "" : "\n") + error, kCaption, MessageIcon::Warning);
        return false;
    }
    if (sequence_.sequenceRunning)
        warnings += "\nwarning: the balloon is incomplete: the walk is still measuring it, and the points it has not "
                    "reached are written as never measured\n";
    host_->message(written + warnings, kCaption, warnings.empty() ? MessageIcon::Information : MessageIcon::Warning);
    return true;
}

} // namespace vantrel

namespace vantrel {

std::optional<MainWindow::AnalysisSource> MainWindow::analysisSource()
{
    const bool fromFile = loadedSource_ && !mergedRecord_;
    if (fromFile && !loadedSource_->recordError.empty()) {
        host_->message(balloonFileName_ + "\n\n" + loadedSource_->recordError, kCaption, MessageIcon::Warning);
        return std::nullopt;
    }
    // The balloon as loaded, or as "Save Data" would write it now.
    AnalysisSource s;
    s.settings = loadedSource_ ? loadedSource_->settings : trailerOfSettings(settings_, angleGrid_);
    s.measured = fromFile ? loadedSource_->measured : measuredWithOf(measurementRecord());
    s.path = balloonFileName_.empty() ? std::string("balloon.BAL") : balloonFileName_;
    s.name = std::filesystem::path(s.path).filename().string();
    return s;
}

void MainWindow::directivityReport(std::optional<double> plane)
{
    const std::optional<AnalysisSource> source = analysisSource();
    if (!source)
        return;
    const AngleGrid grid = angleGridFromFlag(source->settings.angleGridFlag);
    FrequencyAxis axis;
    axis.buildFromIndexes(source->settings.fromIndex, source->settings.toIndex);
    const ValidBand band = validBand(source->settings, axis, source->measured);
    DirectivityReportOptions options;
    (void)reportBins({500, 1000, 2000, 4000, 8000, 16000}, false, axis, band, options.bins);
    options.plane = plane;
    DirectivityReport report;
    host_->setWaitCursor(true);
    const std::optional<std::string> refusal =
        buildDirectivityReport(*matrix_, grid, axis, band, source->name, options, report);
    host_->setWaitCursor(false);
    if (refusal) {
        host_->message("No directivity report: " + *refusal + ".", kCaption, MessageIcon::Warning);
        return;
    }
    std::vector<ReportItem> items;
    if (!plane && distortion_) {
        // The THD maps and the on-axis table of the distortion balloon, where `directivity`
        // writes them: after the directivity, before the CTA-2034 curves.
        if (auto thd = distortionReportItems(*distortion_, band, source->name))
            for (ReportItem& item : *thd)
                report.items.push_back(std::move(item));
    }
    if (plane) {
        // Only the plane asked for, saved under the names `directivity --plane` gives them.
        for (ReportItem& item : report.items)
            if (item.file.starts_with("polar-map-plane-") || item.file.starts_with("polar-plots-plane-"))
                items.push_back(std::move(item));
    } else {
        items = std::move(report.items);
        if (report.ctaRefusal)
            items.push_back({"CTA-2034", "", 0, 0, {}, "No CTA-2034-A curves: " + *report.ctaRefusal + "\n"});
        for (ReportItem& item : report.cta2034)
            items.push_back(std::move(item));
    }
    if (!reportWindow_)
        reportWindow_ = std::make_unique<ReportWindow>();
    const std::string title = plane ? "Plane " + cleanFixedText(*plane, 1) + " degrees - " : "Directivity Report - ";
    reportWindow_->open(platform_, *host_, title + source->name, std::move(items));
}

void MainWindow::askPlane()
{
    if (!inputDialog_)
        inputDialog_ = std::make_unique<InputDialog>();
    inputDialog_->open(platform_, *host_, "Plane", {"Roll angle (degrees; 0 horizontal, 90 vertical)"}, {"45"},
                       [this](const std::vector<std::string>& values) {
                           double roll = 0;
                           if (!parseDecimal(values[0], roll) || !(std::abs(roll) <= 360.0)) {
                               inputDialog_->host()->message("The roll angle is a number of degrees in -360..360, not \"" +
                                                                 values[0] + "\".",
                                                             kCaption, MessageIcon::Warning);
                               return false;
                           }
                           directivityReport(roll);
                           return true;
                       });
}

void MainWindow::compareWith()
{
    FileDialogSpec dialog;
    dialog.filterName = "Balloon Files (*.BAL)";
    dialog.filterPattern = "*.bal";
    const std::optional<std::string> reference = host_->fileDialog(dialog);
    if (!reference)
        return;
    if (!inputDialog_)
        inputDialog_ = std::make_unique<InputDialog>();
    inputDialog_->open(
        platform_, *host_, "Compare With " + std::filesystem::path(*reference).filename().string(),
        {"Tolerance in dB (empty: no verdict)", "Band F1,F2 in Hz (empty: all)"}, {"", ""},
        [this, reference = *reference](const std::vector<std::string>& values) {
            CompareReportOptions options;
            std::string problem;
            double tolerance = 0;
            if (!values[0].empty()) {
                if (parseDecimal(values[0], tolerance))
                    options.tolerance = tolerance;
                else
                    problem = "The tolerance is a level difference in dB, not \"" + values[0] + "\".";
            }
            if (problem.empty() && !values[1].empty()) {
                const std::size_t comma = values[1].find(',');
                double f1 = 0, f2 = 0;
                if (comma == std::string::npos || !parseDecimal(values[1].substr(0, comma), f1) ||
                    !parseDecimal(values[1].substr(comma + 1), f2))
                    problem = "The band is two frequencies F1,F2 in Hz, not \"" + values[1] + "\".";
                else
                    options.band = {f1, f2};
            }
            if (problem.empty())
                problem = compareOptionsProblem(options);
            if (!problem.empty()) {
                inputDialog_->host()->message(problem, kCaption, MessageIcon::Warning);
                return false;
            }
            compareReport(reference, options);
            return true;
        });
}

void MainWindow::compareReport(const std::string& referencePath, const CompareReportOptions& options)
{
    const std::optional<AnalysisSource> source = analysisSource();
    if (!source)
        return;
    std::optional<BalloonMatrix> reference = BalloonMatrix::create();
    if (!reference) {
        host_->message("Not enough memory for the balloon to compare with.", kCaption, MessageIcon::Warning);
        return;
    }
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(referencePath, *reference);
    if (!loaded) {
        host_->message(loaded.error, kCaption, MessageIcon::Warning);
        return;
    }
    // The file is the reference A; the balloon in memory, B, is held against it.
    CompareReport report;
    host_->setWaitCursor(true);
    const std::optional<std::string> refusal =
        buildCompareReport({*reference, *loaded.settings, loaded.measured, referencePath},
                           {*matrix_, source->settings, source->measured, source->path}, options, report);
    host_->setWaitCursor(false);
    if (refusal) {
        host_->message("No comparison: " + *refusal + ".", kCaption, MessageIcon::Warning);
        return;
    }
    std::string summary;
    for (const std::string& line : report.summary)
        summary += line + "\n";
    std::vector<ReportItem> items = std::move(report.items);
    // The verdict first, where the eye lands.
    items.insert(items.begin(), ReportItem{"Comparison", "", 0, 0, {}, summary + "\n"});
    if (!reportWindow_)
        reportWindow_ = std::make_unique<ReportWindow>();
    const std::string verdict = report.pass ? (*report.pass ? "PASS - " : "FAIL - ") : "";
    reportWindow_->open(platform_, *host_, "Compare: " + verdict + source->name + " against " +
                                               std::filesystem::path(referencePath).filename().string(),
                        std::move(items));
}

} // namespace vantrel
