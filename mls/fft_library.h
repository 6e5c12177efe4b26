#pragma once
// The FFT library behind ComplexFft, as it names itself ("fftw-3.3.10-sse2-avx"), for the
// program's about box.

#include <string>

namespace vantrel {

std::string fftLibraryVersion();

} // namespace vantrel
