#include "balloon/measurement_record.h"
#include "balloon/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

namespace vantrel {

namespace {

constexpr std::string_view kHeading = "vantrel measurement record ";
constexpr std::size_t kLargestRecord = 64 * 1024;

// to_chars and from_chars never consult the locale.
std::string numberText(double v)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

bool readNumber(std::string_view token, double& out)
{
    if (token.empty() || token.front() == '+')
        return false;
    const auto r = std::from_chars(token.data(), token.data() + token.size(), out);
    return r.ec == std::errc() && r.ptr == token.data() + token.size() && std::isfinite(out);
}

bool readInteger(std::string_view token, int& out)
{
    const auto r = std::from_chars(token.data(), token.data() + token.size(), out);
    return !token.empty() && r.ec == std::errc() && r.ptr == token.data() + token.size();
}

std::string lineReason(int number, const std::string& what) { return "measurement record line " + std::to_string(number) + ": " + what; }

} // namespace

std::string measurementRecordPathFor(const std::string& balloonPath) { return sidePathFor(balloonPath, kMeasurementRecordSuffix); }

std::string measurementRecordText(const MeasurementRecord& r)
{
    std::string out(kHeading);
    out += "1\n";
    out += r.excitation == RecordedExcitation::sweep ? "excitation sweep\n" : "excitation mls\n";
    if (r.excitation == RecordedExcitation::sweep)
        out += "sweep-hz " + numberText(r.sweepF1Hz) + " " + numberText(r.sweepF2Hz) + "\n";
    if (r.rateHz > 0)
        out += "rate-hz " + numberText(r.rateHz) + "\n";
    if (r.windowSamples > 0)
        out += "window-samples " + numberText(r.windowSamples) + "\n";
    out += "window-type " + std::to_string(r.windowType) + "\n";
    out += "window-position " + std::to_string(r.windowPosition) + "\n";
    if (r.gate)
        out += std::string("gate ") + (r.gate->automatic ? "auto " : "fixed ") + numberText(r.gate->ms) + "\n";
    if (r.merge)
        out += "merge-hz " + numberText(r.merge->lowHz) + " " + numberText(r.merge->highHz) + "\n";
    if (r.outputVolumePercent > 0)
        out += "output-volume-percent " + numberText(r.outputVolumePercent) + "\n";
    return out;
}

std::optional<MeasurementRecord> parseMeasurementRecord(std::string_view text, std::string& error)
{
    if (text.size() > kLargestRecord) {
        error = "measurement record: larger than " + std::to_string(kLargestRecord) + " bytes";
        return std::nullopt;
    }
    MeasurementRecord r;
    std::set<std::string, std::less<>> seen;
    bool headed = false;
    int number = 0;
    const bool whole = forEachTextLine(text, [&](int number, std::string_view line) {
        const std::vector<std::string_view> w = textWords(line);
        if (w.empty())
            return true;
        if (!headed) {
            int version = 0;
            if (line.substr(0, kHeading.size()) != kHeading || !readInteger(line.substr(kHeading.size()), version) || version < 1) {
                error = lineReason(number, "is not \"vantrel measurement record 1\"");
                return false;
            }
            headed = true;
            return true;
        }
        const std::string_view key = w[0];
        auto bad = [&](const std::string& what) {
            error = lineReason(number, std::string(key) + " " + what);
            return false;
        };
        static constexpr std::string_view kKnown[] = {"excitation", "sweep-hz", "rate-hz", "window-samples",
                                                      "window-type", "window-position", "gate", "merge-hz",
                                                      "output-volume-percent"};
        bool known = false;
        for (std::string_view k : kKnown)
            known = known || k == key;
        if (!known)
            return true;
        if (!seen.insert(std::string(key)).second)
            return bad("appears twice");
        const std::size_t values = w.size() - 1;
        auto positivePair = [&](double& a, double& b) {
            return values == 2 && readNumber(w[1], a) && readNumber(w[2], b) && a > 0 && b > a;
        };
        if (key == "excitation") {
            if (values != 1 || (w[1] != "mls" && w[1] != "sweep"))
                return bad("must be mls or sweep");
            r.excitation = w[1] == "sweep" ? RecordedExcitation::sweep : RecordedExcitation::mls;
        } else if (key == "sweep-hz") {
            if (!positivePair(r.sweepF1Hz, r.sweepF2Hz))
                return bad("must be two frequencies in Hz, f1 below f2");
        } else if (key == "rate-hz") {
            if (values != 1 || !readNumber(w[1], r.rateHz) || r.rateHz <= 0)
                return bad("must be one rate in Hz above 0");
        } else if (key == "window-samples") {
            if (values != 1 || !readNumber(w[1], r.windowSamples) || r.windowSamples <= 0)
                return bad("must be one length in samples above 0");
        } else if (key == "window-type") {
            if (values != 1 || !readInteger(w[1], r.windowType) || r.windowType < 0 || r.windowType > 9)
                return bad("must be a whole number 0..9");
        } else if (key == "window-position") {
            if (values != 1 || !readInteger(w[1], r.windowPosition) || r.windowPosition < 0 || r.windowPosition > 400)
                return bad("must be a whole number 0..400");
        } else if (key == "gate") {
            GateRecord g;
            if (values != 2 || (w[1] != "auto" && w[1] != "fixed") || !readNumber(w[2], g.ms) || g.ms <= 0)
                return bad("must be auto or fixed, then milliseconds above 0");
            g.automatic = w[1] == "auto";
            r.gate = g;
        } else if (key == "output-volume-percent") {
            if (values != 1 || !readNumber(w[1], r.outputVolumePercent) || !(r.outputVolumePercent > 0) ||
                r.outputVolumePercent > 100)
                return bad("must be one drive in percent, above 0 and at most 100");
        } else if (key == "merge-hz") {
            MergeBand m;
            if (!positivePair(m.lowHz, m.highHz))
                return bad("must be two frequencies in Hz, the lower first");
            r.merge = m;
        }
        return true;
    }, number);
    if (!whole) {
        if (error.empty())
            error = lineReason(number, "holds a NUL byte");
        return std::nullopt;
    }
    if (!headed) {
        error = "measurement record: empty";
        return std::nullopt;
    }
    if (r.excitation == RecordedExcitation::sweep && !seen.contains("sweep-hz")) {
        error = "measurement record: a sweep without its sweep-hz line";
        return std::nullopt;
    }
    if (r.excitation == RecordedExcitation::mls && seen.contains("sweep-hz")) {
        error = "measurement record: sweep-hz given for an MLS measurement";
        return std::nullopt;
    }
    return r;
}

std::optional<std::string> saveMeasurementRecord(const std::string& path, const MeasurementRecord& record)
{
    return replaceFile(path, measurementRecordText(record));
}

LoadedRecord loadMeasurementRecordFor(const std::string& balloonPath)
{
    LoadedRecord out;
    const std::string path = measurementRecordPathFor(balloonPath);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return out;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = "cannot open '" + path + "'";
        return out;
    }
    std::string text(kLargestRecord + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::string error;
    out.record = parseMeasurementRecord(text, error);
    if (!out.record)
        out.error = path + ": " + error;
    return out;
}

} // namespace vantrel
