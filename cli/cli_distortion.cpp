#include "cli/cli_distortion.h"

#include <cmath>
#include <filesystem>

#include "analysis/directivity.h"
#include "analysis/pictures.h"
#include "platform/qt/picture_file.h"

namespace vantrel {

std::optional<DistortionBalloon> distortionBeside(const std::string& balloonPath, std::string& error)
{
    error.clear();
    const std::string path = distortionPathFor(balloonPath);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return std::nullopt;
    return loadDistortion(path, error);
}

std::string quantityName(DistortionQuantity q)
{
    switch (q) {
    case DistortionQuantity::h2: return "H2";
    case DistortionQuantity::h3: return "H3";
    case DistortionQuantity::thd: return "THD";
    case DistortionQuantity::noise: return "noise";
    }
    return "";
}

void distortionLevels(const DistortionBalloon& distortion, DistortionQuantity q, float offsetDb, BalloonMatrix& out)
{
    for (int row = 0; row < kMatrixRows; ++row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            auto cell = out.cell(row, column);
            std::fill(cell.begin(), cell.begin() + kDataBins, ComplexBin{});
            if (!distortion.measured(row, column))
                continue;
            for (int i = 0; i < kAxisPoints; ++i)
                if (distortion.aboveNoise(row, column, q, i))
                    cell[static_cast<std::size_t>(i)] = encodeBin(distortion.value(row, column, q, i) + offsetDb, 0.0f);
        }
}

std::optional<std::string> writeThdMaps(const DistortionBalloon& distortion, const std::string& directory,
                                        std::vector<std::string>& written)
{
    std::optional<BalloonMatrix> matrix = BalloonMatrix::create();
    if (!matrix)
        return "not enough memory for the THD balloon";
    distortionLevels(distortion, DistortionQuantity::thd, 0.0f, *matrix);
    FrequencyAxis axis;
    axis.build(distortion.axis()[0] / std::pow(distortion.axis()[749] / distortion.axis()[0], 1.0 / 749),
               distortion.axis()[749]);
    const AngleGrid grid = distortion.grid();
    const struct {
        Plane plane;
        const char* file;
        const char* title;
    } maps[] = {{Plane::Horizontal, "thd-map-horizontal.png", "Horizontal THD map: THD relative to the fundamental (dB)"},
                {Plane::Vertical, "thd-map-vertical.png", "Vertical THD map: THD relative to the fundamental (dB)"}};
    for (const auto& m : maps) {
        const OrbitLevels orbit = orbitLevels(*matrix, m.plane, grid);
        const std::string path = (std::filesystem::path(directory) / m.file).string();
        if (auto error = savePicturePng(kPolarMapSize.width, kPolarMapSize.height,
                                        [&](Canvas& c) {
                                            drawPolarMap(c, orbit, m.plane, axis, grid, true);
                                            // The map's own title speaks of levels: this one
                                            // says what the levels are, and what is missing.
                                            c.setPen({{255, 255, 255}, 1, PenStyle::Null});
                                            c.setBrush({{255, 255, 255}, false});
                                            c.rectangle(0, 0, kPolarMapSize.width, 34);
                                            c.setTextColour({0, 0, 0});
                                            c.textOut(40, 8, m.title);
                                            c.textOut(40, 22, "below the noise or not measured: the lowest colour");
                                        },
                                        path))
            return error;
        written.push_back(path);
    }
    return std::nullopt;
}

} // namespace vantrel
