#include "mls/time_windows.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "mls/numeric_text.h"

namespace vantrel {

namespace {

constexpr double kPi = std::numbers::pi;

enum class Shape { blackmanHarris, hanning, kaiserBessel, front, kaiserFront };

// Coefficients of w(x) = c0 + c1 cos(kx) + c2 cos(2kx) + c3 cos(3kx), the +pi phase folded into
// the signs.
struct Series {
    double c0, c1, c2, c3;
};

Series seriesOf(Shape shape)
{
    switch (shape) {
    case Shape::blackmanHarris: return {0.64125, 0.48829, -0.14128, 0.01168};
    case Shape::hanning: return {0.5, 0.5, 0, 0};
    case Shape::kaiserBessel: return {0.5, 0.62, 0.122, 0};
    case Shape::front: return {1 - 0.42323, -0.49755, -0.07922, 0};
    case Shape::kaiserFront: return {1.242 * (1 - 0.42323), -1.242 * 0.49755, -1.242 * 0.07922, 0};
    }
    return {0, 0, 0, 0};
}

// 2 pi / (2 len - 1) style steps: a zero denominator (len 0.5) gives a constant window.
double step(double numerator, double denominator) { return denominator != 0 ? numerator / denominator : 0.0; }

// out[i] = w(i - shift) for begin <= i < end, cos(kx) advanced by a rotation in double
// (error ~ 1e-11 after 2^18 steps).
void fillSeries(std::span<float> out, long begin, long end, long shift, Shape shape, double k)
{
    begin = std::max(begin, 0L);
    end = std::min(end, static_cast<long>(out.size()));
    if (begin >= end)
        return;
    const Series s = seriesOf(shape);
    const double x0 = static_cast<double>(begin - shift);
    double c = std::cos(k * x0), sn = std::sin(k * x0);
    const double dc = std::cos(k), ds = std::sin(k);
    for (long i = begin; i < end; ++i) {
        const double c2 = 2 * c * c - 1;
        const double c3 = (4 * c * c - 3) * c;
        out[static_cast<std::size_t>(i)] = static_cast<float>(s.c0 + s.c1 * c + s.c2 * c2 + s.c3 * c3);
        const double nc = c * dc - sn * ds;
        sn = sn * dc + c * ds;
        c = nc;
    }
}

// Smallest integer index at or above a real bound (for "i < E" loops).
long indexBelow(double bound) { return bound <= 0 ? 0 : static_cast<long>(std::ceil(std::min(bound, 1e9))); }

void fillOnes(std::span<float> out, long end)
{
    std::fill_n(out.begin(), std::clamp(end, 0L, static_cast<long>(out.size())), 1.0f);
}

// SEMI: flat to 0.875 E, then half a cosine down to 0 at E. The cosine part starts at
// trunc(0.875 E), so it also takes the last index below a fractional 0.875 E.
void fillSemi(std::span<float> out, double length)
{
    const long cosineFrom = static_cast<long>(std::clamp(0.875 * length, 0.0, 1e9));
    const double h = step(16 * kPi, 2 * length - 1);
    const long end = std::min(indexBelow(length), static_cast<long>(out.size()));
    for (long i = 0; i < end; ++i)
        out[static_cast<std::size_t>(i)] = i < cosineFrom ? 1.0f : static_cast<float>((1 - std::cos(h * static_cast<double>(i))) / 2);
}

// Symmetric kind over 0 <= x < 2B with step m, value at x stored at x + B (x < B) or x - B.
void fillRotated(std::span<float> out, int half, Shape shape)
{
    if (half <= 0)
        return;
    const double m = step(4 * kPi, 4.0 * half - 1);
    // x in [0, B) lands on [B, 2B); x in [B, 2B) lands on [0, B).
    fillSeries(out, half, 2L * half, half, shape, m);
    fillSeries(out, 0, half, -half, shape, m);
}

// Type 8 IN window: flat, with half-cosine flanks over the first and last eighth of 2B.
void fillSemiSymmetric(std::span<float> out, int half)
{
    if (half <= 0)
        return;
    const double hb = step(16 * kPi, 2.0 * half - 1);
    const long end = std::min(2L * half, static_cast<long>(out.size()));
    fillOnes(out, 2L * half - half / 8);
    auto flank = [&](long i) { out[static_cast<std::size_t>(i)] = static_cast<float>((1 - std::cos(hb * static_cast<double>(i))) / 2); };
    for (long i = 0; i < std::min(static_cast<long>(half / 8), end); ++i)
        flank(i);
    for (long i = 15L * half / 8; i < end; ++i)
        flank(i);
}

} // namespace

TimeWindowParameters timeWindowParameters(const MlsSettings& settings, int n)
{
    TimeWindowParameters p;
    p.length = std::min(textValue(settings.windowWidthText), static_cast<double>(n - 1));
    if (!(p.length == p.length))
        p.length = 0;
    p.symmetricHalf = std::min(textInt(settings.windowWidthText), n / 4 - 1);
    p.front = std::min(textInt(settings.frontWindowText), 128);
    return p;
}

void buildTimeWindows(const MlsSettings& settings, int n, std::span<float> refWindow, std::span<float> inWindow)
{
    n = std::max(n, 1);
    refWindow = refWindow.first(std::min(refWindow.size(), static_cast<std::size_t>(n)));
    inWindow = inWindow.first(std::min(inWindow.size(), static_cast<std::size_t>(n)));
    std::fill(refWindow.begin(), refWindow.end(), 0.0f);
    std::fill(inWindow.begin(), inWindow.end(), 0.0f);

    const TimeWindowParameters p = timeWindowParameters(settings, n);
    const double e = p.length;
    const long end = indexBelow(e);
    const double a = step(2 * kPi, 2 * e - 1);
    const int type = settings.windowTypeIndex;

    auto mainShape = [](int t) { return t == 0 || t == 5 ? Shape::blackmanHarris : t == 1 || t == 6 ? Shape::hanning : Shape::kaiserBessel; };

    switch (type) {
    case 0:
    case 1:
    case 3: {
        const Shape main = mainShape(type);
        if (settings.frontWindowOn) {
            const long f = p.front;
            const Shape front = type == 3 ? Shape::kaiserFront : Shape::front;
            fillSeries(refWindow, 0, f, 0, front, step(2 * kPi, 2.0 * f - 1));
            // main(i - F) for F <= i < F + E
            fillSeries(refWindow, std::max(f, 0L), indexBelow(static_cast<double>(f) + e), f, main, a);
        } else {
            fillSeries(refWindow, 0, end, 0, main, a);
        }
        std::copy(refWindow.begin(), refWindow.end(), inWindow.begin());
        break;
    }
    case 2:
        fillOnes(refWindow, end);
        fillOnes(inWindow, end);
        break;
    case 4:
        fillSemi(refWindow, e);
        fillSemi(inWindow, e);
        break;
    case 5:
    case 6:
    case 7:
        fillSeries(refWindow, 0, end, 0, mainShape(type), a);
        fillRotated(inWindow, p.symmetricHalf, mainShape(type));
        break;
    case 8:
        fillSemi(refWindow, e);
        fillSemiSymmetric(inWindow, p.symmetricHalf);
        break;
    case 9:
        fillOnes(refWindow, end);
        fillOnes(inWindow, 2L * p.symmetricHalf);
        break;
    default:
        break;
    }
}

} // namespace vantrel
