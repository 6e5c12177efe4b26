#include "calibration/target_file.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "mls/frequency_response.h"
#include "mls/numeric_text.h"
#include "platform/number_text.h"

namespace vantrel {

namespace {

bool isNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'E';
}

// Walks the text handing out one number at a time.
class NumberScanner {
public:
    explicit NumberScanner(std::string_view text) : text_(text) {}

    bool next(double& value)
    {
        while (pos_ < text_.size() && !isNumberChar(text_[pos_]))
            ++pos_;
        if (pos_ == text_.size())
            return false;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && isNumberChar(text_[pos_]))
            ++pos_;
        value = textValue(text_.substr(start, pos_ - start));
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

float limitPhase(double degrees)
{
    if (degrees < -180.0)
        return -179.9f;
    if (degrees > 180.0)
        return 179.9f;
    return static_cast<float>(degrees);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

std::string formatTargetFile(const FrequencyAxis& axis, const CalibrationCurve& curve)
{
    std::string text;
    text.reserve(kAxisPoints * 40);
    for (int i = 0; i < kAxisPoints; ++i) {
        const LevelPhase& p = curve[static_cast<std::size_t>(i)];
        appendFixed(text, axis[i], 2);
        text += "    ";
        appendFixed(text, p.level, 2);
        text += "    ";
        appendFixed(text, p.phase, 2);
        text += "  \r\n";
    }
    return text;
}

bool writeTargetFile(const std::string& path, const FrequencyAxis& axis, const CalibrationCurve& curve)
{
    if (!finiteResponse(curve))
        return false; // "inf" or "nan" lines would be read back as something else
    const std::string text = formatTargetFile(axis, curve);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

TargetReadResult parseTargetText(std::string_view text, CalibrationCurve& curve)
{
    NumberScanner scanner(text);
    TargetReadResult result;
    for (int i = 0; i < kTargetFilePoints; ++i) {
        double frequency = 0, level = 0, phase = 0;
        if (!scanner.next(frequency) || !scanner.next(level) || !scanner.next(phase))
            break;
        // A level no float holds (1E999), or whose linear value none holds (-10000 dB), would
        // carry infinity into every corrected response: the reading ends there, as at the end of
        // a short file.
        if (!usableCalibrationLevel(level))
            break;
        LevelPhase& p = curve[static_cast<std::size_t>(i)];
        p.level = static_cast<float>(level);
        p.phase = limitPhase(phase);
        ++result.points;
    }
    if (result.points == kTargetFilePoints) {
        curve[kAxisPoints - 1] = curve[kAxisPoints - 2];
        result.status = TargetReadStatus::Complete;
    } else {
        result.status = result.points == 0 ? TargetReadStatus::NoNumbers : TargetReadStatus::Short;
    }
    return result;
}

TargetReadResult readTargetFile(const std::string& path, CalibrationCurve& curve)
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return {};
    std::string text;
    std::vector<char> block(65536);
    for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), f.get());
        text.append(block.data(), n);
        if (n < block.size())
            break;
    }
    if (std::ferror(f.get()))
        return {}; // a directory opens but does not read
    return parseTargetText(text, curve);
}

std::string targetReadMessage(const TargetReadResult& result)
{
    switch (result.status) {
    case TargetReadStatus::Short: return "Target file holds only " + std::to_string(result.points) + " points";
    case TargetReadStatus::NoNumbers: return "Target file holds no points: the calibration curve is unchanged";
    default: return {};
    }
}

} // namespace vantrel
