// The directivity file read back by an independent reader (python3-netcdf4, see
// tests/exports/check_sofa.py) against the balloon file it was exported from.

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "balloon/balloon_file.h"
#include "exports/sofa_export.h"
#include "platform/sim/loudspeaker.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

// Runs the reader; its report lands in the failure message.
int readBack(const std::string& balloon, const std::string& sofa, std::size_t receivers, std::pair<int, int> points,
             const std::string& extra)
{
    // The reader is the Debian package python3-netcdf4, so the system's interpreter runs it
    // (not whatever python3 comes first on the PATH).
    const std::string command = "/usr/bin/python3 '" VANTREL_TEST_SOURCE_DIR "/tests/exports/check_sofa.py' '" + balloon + "' '" +
                                sofa + "' " + std::to_string(receivers) + " " + std::to_string(points.first) + " " +
                                std::to_string(points.second) + " " + extra + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string report;
    std::array<char, 4096> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        report.append(chunk.data(), n);
    const int status = pclose(pipe);
    EXPECT_EQ(report, "");
    return status;
}

// Every cell of the grid from the simulated rig's exact model, as a measurement would store it.
void fillFromRig(BalloonMatrix& m, AngleGrid grid, const FrequencyAxis& axis)
{
    const VirtualLoudspeaker speaker;
    const int step = gridStepDegrees(grid);
    for (int r = 0; r <= lastRow(grid); ++r)
        for (int c = 0; c <= lastColumn(grid); ++c) {
            auto cell = m.cell(r, c);
            for (int b = 0; b < kDataBins; ++b) {
                const auto z = speaker.response(axis[b], c * step, 90 - r * step);
                cell[static_cast<std::size_t>(b)] = {static_cast<float>(z.real()), static_cast<float>(z.imag())};
            }
        }
}

// Loads the balloon back from its file as vantrel-cli export does, then writes the SOFA file.
// The axis points of the file: the valid band, or all of them.
std::string exportFile(const std::string& balloonPath, const std::string& sofaPath, const SofaMetadata& metadata,
                       bool allPoints = false)
{
    auto loaded = BalloonMatrix::create();
    EXPECT_TRUE(loaded);
    const BalloonLoadResult load = loadBalloon(balloonPath, *loaded);
    EXPECT_TRUE(load) << load.error;
    return writeSofa({*loaded, loaded->readTrailer(), balloonPath, {}, allPoints}, metadata, sofaPath);
}

TEST(SofaReadBack, SimulatedRigBalloonShowsItsVerticalLobingAlongElevation)
{
    TempDir dir;
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    BalloonTrailer settings{0, 5, 3, 0, 3, 6, 1}; // 10 Hz .. 50 kHz, 10-degree grid
    FrequencyAxis axis;
    axis.buildFromIndexes(settings.fromIndex, settings.toIndex);
    fillFromRig(*m, AngleGrid::Grid10, axis);
    const std::string balloon = (dir.path() / "rig.BAL").string(), sofa = (dir.path() / "rig.sofa").string();
    ASSERT_FALSE(saveBalloon(balloon, *m, settings));
    ASSERT_EQ(exportFile(balloon, sofa, {}), "");
    // The valid band of 48 kHz, 1/24 octave: the copied edge points and everything above
    // 0.45 of the rate left out.
    const ValidBand band = validBand(settings, axis);
    EXPECT_EQ(readBack(balloon, sofa, 614, {band.first, band.last}, "--sim"), 0);
}

TEST(SofaReadBack, FiveDegreeGridWithUserMetadataAndAnotherAxis)
{
    TempDir dir;
    auto m = BalloonMatrix::create();
    ASSERT_TRUE(m);
    // Distinct bits in every cell of the block, unused ones included, so a wrong cell shows.
    auto floats = reinterpret_cast<float*>(m->bytes().data());
    for (std::size_t i = 0; i < BalloonMatrix::kTrailerOffset / 4; ++i)
        floats[i] = static_cast<float>(i % 100003) * 1e-5f - 0.5f;
    const BalloonTrailer settings{2, 6, 1, 17, 5, 4, 0}; // 50 Hz .. 10 kHz, 5-degree grid
    const std::string balloon = (dir.path() / "grid5.BAL").string(), sofa = (dir.path() / "grid5.sofa").string();
    ASSERT_FALSE(saveBalloon(balloon, *m, settings));
    SofaMetadata metadata;
    metadata.title = "Two-way monitor, grille off";
    metadata.author = "lab@example.org";
    metadata.organization = "Test Lab";
    metadata.license = "CC BY 4.0";
    metadata.sourceType = "2-way loudspeaker";
    metadata.manufacturer = "Example Works";
    metadata.description = "Woofer 160 mm, tweeter 25 mm";
    ASSERT_EQ(exportFile(balloon, sofa, metadata, true), "");
    EXPECT_EQ(readBack(balloon, sofa, 2522, {0, kAxisPoints - 1},
                       "--attr 'Title=Two-way monitor, grille off' AuthorContact=lab@example.org 'Organization=Test Lab' "
                       "'License=CC BY 4.0' 'SourceType=2-way loudspeaker' 'SourceManufacturer=Example Works' "
                       "'Description=Woofer 160 mm, tweeter 25 mm' DatabaseName=grid5.BAL"),
              0);
}

} // namespace
} // namespace vantrel
