#pragma once
// The ten level and ten phase memory slots of the curve set: which colour and pen a curve put
// into a slot gets, and the balloon cell shown as one more curve pair.

#include "balloon/balloon_matrix.h"
#include "mls/mls_settings.h"

namespace vantrel {

inline constexpr float kCurveInUse = 1.0f;

// Marks the next level and phase slots as in use with the colours a new result in those slots
// gets (own colours per slot, or entries 0 and 1 for all without slotColours) and the level
// and phase pens. The slot indexes are first brought into 0..9.
void markResultSlots(MlsSettings& settings, CurveSet& curves);

// Both slot indexes one further, 9 wrapping to 0.
void advanceResultSlots(MlsSettings& settings);

// The cell's bins 0..749 as the next level and phase curves, lifted by 20 log10 3 (9.54 dB):
//   p = 3 re, q = 3 im (float32)
//   level = 10 log10(p^2 + q^2 + 1e-13)            (an unmeasured cell gives -130)
//   phase = atan2(q, p') * 57.288 degrees, p' = 1e-9 where p is exactly 0
// then both slots advance. Nothing happens for a cell outside the block.
void putCellInCurveSlots(const BalloonMatrix& matrix, CellIndex cell, MlsSettings& settings, CurveSet& curves);

} // namespace vantrel
