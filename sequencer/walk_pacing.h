#pragma once
// How the balloon walk is paced between its points.

namespace vantrel {

inline constexpr int kMaxSettleMs = 5000;

struct WalkPacing {
    // Paced: the move after a point starts as soon as its result is stored (capture and
    // playback ended, processed, autosaved); else timer 7000's fixed wait paces every point.
    // The move's own wait stays either way.
    bool paced = false;
    int settleMs = 0; // a paced walk's wait before each recording, 0..5000
    friend bool operator==(const WalkPacing&, const WalkPacing&) = default;
};

} // namespace vantrel
