#pragma once
// What the main window keeps for the views: the bin, colour scale and slice shown, the
// selected and repair cells, the view mode and the three view-rotation scroll positions.
// Every value is clamped to its range after each change.

#include <algorithm>

namespace vantrel {

struct SelectionRange {
    int min;
    int max;
    constexpr int clamp(int value) const { return std::clamp(value, min, max); }
    constexpr bool contains(int value) const { return value >= min && value <= max; }
};

inline constexpr SelectionRange kBinRange{0, 749};
inline constexpr SelectionRange kColourScaleRange{0, 100};
inline constexpr SelectionRange kSliceLimitRange{0, 36};
inline constexpr SelectionRange kSliceModeRange{0, 2};
inline constexpr SelectionRange kCellRowRange{0, 36};
inline constexpr SelectionRange kCellColumnRange{0, 72};
inline constexpr SelectionRange kViewModeRange{0, 4};
inline constexpr SelectionRange kViewScrollRange{0, 720};     // viewScrollH, viewScrollV
inline constexpr SelectionRange kViewScrollSideRange{0, 180};

// sliceMode values: radio buttons "Left", "Right", "Full".
inline constexpr int kSliceLeft = 0;
inline constexpr int kSliceRight = 1;
inline constexpr int kSliceFull = 2;

// viewMode values: 1..3 show the colour view, 0 and 4 the point view.
inline constexpr int kMeasurementMode = 0;
inline constexpr int kRawMode = 1;
inline constexpr int kCoarseMode = 2;
inline constexpr int kFineMode = 3;
inline constexpr int kTestMode = 4;

// View rotation in degrees handed to the views.
struct ViewAngles {
    int h = 0;
    int v = 0;
    int side = 0;
    friend bool operator==(ViewAngles, ViewAngles) = default;
};

struct SelectionState {
    int selectedBin = 460;
    int colourScale = 60; // colour-map factor = colourScale * 0.02
    int sliceLimit = 36;
    int sliceMode = kSliceFull;
    int selectedRow = 0;
    int selectedColumn = 0;
    int repairSourceRow = 0;
    int repairSourceColumn = 0;
    int repairTargetRow = 0;
    int repairTargetColumn = 0;
    int viewMode = kMeasurementMode;
    int viewScrollH = 359;
    int viewScrollV = 361;
    int viewScrollSide = 90;

    constexpr void clampAll()
    {
        selectedBin = kBinRange.clamp(selectedBin);
        colourScale = kColourScaleRange.clamp(colourScale);
        sliceLimit = kSliceLimitRange.clamp(sliceLimit);
        sliceMode = kSliceModeRange.clamp(sliceMode);
        selectedRow = kCellRowRange.clamp(selectedRow);
        selectedColumn = kCellColumnRange.clamp(selectedColumn);
        repairSourceRow = kCellRowRange.clamp(repairSourceRow);
        repairSourceColumn = kCellColumnRange.clamp(repairSourceColumn);
        repairTargetRow = kCellRowRange.clamp(repairTargetRow);
        repairTargetColumn = kCellColumnRange.clamp(repairTargetColumn);
        viewMode = kViewModeRange.clamp(viewMode);
        viewScrollH = kViewScrollRange.clamp(viewScrollH);
        viewScrollV = kViewScrollRange.clamp(viewScrollV);
        viewScrollSide = kViewScrollSideRange.clamp(viewScrollSide);
    }

    // The value shown as "Colour Map = %.3f": 0.000 .. 2.000.
    constexpr double colourFactor() const { return colourScale * 0.02; }
    // H = viewScrollH - 360, V = viewScrollV - 360, side = viewScrollSide - 90.
    constexpr ViewAngles viewAngles() const { return {viewScrollH - 360, viewScrollV - 360, viewScrollSide - 90}; }
    constexpr bool colourView() const { return viewMode >= kRawMode && viewMode <= kFineMode; }

    friend bool operator==(const SelectionState&, const SelectionState&) = default;
};

} // namespace vantrel
