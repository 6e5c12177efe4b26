// The distortion file beside a balloon as vantrel-cli draws it: the THD maps and the on-axis
// table of directivity, render --quantity, and the refusals when the file is missing or damaged.

#include <fstream>
#include <sstream>
#include <string>

#include <QImage>
#include <gtest/gtest.h>

#include "analysis/pictures.h"
#include "analysis_balloons.h"
#include "balloon/balloon_file.h"
#include "balloon/distortion_balloon.h"
#include "cli_run.h"
#include "mls/sweep.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

using testing::TempDir;

std::string quoted(const std::filesystem::path& path)
{
    std::string text = "'";
    text += path.string();
    text += '\'';
    return text;
}

// A 10-degree balloon of the rig's model and, beside it, H2 at -40 dB (1 %) above 1 kHz and
// below the noise under it, H3 below the noise; as the recorder keeps them, both at -200 dB
// with the noise where the sweep cannot show them (H2 from 10 kHz, H3 from 7 kHz).
std::filesystem::path writeBalloonAndDistortion(const TempDir& dir)
{
    const FrequencyAxis axis;
    const VirtualLoudspeaker speaker;
    BalloonMatrix m = testing::synthesiseBalloon(AngleGrid::Grid10, axis, [&](double hz, double h, double v) {
        return speaker.response(hz, h, v);
    });
    BalloonTrailer trailer = kInitialBalloonTrailer;
    trailer.angleGridFlag = angleGridFlag(AngleGrid::Grid10);
    const auto balloon = dir.path() / "s.BAL";
    EXPECT_FALSE(saveBalloon(balloon.string(), m, trailer));

    DistortionBalloon d;
    d.reset(AngleGrid::Grid10, 10, 24000, axis);
    std::array<float, kAxisPoints> h2{}, h3{}, noise{};
    for (int i = 0; i < kAxisPoints; ++i) {
        h2[static_cast<std::size_t>(i)] = axis[i] >= 10000 ? kNoHarmonicDb : axis[i] >= 1000 ? -40.0f : -95.0f;
        h3[static_cast<std::size_t>(i)] = axis[i] >= 7000 ? kNoHarmonicDb : -95.0f;
        noise[static_cast<std::size_t>(i)] = axis[i] >= 10000 ? kNoHarmonicDb : -90.0f;
    }
    for (int v = 90; v >= -80; v -= 10)
        for (int h = 0; h <= 360; h += 10)
            EXPECT_TRUE(d.store(h, v, h2, h3, h2, noise));
    d.fillPoleRow();
    EXPECT_FALSE(saveDistortion(distortionPathFor(balloon.string()), d));
    return balloon;
}

TEST(DistortionCli, DirectivityAddsTheThdMapsAndTheOnAxisTable)
{
    TempDir dir;
    const auto balloon = writeBalloonAndDistortion(dir);
    const auto out = dir.path() / "out";
    const testing::CliResult run = testing::runCli("directivity " + quoted(balloon) + " -o " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* name : {"thd-map-horizontal.png", "thd-map-vertical.png"}) {
        const QImage image(QString::fromStdString((out / name).string()));
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_EQ(image.width(), kPolarMapSize.width);
    }
    std::ifstream table(out / "distortion-on-axis.txt");
    std::string line;
    int below = 0, measured = 0, notMeasured = 0;
    while (std::getline(table, line)) {
        if (line.starts_with("#"))
            continue;
        std::istringstream fields(line);
        double hz = 0;
        std::string h2db, h2pc, h3db, h3pc, thddb, thdpc;
        fields >> hz >> h2db >> h2pc >> h3db >> h3pc >> thddb >> thdpc;
        EXPECT_EQ(h3db, hz >= 7000 ? "not-measured" : "below-noise") << line;
        EXPECT_EQ(thddb + thdpc, h2db + h2pc) << line;
        if (h2db == "not-measured") {
            ++notMeasured;
            EXPECT_GE(hz, 10000) << line;
        } else if (h2db == "below-noise") {
            ++below;
            EXPECT_LT(hz, 1000) << line;
        } else {
            ++measured;
            EXPECT_EQ(h2db, "-40.00");
            EXPECT_EQ(h2pc, "1.0000");
        }
    }
    EXPECT_EQ(below + measured + notMeasured, kAxisPoints);
    EXPECT_GT(below, 300);
    EXPECT_GT(measured, 200);
    EXPECT_GT(notMeasured, 100);
}

TEST(DistortionCli, RenderDrawsAQuantityOrSaysWhyNot)
{
    TempDir dir;
    const auto balloon = writeBalloonAndDistortion(dir);
    const auto png = dir.path() / "thd.png";
    const testing::CliResult drawn =
        testing::runCli("render " + quoted(balloon) + " --quantity thd --hz 2000 -o " + quoted(png));
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());

    // Damaged: refused naming the file and the fault.
    {
        std::fstream f(distortionPathFor(balloon.string()), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(8);
        f.put(9);
    }
    const testing::CliResult damaged = testing::runCli("render " + quoted(balloon) + " --quantity h2 -o " + quoted(png));
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("version 9"), std::string::npos) << damaged.err;

    std::filesystem::remove(distortionPathFor(balloon.string()));
    const testing::CliResult missing = testing::runCli("render " + quoted(balloon) + " --quantity h3 -o " + quoted(png));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("measure it with --excitation sweep"), std::string::npos) << missing.err;
}

} // namespace
} // namespace vantrel
