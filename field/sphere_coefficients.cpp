#include "field/sphere_coefficients.h"

#include <charconv>
#include <cmath>

#include "balloon/replace_file.h"
#include "field/spherical_harmonics.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

void appendShortest(std::string& out, double v)
{
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

std::string quoted(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    out.append(text);
    out.push_back('\'');
    return out;
}


} // namespace

std::string sphereCoefficientsText(const std::vector<SphereCoefficients>& expansions)
{
    std::string t(kCoefficientsHeading);
    t += "\n# field at direction u: e^{j k u.r0} sum c_nm Y_n^m(u), k = 2 pi f / 343 m/s, r0 the centre\n"
         "# Y_n^m orthonormal complex with the Condon-Shortley phase, polar angle from the loudspeaker's axis "
         "(+z), azimuth from +x (its left seen from behind) towards +y (up the baffle)\n"
         "# units of the balloon (magnitude 1 is 90 dB)\n"
         "# f <Hz> <order N> <centre x y z in mm>, then (N + 1)^2 lines <re> <im> in the order n^2 + n + m\n";
    for (const SphereCoefficients& e : expansions) {
        t += "f ";
        appendShortest(t, e.hz);
        t += ' ';
        t += std::to_string(e.order);
        for (double c : e.centre) {
            t += ' ';
            appendShortest(t, c * 1000);
        }
        t += '\n';
        for (const std::complex<double>& c : e.coefficients) {
            appendShortest(t, c.real());
            t += ' ';
            appendShortest(t, c.imag());
            t += '\n';
        }
    }
    return t;
}

std::optional<std::vector<SphereCoefficients>> parseSphereCoefficients(std::string_view text, std::string& error)
{
    std::vector<SphereCoefficients> out;
    std::size_t at = 0;
    int number = 0;
    std::size_t expected = 0; // coefficient lines still due for the last frequency
    const auto refuse = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return std::nullopt;
    };
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (number == 1) {
            if (line != kCoefficientsHeading)
                return refuse("not a coefficient file (the heading " + quoted(kCoefficientsHeading) + ")");
            continue;
        }
        if (!line.empty() && line.front() == '#')
            continue;
        const std::vector<std::string_view> parts = textWords(line);
        if (parts.empty())
            continue;
        if (parts[0] == "f") {
            if (expected > 0)
                return refuse(std::to_string(expected) + " coefficients of the frequency before are missing");
            SphereCoefficients e;
            double values[5] = {};
            if (parts.size() != 6)
                return refuse("a frequency line is 'f HZ ORDER X Y Z'");
            for (std::size_t i = 0; i < 5; ++i)
                if (!parseDecimal(parts[i + 1], values[i]))
                    return refuse(quoted(parts[i + 1]) + " is not a number");
            if (!(values[0] > 0) || (!out.empty() && !(values[0] > out.back().hz)))
                return refuse("the frequency " + std::string(parts[1]) + " is not above 0 and the one before");
            const auto order = parseWholeNumber(parts[2], 0, kLargestCoefficientOrder);
            if (!order)
                return refuse("the order " + std::string(parts[2]) + " is not a whole number 0.." +
                              std::to_string(kLargestCoefficientOrder));
            e.hz = values[0];
            e.order = static_cast<int>(*order);
            e.centre = {values[2] / 1000, values[3] / 1000, values[4] / 1000};
            expected = static_cast<std::size_t>(shCount(e.order));
            e.coefficients.reserve(expected);
            out.push_back(std::move(e));
            continue;
        }
        if (out.empty() || expected == 0)
            return refuse("a coefficient line outside a frequency's " +
                          std::string(out.empty() ? "(no 'f' line before it)" : "count"));
        double re = 0, im = 0;
        if (parts.size() != 2 || !parseDecimal(parts[0], re) || !parseDecimal(parts[1], im))
            return refuse("a coefficient line is 'RE IM'");
        out.back().coefficients.emplace_back(re, im);
        --expected;
    }
    if (number == 0)
        return refuse("empty");
    if (expected > 0)
        return refuse(std::to_string(expected) + " coefficients of the last frequency are missing");
    error.clear();
    return out;
}

} // namespace vantrel
