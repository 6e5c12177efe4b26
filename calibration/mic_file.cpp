#include "calibration/mic_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "mls/frequency_response.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

// The shortest text that reads back as the value ("20", "1000.5"), "." whatever the locale.
std::string shortDecimal(double value)
{
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc{} ? std::string(buffer.data(), end) : fixedText(value, 2);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithWord(std::string_view text, std::string_view word)
{
    if (text.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[i]) != word[i])
            return false;
    return true;
}

bool containsWord(std::string_view text, std::string_view word)
{
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at)
        if (startsWithWord(text.substr(at), word))
            return true;
    return false;
}

// A field that means to be a number, well formed or not: a digit first, a sign or point
// before a digit, or a spelled-out NaN or infinity. Anything else starts a header line.
bool looksNumeric(std::string_view field)
{
    std::string_view rest = field;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-'))
        rest.remove_prefix(1);
    if (rest.empty())
        return false;
    if (isDigit(rest.front()))
        return true;
    if (rest.front() == '.' && rest.size() > 1 && isDigit(rest[1]))
        return true;
    return startsWithWord(rest, "nan") || startsWithWord(rest, "inf");
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

double wrapDegrees(double degrees)
{
    double d = std::fmod(degrees, 360.0);
    if (d > 180.0)
        d -= 360.0;
    else if (d <= -180.0)
        d += 360.0;
    return d;
}

std::string quotedField(std::string_view field)
{
    constexpr std::size_t kShown = 24;
    std::string text = "'";
    text.append(field.substr(0, kShown));
    if (field.size() > kShown)
        text += "...";
    return text + "'";
}

// What the commas of a line are: none, column separators, decimal commas, or either.
enum class CommaRole { none, separator, decimal, unclear };

CommaRole commaRole(std::string_view text)
{
    if (text.find(',') == std::string_view::npos)
        return CommaRole::none;
    if (text.find(';') != std::string_view::npos)
        return CommaRole::decimal; // "1000;0,25"
    if (text.find_first_of(" \t") == std::string_view::npos)
        return CommaRole::separator; // "1000,0.25", "1000,0,25"
    // Blank or TAB columns: a comma between digits is a decimal comma ("1000\t0,25") unless
    // another comma stands beside a blank ("1000, 0,25"), a point is there too ("1,000\t0.5")
    // or a number holds two commas ("0,2,5"): those lines read either way.
    bool betweenDigits = false, besideOther = false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == ',') {
            if (i > 0 && i + 1 < text.size() && isDigit(text[i - 1]) && isDigit(text[i + 1]))
                betweenDigits = true;
            else
                besideOther = true;
        }
    if (!betweenDigits)
        return CommaRole::separator; // "1000, 0.25"
    if (besideOther || text.find('.') != std::string_view::npos)
        return CommaRole::unclear;
    int commasInField = 0;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            commasInField = 0;
        else if (c == ',' && ++commasInField > 1)
            return CommaRole::unclear;
    }
    return CommaRole::decimal;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

bool MicFileParser::refuse(std::string message)
{
    error_ = "line " + std::to_string(lineNumber_) + ": " + std::move(message);
    return false;
}

bool MicFileParser::line(std::string_view text)
{
    if (!error_.empty())
        return false;
    ++lineNumber_;
    if (text.size() > kMicLineLimit)
        return refuse("longer than " + std::to_string(kMicLineLimit) + " characters; not a calibration file");
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    if (lineNumber_ == 1 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    text = trimmed(text);
    if (text.empty())
        return true;

    const CommaRole commas = commaRole(text);
    const bool decimalComma = commas == CommaRole::decimal;
    std::vector<std::string> fields;
    std::string field;
    for (const char c : text) {
        const bool separator = c == ' ' || c == '\t' || c == ';' || (c == ',' && !decimalComma);
        if (separator) {
            if (!field.empty())
                fields.push_back(std::move(field));
            field.clear();
        } else {
            field.push_back(c == ',' ? '.' : c);
        }
    }
    if (!field.empty())
        fields.push_back(std::move(field));

    if (fields.empty() || !looksNumeric(fields.front())) {
        // Comments, titles, column headings; the first that speaks of sensitivity is kept.
        if (calibration_.sensitivityLine.empty() && containsWord(text, "sens")) {
            std::string kept(text);
            std::erase(kept, '"');
            calibration_.sensitivityLine = kept;
        }
        return true;
    }

    if (commas == CommaRole::unclear)
        return refuse("cannot tell whether its commas are decimal commas or separate the columns");
    if (commas != CommaRole::none) {
        if (!decimalCommas_)
            decimalCommas_ = decimalComma;
        else if (*decimalCommas_ != decimalComma)
            return refuse(decimalComma ? "decimal commas where the lines before separate the columns with commas"
                                       : "commas separate the columns where the lines before have decimal commas");
    }
    if (fields.size() < 2 || fields.size() > 3)
        return refuse("expected frequency (Hz), level (dB) and optionally phase (degrees), found " +
                      std::to_string(fields.size()) + " fields");
    double values[3] = {0, 0, 0};
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!parseDecimal(fields[i], values[i]))
            return refuse(quotedField(fields[i]) + " is not a finite number");
    const int columns = static_cast<int>(fields.size());
    if (columns_ == 0)
        columns_ = columns;
    else if (columns != columns_)
        return refuse(std::to_string(columns) + " columns where the lines before have " + std::to_string(columns_));

    MicPoint point{values[0], values[1], values[2]};
    if (!(point.hz > 0))
        return refuse("frequency " + fields[0] + " Hz is not above 0 Hz");
    if (!calibration_.points.empty() && !(point.hz > calibration_.points.back().hz))
        return refuse("frequency " + fields[0] + " Hz does not rise above " +
                      shortDecimal(calibration_.points.back().hz) + " Hz of the point before");
    if (!usableCalibrationLevel(point.db))
        return refuse("level " + fields[1] + " dB is beyond any correction");
    if (calibration_.points.size() >= kMicPointLimit)
        return refuse("more than " + std::to_string(kMicPointLimit) + " points; not a calibration file");
    calibration_.hasPhase = columns_ == 3;
    calibration_.points.push_back(point);
    return true;
}

MicReadResult MicFileParser::finish()
{
    MicReadResult result;
    if (!error_.empty()) {
        result.error = error_;
        return result;
    }
    if (calibration_.points.size() < 2) {
        result.error = calibration_.points.empty()
                           ? "no line of frequency and level in its " + std::to_string(lineNumber_) + " lines"
                           : "only one point of frequency and level; at least two are needed";
        return result;
    }
    result.calibration = calibration_;
    return result;
}

MicReadResult parseMicText(std::string_view text)
{
    MicFileParser parser;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (!parser.line(text.substr(0, end)))
            break;
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return parser.finish();
}

MicReadResult readMicFile(const std::string& path)
{
    MicReadResult result;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        result.error = "cannot open " + path + ": " + std::strerror(errno);
        return result;
    }
    MicFileParser parser;
    std::string pending;
    std::vector<char> block(65536);
    bool going = true;
    while (going) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), file.get());
        if (n == 0)
            break;
        for (std::size_t i = 0; i < n && going; ++i) {
            if (block[i] == '\n') {
                going = parser.line(pending);
                pending.clear();
            } else if (pending.size() <= kMicLineLimit) {
                pending.push_back(block[i]);
            } else {
                going = parser.line(pending); // refused: longer than the limit
            }
        }
    }
    if (going && std::ferror(file.get())) {
        result.error = "cannot read " + path;
        return result;
    }
    if (going && !pending.empty())
        (void)parser.line(pending);
    return parser.finish();
}

CalibrationCurve micCurve(const MicCalibration& calibration, const FrequencyAxis& axis)
{
    CalibrationCurve curve{};
    const std::vector<MicPoint>& p = calibration.points;
    if (p.empty())
        return curve;
    // Phase unwrapped between neighbouring points so that interpolation takes the short way.
    std::vector<double> phase(p.size());
    phase[0] = p[0].phase;
    for (std::size_t i = 1; i < p.size(); ++i)
        phase[i] = phase[i - 1] + wrapDegrees(p[i].phase - p[i - 1].phase);

    std::size_t upper = 0; // first point at or above the axis frequency
    for (int b = 0; b < kAxisPoints; ++b) {
        const double f = axis[b];
        while (upper < p.size() && p[upper].hz < f)
            ++upper;
        double level = 0, degrees = 0;
        if (upper == 0) {
            level = p.front().db;
            degrees = phase.front();
        } else if (upper == p.size()) {
            level = p.back().db;
            degrees = phase.back();
        } else {
            const std::size_t lo = upper - 1;
            const double t = std::log(f / p[lo].hz) / std::log(p[upper].hz / p[lo].hz);
            level = p[lo].db + t * (p[upper].db - p[lo].db);
            degrees = phase[lo] + t * (phase[upper] - phase[lo]);
        }
        curve[static_cast<std::size_t>(b)] = {static_cast<float>(level), static_cast<float>(wrapDegrees(degrees))};
    }
    return curve;
}

std::string micSummary(const MicCalibration& calibration)
{
    const std::vector<MicPoint>& p = calibration.points;
    if (p.empty())
        return "no points";
    const auto [low, high] = std::minmax_element(p.begin(), p.end(),
                                                 [](const MicPoint& a, const MicPoint& b) { return a.db < b.db; });
    std::string text = std::to_string(p.size()) + " points, " + shortDecimal(p.front().hz) + " Hz to " +
                       shortDecimal(p.back().hz) + " Hz, level " + fixedText(low->db, 2) + " to " +
                       fixedText(high->db, 2) + " dB" + (calibration.hasPhase ? ", with phase" : ", no phase") +
                       "; held flat beyond its range";
    if (!calibration.sensitivityLine.empty())
        text += "; sensitivity line (not applied): " + calibration.sensitivityLine;
    return text;
}

} // namespace vantrel
