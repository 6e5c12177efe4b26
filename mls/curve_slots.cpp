#include "mls/curve_slots.h"

#include <cmath>

namespace vantrel {

namespace {

constexpr double kDegreesPerRadian = 57.288; // the measurement's own factor, not 180/pi
constexpr int kSlotCount = 10;

int slotIndex(int slot) { return ((slot % kSlotCount) + kSlotCount) % kSlotCount; }

Curve& curve(CurveSet& curves, int index) { return curves[static_cast<std::size_t>(index)]; }

// Elements 750..755: in-use flag, red, green, blue, pen width, pen style.
void setAttributes(Curve& c, const LineStyle& colour, const LineStyle& pen)
{
    c[750] = kCurveInUse;
    c[751] = static_cast<float>(colour.red);
    c[752] = static_cast<float>(colour.green);
    c[753] = static_cast<float>(colour.blue);
    c[754] = static_cast<float>(pen.width);
    c[755] = static_cast<float>(pen.style);
}

} // namespace

void markResultSlots(MlsSettings& s, CurveSet& curves)
{
    s.splSlot = slotIndex(s.splSlot);
    s.phaseSlot = slotIndex(s.phaseSlot);
    // Phase slot k takes the colour of level slot k + 1, so that both curves of one result differ.
    const bool own = s.slotColours == 1;
    const LineStyle& splColour = kLineStyleTable[static_cast<std::size_t>(own ? s.splSlot : 0)];
    const LineStyle& phaseColour = kLineStyleTable[static_cast<std::size_t>(own ? (s.phaseSlot + 1) % kSlotCount : 1)];
    setAttributes(curve(curves, kSplCurve0 + s.splSlot), splColour, kLineStyleTable[0]);
    setAttributes(curve(curves, kPhaseCurve0 + s.phaseSlot), phaseColour, kLineStyleTable[1]);
}

void advanceResultSlots(MlsSettings& s)
{
    s.splSlot = slotIndex(s.splSlot + 1);
    s.phaseSlot = slotIndex(s.phaseSlot + 1);
}

void putCellInCurveSlots(const BalloonMatrix& matrix, CellIndex at, MlsSettings& s, CurveSet& curves)
{
    if (!BalloonMatrix::inBlock(at.row, at.column))
        return;
    markResultSlots(s, curves);
    Curve& level = curve(curves, kSplCurve0 + s.splSlot);
    Curve& phase = curve(curves, kPhaseCurve0 + s.phaseSlot);
    const auto cell = matrix.cell(at.row, at.column);
    for (std::size_t b = 0; b < kDataBins; ++b) {
        const float p = 3.0f * cell[b].re;
        const float q = 3.0f * cell[b].im;
        const double pd = p, qd = q;
        level[b] = static_cast<float>(10.0 * std::log10(pd * pd + qd * qd + 1e-13));
        phase[b] = static_cast<float>(std::atan2(qd, p == 0.0f ? 1e-9 : pd) * kDegreesPerRadian);
    }
    advanceResultSlots(s);
}

} // namespace vantrel
