#include "mls/impulse_response.h"

#include <algorithm>
#include <cmath>

#include "mls/numeric_text.h"

namespace vantrel {

namespace {

void clear(std::span<float> values, std::size_t count) { std::fill_n(values.begin(), std::min(count, values.size()), 0.0f); }

// Steps shared by both channels: keep a copy, find the delay, fill the pre-roll from one period
// later (zero past the copy, where the recording holds nothing of this period), correlate again.
// Returns the delay; signal[0..L-1] then holds the circular response, zero up to kScratchLength.
int correlatePass(MlsGenerator& generator, std::span<float> signal, std::span<float> scratch, std::span<float> firstPass)
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

    for (int i = 0; i < delay; ++i) {
        const int later = i + length;
        scratch[static_cast<std::size_t>(i)] = later < kScratchLength ? scratch[static_cast<std::size_t>(later)] : 0.0f;
    }
    generator.correlateWithMls(scratch, signal, static_cast<float>(length));
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

ImpulseDelays computeImpulseResponses(MlsGenerator& generator, const ImpulseBuffers& buffers, std::string_view frontWindowText)
{
    ImpulseDelays result;
    const int length = generator.length();
    if (length == 0 || buffers.refSignal.size() < kSignalLength || buffers.inSignal.size() < kSignalLength ||
        buffers.inImpulseCopy.size() < kSignalLength || buffers.scratch.size() < kScratchLength ||
        buffers.firstPass.size() < kScratchLength)
        return result;

    result.refDelay = correlatePass(generator, buffers.refSignal, buffers.scratch, buffers.firstPass);
    for (int i = 0; i < result.refDelay - 10; ++i)
        buffers.refSignal[static_cast<std::size_t>(i)] = 0.0f;
    result.alignLead = alignLeadFor(frontWindowText, result.refDelay);
    const int shift = result.refDelay - result.alignLead;
    align(buffers.refSignal, buffers.firstPass, length, shift);

    result.inDelay = correlatePass(generator, buffers.inSignal, buffers.scratch, buffers.firstPass);
    align(buffers.inSignal, buffers.firstPass, length, shift);
    clear(buffers.inImpulseCopy, kSignalLength);
    std::copy_n(buffers.inSignal.begin() + kResponseStart, length, buffers.inImpulseCopy.begin() + kResponseStart);
    return result;
}

} // namespace vantrel
