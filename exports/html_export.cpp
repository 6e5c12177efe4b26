#include "exports/html_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include <zlib.h>

#include "analysis/tables.h"
#include "balloon/sphere_directions.h"
#include "balloon/valid_band.h"
#include "exports/decimal_text.h"
#include "exports/html/viewer_template.h"
#include "exports/safe_output.h"
#include "exports/sofa_export.h"
#include "platform/version.h"
#include "views/drawing_resources.h"

namespace vantrel {

namespace {

constexpr const char* kLibraryFile = "three.min.js";
constexpr const char* kControlsFile = "examples/js/controls/OrbitControls.js";

bool readWholeFile(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = std::move(text).str();
    return !in.bad();
}

} // namespace

std::string scriptElementText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '<' && i + 1 < text.size() && text[i + 1] == '/' && i + 7 < text.size()) {
            std::string word(text.substr(i + 2, 6));
            std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (word == "script")
                out += '\\';
        }
    }
    return out;
}

std::string htmlText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

namespace {

std::string base64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = unsigned(std::uint8_t(bytes[i])) << 16 | unsigned(std::uint8_t(bytes[i + 1])) << 8 |
                           unsigned(std::uint8_t(bytes[i + 2]));
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += kDigits[(v >> 6) & 63];
        out += kDigits[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned v = unsigned(std::uint8_t(bytes[i])) << 16 | (two ? unsigned(std::uint8_t(bytes[i + 1])) << 8 : 0u);
        out += kDigits[v >> 18];
        out += kDigits[(v >> 12) & 63];
        out += two ? kDigits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::int16_t quantise(double value, double step, double fallback)
{
    const double q = std::round((std::isnan(value) ? fallback : value) / step);
    return static_cast<std::int16_t>(std::clamp(q, -32767.0, 32767.0));
}

// Differences along frequency of every direction (the first bin from 0), wrapped into int16,
// or for phases into one turn, -1800..1799 tenths of a degree; zigzag coded (0, -1, 1, -2 ..
// as 0, 1, 2, 3 ..) and appended as two planes, all low bytes, then all high bytes: small
// differences leave a high plane of zeros that deflate shrinks to nearly nothing.
void appendDifferencePlanes(std::string& out, const std::vector<std::int16_t>& values, bool turns)
{
    std::vector<std::uint16_t> codes(values.size());
    for (std::size_t start = 0; start < values.size(); start += kAxisPoints) {
        int previous = 0;
        for (std::size_t i = start; i < start + kAxisPoints; ++i) {
            int difference = values[i] - previous;
            difference = turns ? ((difference + 1800) % 3600 + 3600) % 3600 - 1800
                               : static_cast<std::int16_t>(static_cast<std::uint16_t>(difference));
            codes[i] = static_cast<std::uint16_t>(difference >= 0 ? 2 * difference : -2 * difference - 1);
            previous = values[i];
        }
    }
    for (std::uint16_t code : codes)
        out += char(code & 0xff);
    for (std::uint16_t code : codes)
        out += char(code >> 8);
}

std::string deflated(const std::string& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    out.resize(size);
    return out;
}

std::string metadataJson(const ExportSource& source, const FrequencyAxis& axis,
                         const std::vector<SphereDirection>& directions)
{
    const AngleGrid grid = exportGrid(source.trailer);
    std::string json = "{";
    json += "\"file\":" + jsonString(sourceFileName(source));
    json += ",\"source\":" + jsonString(sourceFileName(source));
    json += ",\"settings\":" + jsonString(settingsSummary(source.trailer));
    json += ",\"exported\":" + jsonString(sofaDateNow() + " UTC");
    json += ",\"gridStep\":" + std::to_string(gridStepDegrees(grid));
    json += ",\"levelStep\":0.01,\"phaseStep\":0.1,\"bins\":" + std::to_string(kAxisPoints);
    // The points that hold measurements; the page greys the rest of the axis.
    const ValidBand valid = validBand(source.trailer, axis, source.measured);
    json += ",\"validFirst\":" + std::to_string(valid.first) + ",\"validLast\":" + std::to_string(valid.last);
    json += ",\"validFrom\":" + jsonString(validFromText(valid, axis));
    json += ",\"frequencies\":[";
    for (int b = 0; b < kAxisPoints; ++b) {
        if (b > 0)
            json += ',';
        json += shortestText(axis[b]);
    }
    // The colour views' palette, lowest level first, so the page's scale is the desktop's.
    json += "],\"palette\":[";
    for (std::size_t i = 0; i < kPaletteColours.size(); ++i) {
        const Rgb c = kPaletteColours[i];
        if (i > 0)
            json += ',';
        json += '[';
        json += std::to_string(c.r) + ',' + std::to_string(c.g) + ',' + std::to_string(c.b) + ']';
    }
    json += "],\"directions\":[";
    for (std::size_t d = 0; d < directions.size(); ++d) {
        if (d > 0)
            json += ',';
        json += std::to_string(directions[d].hDegrees) + ',' + std::to_string(directions[d].vDegrees);
    }
    json += "]}";
    return json;
}

// The template with each marker, in document order, replaced by its text. The texts are not
// searched, so nothing inside three.js or the data can be taken for a marker.
std::string fillTemplate(std::string_view page, std::initializer_list<std::pair<std::string_view, std::string>> fills)
{
    std::string out;
    std::size_t from = 0;
    for (const auto& [marker, text] : fills) {
        const std::size_t at = page.find(marker, from);
        if (at == std::string_view::npos)
            continue;
        out.append(page.substr(from, at - from)).append(text);
        from = at + marker.size();
    }
    return out.append(page.substr(from));
}

} // namespace

std::string threeJsDirectory()
{
    const char* dir = std::getenv("VANTREL_THREE_JS_DIR");
    return dir != nullptr && *dir != '\0' ? std::string(dir) : std::string(kThreeJsDirectory);
}

std::string readThreeJs(const std::string& directory, ThreeJs& out)
{
    for (auto [file, target] : {std::pair{kLibraryFile, &out.library}, std::pair{kControlsFile, &out.controls}}) {
        const std::string path = (std::filesystem::path(directory) / file).string();
        if (!readWholeFile(path, *target) || target->empty())
            return "three.js is not installed: cannot read " + path +
                   " (the Debian package libjs-three brings it; VANTREL_THREE_JS_DIR names another folder)";
    }
    return {};
}

QuantisedBalloon quantiseBalloon(const ExportSource& source)
{
    const std::vector<SphereDirection> directions = sphereDirections(exportGrid(source.trailer));
    QuantisedBalloon q;
    q.levels.reserve(directions.size() * kAxisPoints);
    q.phases.reserve(directions.size() * kAxisPoints);
    for (const SphereDirection& d : directions) {
        const auto cell = source.matrix.cell(d.cell.row, d.cell.column);
        for (int b = 0; b < kAxisPoints; ++b) {
            const ComplexBin bin = cell[static_cast<std::size_t>(b)];
            // A zero bin reads as the display floor, -40 dB; a corrupt one (NaN) the same.
            q.levels.push_back(quantise(binLevelDb(bin), kHtmlLevelStepDb, -40.0));
            q.phases.push_back(quantise(binPhaseDegrees(bin), kHtmlPhaseStepDegrees, 0.0));
        }
    }
    return q;
}

std::string htmlPage(const ExportSource& source, const FrequencyAxis& axis, const ThreeJs& three)
{
    const std::vector<SphereDirection> directions = sphereDirections(exportGrid(source.trailer));
    const QuantisedBalloon q = quantiseBalloon(source);
    std::string raw;
    raw.reserve(4 * q.levels.size());
    appendDifferencePlanes(raw, q.levels, false);
    appendDifferencePlanes(raw, q.phases, true);

    const std::string block = deflated(raw);
    if (block.empty())
        return {};
    const std::string name = sourceFileName(source);
    return fillTemplate(
        kViewerPage,
        {{"@GENERATOR@", htmlText("Vantrel " + vantrelVersionText())},
         {"@TITLE@", htmlText(name) + " - Vantrel balloon"},
         {"/*@STYLE@*/", std::string(kViewerStyle)},
         {"<!--@THREE@-->", "<script>" + scriptElementText(three.library) + "</script>\n<script>" + scriptElementText(three.controls) + "</script>"},
         {"<!--@META@-->", "<script type=\"application/json\" id=\"balloon-meta\">" + metadataJson(source, axis, directions) +
                               "</script>"},
         {"<!--@DATA@-->", "<script type=\"application/octet-stream\" id=\"balloon-data\">" + base64(block) + "</script>"},
         {"<!--@VIEWER@-->", "<script>" + scriptElementText(kViewerScript) + "</script>"}});
}

std::string writeHtml(const ExportSource& source, const ThreeJs& three, const std::string& path)
{
    FrequencyAxis axis;
    if (std::string error = exportAxis(source.trailer, axis); !error.empty())
        return error;
    const std::string page = htmlPage(source, axis, three);
    if (page.empty())
        return "cannot write " + path + ": not enough memory to compress the balloon";
    return writeTextFile(path, page);
}

} // namespace vantrel
