#include "mls/gate.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vantrel {

namespace {

int samplesOf(double ms, int rateHz) { return std::max(1, static_cast<int>(std::lround(ms * rateHz / 1000.0))); }

double fromDb(double db) { return std::pow(10.0, db / 20.0); }

constexpr int kFewestNoiseSamples = 32;

} // namespace

ReflectionSearch findFirstReflection(std::span<const float> h, int rateHz, int directHint, const GateDetector& g)
{
    ReflectionSearch out;
    const int n = static_cast<int>(h.size());
    const int width = std::max(3, samplesOf(g.envelopeMs, rateHz));
    const int half = width / 2;
    const int gap = samplesOf(g.gapMs, rateHz);
    const int look = std::max(gap + 1, samplesOf(g.lookBackMs, rateHz));
    const int start = std::clamp(g.noiseStart, 0, n);
    if (n - start < 4 * look)
        return out;

    // e[i] = sqrt(mean of h^2 over [i - half, i + half]), from running sums.
    std::vector<double> sums(static_cast<std::size_t>(n) + 1, 0.0);
    for (int i = 0; i < n; ++i)
        sums[static_cast<std::size_t>(i) + 1] = sums[static_cast<std::size_t>(i)] + double(h[static_cast<std::size_t>(i)]) * h[static_cast<std::size_t>(i)];
    const auto rms = [&](int from, int to) { // [from, to)
        from = std::clamp(from, 0, n);
        to = std::clamp(to, from, n);
        return to > from ? std::sqrt((sums[static_cast<std::size_t>(to)] - sums[static_cast<std::size_t>(from)]) / (to - from)) : 0.0;
    };
    std::vector<double> envelope(static_cast<std::size_t>(n), 0.0);
    for (int i = start; i < n; ++i)
        envelope[static_cast<std::size_t>(i)] = rms(i - half, i + half + 1);
    const auto env = [&](int i) { return envelope[static_cast<std::size_t>(i)]; };
    const auto magnitude = [&](int i) { return std::abs(double(h[static_cast<std::size_t>(i)])); };

    // The first sample of [from, to) reaching half the largest |h| there.
    const auto arrival = [&](int from, int to) {
        double peak = 0;
        for (int j = from; j < to; ++j)
            peak = std::max(peak, magnitude(j));
        int at = from;
        while (at + 1 < to && magnitude(at) < peak / 2)
            ++at;
        return at;
    };
    const int lead = samplesOf(g.directLeadMs, rateHz);
    if (directHint >= start && directHint < n) {
        out.direct = directHint;
    } else {
        double largest = 0;
        for (int i = start; i < n; ++i)
            largest = std::max(largest, env(i));
        if (largest <= 0)
            return out;
        int first = start;
        while (env(first) < largest * fromDb(-g.directDb))
            ++first;
        out.direct = arrival(std::max(start, first - half), std::min(n, first + lead + half + 1));
    }

    // The noise before the direct sound, or, when the response holds too little of it, in its
    // last eighth.
    const int quietEnd = out.direct - lead - width;
    out.noiseRms = quietEnd - start >= kFewestNoiseSamples ? rms(start, quietEnd) : rms(n - n / 8, n);

    const double aboveNoise = out.noiseRms * fromDb(g.noiseDb);
    const double rise = fromDb(g.riseDb);
    for (int i = out.direct + gap + width; i < n; ++i) {
        const double e = env(i);
        if (e <= aboveNoise)
            continue;
        double reference = 0;
        for (int j = std::max(out.direct, i - look); j <= i - gap; ++j)
            reference = std::max(reference, env(j));
        if (e <= reference * rise)
            continue;
        out.reflection = arrival(std::max(out.direct + 1, i - width), std::min(n, i + 2 * width + 1));
        break;
    }
    return out;
}

double gateMsFor(int direct, int reflection, int rateHz)
{
    return (reflection - direct) * 1000.0 / rateHz - kGateMarginMs;
}

std::optional<GateWindow> gateWindowFor(int direct, double gateMs, int rateHz, int maxPosition)
{
    if (!(gateMs > 0) || rateHz <= 0)
        return std::nullopt;
    GateWindow w;
    w.position = std::clamp(direct - samplesOf(kGateLeadMs, rateHz), 0, maxPosition);
    const double end = direct + gateMs * rateHz / 1000.0;
    w.width = static_cast<int>(std::floor(end)) - w.position;
    w.gateMs = gateMs;
    if (w.width < 2)
        return std::nullopt;
    return w;
}

} // namespace vantrel
