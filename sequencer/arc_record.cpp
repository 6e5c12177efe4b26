#include "sequencer/arc_record.h"

#include <initializer_list>

#include "balloon/replace_file.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::string_view kHeader = "Vantrel arc walk 1";

std::optional<long long> whole(std::string_view word, long long low, long long high)
{
    const bool negative = !word.empty() && word.front() == '-';
    const auto value = parseWholeNumber(negative ? word.substr(1) : word, negative ? 0 : low < 0 ? 0 : low,
                                        negative ? -low : high);
    if (!value)
        return std::nullopt;
    return negative ? -*value : *value;
}

} // namespace

std::string arcProgressText(const ArcProgress& p)
{
    std::string t(kHeader);
    const auto words = [&t](std::string_view key, std::initializer_list<std::string> values) {
        t += '\n';
        t += key;
        for (const std::string& v : values) {
            t += ' ';
            t += v;
        }
    };
    words("grid", {std::to_string(gridStepDegrees(p.grid))});
    words("mls-length", {std::to_string(p.mlsLengthIndex)});
    words("rate", {std::to_string(p.rateIndex)});
    words("angles", {});
    for (const int a : p.angles) {
        t += ' ';
        t += std::to_string(a);
    }
    words("stops", {std::to_string(p.stopsDone), "of", std::to_string(p.stops)});
    words("repeats", {std::to_string(p.repeats), cleanFixedText(p.spreadSumSquares, 6), std::to_string(p.spreadCount)});
    words("worst", {cleanFixedText(p.worstDb, 4), std::to_string(p.worstH), std::to_string(p.worstV),
                    std::to_string(p.worstHz)});
    t += '\n';
    return t;
}

std::optional<ArcProgress> parseArcProgress(std::string_view text, std::string& error)
{
    static constexpr std::string_view kKeys[] = {"", "grid", "mls-length", "rate", "angles", "stops", "repeats", "worst"};
    static constexpr const char* kExpected[] = {"",
                                                "\"grid\" expected",
                                                "\"mls-length\" expected",
                                                "\"rate\" expected",
                                                "\"angles\" expected",
                                                "\"stops\" expected",
                                                "\"repeats\" expected",
                                                "\"worst\" expected"};
    ArcProgress p;
    int number = 0;
    std::string why;
    const bool whole_ = forEachTextLine(
        text,
        [&](int line, std::string_view content) {
            const auto index = static_cast<std::size_t>(line - 1);
            if (index >= std::size(kKeys)) {
                why = "more lines than the record has";
                return false;
            }
            if (index == 0) {
                if (content != kHeader)
                    why = "not an arc walk's record";
                return why.empty();
            }
            const auto words = textWords(content);
            if (words.empty() || words[0] != kKeys[index]) {
                why = kExpected[index];
                return false;
            }
            const auto count = words.size() - 1;
            const auto at = [&](std::size_t i, long long low, long long high) { return whole(words[i], low, high); };
            bool ok = true;
            switch (index) {
            case 1: {
                const auto g = count == 1 ? at(1, 5, 10) : std::nullopt;
                ok = g && (*g == 5 || *g == 10);
                p.grid = ok && *g == 10 ? AngleGrid::Grid10 : AngleGrid::Grid5;
                break;
            }
            case 2: {
                const auto v = count == 1 ? at(1, 0, 5) : std::nullopt;
                ok = v.has_value();
                p.mlsLengthIndex = static_cast<int>(v.value_or(0));
                break;
            }
            case 3: {
                const auto v = count == 1 ? at(1, 0, 7) : std::nullopt;
                ok = v.has_value();
                p.rateIndex = static_cast<int>(v.value_or(0));
                break;
            }
            case 4:
                ok = count >= 1 && count <= 64;
                for (std::size_t i = 1; ok && i <= count; ++i) {
                    const auto a = at(i, -180, 180);
                    ok = a.has_value();
                    p.angles.push_back(static_cast<int>(a.value_or(0)));
                }
                break;
            case 5: {
                const auto done = count == 3 ? at(1, 0, 100000) : std::nullopt;
                const auto all = count == 3 ? at(3, 1, 100000) : std::nullopt;
                ok = done && all && words[2] == "of" && *done <= *all;
                p.stopsDone = static_cast<int>(done.value_or(0));
                p.stops = static_cast<int>(all.value_or(0));
                break;
            }
            case 6: {
                const auto n = count == 3 ? at(1, 0, 10000000) : std::nullopt;
                const auto c = count == 3 ? at(3, 0, 1LL << 50) : std::nullopt;
                ok = n && c && parseDecimal(words[2], p.spreadSumSquares) && p.spreadSumSquares >= 0;
                p.repeats = static_cast<int>(n.value_or(0));
                p.spreadCount = c.value_or(0);
                break;
            }
            case 7: {
                const auto h = count == 4 ? at(2, -720, 720) : std::nullopt;
                const auto v = count == 4 ? at(3, -90, 90) : std::nullopt;
                const auto hz = count == 4 ? at(4, 0, 1000000) : std::nullopt;
                ok = h && v && hz && parseDecimal(words[1], p.worstDb) && p.worstDb >= 0;
                p.worstH = static_cast<int>(h.value_or(0));
                p.worstV = static_cast<int>(v.value_or(0));
                p.worstHz = static_cast<int>(hz.value_or(0));
                break;
            }
            default: break;
            }
            if (!ok)
                why = "its values cannot be read";
            return ok;
        },
        number);
    if (!whole_) {
        error = "line ";
        error += std::to_string(number);
        error += ": ";
        error += why.empty() ? std::string("a NUL byte") : why;
        return std::nullopt;
    }
    if (number != static_cast<int>(std::size(kKeys))) {
        error = "line ";
        error += std::to_string(number + 1);
        error += ": the record ends early";
        return std::nullopt;
    }
    return p;
}

} // namespace vantrel
