#include "app/preferences.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "mls/frequency_response.h"

namespace vantrel {

namespace {

// Offsets of the record's fields.
enum : std::size_t {
    kWindowType = 0,
    kRate = 8,
    kSmoothing = 12,
    kWindowPosition = 20,
    kMlsLength = 24,
    kFrom = 28,
    kTo = 32,
    kSavedIr = 40,
    kInputDevice = 44,
    kOutputDevice = 48,
    kVolume = 52,
    kMatchedFilter = 56,
    kWidthText = 60,
    kFrontText = 71,
    kF3dbText = 82,
    kQText = 93,
    kSlopeText = 104,
    kCalibration = 116,
};
constexpr std::size_t kTextSlot = 11;
constexpr std::size_t kMaxLoadedText = 10;
constexpr int kMaxDevices = 20;

void putFloat(PreferencesRecord& r, std::size_t at, float v) { std::memcpy(r.data() + at, &v, 4); }
void putInt(PreferencesRecord& r, std::size_t at, std::int32_t v) { std::memcpy(r.data() + at, &v, 4); }

float getFloat(const PreferencesRecord& r, std::size_t at)
{
    float v;
    std::memcpy(&v, r.data() + at, 4);
    return v;
}

std::int32_t getInt(const PreferencesRecord& r, std::size_t at)
{
    std::int32_t v;
    std::memcpy(&v, r.data() + at, 4);
    return v;
}

void putText(PreferencesRecord& r, std::size_t at, const std::string& text)
{
    std::memset(r.data() + at, 0, kTextSlot);
    std::memcpy(r.data() + at, text.data(), std::min(text.size(), kTextSlot - 1));
}

std::string getText(const PreferencesRecord& r, std::size_t at)
{
    const char* p = reinterpret_cast<const char*>(r.data() + at);
    return std::string(p, strnlen(p, kMaxLoadedText));
}

// A float word holding an integer setting: truncation toward zero, checked against the range.
bool floatSetting(const PreferencesRecord& r, std::size_t at, int min, int max, int& out)
{
    const float f = getFloat(r, at);
    if (!std::isfinite(f) || f <= static_cast<float>(min) - 1.0f || f >= static_cast<float>(max) + 1.0f)
        return false;
    out = static_cast<int>(f);
    return true;
}

bool intSetting(const PreferencesRecord& r, std::size_t at, int min, int max, int& out)
{
    const std::int32_t v = getInt(r, at);
    if (v < min || v > max)
        return false;
    out = v;
    return true;
}

} // namespace

void packPreferences(const MlsSettings& s, const CalibrationCurve& curve, PreferencesRecord& r)
{
    putFloat(r, kWindowType, static_cast<float>(s.windowTypeIndex));
    putFloat(r, kRate, static_cast<float>(s.rateIndex));
    putFloat(r, kSmoothing, static_cast<float>(s.smoothingIndex));
    putFloat(r, kWindowPosition, static_cast<float>(s.fftWindowPosition));
    putInt(r, kMlsLength, s.mlsLengthIndex);
    putInt(r, kFrom, s.fromIndex);
    putInt(r, kTo, s.toIndex);
    putInt(r, kSavedIr, s.useSavedIr);
    putInt(r, kInputDevice, s.inputDeviceId);
    putInt(r, kOutputDevice, s.outputDeviceId);
    putInt(r, kVolume, s.outputVolume);
    putInt(r, kMatchedFilter, s.useMatchedFilter);
    putText(r, kWidthText, s.windowWidthText);
    putText(r, kFrontText, s.frontWindowText);
    putText(r, kF3dbText, s.filterF3dbText);
    putText(r, kQText, s.filterQText);
    putText(r, kSlopeText, s.filterSlopeText);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        putFloat(r, kCalibration + 8 * i, curve[i].level);
        putFloat(r, kCalibration + 8 * i + 4, curve[i].phase);
    }
}

int unpackPreferences(const PreferencesRecord& r, MlsSettings& s, CalibrationCurve& curve)
{
    const MlsSettings initial;
    int replaced = 0;
    auto take = [&](bool ok, int& field, int initialValue) {
        if (!ok) {
            field = initialValue;
            ++replaced;
        }
    };
    take(floatSetting(r, kWindowType, 0, static_cast<int>(kWindowTypeTexts.size()) - 1, s.windowTypeIndex), s.windowTypeIndex, initial.windowTypeIndex);
    take(floatSetting(r, kRate, 0, static_cast<int>(kRateTexts.size()) - 1, s.rateIndex), s.rateIndex, initial.rateIndex);
    take(floatSetting(r, kSmoothing, 0, static_cast<int>(kSmoothingTexts.size()) - 1, s.smoothingIndex), s.smoothingIndex, initial.smoothingIndex);
    take(floatSetting(r, kWindowPosition, 0, 400, s.fftWindowPosition), s.fftWindowPosition, initial.fftWindowPosition);
    take(intSetting(r, kMlsLength, 0, static_cast<int>(kMlsLengthTexts.size()) - 1, s.mlsLengthIndex), s.mlsLengthIndex, initial.mlsLengthIndex);
    take(intSetting(r, kFrom, 0, static_cast<int>(kFromTexts.size()) - 1, s.fromIndex), s.fromIndex, initial.fromIndex);
    take(intSetting(r, kTo, 0, static_cast<int>(kToTexts.size()) - 1, s.toIndex), s.toIndex, initial.toIndex);
    take(intSetting(r, kSavedIr, 0, 1, s.useSavedIr), s.useSavedIr, initial.useSavedIr);
    take(intSetting(r, kInputDevice, 0, kMaxDevices - 1, s.inputDeviceId), s.inputDeviceId, initial.inputDeviceId);
    take(intSetting(r, kOutputDevice, 0, kMaxDevices - 1, s.outputDeviceId), s.outputDeviceId, initial.outputDeviceId);
    take(intSetting(r, kVolume, 0, 100, s.outputVolume), s.outputVolume, initial.outputVolume);
    take(intSetting(r, kMatchedFilter, 0, 1, s.useMatchedFilter), s.useMatchedFilter, initial.useMatchedFilter);
    // An axis whose lower end is not below its upper end has no points to spread.
    if (FrequencyAxis::fromHz(s.fromIndex) >= FrequencyAxis::toHz(s.toIndex)) {
        s.fromIndex = initial.fromIndex;
        s.toIndex = initial.toIndex;
        ++replaced;
    }
    s.windowWidthText = getText(r, kWidthText);
    s.frontWindowText = getText(r, kFrontText);
    s.filterF3dbText = getText(r, kF3dbText);
    s.filterQText = getText(r, kQText);
    s.filterSlopeText = getText(r, kSlopeText);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        float level = getFloat(r, kCalibration + 8 * i);
        float phase = getFloat(r, kCalibration + 8 * i + 4);
        if (!usableCalibrationLevel(level) || !std::isfinite(phase)) {
            // A NaN, or a level whose linear value no float holds, would poison every
            // calibrated measurement.
            level = 0;
            phase = 0;
            ++replaced;
        }
        curve[i] = {level, phase};
    }
    return replaced;
}

PreferencesFile::PreferencesFile(std::string directory)
{
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\')
        directory.push_back('/');
    path_ = directory + kPreferencesFileName;
}

bool PreferencesFile::load(MlsSettings& settings, CalibrationCurve& curve)
{
    std::FILE* f = std::fopen(path_.c_str(), "rb");
    if (!f)
        return false;
    // Fields beyond the end of a short file keep the current settings.
    PreferencesRecord record = record_;
    packPreferences(settings, curve, record);
    const std::size_t got = std::fread(record.data(), 1, record.size(), f);
    // A directory of that name opens but does not read; neither does a failing disk. Both are
    // as unusable as a missing file.
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    (void)got;
    if (failed)
        return false;
    record_ = record;
    unpackPreferences(record_, settings, curve);
    return true;
}

bool PreferencesFile::save(const MlsSettings& settings, const CalibrationCurve& curve)
{
    packPreferences(settings, curve, record_);
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f)
        return false;
    const std::size_t written = std::fwrite(record_.data(), 1, record_.size(), f);
    const bool closed = std::fclose(f) == 0;
    return written == record_.size() && closed;
}

} // namespace vantrel
