// The main window's view controls: the mode and slice radio buttons, "Clear Balloon",
// "Test Balloon", "Repair" and every scroll bar of the selection, repair and view rotation.

#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "views/readout_text.h"

namespace vantrel {

namespace {

constexpr std::uint32_t kTestBalloonWaitMs = 50;

} // namespace

void MainWindow::drawBalloonPoints(int clear, int vIndex, int hIndex, int mark)
{
    display_->drawBalloonPoints(host_->surface(), clear, vIndex, hIndex, mark);
}

void MainWindow::drawCurrentView() { display_->drawCurrentView(host_->surface()); }

void MainWindow::chooseViewMode(int id)
{
    setViewMode(id - main_ids::kMeasurementModeRadio);
    switch (selection_.viewMode) {
    case kMeasurementMode:
        drawBalloonPoints(1, 0, 0, 0);
        drawBalloonPoints(0, 0, 0, 0);
        break;
    case kTestMode:
        drawBalloonPoints(1, 0, 0, 0);
        drawBalloonPoints(0, 0, 0, 1);
        break;
    default:
        display_->drawColourBalloon(host_->surface());
        break;
    }
}

void MainWindow::chooseSliceMode(int id)
{
    selection_.sliceMode = id - main_ids::kSliceLeftRadio;
    showRadioMarks();
    // Whatever the mode: the slice buttons always show the colour balloon.
    display_->drawColourBalloon(host_->surface());
}

void MainWindow::clearBalloon()
{
    display_->resetPointGrids();
    drawBalloonPoints(1, 0, 0, 0);
    drawBalloonPoints(0, 0, 0, 1);
}

void MainWindow::testBalloon()
{
    setViewMode(kTestMode);
    display_->resetMeasuredPositions();
    drawBalloonPoints(1, 0, 0, 0);
    // The sequence's serpentine path, without moving anything; the window stays blocked as
    // the sequence would keep it, but every mark is put on screen as it is drawn.
    auto visit = [&](int vIndex, int hIndex) {
        platform_.clock().delayMs(kTestBalloonWaitMs);
        drawBalloonPoints(0, vIndex, hIndex, 1);
        host_->showDrawing();
    };
    const bool grid10 = angleGrid_ == AngleGrid::Grid10;
    const int top = grid10 ? 9 : 18;
    const int bottom = grid10 ? -8 : -17;
    const int last = lastColumn(angleGrid_);
    for (int v = top; v >= bottom; --v) {
        const bool upward = grid10 ? (v % 2 != 0) : (v % 2 == 0);
        if (upward)
            for (int h = 0; h <= last; ++h)
                visit(v, h);
        else
            for (int h = last; h >= 0; --h)
                visit(v, h);
    }
}

void MainWindow::repairCell()
{
    const SelectionState& s = selection_;
    matrix_->copyCell({s.repairSourceRow, s.repairSourceColumn}, {s.repairTargetRow, s.repairTargetColumn});
    setViewMode(kRawMode);
    display_->drawColumnView(host_->surface());
    display_->drawRepairMarks(host_->surface());
}

void MainWindow::scroll(int id, ScrollCode code, int position)
{
    using namespace main_ids;
    if (destroyed_)
        return;
    int* value = nullptr;
    SelectionRange range{0, 0};
    switch (id) {
    case kColourScale: value = &selection_.colourScale; range = kColourScaleRange; break;
    case kSelectedBin: value = &selection_.selectedBin; range = kBinRange; break;
    case kSliceLimit: value = &selection_.sliceLimit; range = kSliceLimitRange; break;
    case kSelectedRow: value = &selection_.selectedRow; range = kCellRowRange; break;
    case kSelectedColumn: value = &selection_.selectedColumn; range = kCellColumnRange; break;
    case kRepairSourceRow: value = &selection_.repairSourceRow; range = kCellRowRange; break;
    case kRepairSourceColumn: value = &selection_.repairSourceColumn; range = kCellColumnRange; break;
    case kRepairTargetRow: value = &selection_.repairTargetRow; range = kCellRowRange; break;
    case kRepairTargetColumn: value = &selection_.repairTargetColumn; range = kCellColumnRange; break;
    case kViewScrollH: value = &selection_.viewScrollH; range = kViewScrollRange; break;
    case kViewScrollV: value = &selection_.viewScrollV; range = kViewScrollRange; break;
    case kViewScrollSide: value = &selection_.viewScrollSide; range = kViewScrollSideRange; break;
    default: return;
    }
    *value = range.clamp(scrolledValue(host_->scrollPos(id), code, position, range.min, range.max));

    const bool repairBar = id >= kRepairSourceRow && id <= kRepairTargetColumn;
    if (id == kSelectedRow || id == kSelectedColumn || repairBar)
        setViewMode(kRawMode);
    // The end of a scroll redraws nothing, except on the repair bars, which redraw on every code.
    const bool lineOrPage = code == ScrollCode::LineUp || code == ScrollCode::LineDown ||
                            code == ScrollCode::PageUp || code == ScrollCode::PageDown;
    if ((code != ScrollCode::EndScroll && (id == kSelectedRow || id == kSelectedColumn)) ||
        (lineOrPage && (id == kRepairTargetRow || id == kRepairTargetColumn)))
        showCellInMeasurementPlot();
    if (code != ScrollCode::EndScroll || repairBar) {
        Canvas& surface = host_->surface();
        switch (id) {
        case kSliceLimit:
            display_->drawColourBalloon(surface);
            break;
        case kSelectedRow:
        case kSelectedColumn:
            display_->drawColumnView(surface);
            break;
        case kRepairSourceRow:
        case kRepairSourceColumn:
        case kRepairTargetRow:
        case kRepairTargetColumn:
            display_->drawColumnView(surface);
            display_->drawRepairMarks(surface);
            break;
        default:
            display_->drawCurrentView(surface);
            break;
        }
    }
    host_->setScrollPos(id, *value);
    writeScrollReadout(id, *value);
}

void MainWindow::writeScrollReadout(int id, int value)
{
    using namespace main_ids;
    std::string text;
    int x = 0, y = 0;
    switch (id) {
    case kColourScale:
        text = colourMapText(value), x = 10, y = 347;
        break;
    case kSelectedBin:
        // Always row 0, column 0, unclamped: not tied to the selected cell.
        text = binText(value, axis_[value], matrix_->rawLevel(0, 0, value));
        x = 10, y = 388;
        break;
    case kSliceLimit:
        text = sliceText(value), x = 265, y = 319;
        break;
    case kSelectedRow:
    case kRepairSourceRow:
    case kRepairTargetRow:
        text = verticalText(value);
        x = id == kSelectedRow ? 265 : 260;
        y = id == kSelectedRow ? 353 : id == kRepairSourceRow ? 591 : 675;
        break;
    case kSelectedColumn:
    case kRepairSourceColumn:
    case kRepairTargetColumn:
        text = horizontalText(value);
        x = id == kSelectedColumn ? 265 : 260;
        y = id == kSelectedColumn ? 388 : id == kRepairSourceColumn ? 626 : 711;
        break;
    default:
        return; // the view rotation bars have no readout
    }
    Canvas& c = host_->surface();
    c.setFont(Font::System);
    c.setTextColour(Rgb{0, 0, 0});
    c.setTextBackground(true);
    c.textOut(x, y, text);
}

} // namespace vantrel
