#include "views/view_area.h"

#include "views/drawing_resources.h"

namespace vantrel {

void clearViewArea(Canvas& canvas)
{
    const ScopedPenBrush select(canvas, kPenBlack1, Brush{kWhite, false});
    canvas.rectangle(kViewArea.left, kViewArea.top, kViewArea.right, kViewArea.bottom);
}

} // namespace vantrel
