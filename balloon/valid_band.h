#pragma once
// The part of a balloon's frequency axis that holds measurements: the axis points every
// analysis, picture, table and export reads. The rest of the 750 points is filler the
// processing writes (copies, the level of an empty band, the 1 kHz value above Nyquist).

#include "balloon/balloon_matrix.h"
#include "balloon/frequency_axis.h"

namespace vantrel {

struct ValidBand {
    int first = 0;               // first axis point inside the band
    int last = kDataBins - 1;    // last axis point inside the band
    double lowestHz = 0;         // the limit below: no point under it is inside
    double highestHz = 0;        // the limit above: no point over it is inside
    double rateHz = 0;           // the trailer's sampling rate

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
// wholly outside its limits keeps the one point nearest to them.
ValidBand validBand(const BalloonTrailer& trailer, const FrequencyAxis& axis);

} // namespace vantrel
