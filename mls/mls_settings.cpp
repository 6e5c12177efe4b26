#include "mls/mls_settings.h"

#include "mls/numeric_text.h"

namespace vantrel {

int MlsSettings::sampleRate() const
{
    if (rateIndex < 0 || rateIndex >= static_cast<int>(kRateTexts.size()))
        return 0;
    return textInt(kRateTexts[static_cast<std::size_t>(rateIndex)]);
}

int MlsSettings::smoothingValue() const
{
    if (smoothingIndex < 0 || smoothingIndex > 5)
        return 0;
    return (1 << (5 - smoothingIndex)) / 2;
}

int MlsSettings::smoothingHalfWidth() const
{
    switch (smoothingValue()) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    case 8: return 4;
    case 16: return 5;
    default: return 0;
    }
}

} // namespace vantrel
