#include "calibration/calibration_window.h"

#include <cstdio>
#include <string>

#include "calibration/mic_file.h"
#include "calibration/target_file.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::array<std::string_view, kFilterSectionCount> kSectionTitles{
    "High-Pass Section", "Low-Pass Section 1", "Low-Pass Section 2", "Low-Pass Section 3", "Low-Pass Section 4"};

constexpr std::string_view kFileCaption = "Karvell";

// Each section is a band 118 pixels high: its title, then a group box with the order list on
// the left, the three edits in the middle and the family list on the right.
constexpr int kSectionPitch = 118;
constexpr int kControlsPerSection = 12;
constexpr int kButtonRowY = 8 + kFilterSectionCount * kSectionPitch;
constexpr int kMicRowY = kButtonRowY + 34; // a second row: the microphone's calibration file
constexpr int kControlCount = kFilterSectionCount * kControlsPerSection + 7;

constexpr ControlSpec control(int id, ControlKind kind, std::string_view caption, int x, int y, int w, int h,
                              bool border = false)
{
    ControlSpec c;
    c.id = id;
    c.kind = kind;
    c.caption = caption;
    c.x = x;
    c.y = y;
    c.width = w;
    c.height = h;
    c.border = border;
    return c;
}

constexpr std::array<ControlSpec, kControlCount> buildControls()
{
    std::array<ControlSpec, kControlCount> c{};
    std::size_t n = 0;
    for (int k = 0; k < kFilterSectionCount; ++k) {
        const SectionControlIds& ids = kSectionControlIds[static_cast<std::size_t>(k)];
        const int y = 8 + k * kSectionPitch;
        c[n++] = control(-1, ControlKind::Static, kSectionTitles[static_cast<std::size_t>(k)], 14, y, 220, 16);
        c[n++] = control(-1, ControlKind::GroupBox, "Filter Configuration --------------------- Filter Type", 8,
                         y + 18, 544, 94);
        c[n++] = control(ids.order, ControlKind::ListBox, "", 16, y + 38, 120, 70, true);
        c[n++] = control(-1, ControlKind::Static, "Cut-off frequency", 146, y + 57, 106, 16);
        c[n++] = control(ids.cutoff, ControlKind::Edit, "", 146, y + 76, 76, 22, true);
        c[n++] = control(-1, ControlKind::Static, "Hz", 226, y + 79, 24, 16);
        c[n++] = control(-1, ControlKind::Static, "Q", 258, y + 57, 50, 16);
        c[n++] = control(ids.q, ControlKind::Edit, "", 258, y + 76, 56, 22, true);
        c[n++] = control(-1, ControlKind::Static, "Gain", 326, y + 42, 60, 16);
        c[n++] = control(-1, ControlKind::Static, "Slope", 326, y + 57, 60, 16);
        c[n++] = control(ids.gainOrSlope, ControlKind::Edit, "", 326, y + 76, 60, 22, true);
        c[n++] = control(ids.family, ControlKind::ListBox, "", 398, y + 38, 146, 70, true);
    }
    c[n++] = control(kCalInvertCheck, ControlKind::CheckBox, "Invert Response", 14, kButtonRowY + 4, 132, 22);
    c[n++] = control(kCalShowButton, ControlKind::PushButton, "Show", 160, kButtonRowY + 2, 68, 26);
    c[n++] = control(kCalClearButton, ControlKind::PushButton, "Clear", 236, kButtonRowY + 2, 68, 26);
    c[n++] = control(kCalSaveButton, ControlKind::PushButton, "Save", 312, kButtonRowY + 2, 68, 26);
    c[n++] = control(kCalLoadButton, ControlKind::PushButton, "Load", 388, kButtonRowY + 2, 68, 26);
    c[n++] = control(kCalDoneButton, ControlKind::PushButton, "Done", 476, kButtonRowY + 2, 68, 26);
    c[n++] = control(kCalMicFileButton, ControlKind::PushButton, "Mic File", 312, kMicRowY, 144, 26);
    return c;
}

constexpr std::array<ControlSpec, kControlCount> kCalibrationControls = buildControls();

std::string oneDecimal(float value) { return fixedText(value, 1); }

FileDialogSpec targetFileDialog(bool save, const std::string& lastName)
{
    FileDialogSpec request;
    request.save = save;
    request.filterName = "Target Files (*.trg)";
    request.filterPattern = "*.trg";
    request.moreFilters = "Text Files (*.txt);;All Files (*.*)";
    request.initialPath = lastName;
    return request;
}

} // namespace

const WindowSpec kCalibrationWindowSpec{
    "calibration", "Calibration File Data", 560, kMicRowY + 36, {240, 240, 240}, kCalibrationControls};

CalibrationWindow::CalibrationWindow(CalibrationSetup& setup, CurveSet& curves, CalibrationCurve& curve,
                                     const FrequencyAxis& axis, std::function<void()> redrawSplPlot,
                                     std::function<void()> closed)
    : setup_(setup),
      curves_(curves),
      curve_(curve),
      axis_(axis),
      redrawSplPlot_(std::move(redrawSplPlot)),
      closed_(std::move(closed))
{
}

void CalibrationWindow::open(Platform& platform, WindowHost* owner)
{
    if (host_) {
        host_->raise();
        return;
    }
    host_ = &platform.createWindow(kCalibrationWindowSpec, *this, owner, true);
    fillControls();
}

void CalibrationWindow::fillControls()
{
    host_->setCheck(kCalInvertCheck, setup_.invertResponse != 0);
    for (int k = 0; k < kFilterSectionCount; ++k) {
        const SectionControlIds& ids = kSectionControlIds[static_cast<std::size_t>(k)];
        const FilterSection& s = setup_.sections[static_cast<std::size_t>(k)];
        host_->clearList(ids.family);
        for (const std::string_view text : kFilterFamilyTexts)
            host_->insertListItem(ids.family, -1, text);
        host_->setListSelection(ids.family, s.family);
        host_->clearList(ids.order);
        for (const std::string_view text : kFilterOrderTexts)
            host_->insertListItem(ids.order, -1, text);
        host_->setListSelection(ids.order, s.orderIndex);
        host_->setText(ids.cutoff, oneDecimal(s.cutoff));
        host_->setText(ids.q, oneDecimal(s.q));
        host_->setText(ids.gainOrSlope, oneDecimal(s.gainOrSlope));
    }
}

void CalibrationWindow::command(int id, int /*code*/)
{
    if (!host_)
        return;
    switch (id) {
    case kCalShowButton: show(); return;
    case kCalDoneButton: done(); return;
    case kCalInvertCheck:
        setup_.invertResponse = setup_.invertResponse ? 0 : 1;
        host_->setCheck(kCalInvertCheck, setup_.invertResponse != 0);
        return;
    case kCalClearButton: clear(); return;
    case kCalSaveButton: save(); return;
    case kCalLoadButton: load(); return;
    case kCalMicFileButton: loadMicFile(); return;
    default:
        if (!sectionList(id))
            sectionEdit(id);
        return;
    }
}

void CalibrationWindow::closeRequested() { done(); }

bool CalibrationWindow::sectionList(int id)
{
    for (std::size_t k = 0; k < setup_.sections.size(); ++k) {
        FilterSection& s = setup_.sections[k];
        const SectionControlIds& ids = kSectionControlIds[k];
        if (id != ids.family && id != ids.order)
            continue;
        const int caret = host_->listCaret(id);
        const int count = id == ids.family ? static_cast<int>(kFilterFamilyTexts.size())
                                           : static_cast<int>(kFilterOrderTexts.size());
        if (caret >= 0 && caret < count)
            (id == ids.family ? s.family : s.orderIndex) = caret;
        return true;
    }
    return false;
}

bool CalibrationWindow::sectionEdit(int id)
{
    for (std::size_t k = 0; k < setup_.sections.size(); ++k) {
        FilterSection& s = setup_.sections[k];
        const SectionControlIds& ids = kSectionControlIds[k];
        float* field = id == ids.cutoff ? &s.cutoff : id == ids.q ? &s.q : id == ids.gainOrSlope ? &s.gainOrSlope : nullptr;
        if (!field)
            continue;
        host_->enable(id, true);
        *field = static_cast<float>(textValue(clipEditText(host_->text(id))));
        return true;
    }
    return false;
}

void CalibrationWindow::show()
{
    const ShowOutcome outcome = showCalibration(setup_.sections, setup_.invertResponse != 0, axis_, curve_);
    for (int k = 0; k < kFilterSectionCount; ++k)
        if (outcome.cutoffRaised[static_cast<std::size_t>(k)])
            host_->setText(kSectionControlIds[static_cast<std::size_t>(k)].cutoff, "1.0");
    if (!outcome.refusal.empty()) {
        host_->message(outcome.refusal, kFilterCheckCaption, MessageIcon::Warning);
        return;
    }
    plotCalibrationCurve(curve_, curves_);
    redrawSplPlot();
}

void CalibrationWindow::clear()
{
    clearCalibrationPlot(curves_);
    redrawSplPlot();
}

void CalibrationWindow::save()
{
    const std::optional<std::string> path = host_->fileDialog(targetFileDialog(true, setup_.saveFileName));
    if (!path)
        return;
    setup_.saveFileName = *path;
    if (!writeTargetFile(*path, axis_, curve_))
        host_->message(*path, kFileCaption, MessageIcon::Warning);
}

void CalibrationWindow::load()
{
    const std::optional<std::string> path = host_->fileDialog(targetFileDialog(false, setup_.loadFileName));
    if (path) {
        setup_.loadFileName = *path;
        const TargetReadResult result = readTargetFile(*path, curve_);
        if (result.status == TargetReadStatus::CannotOpen)
            host_->message(*path, kFileCaption, MessageIcon::Warning);
        else if (const std::string text = targetReadMessage(result); !text.empty())
            host_->message(text, kFileCaption, MessageIcon::Warning);
    }
    plotCalibrationCurve(curve_, curves_);
    redrawSplPlot();
}

void CalibrationWindow::loadMicFile()
{
    FileDialogSpec request;
    request.filterName = "Microphone Calibration Files (*.txt *.cal *.csv *.frd)";
    request.filterPattern = "*.txt *.cal *.csv *.frd";
    request.moreFilters = "All Files (*.*)";
    request.initialPath = setup_.micFileName;
    const std::optional<std::string> path = host_->fileDialog(request);
    if (!path)
        return;
    setup_.micFileName = *path;
    const MicReadResult result = readMicFile(*path);
    if (!result.calibration) {
        // The curve stays as it was.
        host_->message(*path + "\n\n" + result.error, kFileCaption, MessageIcon::Warning);
        return;
    }
    curve_ = micCurve(*result.calibration, axis_);
    plotCalibrationCurve(curve_, curves_);
    redrawSplPlot();
}

void CalibrationWindow::done()
{
    WindowHost* host = host_;
    if (!host)
        return;
    host_ = nullptr;
    host->destroy();
    if (closed_)
        closed_(); // may destroy this object: nothing may follow
}

void CalibrationWindow::redrawSplPlot()
{
    if (redrawSplPlot_)
        redrawSplPlot_();
}

} // namespace vantrel
