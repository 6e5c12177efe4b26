#pragma once
// The distortion file beside a balloon file, for the subcommands that draw it (the views and
// reports themselves are app/distortion_report.h, shared with the main window).

#include <optional>
#include <string>
#include <vector>

#include "app/distortion_report.h"

namespace vantrel {

// Writes the horizontal and vertical THD polar maps of the distortion into directory
// ("thd-map-horizontal.png", "thd-map-vertical.png") over the balloon's valid band; the paths
// written, or the reason.
std::optional<std::string> writeThdMaps(const DistortionBalloon& distortion, const ValidBand& band,
                                        const std::string& directory, std::vector<std::string>& written);

} // namespace vantrel
