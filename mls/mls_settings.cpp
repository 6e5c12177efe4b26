#include "mls/mls_settings.h"

namespace vantrel {

int MlsSettings::sampleRate() const { return rateHzAt(rateIndex); }

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
