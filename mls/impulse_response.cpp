#include "mls/impulse_response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "mls/complex_fft.h"
#include "mls/numeric_text.h"

namespace vantrel {

namespace {

void clear(std::span<float> values, std::size_t count) { std::fill_n(values.begin(), std::min(count, values.size()), 0.0f); }

constexpr int kTailBlock = 64;          // samples per envelope value of the room's tail
constexpr int kNoiseBlocks = 32;        // fewer blocks after the period: all of it is folded
constexpr double kTailAboveNoise = 4.0; // power ratio (6 dB) of a tail block that is folded

// How much of the recording after the period to fold back onto its start (from the delay on).
// A room's sound outlasts the sequence's 1000 silent samples; what of it the period did not
// hold is recorded one period later, and belongs at the start of a periodic response:
// y_circ[n] = y[n] + y[n + L]. Left out, it does not correlate and spreads over the whole
// response as noise, into the gate. Folded only as far as it stands 6 dB above the noise, so
// that the noise beyond is not added twice. The noise is the tenth percentile of the tail's
// block powers: the room has died away long before the recording ends, while before the
// arrival the direct sound's own pre-ringing would pass for noise. A tail too short to show the
// noise (the longest sequence) is folded whole: it is a small part of the period.
int roomTailSpan(std::span<const float> recording, int delay, int length)
{
    const int available = std::max(0, std::min(length - delay, kScratchLength - (length + delay)));
    const int blocks = available / kTailBlock;
    if (blocks < kNoiseBlocks)
        return available;
    std::vector<double> power(static_cast<std::size_t>(blocks));
    for (int b = 0; b < blocks; ++b) {
        double sum = 0;
        for (int i = 0; i < kTailBlock; ++i) {
            const float x = recording[static_cast<std::size_t>(length + delay + b * kTailBlock + i)];
            sum += double(x) * x;
        }
        power[static_cast<std::size_t>(b)] = sum;
    }
    std::vector<double> sorted = power;
    const auto tenth = sorted.begin() + blocks / 10;
    std::nth_element(sorted.begin(), tenth, sorted.end());
    const double threshold = kTailAboveNoise * *tenth;
    int span = 0;
    for (int b = 0; b < blocks; ++b)
        if (power[static_cast<std::size_t>(b)] > threshold)
            span = (b + 1) * kTailBlock;
    return span;
}

using Correction = std::vector<std::complex<float>>;

// The spectrum that turns a correlation with the period as played, its last silentTail samples
// silent, into one with the whole sequence: R_a / R_x, the DFTs of the sequence's correlation
// with itself and with the played period. The silence leaves sidelobes of about
// sqrt(silentTail) / L at every lag; a room's reflections, far louder than the direct sound in
// a notch's direction, spread theirs into the gate. The played period's spectrum keeps within
// about sqrt(silentTail / L) of the sequence's flat one, so the division is well posed. Kept per
// order: the arc's engines may ask at once.
std::shared_ptr<const Correction> silenceCorrection(MlsGenerator& generator, int silentTail)
{
    static std::mutex lock;
    static std::map<std::pair<int, int>, std::shared_ptr<const Correction>> kept;
    const std::lock_guard hold(lock);
    const auto key = std::pair(generator.order(), silentTail);
    if (auto it = kept.find(key); it != kept.end())
        return it->second;
    const int length = generator.length();
    std::vector<float> whole(kScratchLength), played(kScratchLength);
    for (int i = 0; i < length; ++i) {
        whole[static_cast<std::size_t>(i)] = generator.bit(i) ? -1.0f : 1.0f;
        played[static_cast<std::size_t>(i)] = i < length - silentTail ? whole[static_cast<std::size_t>(i)] : 0.0f;
    }
    generator.correlateWithMls(whole, whole, static_cast<float>(length));
    generator.correlateWithMls(played, played, static_cast<float>(length));
    const auto bins = static_cast<std::size_t>(length / 2 + 1);
    Correction a(bins), x(bins);
    if (!realSpectrum(std::span(whole).first(static_cast<std::size_t>(length)), a) ||
        !realSpectrum(std::span(played).first(static_cast<std::size_t>(length)), x))
        return nullptr;
    auto ratio = std::make_shared<Correction>(bins);
    for (std::size_t k = 0; k < bins; ++k) {
        if (std::abs(x[k]) < 1e-3f * std::abs(a[k]))
            return nullptr; // not seen for any order; left uncorrected rather than blown up
        (*ratio)[k] = std::complex<float>(std::complex<double>(a[k]) / std::complex<double>(x[k]));
    }
    kept.emplace(key, ratio);
    return ratio;
}

// Steps shared by both channels: keep a copy, find the delay, fill the pre-roll from one period
// later (zero past the copy, where the recording holds nothing of this period), with foldTail
// fold the room's sound recorded after the period back onto it, correlate again.
// Returns the delay; signal[0..L-1] then holds the circular response, zero up to kScratchLength.
int correlatePass(MlsGenerator& generator, std::span<float> signal, std::span<float> scratch, std::span<float> firstPass,
                  bool foldTail, const Correction* silence)
{
    const int length = generator.length();
    std::copy_n(signal.begin(), kScratchLength, scratch.begin());

    generator.correlateWithMls(signal, firstPass, static_cast<float>(length));
    int delay = 0;
    float largest = 0.0f;
    const int searched = std::min(kDelaySearch, length);
    for (int i = 0; i < searched; ++i) {
        const float magnitude = std::fabs(firstPass[static_cast<std::size_t>(i)]);
        if (magnitude > largest) {
            largest = magnitude;
            delay = i;
        }
    }
    clear(generator.hadamardBuffer(), kScratchLength);
    clear(firstPass, kScratchLength);
    clear(signal, kScratchLength);

    if (foldTail) {
        // Added, not replaced, before the delay too: in a room the largest peak may be a
        // reflection, with the direct sound's first samples ahead of it.
        const int end = std::min(delay + roomTailSpan(scratch, delay, length), kScratchLength - length);
        for (int i = 0; i < end; ++i)
            scratch[static_cast<std::size_t>(i)] += scratch[static_cast<std::size_t>(i + length)];
    } else {
        for (int i = 0; i < delay; ++i) {
            const int later = i + length;
            scratch[static_cast<std::size_t>(i)] = later < kScratchLength ? scratch[static_cast<std::size_t>(later)] : 0.0f;
        }
    }
    generator.correlateWithMls(scratch, signal, static_cast<float>(length));
    if (silence)
        filterCircular(signal.first(static_cast<std::size_t>(length)), *silence);
    clear(signal.subspan(static_cast<std::size_t>(length)), static_cast<std::size_t>(kScratchLength - length));
    return delay;
}

// signal[50 + i] := 2 signal[i + shift] for i < L (zero past the correlated block), [0..49] := 0.
void align(std::span<float> signal, std::span<float> firstPass, int length, int shift)
{
    for (int i = 0; i < length; ++i) {
        const int from = i + shift;
        firstPass[static_cast<std::size_t>(i)] = from < kScratchLength ? signal[static_cast<std::size_t>(from)] : 0.0f;
    }
    clear(signal, kResponseStart);
    for (int i = 0; i < length; ++i)
        signal[static_cast<std::size_t>(kResponseStart + i)] = 2.0f * firstPass[static_cast<std::size_t>(i)];
}

} // namespace

int alignLeadFor(std::string_view frontWindowText, int refDelay)
{
    const long front = textInt(frontWindowText);
    const long lead = std::max(front + 4, 10L);
    return static_cast<int>(std::min(lead, static_cast<long>(refDelay)));
}

ImpulseDelays computeImpulseResponses(MlsGenerator& generator, const ImpulseBuffers& buffers, std::string_view frontWindowText,
                                      bool foldRoomTail, int silentTail)
{
    ImpulseDelays result;
    const int length = generator.length();
    if (length == 0 || buffers.refSignal.size() < kSignalLength || buffers.inSignal.size() < kSignalLength ||
        buffers.inImpulseCopy.size() < kSignalLength || buffers.scratch.size() < kScratchLength ||
        buffers.firstPass.size() < kScratchLength)
        return result;

    const std::shared_ptr<const Correction> silence =
        foldRoomTail && silentTail > 0 ? silenceCorrection(generator, silentTail) : nullptr;
    result.refDelay = correlatePass(generator, buffers.refSignal, buffers.scratch, buffers.firstPass, foldRoomTail, silence.get());
    for (int i = 0; i < result.refDelay - 10; ++i)
        buffers.refSignal[static_cast<std::size_t>(i)] = 0.0f;
    result.alignLead = alignLeadFor(frontWindowText, result.refDelay);
    const int shift = result.refDelay - result.alignLead;
    align(buffers.refSignal, buffers.firstPass, length, shift);

    result.inDelay = correlatePass(generator, buffers.inSignal, buffers.scratch, buffers.firstPass, foldRoomTail, silence.get());
    align(buffers.inSignal, buffers.firstPass, length, shift);
    clear(buffers.inImpulseCopy, kSignalLength);
    std::copy_n(buffers.inSignal.begin() + kResponseStart, length, buffers.inImpulseCopy.begin() + kResponseStart);
    return result;
}

} // namespace vantrel
