#pragma once
// The static part of the main window's left panel, painted on every repaint: the
// "Presentation" and "Repair" group frames, the two turntable link boxes and the selection
// readouts.

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/selection_state.h"
#include "platform/canvas.h"

namespace vantrel {

struct StatusPanelState {
    SelectionState selection;
    float binFrequency = 0;  // Hz, the frequency of selection.selectedBin
    double binLevel = 0;     // last number of the painted bin readout: always 0.0
    bool turntable1Connected = false;
    bool turntable2Connected = false;
};

// The panel's values from the live state: the bin's frequency from the axis. The painted bin
// readout ends in 0.0; only the bin scroll bar's own readout shows a level (of row 0,
// column 0), until the next repaint covers it.
StatusPanelState makeStatusPanelState(const SelectionState& selection, const FrequencyAxis& axis,
                                      bool turntable1Connected,
                                      bool turntable2Connected);

// Link box rectangles (left, top, right, bottom) and their text origins.
struct LinkBox {
    int left, top, right, bottom;
    int textX, textY;
};
inline constexpr LinkBox kLinkBox1{220, 15, 390, 40, 240, 20};
inline constexpr LinkBox kLinkBox2{220, 430, 390, 455, 240, 435};

inline constexpr Rgb kLinkConnected{0, 255, 0};
inline constexpr Rgb kLinkDisconnected{255, 0, 0};

// Fills a link box in colour, outlined with the black 1-pixel pen; pen and brush restored.
void drawLinkBox(Canvas& canvas, const LinkBox& box, Rgb colour);

// Leaves the text background opaque (white), as its readouts need it.
void drawStatusPanel(Canvas& canvas, const StatusPanelState& state);

} // namespace vantrel
