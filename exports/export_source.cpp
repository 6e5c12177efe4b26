#include "exports/export_source.h"

#include <cmath>
#include <filesystem>
#include <numbers>

#include "exports/decimal_text.h"
#include "mls/mls_settings.h"

namespace vantrel {

namespace {

template <typename List>
std::string listText(const List& list, int index)
{
    if (index >= 0 && index < static_cast<int>(list.size()))
        return std::string(list[static_cast<std::size_t>(index)]);
    return "list index " + std::to_string(index);
}

} // namespace

std::string exportAxis(const BalloonTrailer& trailer, FrequencyAxis& axis)
{
    const bool fromKnown = trailer.fromIndex >= 0 && trailer.fromIndex < static_cast<int>(kAxisFromHz.size());
    const bool toKnown = trailer.toIndex >= 0 && trailer.toIndex < static_cast<int>(kAxisToHz.size());
    if (!fromKnown || !toKnown)
        return "the balloon's frequency range (From: index " + std::to_string(trailer.fromIndex) + ", To: index " +
               std::to_string(trailer.toIndex) + ") is not one the measurement offers";
    const double from = kAxisFromHz[static_cast<std::size_t>(trailer.fromIndex)];
    const double to = kAxisToHz[static_cast<std::size_t>(trailer.toIndex)];
    if (!(from < to))
        return "the balloon's frequency range is empty (From: " + fixedText(from, 1) + " Hz, To: " + fixedText(to, 1) +
               " Hz)";
    axis.build(from, to);
    return {};
}

std::string sourceFileName(const ExportSource& source)
{
    return std::filesystem::path(source.sourceName).filename().string();
}

AngleGrid exportGrid(const BalloonTrailer& trailer) { return angleGridFromFlag(trailer.angleGridFlag); }

std::string settingsSummary(const BalloonTrailer& trailer)
{
    return "grid " + std::to_string(gridStepDegrees(exportGrid(trailer))) + " degrees; sampling rate " +
           listText(kRateTexts, trailer.rateIndex) + " Hz; time window " + listText(kWindowTypeTexts, trailer.windowTypeIndex) +
           "; FFT window position " + std::to_string(trailer.fftWindowPosition) + "; smoothing " +
           listText(kSmoothingTexts, trailer.smoothingIndex) + "; From: " + listText(kFromTexts, trailer.fromIndex) +
           "; To: " + listText(kToTexts, trailer.toIndex);
}

double binLevelDb(ComplexBin bin)
{
    const double power = static_cast<double>(bin.re) * bin.re + static_cast<double>(bin.im) * bin.im;
    return power > 0.0 ? 10.0 * std::log10(power) + 90.0 : -40.0;
}

double binPhaseDegrees(ComplexBin bin)
{
    return std::atan2(static_cast<double>(bin.im), static_cast<double>(bin.re)) * 180.0 / std::numbers::pi;
}

} // namespace vantrel
