#include "balloon/resampling_record.h"

#include <fstream>
#include <sstream>

#include "balloon/replace_file.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

constexpr std::string_view kHeading = "vantrel resampling record 1";

std::string shortText(double v, int decimals) { return cleanFixedText(v, decimals); }

} // namespace

std::string resamplingRecordText(const ResamplingRecord& r)
{
    std::string t(kHeading);
    t += "\nsource ";
    t += r.source;
    t += "\ngrid ";
    t += std::to_string(r.fromStep);
    t += ' ';
    t += std::to_string(r.toStep);
    t += "\ncentre ";
    t += r.centre;
    t += "\n# point Hz order residual_dB centre_x_mm centre_y_mm centre_z_mm\n";
    for (const ResampledPoint& p : r.points) {
        t += "point ";
        t += shortText(p.hz, 3);
        t += ' ';
        t += std::to_string(p.order);
        t += ' ';
        t += shortText(p.residualDb, 2);
        for (double c : p.centreMm) {
            t += ' ';
            t += shortText(c, 1);
        }
        t += '\n';
    }
    return t;
}

std::optional<ResamplingRecord> parseResamplingRecord(std::string_view text, std::string& error)
{
    ResamplingRecord r;
    bool sawGrid = false;
    std::string why;
    int number = 0;
    const bool whole = forEachTextLine(
        text,
        [&](int n, std::string_view line) {
            if (n == 1) {
                if (line != kHeading)
                    why = "not a resampling record";
                return why.empty();
            }
            const std::vector<std::string_view> w = textWords(line);
            if (w.empty() || w[0].front() == '#')
                return true;
            if (w[0] == "source") {
                r.source.clear();
                for (std::size_t i = 1; i < w.size(); ++i) {
                    if (i > 1)
                        r.source.push_back(' ');
                    r.source.append(w[i]);
                }
            } else if (w[0] == "grid") {
                const auto a = w.size() == 3 ? parseWholeNumber(w[1], 1, 90) : std::nullopt;
                const auto b = w.size() == 3 ? parseWholeNumber(w[2], 1, 90) : std::nullopt;
                if (!a || !b)
                    why = "the grid is 'grid FROM TO' in whole degrees";
                else {
                    r.fromStep = static_cast<int>(*a);
                    r.toStep = static_cast<int>(*b);
                    sawGrid = true;
                }
            } else if (w[0] == "centre") {
                if (w.size() == 2 && (w[1] == "found" || w[1] == "none"))
                    r.centre = std::string(w[1]);
                else {
                    double v = 0;
                    if (w.size() != 4 || !parseDecimal(w[1], v) || !parseDecimal(w[2], v) || !parseDecimal(w[3], v))
                        why = "the centre is found, none or X Y Z in mm";
                    else {
                        r.centre.assign(w[1]);
                        for (std::size_t i = 2; i < 4; ++i) {
                            r.centre.push_back(' ');
                            r.centre.append(w[i]);
                        }
                    }
                }
            } else if (w[0] == "point") {
                ResampledPoint p;
                const auto order = w.size() == 7 ? parseWholeNumber(w[2], 0, 1000) : std::nullopt;
                if (!order || !parseDecimal(w[1], p.hz) || !(p.hz > 0) || !parseDecimal(w[3], p.residualDb) ||
                    !parseDecimal(w[4], p.centreMm[0]) || !parseDecimal(w[5], p.centreMm[1]) ||
                    !parseDecimal(w[6], p.centreMm[2]))
                    why = "a point is 'point HZ ORDER RESIDUAL_DB X Y Z'";
                else if (!r.points.empty() && !(p.hz > r.points.back().hz))
                    why = "the points' frequencies do not rise";
                else {
                    p.order = static_cast<int>(*order);
                    r.points.push_back(p);
                }
            }
            return why.empty();
        },
        number);
    if (!whole || number == 0 || !sawGrid) {
        error = "line " + std::to_string(number) + ": " +
                (!why.empty() ? why : number == 0 ? std::string("empty") : !whole ? "a NUL byte" : "no grid line");
        return std::nullopt;
    }
    error.clear();
    return r;
}

LoadedResampling loadResamplingRecordFor(const std::string& balloonPath)
{
    LoadedResampling out;
    const std::string path = sidePathFor(balloonPath, kResamplingRecordSuffix);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return out;
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    out.record = parseResamplingRecord(text.str(), error);
    if (!out.record)
        out.error = path + ": " + error;
    return out;
}

} // namespace vantrel
