#pragma once
// The part of a balloon's frequency axis that holds measurements: the axis points every
// analysis, picture, table and export reads. The rest of the 750 points is filler the
// processing writes (copies, the level of an empty band, the 1 kHz value above Nyquist).

#include <optional>

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"
#include "balloon/measurement_record.h"

namespace vantrel {

// What the balloon was measured with beyond its trailer: from its measurement record, else
// (the sweep's band only) from the distortion file every sweep walk writes beside it.
struct MeasuredWith {
    double sweepF1Hz = 0, sweepF2Hz = 0; // the sweep's band; 0: not swept, or unknown
    double windowSeconds = 0;            // the time window's length T; 0: unknown
    std::optional<MergeBand> merge;      // a merged balloon's near-field crossfade band
};

// What sets the band's low edge.
enum class LowEdgeReason { sequence, sweep, window };

struct ValidBand {
    int first = 0;               // first axis point inside the band
    int last = kDataBins - 1;    // last axis point inside the band
    double lowestHz = 0;         // the limit below: no point under it is inside
    double highestHz = 0;        // the limit above: no point over it is inside
    double rateHz = 0;           // the trailer's sampling rate
    LowEdgeReason lowReason = LowEdgeReason::sequence;
    bool sweptTop = false;       // the sweep's top, not the rate, sets the limit above
    MeasuredWith measured;       // what the limits came from

    bool contains(int bin) const { return bin >= first && bin <= last; }
    bool containsHz(double hz, const FrequencyAxis& axis) const
    {
        return hz >= axis[first] * (1.0 - 1e-6) && hz <= axis[last] * (1.0 + 1e-6);
    }
    int size() const { return last - first + 1; }
};

// The sampling rate in Hz of the trailer's rate index (the "Sampling Rate" list), 48000 for an
// index off the list.
double trailerRateHz(int rateIndex);

// The valid band of a balloon measured with these settings on this axis. Never empty: an axis
// wholly outside its limits keeps the one point nearest to them. Without `measured` (a balloon
// with neither record nor distortion file) only the trailer limits it.
ValidBand validBand(const BalloonTrailer& trailer, const FrequencyAxis& axis, const MeasuredWith& measured = {});

// The sweep's usable band: its inverse filter reaches full weight only at f1 (a raised cosine
// from f1/2), and the sweep fades out over its last percents below f2.
inline constexpr double kSweepUsableTopOfF2 = 0.97;

} // namespace vantrel
