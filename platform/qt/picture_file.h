#pragma once
// A picture drawn on the Canvas and saved as a PNG file, for the command-line tools.

#include <functional>
#include <optional>
#include <string>

#include "platform/canvas.h"

namespace vantrel {

// Draws on a white width x height image and writes it to path. Returns nothing on success,
// else what went wrong.
std::optional<std::string> savePicturePng(int width, int height, const std::function<void(Canvas&)>& draw,
                                          const std::string& path);

} // namespace vantrel
