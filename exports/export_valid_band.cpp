#include "exports/export_valid_band.h"

#include "analysis/tables.h"
#include "balloon/valid_band.h"
#include "mls/mls_settings.h"

namespace vantrel {

std::string exportValidBand(const ExportSource& source, const FrequencyAxis& axis, ExportValidBand& band)
{
    const BalloonTrailer& trailer = source.trailer;
    // The analyses take a rate off the list as 48 kHz; a file for another program must not guess.
    if (trailer.rateIndex < 0 || trailer.rateIndex >= static_cast<int>(kRateTexts.size()))
        return "the balloon's sampling rate (list index " + std::to_string(trailer.rateIndex) +
               ") is not one the measurement offers, so its usable band is unknown";
    const ValidBand valid = validBand(trailer, axis, source.measured);
    band.lowHz = axis[valid.first];
    band.highHz = axis[valid.last];
    band.first = valid.first;
    band.last = valid.last;
    band.text = hzText(band.lowHz) + " .. " + hzText(band.highHz) + "; " + validFromText(valid, axis);
    return {};
}

} // namespace vantrel
