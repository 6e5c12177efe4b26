#include "analysis/pictures.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "platform/number_text.h"
#include "views/drawing_resources.h"

namespace vantrel {

namespace {

// Fractional bin of a frequency on the axis: f[b] = from (to/from)^((b + 1) / 750).
double binPosition(const FrequencyAxis& axis, double hz)
{
    const double b = kAxisPoints * std::log(hz / axis.from()) / std::log(axis.to() / axis.from()) - 1.0;
    return std::clamp(b, 0.0, static_cast<double>(kDataBins - 1));
}

// The frequency scale of a map: the valid band and nothing beyond it.
LogAxis frequencyAxisOver(const FrequencyAxis& axis, const ValidBand& band, PlotRect rect)
{
    return LogAxis(axis[band.first], axis[band.last], rect.left, rect.right);
}

// Level of the orbit relative to its axis at every point and bin (or as it stands).
std::vector<std::array<double, kDataBins>> mapLevels(const OrbitLevels& orbit, bool absolute)
{
    std::vector<std::array<double, kDataBins>> levels = orbit.db;
    if (absolute)
        return levels;
    const std::array<double, kDataBins> reference = orbit.db[orbit.axisIndex()];
    for (auto& row : levels)
        for (std::size_t b = 0; b < row.size(); ++b)
            row[b] -= reference[b];
    return levels;
}

void drawColourBar(Canvas& canvas, const MapScale& scale, std::string_view unit)
{
    const PlotRect bar = kPolarMapColourBar;
    const LinearAxis levels(scale.low, scale.top(), bar.bottom, bar.top);
    const Pen pen = canvas.setPen({{0, 0, 0}, 1, PenStyle::Null});
    for (int i = 0; i < kPaletteSize; ++i) {
        canvas.setBrush(ColourPalette::brush(i));
        const int y0 = static_cast<int>(std::lround(levels.toPixel(scale.low + (i + 1) * scale.step)));
        const int y1 = static_cast<int>(std::lround(levels.toPixel(scale.low + i * scale.step)));
        canvas.rectangle(bar.left, y0, bar.right, y1);
    }
    canvas.setPen(pen);
    drawFrame(canvas, bar);
    const Pen tick = canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
    const double labelStep = scale.labelStep;
    const int decimals = labelStep < 1.0 - 1e-9 ? 2 : labelStep != std::floor(labelStep) ? 1 : 0;
    for (double v = std::ceil(scale.low / labelStep - 1e-9) * labelStep; v <= scale.top() + 1e-9; v += labelStep) {
        const int y = static_cast<int>(std::lround(levels.toPixel(v)));
        canvas.moveTo(bar.right, y);
        canvas.lineTo(bar.right + 4, y);
        drawLabel(canvas, bar.right + 7, y - 7, cleanFixedText(v, decimals));
    }
    canvas.setPen(tick);
    drawLabel(canvas, bar.left - 12, bar.top - 22, unit);
}

struct LevelMap {
    const std::vector<std::array<double, kDataBins>>* levels = nullptr; // one row per orbit point
    int stepDegrees = 0;
    MapScale scale;
    std::optional<double> contourTop; // contours every 3 dB from here down; none when empty
};

// Angle against logarithmic frequency over the valid band, colour for the level.
void drawLevelField(Canvas& canvas, const LevelMap& map, const FrequencyAxis& axis, const ValidBand& band)
{
    const PlotRect field = kPolarMapField;
    const LogAxis fx = frequencyAxisOver(axis, band, field);
    const LinearAxis ay(180.0, -180.0, field.top, field.bottom);
    const auto& levels = *map.levels;
    const MapScale& scale = map.scale;
    const int points = static_cast<int>(levels.size());

    // The frequency grid's labels stay below the field, its lines under the colours.
    drawFrequencyGrid(canvas, field, fx, true);

    const int w = field.width();
    const int h = field.height();
    std::vector<double> level(static_cast<std::size_t>(w * h));
    for (int x = 0; x < w; ++x) {
        const double fb = std::clamp(binPosition(axis, fx.fromPixel(field.left + x + 0.5)),
                                     static_cast<double>(band.first), static_cast<double>(band.last));
        const int b0 = std::min(static_cast<int>(fb), band.last);
        const int b1 = std::min(b0 + 1, band.last);
        const double tb = fb - b0;
        for (int y = 0; y < h; ++y) {
            const double position = (ay.fromPixel(field.top + y + 0.5) + 180.0) / map.stepDegrees;
            const int p0 = std::clamp(static_cast<int>(std::floor(position)), 0, points - 1);
            const int p1 = std::min(p0 + 1, points - 1);
            const double tp = std::clamp(position - p0, 0.0, 1.0);
            auto at = [&](int p, int b) {
                return levels[static_cast<std::size_t>(p)][static_cast<std::size_t>(b)];
            };
            const double v0 = at(p0, b0) + tb * (at(p0, b1) - at(p0, b0));
            const double v1 = at(p1, b0) + tb * (at(p1, b1) - at(p1, b0));
            level[static_cast<std::size_t>(y * w + x)] = std::clamp(v0 + tp * (v1 - v0), scale.low, scale.top());
        }
    }

    // Colours: one rectangle per run of equal colour down each pixel column.
    {
        const Pen pen = canvas.setPen({{0, 0, 0}, 1, PenStyle::Null});
        for (int x = 0; x < w; ++x) {
            int start = 0;
            int colour = scale.colourIndex(level[static_cast<std::size_t>(x)]);
            for (int y = 1; y <= h; ++y) {
                const int c = y < h ? scale.colourIndex(level[static_cast<std::size_t>(y * w + x)]) : -1;
                if (c == colour)
                    continue;
                canvas.setBrush(ColourPalette::brush(colour));
                canvas.rectangle(field.left + x, field.top + start, field.left + x + 1, field.top + y);
                start = y;
                colour = c;
            }
        }
        canvas.setPen(pen);
    }

    // Contours every 3 dB from contourTop down: a pixel whose 3-dB band differs from its right
    // or lower neighbour's, where the boundary between them lies at or below contourTop. The
    // boundary at the top itself is left out: on a relative map it is the 0 dB line, which
    // the noise of the flat low-frequency region crosses everywhere in small closed loops.
    if (map.contourTop) {
        const double top = *map.contourTop;
        auto band3 = [&](int x, int y) {
            return static_cast<int>(std::ceil((level[static_cast<std::size_t>(y * w + x)] - top) / 3.0 - 1e-9));
        };
        auto boundary = [](int a, int b) { return a != b && std::min(a, b) < 0; };
        const Pen pen = canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int q = band3(x, y);
                if ((x + 1 < w && boundary(band3(x + 1, y), q)) || (y + 1 < h && boundary(band3(x, y + 1), q))) {
                    canvas.moveTo(field.left + x, field.top + y);
                    canvas.lineTo(field.left + x + 1, field.top + y);
                }
            }
        canvas.setPen(pen);
    }

    drawFrame(canvas, field);
    drawValueGrid(canvas, field, ay, 30.0, Side::Left, false);
    drawLabel(canvas, field.left - 70, field.top - 22, "Angle (degrees)");
}

} // namespace

PlaneLabel planeLabel(Plane plane)
{
    return plane == Plane::Horizontal ? PlaneLabel{"Horizontal", "+ = to the loudspeaker's left"}
                                      : PlaneLabel{"Vertical", "+ = up"};
}

PlaneLabel rolledPlaneLabel(double rollDegrees)
{
    const std::string roll = cleanFixedText(rollDegrees, rollDegrees == std::floor(rollDegrees) ? 0 : 1);
    const double r = std::fmod(std::fmod(rollDegrees, 360.0) + 360.0, 360.0);
    const std::string sense = r == 0.0    ? "+ = to the loudspeaker's left"
                              : r == 90.0  ? "+ = up"
                              : r == 180.0 ? "+ = to the loudspeaker's right"
                              : r == 270.0 ? "+ = down"
                                           : "+ = from its left turned " + roll + " degrees toward up";
    return {"Plane at roll " + roll + " degrees", sense};
}

int MapScale::colourIndex(double level) const
{
    const double i = std::floor((level - low) / step + 1e-9);
    if (!(i >= 0.0))
        return 0;
    return std::min(static_cast<int>(i), kPaletteSize - 1);
}

MapScale mapScale(const OrbitLevels& orbit, bool absolute, const ValidBand& band)
{
    if (!absolute)
        return {-36.0};
    double loudest = kSilentDb;
    for (const auto& row : orbit.db)
        for (int b = band.first; b <= band.last; ++b)
            loudest = std::max(loudest, row[static_cast<std::size_t>(b)]);
    return {std::ceil(loudest / 3.0) * 3.0 - 38.0};
}

MapScale differenceScale(double largestDb)
{
    // 38 colours symmetric about 0, spanning the next of these half-widths above the largest.
    for (double half : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0})
        if (largestDb <= half)
            return {-half * 19.0 / 18.0, half / 18.0, half / 2.0};
    return {-20.0 * 19.0 / 18.0, 20.0 / 18.0, 10.0};
}

int nearestBin(const FrequencyAxis& axis, double hz)
{
    return static_cast<int>(std::lround(binPosition(axis, hz)));
}

void drawPolarMap(Canvas& canvas, const OrbitLevels& orbit, const PlaneLabel& plane, const FrequencyAxis& axis,
                  int stepDegrees, bool absolute, const ValidBand& band)
{
    clearPicture(canvas, kPolarMapSize);
    const auto levels = mapLevels(orbit, absolute);
    LevelMap map;
    map.levels = &levels;
    map.stepDegrees = stepDegrees;
    map.scale = mapScale(orbit, absolute, band);
    // Relative: from -3 dB down; absolute: from 3 dB under the top of the scale down.
    map.contourTop = absolute ? map.scale.top() - 3.0 : -3.0;
    drawLevelField(canvas, map, axis, band);
    drawColourBar(canvas, map.scale, absolute ? "dB" : "dB re axis");

    const PlotRect field = kPolarMapField;
    const std::string title = plane.name + " polar map: " +
                              (absolute ? "level (dB)" : "level relative to on axis (dB)");
    drawLabel(canvas, field.left, 10, title);
    drawLabel(canvas, field.left, field.bottom + 44,
              "Every " + std::to_string(stepDegrees) + " degrees (" + plane.sense +
                  "); colours between them interpolated linearly in dB. Valid band only.");
    drawLabel(canvas, field.left, field.bottom + 62,
              std::string("Contours every 3 dB from ") + (absolute ? "3 dB under the top of the scale" : "-3 dB") +
                  " down. Levels beyond the scale take its end colours.");
    drawLabel(canvas, field.left, field.bottom + 80, "The band is " + validFromText(band, axis) + ".");
}

void drawDifferenceMap(Canvas& canvas, const std::vector<std::array<double, kDataBins>>& difference,
                       const PlaneLabel& plane, const FrequencyAxis& axis, int stepDegrees, const ValidBand& band,
                       bool relative, double largestDb)
{
    clearPicture(canvas, kPolarMapSize);
    LevelMap map;
    map.levels = &difference;
    map.stepDegrees = stepDegrees;
    map.scale = differenceScale(largestDb);
    drawLevelField(canvas, map, axis, band);
    drawColourBar(canvas, map.scale, "dB, B - A");

    const PlotRect field = kPolarMapField;
    drawLabel(canvas, field.left, 10,
              plane.name + " difference map: B minus A" +
                  (relative ? ", each relative to its own on-axis level (dB)" : ", plain levels (dB)"));
    drawLabel(canvas, field.left, field.bottom + 44,
              "Every " + std::to_string(stepDegrees) + " degrees (" + plane.sense + "); largest difference " +
                  cleanFixedText(largestDb, 3) + " dB. Valid band only.");
    drawLabel(canvas, field.left, field.bottom + 62,
              "Blue: B quieter than A; red: B louder. No contours; differences beyond the scale take its end colours.");
    drawLabel(canvas, field.left, field.bottom + 80, "The band is " + validFromText(band, axis) + ".");
}

void drawPolarPlots(Canvas& canvas, const OrbitLevels& horizontal, const OrbitLevels& vertical,
                    const FrequencyAxis& axis, std::span<const int> bins,
                    const std::pair<PlaneLabel, PlaneLabel>& labels)
{
    constexpr PictureSize size = kPolarPlotsSize;
    clearPicture(canvas, size);
    constexpr int radius = 220;
    constexpr int cy = 320;
    static constexpr std::array<Rgb, 8> colours{{
        {0, 60, 220}, {220, 0, 0}, {0, 150, 0}, {230, 130, 0}, {170, 0, 170}, {0, 0, 0}, {0, 170, 190}, {120, 80, 0},
    }};

    // Outer ring at 0 dB unless an off-axis level rises above the axis.
    double loudest = 0.0;
    for (const OrbitLevels* orbit : {&horizontal, &vertical})
        for (int b : bins)
            for (const auto& row : orbit->db)
                loudest = std::max(loudest, row[static_cast<std::size_t>(b)] -
                                                orbit->db[orbit->axisIndex()][static_cast<std::size_t>(b)]);
    const double top = std::min(12.0, std::ceil(loudest / 6.0 - 1e-9) * 6.0);
    const double bottom = top - 36.0;

    drawLabel(canvas, 20, 10, "Polar response relative to on axis (dB), rings every 6 dB");

    int panel = 0;
    for (const OrbitLevels* orbit : {&horizontal, &vertical}) {
        const int cx = panel == 0 ? 265 : 775;
        ++panel;
        auto point = [&](double angleDegrees, double r) {
            const double a = angleDegrees * std::numbers::pi / 180.0;
            return std::pair<int, int>{static_cast<int>(std::lround(cx - std::sin(a) * r)),
                                       static_cast<int>(std::lround(cy - std::cos(a) * r))};
        };
        const PlaneLabel& label = panel == 1 ? labels.first : labels.second;
        drawLabel(canvas, cx, cy - radius - 46, label.name + " (" + label.sense + ")", Align::Centre);

        // Rings and spokes.
        for (double ring = top; ring >= bottom - 1e-9; ring -= 6.0) {
            const double r = radius * (ring - bottom) / (top - bottom);
            canvas.setPen({ring == 0.0 ? Rgb{120, 120, 120} : kGridGrey, 1, PenStyle::Solid});
            auto [x0, y0] = point(0, r);
            canvas.moveTo(x0, y0);
            for (int a = 2; a <= 360; a += 2) {
                auto [x, y] = point(a, r);
                canvas.lineTo(x, y);
            }
            if (ring > bottom)
                drawLabel(canvas, cx + 3, static_cast<int>(cy - r) + 1, cleanFixedText(ring, 0), Align::Left,
                          {90, 90, 90});
        }
        for (int a = -150; a <= 180; a += 30) {
            canvas.setPen({kGridGrey, 1, PenStyle::Solid});
            canvas.moveTo(cx, cy);
            auto [x, y] = point(a, radius);
            canvas.lineTo(x, y);
            auto [lx, ly] = point(a, radius + 18);
            drawLabel(canvas, lx, ly - 7, std::to_string(a), Align::Centre);
        }

        // One curve per frequency through the measured angles only.
        for (std::size_t i = 0; i < bins.size(); ++i) {
            const auto b = static_cast<std::size_t>(bins[i]);
            const double reference = orbit->db[orbit->axisIndex()][b];
            canvas.setPen({colours[i % colours.size()], 2, PenStyle::Solid});
            for (std::size_t p = 0; p < orbit->angles.size(); ++p) {
                const double level = std::clamp(orbit->db[p][b] - reference, bottom, top);
                auto [x, y] = point(orbit->angles[p], radius * (level - bottom) / (top - bottom));
                if (p == 0)
                    canvas.moveTo(x, y);
                else
                    canvas.lineTo(x, y);
            }
        }
    }
    canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});

    // Legend in one row under both plots.
    int x = 40;
    const int y = size.height - 40;
    for (std::size_t i = 0; i < bins.size(); ++i) {
        canvas.setPen({colours[i % colours.size()], 2, PenStyle::Solid});
        canvas.moveTo(x, y + 8);
        canvas.lineTo(x + 28, y + 8);
        const std::string label = cleanFixedText(axis[bins[i]], 0) + " Hz";
        drawLabel(canvas, x + 34, y + 1, label);
        x += 34 + labelWidth(label) + 26;
    }
    canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
    drawLabel(canvas, 40, y - 22,
              "Nearest axis frequencies; lines join the measured angles; levels below the inner ring sit on it.");
}

namespace {

std::vector<std::optional<double>> column(const std::vector<DirectivityRow>& rows, auto member)
{
    std::vector<std::optional<double>> out;
    for (const DirectivityRow& r : rows)
        out.push_back(member(r));
    return out;
}

double extreme(const std::vector<std::optional<double>>& values, bool highest, double fallback)
{
    std::optional<double> best;
    for (const auto& v : values)
        if (v && *v > kSilentDb + 1.0)
            best = !best ? *v : highest ? std::max(*best, *v) : std::min(*best, *v);
    return best.value_or(fallback);
}

} // namespace

void drawDirectivity(Canvas& canvas, const std::vector<DirectivityRow>& rows, const DirectivitySummary& summary)
{
    clearPicture(canvas, kDirectivitySize);
    std::vector<double> hz;
    for (const DirectivityRow& r : rows)
        hz.push_back(r.frequencyHz);
    const auto onAxis = column(rows, [](const DirectivityRow& r) { return std::optional(r.onAxisDb); });
    const auto power = column(rows, [](const DirectivityRow& r) { return std::optional(r.soundPowerDb); });
    const auto di = column(rows, [](const DirectivityRow& r) { return std::optional(r.directivityIndexDb); });
    const auto bwH = column(rows, [](const DirectivityRow& r) { return r.beamwidthHorizontal; });
    const auto bwV = column(rows, [](const DirectivityRow& r) { return r.beamwidthVertical; });
    const Pen blue{{0, 60, 220}, 2, PenStyle::Solid};
    const Pen red{{220, 0, 0}, 2, PenStyle::Solid};
    const Pen green{{0, 140, 0}, 2, PenStyle::Solid};

    const PlotRect levels{80, 40, 880, 280};
    const PlotRect index{80, 340, 880, 540};
    const PlotRect width{80, 600, 880, 820};
    const LogAxis fx(hz.front(), hz.back(), levels.left, levels.right);

    {
        const double top = std::ceil(extreme(onAxis, true, 90.0) / 10.0) * 10.0 + 10.0;
        const LinearAxis ay(top, top - 60.0, levels.top, levels.bottom);
        drawFrequencyGrid(canvas, levels, fx, false);
        drawValueGrid(canvas, levels, ay, 10.0, Side::Left);
        drawCurve(canvas, levels, fx, ay, hz, power, red);
        drawCurve(canvas, levels, fx, ay, hz, onAxis, blue);
        drawFrame(canvas, levels);
        drawLabel(canvas, levels.left, levels.top - 24,
                  "On-axis and sound power level (dB)" +
                      (summary.validFrom.empty() ? std::string() : "; the band is " + summary.validFrom));
        const std::array<LegendEntry, 2> legend{{{"On axis", blue}, {"Sound power", red}}};
        drawLegend(canvas, levels.right - 150, levels.bottom - 50, legend);
    }
    {
        double lo = std::floor(std::min(0.0, extreme(di, false, 0.0)) / 3.0) * 3.0;
        double hi = std::ceil(std::max(3.0, extreme(di, true, 3.0)) / 3.0) * 3.0 + 3.0;
        lo = std::max(lo, hi - 60.0);
        const LinearAxis ay(hi, lo, index.top, index.bottom);
        drawFrequencyGrid(canvas, index, fx, false);
        drawValueGrid(canvas, index, ay, hi - lo > 30.0 ? 6.0 : 3.0, Side::Left);
        drawCurve(canvas, index, fx, ay, hz, di, green);
        drawFrame(canvas, index);
        drawLabel(canvas, index.left, index.top - 24,
                  "Directivity index: on axis minus sound power (dB)" +
                      (summary.diSlope ? "; slope " + cleanFixedText(*summary.diSlope, 2) + " dB/octave, 200 Hz .. 16 kHz"
                                       : std::string()));
    }
    {
        const LinearAxis ay(360.0, 0.0, width.top, width.bottom);
        drawFrequencyGrid(canvas, width, fx, true);
        drawValueGrid(canvas, width, ay, 60.0, Side::Left);
        // Wider, so that where the planes agree the vertical line runs inside the horizontal.
        drawCurve(canvas, width, fx, ay, hz, bwH, {blue.colour, 5, PenStyle::Solid});
        drawCurve(canvas, width, fx, ay, hz, bwV, red);
        drawFrame(canvas, width);
        drawLabel(canvas, width.left, width.top - 24,
                  "-6 dB beamwidth (degrees); no line where the level never falls 6 dB");
        // The coverage table's points: a black-ringed square on each plane's curve.
        for (const CoverageRow& c : summary.coverage)
            for (const auto& [angle, colour] : {std::pair{c.horizontal, blue.colour}, std::pair{c.vertical, red.colour}}) {
                if (!angle)
                    continue;
                const int x = static_cast<int>(std::lround(fx.toPixel(c.axisHz)));
                const int y = static_cast<int>(std::lround(ay.toPixel(*angle)));
                const Pen ring = canvas.setPen({{0, 0, 0}, 1, PenStyle::Solid});
                const Brush fill = canvas.setBrush({colour, false});
                canvas.rectangle(x - 3, y - 3, x + 4, y + 4);
                canvas.setBrush(fill);
                canvas.setPen(ring);
            }
        const std::array<LegendEntry, 2> legend{{{"Horizontal", {blue.colour, 5, PenStyle::Solid}}, {"Vertical", red}}};
        drawLegend(canvas, width.right - 140, width.top + 10, legend);
    }
    if (!hz.empty())
        drawLabel(canvas, levels.left, 856,
                  "Squares: the -6 dB coverage at the one-third-octave centres. Valid band only: " +
                      hzText(hz.front()) + " .. " + hzText(hz.back()) + ".");
    if (summary.bestAxis) {
        const BestAxis& b = *summary.bestAxis;
        drawLabel(canvas, levels.left, 876,
                  "Best listening axis (flattest measured direction within +-30 H, +-20 V): H " +
                      degreesText(b.axis.h) + ", V " + degreesText(b.axis.v) + " degrees, NBD " +
                      cleanFixedText(b.nbd, 2) + " dB (on axis " + cleanFixedText(b.nbdOnAxis, 2) + " dB).");
    }
}

void drawCta2034(Canvas& canvas, const std::vector<Cta2034Row>& rows, ListenerAxis listener,
                 const PreferenceNumbers& numbers, const std::string& validFrom)
{
    clearPicture(canvas, kCta2034Size);
    const PlotRect plot{80, 50, 900, 560};
    std::vector<double> hz;
    for (const Cta2034Row& r : rows)
        hz.push_back(r.frequencyHz);
    auto curve = [&](double Cta2034Row::*member) {
        std::vector<std::optional<double>> out;
        for (const Cta2034Row& r : rows)
            out.push_back(r.*member);
        return out;
    };
    const double lo = std::max(20.0, hz.front());
    const double hi = std::min(20000.0, hz.back());
    const LogAxis fx(lo, hi, plot.left, plot.right);

    double loudest = kSilentDb;
    for (const Cta2034Row& r : rows)
        if (r.frequencyHz >= lo && r.frequencyHz <= hi)
            loudest = std::max({loudest, r.onAxis, r.listeningWindow});
    const double top = std::ceil(loudest / 5.0) * 5.0 + 5.0;
    const LinearAxis levels(top, top - 50.0, plot.top, plot.bottom);
    // The DIs share the dB scale, -5 dB at the bottom.
    const LinearAxis indexes(45.0, -5.0, plot.top, plot.bottom);

    drawFrequencyGrid(canvas, plot, fx, true);
    drawValueGrid(canvas, plot, levels, 5.0, Side::Left);
    drawValueGrid(canvas, plot, indexes, 5.0, Side::Right, false);

    const Pen onAxis{{0, 60, 220}, 2, PenStyle::Solid};
    const Pen window{{0, 150, 0}, 2, PenStyle::Solid};
    const Pen early{{230, 130, 0}, 2, PenStyle::Solid};
    const Pen power{{220, 0, 0}, 2, PenStyle::Solid};
    const Pen inRoom{{150, 0, 170}, 2, PenStyle::Solid};
    const Pen powerDi{{240, 130, 130}, 2, PenStyle::Solid};
    const Pen earlyDi{{240, 195, 90}, 2, PenStyle::Solid};
    drawCurve(canvas, plot, fx, indexes, hz, curve(&Cta2034Row::soundPowerDi), powerDi);
    drawCurve(canvas, plot, fx, indexes, hz, curve(&Cta2034Row::earlyReflectionsDi), earlyDi);
    drawCurve(canvas, plot, fx, levels, hz, curve(&Cta2034Row::predictedInRoom), inRoom);
    drawCurve(canvas, plot, fx, levels, hz, curve(&Cta2034Row::soundPower), power);
    drawCurve(canvas, plot, fx, levels, hz, curve(&Cta2034Row::earlyReflections), early);
    drawCurve(canvas, plot, fx, levels, hz, curve(&Cta2034Row::listeningWindow), window);
    drawCurve(canvas, plot, fx, levels, hz, curve(&Cta2034Row::onAxis), onAxis);
    drawFrame(canvas, plot);

    drawLabel(canvas, plot.left, 10,
              listener.isOnAxis()
                  ? std::string("CTA-2034-A from the horizontal and vertical 10-degree orbits")
                  : "CTA-2034-A around the listener axis H " + cleanFixedText(listener.h, 0) + ", V " +
                        cleanFixedText(listener.v, 0) + " degrees (orbits interpolated on the sphere)");
    if (!validFrom.empty())
        drawLabel(canvas, plot.left, 28, "The band is " + validFrom + ".");
    const std::vector<std::string> lines = preferenceLines(numbers);
    for (std::size_t i = 0; i < lines.size(); ++i)
        drawLabel(canvas, plot.left + (i < 4 ? 0 : 520), 630 + 20 * static_cast<int>(i % 4), lines[i]);
    drawLabel(canvas, plot.left, 630 + 20 * 4 + 6,
              "Olive 2004, AES 117th: rating = 12.69 - 2.49 NBD_ON - 2.99 NBD_PIR - 4.31 LFX + 2.32 SM_PIR; "
              "ideal subwoofer: LFX = log10(14.5 Hz).");
    drawLabel(canvas, plot.left - 8, plot.top - 22, "dB", Align::Right);
    drawLabel(canvas, plot.right + 6, plot.top - 22, "DI (dB)");
    const std::array<LegendEntry, 7> legend{{
        {"On Axis", onAxis},
        {"Listening Window", window},
        {"Early Reflections", early},
        {"Sound Power", power},
        {"Predicted In-Room", inRoom},
        {"Sound Power DI", powerDi},
        {"Early Reflections DI", earlyDi},
    }};
    drawLegend(canvas, plot.right + 60, plot.top + 40, legend);
}

void drawComparison(Canvas& canvas, const BalloonComparison& comparison, const std::string& title,
                    const std::string& validFrom)
{
    clearPicture(canvas, kComparePlotSize);
    const PlotRect plot{80, 50, 900, 470};
    std::vector<double> hz;
    std::vector<std::optional<double>> onAxis, power, di, largest;
    double extent = 0;
    for (const CompareRow& r : comparison.rows) {
        hz.push_back(r.frequencyHz);
        onAxis.push_back(r.onAxisDb);
        power.push_back(r.soundPowerDb);
        di.push_back(r.directivityIndexDb);
        largest.push_back(r.largestDb);
        extent = std::max({extent, std::abs(r.onAxisDb), std::abs(r.soundPowerDb), std::abs(r.directivityIndexDb),
                           r.largestDb});
    }
    if (hz.empty())
        return;
    // The next of 0.1, 0.2, 0.5, 1, 2, 5, .. dB above the largest value, at most 40.
    double half = 40.0;
    for (double h : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 20.0})
        if (extent <= h) {
            half = h;
            break;
        }
    const LogAxis fx(hz.front(), std::max(hz.back(), hz.front() * 1.01), plot.left, plot.right);
    const LinearAxis ay(half, -half, plot.top, plot.bottom);
    drawFrequencyGrid(canvas, plot, fx, true);
    drawValueGrid(canvas, plot, ay, half / 5.0, Side::Left);

    const Pen grey{{150, 150, 150}, 2, PenStyle::Solid};
    const Pen blue{{0, 60, 220}, 2, PenStyle::Solid};
    const Pen red{{220, 0, 0}, 2, PenStyle::Solid};
    const Pen green{{0, 140, 0}, 2, PenStyle::Solid};
    drawCurve(canvas, plot, fx, ay, hz, largest, grey);
    drawCurve(canvas, plot, fx, ay, hz, di, green);
    drawCurve(canvas, plot, fx, ay, hz, power, red);
    drawCurve(canvas, plot, fx, ay, hz, onAxis, blue);
    drawFrame(canvas, plot);
    drawLabel(canvas, plot.left, 10, "Difference " + title + " (dB)");
    const std::array<LegendEntry, 4> legend{{{"On axis", blue},
                                             {"Sound power", red},
                                             {"Directivity index", green},
                                             {"Largest |B - A| over the sphere", grey}}};
    drawLegend(canvas, plot.right - 290, plot.top + 10, legend);
    drawLabel(canvas, plot.left, plot.bottom + 44,
              "Largest difference " + cleanFixedText(comparison.largest.db, 3) + " dB at H " +
                  std::to_string(comparison.largest.direction.hDegrees) + ", V " +
                  std::to_string(comparison.largest.direction.vDegrees) + ", " +
                  cleanFixedText(comparison.largest.frequencyHz, 1) + " Hz; rms over the sphere " +
                  cleanFixedText(comparison.rmsDb, 3) + " dB.");
    if (!validFrom.empty())
        drawLabel(canvas, plot.left, plot.bottom + 62, "The band is " + validFrom + ".");
}

} // namespace vantrel
