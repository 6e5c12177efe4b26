#include "cli/cli_distortion.h"

#include <filesystem>

#include "platform/qt/picture_file.h"

namespace vantrel {

std::optional<std::string> writeThdMaps(const DistortionBalloon& distortion, const ValidBand& band,
                                        const std::string& directory, std::vector<std::string>& written)
{
    const std::optional<std::vector<ReportItem>> items = distortionReportItems(distortion, band, "");
    if (!items)
        return "not enough memory for the THD balloon";
    for (const ReportItem& item : *items) {
        if (!item.draw)
            continue; // the on-axis table is the caller's, under the balloon's own name
        const std::string path = (std::filesystem::path(directory) / item.file).string();
        if (auto error = savePicturePng(item.width, item.height, item.draw, path))
            return error;
        written.push_back(path);
    }
    return std::nullopt;
}

} // namespace vantrel
