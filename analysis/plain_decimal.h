#pragma once
// Decimals for files and pictures, independent of the C locale.

#include <string>

namespace vantrel {

// Fixed notation with `decimals` digits after the point; "-0.00" is written "0.00".
std::string plainDecimal(double value, int decimals);

} // namespace vantrel
