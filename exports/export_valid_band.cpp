#include "exports/export_valid_band.h"

#include <algorithm>

#include "mls/mls_settings.h"
#include "platform/number_text.h"

namespace vantrel {

std::string exportValidBand(const BalloonTrailer& trailer, const FrequencyAxis& axis, ExportValidBand& band)
{
    if (trailer.rateIndex < 0 || trailer.rateIndex >= static_cast<int>(kRateTexts.size()))
        return "the balloon's sampling rate (list index " + std::to_string(trailer.rateIndex) +
               ") is not one the measurement offers, so its usable band is unknown";
    const double rate = leadingDecimal(kRateTexts[static_cast<std::size_t>(trailer.rateIndex)]);
    band.lowHz = axis[0];
    band.highHz = std::min<double>(axis[kAxisPoints - 1], kUsableRateFraction * rate);
    if (!(band.lowHz < band.highHz))
        return "the balloon's frequency range (" + fixedText(axis[0], 1) + " Hz and up) lies wholly above the usable " +
               fixedText(kUsableRateFraction * rate, 0) + " Hz of its sampling rate";
    return {};
}

} // namespace vantrel
