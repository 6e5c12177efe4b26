#pragma once
// REF and IN impulse responses from one recorded period by correlation with the MLS.
//
// Each channel: a first correlation finds the delay (largest |h| among lags 0..99,999), the
// samples before the delay are replaced by those one period later (so 0..L-1 holds a full
// circular period although the sequence played once), a second correlation gives
// ((L + 1) h - sum h) / L, and the result is shifted so that the REF peak sits at
// 50 + alignLead, doubled. IN is shifted by the REF delay, so the acoustic delay between the
// channels is kept.
//
// Measuring in a room, behind a gate (foldRoomTail), the period is made the exact circular
// response of a room too: the recording one period later is added onto the period's start, all
// of the pre-roll and as far into the room's tail as it stands above the noise; and with
// silentTail (the samples the played period left silent) the correlation is corrected to the
// one a whole sequence gives, without the silence's sidelobes.

#include <span>
#include <string_view>

#include "mls/mls_generator.h"

namespace vantrel {

inline constexpr int kSignalLength = 536000;  // entries of refSignal, inSignal, inImpulseCopy
inline constexpr int kScratchLength = 268000; // untouched copy of a channel per pass
inline constexpr int kDelaySearch = 100000;   // lags searched for the peak
inline constexpr int kResponseStart = 50;     // index of the first aligned sample

struct ImpulseBuffers {
    std::span<float> refSignal;     // converted REF samples in, aligned REF response out
    std::span<float> inSignal;      // converted IN samples in, aligned IN response out
    std::span<float> inImpulseCopy; // copy of the aligned IN response (matched filter)
    std::span<float> scratch;       // kScratchLength entries
    std::span<float> firstPass;     // kScratchLength entries: first correlation, then alignment
};

struct ImpulseDelays {
    int refDelay = 0;  // samples; 0: no impulse response
    int inDelay = 0;
    int alignLead = 0; // samples kept ahead of the REF peak
};

// max(atoi(frontWindowText) + 4, 10), at most refDelay.
int alignLeadFor(std::string_view frontWindowText, int refDelay);

// Needs the generator's tables for the order of the recording. Signal spans hold at least
// kSignalLength entries (entries past the recording must be zero).
ImpulseDelays computeImpulseResponses(MlsGenerator& generator, const ImpulseBuffers& buffers, std::string_view frontWindowText,
                                      bool foldRoomTail = false, int silentTail = 0);

} // namespace vantrel
