#include "balloon/frequency_axis.h"

#include <cmath>

namespace vantrel {

void FrequencyAxis::build(double fromHz, double toHz)
{
    from_ = fromHz;
    to_ = toHz;
    const double k = kAxisPoints / std::log10(toHz / fromHz);
    const double c = -std::log10(fromHz) * k;
    for (int i = 0; i < kAxisPoints; ++i)
        f_[static_cast<std::size_t>(i)] = static_cast<float>(std::pow(10.0, (i + 1 - c) / k));
}

double FrequencyAxis::fromHz(int fromIndex)
{
    if (fromIndex < 0 || fromIndex >= static_cast<int>(kAxisFromHz.size()))
        return 10.0;
    return kAxisFromHz[static_cast<std::size_t>(fromIndex)];
}

double FrequencyAxis::toHz(int toIndex)
{
    if (toIndex < 0 || toIndex >= static_cast<int>(kAxisToHz.size()))
        return 50000.0;
    return kAxisToHz[static_cast<std::size_t>(toIndex)];
}

void FrequencyAxis::buildFromIndexes(int fromIndex, int toIndex)
{
    build(fromHz(fromIndex), toHz(toIndex));
}

} // namespace vantrel
