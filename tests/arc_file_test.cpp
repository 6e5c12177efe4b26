// The arc description: what it reads, and every refusal naming its line.

#include <gtest/gtest.h>

#include "app/arc_file.h"

namespace vantrel {
namespace {

MicReadResult fakeMic(const std::string& path)
{
    if (path == "missing.txt")
        return {std::nullopt, "cannot read it"};
    return parseMicText("20 0\n20000 1\n");
}

TEST(ArcFile, ReadsRadiusChannelsAnglesAndMicrophoneFiles)
{
    std::string error;
    const auto arc = parseArcDescription("# an arc\n\nradius 1.5\r\n2 -90\n 3\t0  capsule 3.txt \n5 90\n",
                                         AngleGrid::Grid10, 8, fakeMic, error);
    ASSERT_TRUE(arc) << error;
    EXPECT_EQ(arc->radius, 1.5);
    ASSERT_EQ(arc->microphones.size(), 3u);
    const ArcMicrophone& m = arc->microphones[1];
    EXPECT_EQ(m.line, 5);
    EXPECT_EQ(m.channel, 3);
    EXPECT_EQ(m.angle, 0);
    EXPECT_EQ(m.micFile, "capsule 3.txt");
    EXPECT_TRUE(m.calibration);
    EXPECT_FALSE(arc->microphones[0].calibration);
    EXPECT_EQ(arc->microphones[2].angle, 90);
}

TEST(ArcFile, RefusalsNameTheLine)
{
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"2 0\n", "line 1: the radius comes first: radius METRES"},
        {"radius 2,5\n2 0\n", "line 1: the radius comes first: radius METRES"},
        {"radius 30\n2 0\n", "line 1: the radius 30 m lies outside 0.1..20 m"},
        {"radius 2\n", "line 2: the arc has no microphone"},
        {"radius 2\n# none\n", "line 3: the arc has no microphone"},
        {"", "line 1: the radius comes first: radius METRES"},
        {"radius 2\n2\n", "line 2: give the channel and the angle"},
        {"radius 2\nx 0\n", "line 2: the channel 'x' is not a whole number"},
        {"radius 2\n1 0\n", "line 2: channel 1 is REF, not a microphone"},
        {"radius 2\n0 0\n", "line 2: channel 0 is beyond the device's 8 input channels"},
        {"radius 2\n9 0\n", "line 2: channel 9 is beyond the device's 8 input channels"},
        {"radius 2\n2 0\n\n2 10\n", "line 4: channel 2 repeats line 2"},
        {"radius 2\n2 5\n", "line 2: the angle 5 is not on the 10-degree grid"},
        {"radius 2\n2 1.0\n", "line 2: the angle '1.0' is not a whole number of degrees"},
        {"radius 2\n2 190\n",
         "line 2: the angle 190: the turntables bring only angles of -180..180 degrees along the arc to a grid "
         "direction"},
        {"radius 2\n2 -180\n3 180\n", "line 3: the angle 180 repeats the direction of line 2"},
        {"radius 2\n2 0\n3 10 missing.txt\n", "line 3: missing.txt: cannot read it"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseArcDescription(c.text, AngleGrid::Grid10, 8, fakeMic, error)) << c.text;
        EXPECT_EQ(error, c.says);
    }
}

} // namespace
} // namespace vantrel
