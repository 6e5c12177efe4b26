#pragma once
// The progress record of an arc walk ("arc-autosave.run" beside its autosaved balloon
// "arc-autosave.BAL"), replaced whole after every stop, so that an interrupted walk resumes at
// its next stop:
//
//   Vantrel arc walk 1
//   grid 10                       5 or 10
//   mls-length 1                  index 0..5 (order 13..18)
//   rate 5                        index on the rate list
//   angles 0 20 40 60             the arc's angles, degrees
//   stops 24 of 36                stops done, of the plan's
//   repeats 40 3.25 12000         repeats, and their level differences: sum of squares (dB^2), count
//   worst 0.84 20 -30 9850        the largest difference (dB) and where: H, V (degrees), Hz
//
// One line each, in this order; numbers with a "." decimal point.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "balloon/angle_grid.h"

namespace vantrel {

struct ArcProgress {
    AngleGrid grid = AngleGrid::Grid10;
    int mlsLengthIndex = 0, rateIndex = 5;
    std::vector<int> angles;
    int stopsDone = 0, stops = 0;
    int repeats = 0;
    double spreadSumSquares = 0; // dB^2
    long long spreadCount = 0;
    double worstDb = 0;
    int worstH = 0, worstV = 0, worstHz = 0;
    friend bool operator==(const ArcProgress&, const ArcProgress&) = default;
};

std::string arcProgressText(const ArcProgress& p);
// The record, or nothing with the line and what is wrong with it in error.
std::optional<ArcProgress> parseArcProgress(std::string_view text, std::string& error);

} // namespace vantrel
