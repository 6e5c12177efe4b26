// vantrel-cli render BALLOON.BAL -o OUT.png: one view of a balloon file as the main window
// draws it, through the window's own display, so the pixels are the window's.

#include <QImage>
#include <QString>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_distortion.h"
#include "app/main_window_controls.h"
#include "analysis/tables.h"
#include "balloon/measured_balloon.h"
#include "platform/number_text.h"
#include "platform/qt/image_canvas.h"
#include "views/balloon_display.h"
#include "views/view_area.h"

namespace vantrel {
namespace {

constexpr std::string_view kName = "render";

struct RenderOptions {
    std::string balloon, output;
    std::string mode = "measurement";
    int bin = -1;
    double hz = std::numeric_limits<double>::quiet_NaN();
    std::string view, sliceMode = "full", area = "view", source, target;
    std::string quantity = "response";
    SelectionState selection;
};

// "a,b,c" of integers into out; false on anything else.
bool parseIntegers(const std::string& text, std::vector<int>& out, std::size_t count)
{
    out.clear();
    const char* p = text.data();
    const char* end = p + text.size();
    while (true) {
        int v = 0;
        const auto r = std::from_chars(p, end, v);
        if (r.ec != std::errc())
            return false;
        out.push_back(v);
        p = r.ptr;
        if (p == end)
            break;
        if (*p != ',')
            return false;
        ++p;
    }
    return out.size() == count;
}

int nearestBin(const FrequencyAxis& axis, double hz)
{
    int best = 0;
    for (int i = 1; i < kAxisPoints; ++i)
        if (std::abs(axis[i] - hz) < std::abs(axis[best] - hz))
            best = i;
    return best;
}

// A cell as "ROW,COLUMN" inside the block's rows 0..36 and columns 0..72.
bool parseCell(const std::string& text, int& row, int& column)
{
    std::vector<int> v;
    if (!parseIntegers(text, v, 2) || !kCellRowRange.contains(v[0]) || !kCellColumnRange.contains(v[1]))
        return false;
    row = v[0];
    column = v[1];
    return true;
}

int runRender(RenderOptions& o)
{
    SelectionState& sel = o.selection;
    if (!o.view.empty()) {
        // The degrees the window shows: H = 360 - viewScrollH, V = viewScrollV - 360,
        // side = viewScrollSide - 90.
        std::vector<int> v;
        if (!parseIntegers(o.view, v, 3))
            return cliUsageError(kName, "--view takes three whole degrees H,V,SIDE, for example 30,-15,0");
        if (!kViewScrollRange.contains(360 - v[0]) || !kViewScrollRange.contains(v[1] + 360) ||
            !kViewScrollSideRange.contains(v[2] + 90))
            return cliUsageError(kName, "--view: H and V must lie in -360..360 and SIDE in -90..90");
        sel.viewScrollH = 360 - v[0];
        sel.viewScrollV = v[1] + 360;
        sel.viewScrollSide = v[2] + 90;
    }
    if (!o.source.empty() && !parseCell(o.source, sel.repairSourceRow, sel.repairSourceColumn))
        return cliUsageError(kName, "--repair-source takes ROW,COLUMN with ROW in 0..36 and COLUMN in 0..72");
    if (!o.target.empty() && !parseCell(o.target, sel.repairTargetRow, sel.repairTargetColumn))
        return cliUsageError(kName, "--repair-target takes ROW,COLUMN with ROW in 0..36 and COLUMN in 0..72");
    const bool byHz = !std::isnan(o.hz);
    if (byHz && !(std::isfinite(o.hz) && o.hz > 0))
        return cliUsageError(kName, "--hz must be a frequency above 0 Hz");

    auto matrix = BalloonMatrix::create();
    if (!matrix)
        return cliRefusal(kName, "not enough memory for the balloon");
    const MeasuredBalloonLoad loaded = loadMeasuredBalloon(o.balloon, *matrix);
    if (!loaded) {
        if (loaded.error == kBalloonNotRecognized)
            return cliRefusal(kName, "'" + o.balloon + "': " + loaded.error);
        std::string reason = loaded.error;
        for (std::size_t at; (at = reason.find("\n\n")) != std::string::npos;)
            reason.replace(at, 2, ": ");
        return cliUsageError(kName, "cannot read " + reason);
    }
    std::optional<DistortionQuantity> quantity;
    if (o.quantity != "response") {
        // The distortion beside the balloon, drawn in place of the responses.
        quantity = o.quantity == "thd" ? DistortionQuantity::thd : o.quantity == "h2" ? DistortionQuantity::h2 : DistortionQuantity::h3;
        std::string error;
        const std::optional<DistortionBalloon> distortion = distortionBeside(o.balloon, error);
        if (!distortion)
            return error.empty() ? cliRefusal(kName, "no distortion file '" + distortionPathFor(o.balloon) +
                                                         "' beside the balloon: measure it with --excitation sweep")
                                 : cliUsageError(kName, error);
        distortionLevels(*distortion, *quantity, 90.0f, *matrix);
        if (o.mode == "measurement")
            o.mode = "fine";
    }
    const BalloonTrailer& trailer = *loaded.settings;
    FrequencyAxis axis;
    axis.buildFromIndexes(trailer.fromIndex, trailer.toIndex);
    const AngleGrid grid = angleGridFromFlag(trailer.angleGridFlag);
    if (byHz) {
        // Only a frequency the file measured on: the nearest point of a frequency off the axis
        // would be its first or last point, drawn as if it were the one asked for.
        if (o.hz < axis.from() * (1.0 - 1e-9) || o.hz > axis.to() * (1.0 + 1e-9))
            return cliUsageError(kName, "--hz " + cleanFixedText(o.hz, 1) + " Hz lies outside the balloon's axis, " +
                                            cleanFixedText(axis.from(), 0) + " Hz .. " + cleanFixedText(axis.to(), 0) +
                                            " Hz");
        // Nor a frequency outside the measurement: the picture would show filler as the loudspeaker.
        const ValidBand band = validBand(trailer, axis, loaded.measured);
        if (!band.containsHz(o.hz, axis))
            return cliUsageError(kName, "--hz " + cleanFixedText(o.hz, 1) + " Hz lies outside the valid band " +
                                            validBandText(band, axis));
        sel.selectedBin = nearestBin(axis, o.hz);
    }
    else if (o.bin >= 0)
        sel.selectedBin = o.bin;

    const std::string& mode = o.mode;
    sel.viewMode = mode == "measurement" ? kMeasurementMode
                 : mode == "test"        ? kTestMode
                 : mode == "coarse"      ? kCoarseMode
                 : mode == "fine"        ? kFineMode
                                         : kRawMode; // raw, and the column and repair views
    sel.sliceMode = o.sliceMode == "left" ? kSliceLeft : o.sliceMode == "right" ? kSliceRight : kSliceFull;

    ensureGuiApplication();
    QImage image(kMainWidth, kMainHeight, QImage::Format_RGB32);
    ImageCanvas canvas(image);
    canvas.erase(kMainBackground);
    const int sequencePhase = 0;
    BalloonDisplay display(*matrix, sel, axis, grid, sequencePhase);
    if (quantity)
        display.setCaption([&] { return distortionCaption(*quantity, axis[sel.selectedBin]); });
    display.paint(canvas, false, false);
    // What the window draws over its repaint when the view is chosen by a control.
    if (mode == "test") {
        display.drawBalloonPoints(canvas, 1, 0, 0, 0);
        display.drawBalloonPoints(canvas, 0, 0, 0, 1);
    } else if (mode == "column") {
        display.drawColumnView(canvas);
    } else if (mode == "repair") {
        display.drawColumnView(canvas);
        display.drawRepairMarks(canvas);
    }

    const QImage out = o.area == "window"
                           ? image
                           : image.copy(kViewArea.left, kViewArea.top, kViewArea.right - kViewArea.left,
                                        kViewArea.bottom - kViewArea.top);
    if (!out.save(QString::fromStdString(o.output), "PNG"))
        return cliUsageError(kName, "cannot write '" + o.output + "'");
    return 0;
}

std::function<int()> setupRender(CLI::App& app)
{
    auto o = std::make_shared<RenderOptions>();
    SelectionState& s = o->selection;
    app.add_option("BALLOON", o->balloon, "the balloon file (*.BAL)")->required();
    app.add_option("-o,--output", o->output, "the picture to write (PNG)")->required();
    app.add_option("--mode", o->mode, "the view: measurement, test, raw, coarse, fine, column or repair")
        ->check(CLI::IsMember({"measurement", "test", "raw", "coarse", "fine", "column", "repair"}));
    auto* bin = app.add_option("--bin", o->bin, "frequency bin 0..749 (default 460)")->check(CLI::Range(0, 749));
    auto* hz = addDecimalOption(app, "--hz", o->hz, "frequency in Hz; the nearest point of the file's axis");
    bin->excludes(hz);
    app.add_option("--view", o->view, "view rotation H,V,SIDE in whole degrees as the window shows them (default 1,1,0)");
    app.add_option("--slice-mode", o->sliceMode, "columns of the colour balloon: left, right or full")
        ->check(CLI::IsMember({"left", "right", "full"}));
    app.add_option("--slice", s.sliceLimit, "slice limit 0..36 (default 36)")->check(CLI::Range(0, 36));
    app.add_option("--column", s.selectedColumn, "column of the column and repair views, 0..72")->check(CLI::Range(0, 72));
    app.add_option("--colour-scale", s.colourScale, "colour scale 0..100 (factor 0.02 each, default 60)")
        ->check(CLI::Range(0, 100));
    app.add_option("--repair-source", o->source, "source cell ROW,COLUMN of the repair view (default 0,0)");
    app.add_option("--repair-target", o->target, "target cell ROW,COLUMN of the repair view (default 0,0)");
    app.add_option("--quantity", o->quantity,
                   "response (the balloon), or thd, h2 or h3 from the distortion file beside it (*.DST)")
        ->check(CLI::IsMember({"response", "thd", "h2", "h3"}));
    app.add_option("--area", o->area, "view (the view area) or window (the whole main window)")
        ->check(CLI::IsMember({"view", "window"}));
    return [o] { return runRender(*o); };
}

const CliRegistration registration({"render", "Draw a view of a balloon file, or of the distortion file beside it, as a PNG picture, as "
                                                "the window shows it",
                                    setupRender});

} // namespace
} // namespace vantrel
