// The six plots of the measurement window, drawn on the same image canvas as the windows and
// read back by pixel, or through a canvas that records the texts.

#include <gtest/gtest.h>

#include <QImage>
#include <string>
#include <vector>

#include "mls/mls_plots.h"
#include "platform/qt/image_canvas.h"

using namespace vantrel;

namespace {

// Keeps every text with its position; draws nothing.
class TextCanvas final : public Canvas {
public:
    struct Text {
        int x, y;
        std::string text;
    };
    Pen setPen(const Pen& p) override { return std::exchange(pen_, p); }
    Brush setBrush(const Brush& b) override { return std::exchange(brush_, b); }
    Font setFont(Font f) override { return std::exchange(font_, f); }
    void setTextColour(Rgb) override {}
    void setTextBackground(bool, Rgb) override {}
    void rectangle(int, int, int, int) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void textOut(int x, int y, std::string_view t) override { texts.push_back({x, y, std::string(t)}); }

    std::vector<std::string> strings() const
    {
        std::vector<std::string> out;
        for (const Text& t : texts)
            out.push_back(t.text);
        return out;
    }
    std::vector<Text> texts;

private:
    Pen pen_;
    Brush brush_;
    Font font_ = Font::System;
};

class Plot : public ::testing::Test {
protected:
    Plot() : image(kMeasureWidth, kMeasureHeight, QImage::Format_RGB32), canvas(image)
    {
        ensureGuiApplication();
        canvas.erase(kMeasureBackground);
        curves->fill(Curve{});
    }
    QRgb at(PlotRect area, int x, int y) const { return image.pixel(area.x + x, area.y + y); }
    void useSlot(int c, float value, int red)
    {
        Curve& curve = (*curves)[static_cast<std::size_t>(c)];
        curve.fill(value);
        curve[750] = 1;
        curve[751] = static_cast<float>(red);
        curve[752] = 0;
        curve[753] = 0;
        curve[754] = 1;
        curve[755] = 1;
    }
    int countInColumn(PlotRect area, int x, QRgb colour) const
    {
        int n = 0;
        for (int y = 0; y < area.height; ++y)
            n += at(area, x, y) == colour;
        return n;
    }

    QImage image;
    ImageCanvas canvas;
    std::unique_ptr<CurveSet> curves = std::make_unique<CurveSet>();
};

} // namespace

TEST_F(Plot, LevelMeterLightsOneBoxPerTwoUnitsFromTheBottom)
{
    const PlotRect r = kLevelMeterRect;
    const int b = r.height;
    const auto litBoxes = [&](int x) {
        int n = 0;
        for (int k = 0; k < 18; ++k)
            n += at(r, x + 6, b - 10 * k - 7) != qRgb(255, 255, 255);
        return n;
    };
    drawLevelMeter(canvas, r, kMeasureBackground, 0.0f, 33.9f);
    EXPECT_EQ(litBoxes(5), 1) << "box 0 is always lit";
    EXPECT_EQ(litBoxes(22), 17);
    EXPECT_EQ(at(r, 11, b - 7), qRgb(0, 164, 0)) << "palette entry 20";
    EXPECT_EQ(at(r, 28, b - 10 * 16 - 7), qRgb(196, 0, 0)) << "palette entry 36";
    EXPECT_EQ(at(r, 5, b - 23), qRgb(0, 0, 0)) << "black outline of an unlit box";
    EXPECT_EQ(at(r, 0, 11), qRgb(0, 0, 0)) << "line over the columns";

    drawLevelMeter(canvas, r, kMeasureBackground, 34.0f, 1000.0f);
    EXPECT_EQ(litBoxes(5), 18);
    EXPECT_EQ(litBoxes(22), 18);
    EXPECT_EQ(at(r, 11, b - 10 * 17 - 7), qRgb(128, 0, 0)) << "top box, palette entry 37";
}

TEST_F(Plot, SplValuesClampToTheEdgesAndLegendsFollowTheSlots)
{
    const PlotRect r = kSplPlotRect;
    useSlot(0, 25.0f, 200);  // 115 dB
    useSlot(1, -60.0f, 201); // 30 dB
    drawSplPlot(canvas, r, {*curves});
    EXPECT_EQ(at(r, 300, 0), qRgb(200, 0, 0)) << "above 110 dB on the top edge";
    EXPECT_EQ(at(r, 300, 350), qRgb(201, 0, 0)) << "below 40 dB on y = 350";
    EXPECT_EQ(at(r, 40, 10), qRgb(200, 0, 0)) << "legend stroke of slot 0";
    EXPECT_EQ(at(r, 40, 25), qRgb(201, 0, 0)) << "legend stroke of slot 1";
    EXPECT_EQ(at(r, 40, 40), qRgb(255, 255, 255)) << "no stroke for an unused slot";

    TextCanvas texts;
    drawSplPlot(texts, r, {*curves});
    int spl = 0;
    for (const auto& t : texts.texts)
        spl += t.text == "SPL";
    EXPECT_EQ(spl, 2);
}

TEST_F(Plot, EmptySplPlotShowsGridTitleAndAnglesOnly)
{
    const PlotRect r = kSplPlotRect;
    TextCanvas texts;
    SplPlotInput input{*curves};
    input.currentVAngle = -45;
    input.currentHAngle = 30;
    input.selectedRow = 3;
    input.selectedColumn = 7;
    drawSplPlot(texts, r, input);
    EXPECT_EQ(texts.strings(), (std::vector<std::string>{"SPL vs. Frequency", "V-Angle -45, H-Angle 30       ",
                                                         "Vertical 3, Horizontal 7     "}));
    drawSplPlot(canvas, r, input);
    EXPECT_EQ(at(r, 300, 25), qRgb(164, 164, 0)) << "grid row";
    EXPECT_EQ(at(r, 301, 25), qRgb(255, 255, 255)) << "dots every 2 pixels";
    EXPECT_EQ(at(r, 300, 5), qRgb(255, 255, 64)) << "title box";
    const int x1k = frequencyPixel(1000, 10, 50000);
    EXPECT_EQ(at(r, x1k, 100), qRgb(164, 164, 0)) << "1 kHz grid line";
}

TEST_F(Plot, PhaseSlotsOnlyWithShowPhaseButTheCalibrationPhaseAlways)
{
    const PlotRect r = kSplPlotRect;
    useSlot(10, 100.0f, 210); // y = 75
    useSlot(kCalibrationPhaseCurve, -100.0f, 211); // y = 275
    SplPlotInput input{*curves};
    drawSplPlot(canvas, r, input);
    EXPECT_EQ(at(r, 400, 75), qRgb(210, 0, 0));
    EXPECT_EQ(at(r, 400, 275), qRgb(211, 0, 0));
    EXPECT_EQ(at(r, 90, 10), qRgb(210, 0, 0)) << "phase legend of curve 10";

    input.showPhase = false;
    drawSplPlot(canvas, r, input);
    EXPECT_EQ(countInColumn(r, 400, qRgb(210, 0, 0)), 0);
    EXPECT_EQ(at(r, 400, 275), qRgb(211, 0, 0));
    TextCanvas texts;
    drawSplPlot(texts, r, input);
    for (const auto& t : texts.texts)
        EXPECT_NE(t.text, "PH");
}

TEST_F(Plot, FrequencyScaleLabelsFromTenHertzToFiftyKilohertz)
{
    TextCanvas texts;
    drawFrequencyScale(texts, kFrequencyScaleRect, kMeasureBackground, 10, 50000);
    EXPECT_EQ(texts.strings(), (std::vector<std::string>{"10", "20", "30", "40", "60", "80", "100", "200", "300", "400",
                                                         "600", "1k", "2k", "3k", "4k", "6k", "8k", "10k", "20k", "30k",
                                                         "40k", "Hz"}));
    EXPECT_EQ(texts.texts.front().x, kFrequencyScaleRect.x - 1);
    EXPECT_EQ(texts.texts[11].x, kFrequencyScaleRect.x + frequencyPixel(1000, 10, 50000) - 1);

    // Drawn: pixels under the 1k label, none where 5k would stand.
    drawFrequencyScale(canvas, kFrequencyScaleRect, kMeasureBackground, 10, 50000);
    const auto inked = [&](int x0) {
        int n = 0;
        for (int x = x0; x < x0 + 8; ++x)
            for (int y = 0; y < kFrequencyScaleRect.height; ++y)
                n += at(kFrequencyScaleRect, x, y) != qRgb(240, 240, 240);
        return n;
    };
    EXPECT_GT(inked(frequencyPixel(1000, 10, 50000)), 5);
    EXPECT_EQ(inked(frequencyPixel(5000, 10, 50000) + 1), 0);

    TextCanvas high;
    drawFrequencyScale(high, kFrequencyScaleRect, kMeasureBackground, 500, 2000);
    EXPECT_EQ(high.strings(), (std::vector<std::string>{"600", "1k", "Hz"}));
}

TEST_F(Plot, TimeAndLevelScales)
{
    TextCanvas time;
    drawTimeScale(time, kTimeScaleRect, kMeasureBackground, 48000);
    ASSERT_EQ(time.texts.size(), 20u);
    EXPECT_EQ(time.texts[0].text, "0.00");
    EXPECT_EQ(time.texts[1].text, "0.83");
    EXPECT_EQ(time.texts[2].text, "1.67");
    EXPECT_EQ(time.texts[18].text, "15.00");
    EXPECT_EQ(time.texts[18].x, kTimeScaleRect.x + 721);
    EXPECT_EQ(time.texts[19].text, "ms");

    TextCanvas level;
    drawLevelScale(level, kLevelScaleRect, kMeasureBackground);
    ASSERT_EQ(level.texts.size(), 16u);
    EXPECT_EQ(level.texts[0].text, "110");
    EXPECT_EQ(level.texts[14].text, "40");
    EXPECT_EQ(level.texts[14].y, kLevelScaleRect.y + 353);
    EXPECT_EQ(level.texts[15].text, "dB");
}

TEST_F(Plot, ImpulsePlotClampsCurvesAndDrawsTheWindowFromItsPosition)
{
    const PlotRect r = kImpulsePlotRect;
    std::vector<float> signal(1000, 0.0f);
    signal[40] = 12.5f;
    Curve& ref = (*curves)[kRefImpulseCurve];
    ref.fill(0.0f);
    ref[100] = 1000.0f; // far above the plot
    ref[752] = 1;
    ref[753] = 0, ref[754] = 0, ref[755] = 164, ref[756] = 1, ref[757] = 1;
    Curve& in = (*curves)[kInImpulseCurve];
    in.fill(-1000.0f); // far below
    in[752] = 1;
    in[753] = 164, in[754] = 0, in[755] = 0, in[756] = 1, in[757] = 1;
    Curve& window = (*curves)[kTimeWindowCurve];
    window.fill(1.0f);
    window[752] = 1;

    TextCanvas texts;
    drawImpulsePlot(texts, r, {*curves, signal, signal, 40, true});
    bool readout = false, labels = false;
    for (const auto& t : texts.texts) {
        readout |= t.text == "Ref = 12.50, In = 12.50, Bin = 40" && t.y == r.y + 3;
        labels |= t.text == "-100" && t.x == r.x - 18;
    }
    EXPECT_TRUE(readout);
    EXPECT_TRUE(labels);

    drawImpulsePlot(canvas, r, {*curves, signal, signal, 40, true});
    EXPECT_EQ(at(r, 100, 0), qRgb(0, 0, 164)) << "REF clamped to the top";
    EXPECT_EQ(at(r, 300, 198), qRgb(164, 0, 0)) << "IN clamped to y = 198";
    EXPECT_EQ(at(r, 40, 100), qRgb(0, 128, 0)) << "window edge rises at its position";
    EXPECT_EQ(at(r, 300, 63), qRgb(0, 128, 0)) << "window of 1.0 at 143 - 80";
    EXPECT_EQ(countInColumn(r, 20, qRgb(0, 128, 0)), 0) << "nothing before the position";
    EXPECT_EQ(at(r, 201, 143), qRgb(192, 0, 0)) << "IN zero line";
    EXPECT_EQ(at(r, 20, 143), qRgb(164, 164, 0)) << "column dots stay visible on the zero line";
    EXPECT_EQ(at(r, 21, 143), qRgb(192, 0, 0));

    drawImpulsePlot(canvas, r, {*curves, signal, signal, 40, false});
    EXPECT_EQ(countInColumn(r, 300, qRgb(0, 128, 0)), 0) << "window hidden";
}

TEST(CurvePens, StylesAndColoursFromTheAttributes)
{
    auto curves = std::make_unique<CurveSet>();
    curves->fill(Curve{});
    Curve& c = (*curves)[3];
    c[751] = 300.7f, c[752] = 12.9f, c[753] = -4, c[754] = 2, c[755] = 3;
    Pen p = curvePen(*curves, 3);
    EXPECT_EQ(p.colour, (Rgb{255, 12, 0}));
    EXPECT_EQ(p.width, 2);
    EXPECT_EQ(p.style, PenStyle::Dash);
    c[755] = 2;
    EXPECT_EQ(curvePen(*curves, 3).style, PenStyle::Dot);
    c[755] = 0;
    EXPECT_EQ(curvePen(*curves, 3).style, PenStyle::Solid);
    c[755] = 9;
    EXPECT_EQ(curvePen(*curves, 3).style, PenStyle::Solid);
    EXPECT_EQ(curveFlagElement(21), 752);
    EXPECT_EQ(curveFlagElement(26), 750);
}

// Every control inside the window, none over a plot area or another control, and each one in
// a group box lies wholly inside it; the labels the plots draw outside their areas stay clear
// of the controls as well.
TEST(MeasureLayout, ControlsNeitherOverlapNorLeaveTheWindow)
{
    struct Box {
        int left, top, right, bottom;
    };
    const auto box = [](const ControlSpec& c) { return Box{c.x, c.y, c.x + c.width, c.y + c.height}; };
    const auto overlap = [](Box a, Box b) { return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom; };
    const auto inside = [](Box inner, Box outer) {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
    };
    const Box window{0, 0, kMeasureWidth, kMeasureHeight};
    // The impulse plot's labels reach 33 pixels to its left and 5 above it.
    const Box impulseLabels{kImpulsePlotRect.x - 33, kImpulsePlotRect.y - 5, kImpulsePlotRect.x, kImpulsePlotRect.y + 200};
    for (const ControlSpec& a : kMeasureControls) {
        EXPECT_TRUE(inside(box(a), window)) << a.id;
        if (a.kind != ControlKind::PlotArea && a.kind != ControlKind::GroupBox) {
            EXPECT_FALSE(overlap(box(a), impulseLabels)) << a.id;
        }
        for (const ControlSpec& b : kMeasureControls) {
            if (&a >= &b)
                continue;
            const bool groupA = a.kind == ControlKind::GroupBox, groupB = b.kind == ControlKind::GroupBox;
            if (!overlap(box(a), box(b)))
                continue;
            if (groupA != groupB) {
                const ControlSpec& group = groupA ? a : b;
                const ControlSpec& member = groupA ? b : a;
                EXPECT_TRUE(inside(box(member), box(group))) << member.id << " straddles group " << group.id;
                EXPECT_NE(member.kind, ControlKind::PlotArea) << "group " << group.id << " over a plot";
            } else {
                ADD_FAILURE() << a.id << " overlaps " << b.id;
            }
        }
    }
}
