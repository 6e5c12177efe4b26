// The request bodies of the HTTP interface and its token files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "server/api_request.h"
#include "platform/number_text.h"
#include "server/api_server.h"
#include "temp_dir.h"

namespace vantrel {
namespace {

TEST(ApiRequest, BadWalkBodiesNameTheirField)
{
    struct Case {
        const char* body;
        const char* field; // "" for the body as a whole
    };
    const Case cases[] = {
        {"{", ""},
        {"[1,2]", ""},
        {"\"order\"", ""},
        {R"({"order":12})", "order"},
        {R"({"order":19})", "order"},
        {R"({"order":13.5})", "order"},
        {R"({"order":"13"})", "order"},
        {R"({"grid":7})", "grid"},
        {R"({"rate":44100})", "rate"},
        {R"({"window":0})", "window"},
        {R"({"windowType":10})", "windowType"},
        {R"({"order":13,"window":8192})", "window"},
        {R"({"window":100,"front":100})", "front"},
        {R"({"windowPosition":401})", "windowPosition"},
        {R"({"paced":1})", "paced"},
        {R"({"settle":200})", "settle"},
        {R"({"paced":true,"settle":5001})", "settle"},
        {R"({"excitation":"noise"})", "excitation"},
        {R"({"f1":-5})", "f1"},
        {R"({"f2":0})", "f2"},
        {R"({"gate":0})", "gate"},
        {R"({"gate":"later"})", "gate"},
        {R"({"gate":"auto","window":1000})", "window"},
        {R"({"file":"../up.BAL"})", "file"},
        {R"({"file":"/tmp/x.BAL"})", "file"},
        {R"({"file":"dir/x.BAL"})", "file"},
        {R"({"file":".hidden.BAL"})", "file"},
        {R"({"file":"x.txt"})", "file"},
        {R"({"file":7})", "file"},
        {R"({"resume":"yes"})", "resume"},
        {R"({"resume":true,"order":13})", "order"},
        {R"({"resume":true,"micFile":"m.txt"})", "micFile"},
        {R"({"preferences":""})", "preferences"},
        {R"({"micFile":3})", "micFile"},
        {R"({"arc":["a.txt"]})", "arc"},
        {R"({"arcCalibration":null})", "arcCalibration"},
        {R"({"degrees":5})", "degrees"},
        {R"({"Order":13})", "Order"},
    };
    for (const Case& c : cases) {
        WalkRequest walk;
        walk.file = "kept.BAL";
        const auto error = readWalkRequest(c.body, walk);
        ASSERT_TRUE(error.has_value()) << c.body;
        EXPECT_EQ(error->field, c.field) << c.body;
        if (*c.field) {
            EXPECT_NE(error->message.find(std::string("\"") + c.field + "\""), std::string::npos) << error->message;
        }
        EXPECT_EQ(walk.file, "kept.BAL") << "a refusal changes nothing: " << c.body;
    }
}

TEST(ApiRequest, AWalkBodyTakesMeasuresOptions)
{
    WalkRequest walk;
    ASSERT_FALSE(readWalkRequest(R"({"grid":5,"order":13,"rate":96000,"window":4000,"front":10,"windowType":4,
        "windowPosition":300,"paced":true,"settle":250,"excitation":"sweep","f1":20,"f2":20000.5,"file":"a-1_b.bal","preferences":"p/Pellant.pre",
        "micFile":"mic.txt","arc":"arc.txt","arcCalibration":"arc.cal"})",
                                 walk));
    const MeasureRequest& m = walk.measure;
    EXPECT_EQ(m.grid, 5);
    EXPECT_EQ(m.order, 13);
    EXPECT_EQ(m.rate, 96000);
    EXPECT_EQ(m.window, 4000);
    EXPECT_EQ(m.front, 10);
    EXPECT_EQ(m.windowType, 4);
    EXPECT_EQ(m.windowPosition, 300);
    EXPECT_TRUE(m.paced);
    EXPECT_EQ(m.settle, 250);
    EXPECT_EQ(m.excitation, "sweep");
    EXPECT_DOUBLE_EQ(m.f2, 20000.5);
    EXPECT_EQ(walk.file, "a-1_b.bal");
    EXPECT_EQ(m.preferences + m.micFile + m.arcFile + m.arcCalibration, "p/Pellant.premic.txtarc.txtarc.cal");

    WalkRequest defaults;
    ASSERT_FALSE(readWalkRequest("  ", defaults)) << "an empty body is the defaults";
    EXPECT_EQ(defaults.measure.order, 18);
    EXPECT_EQ(defaults.measure.grid, 10);
    WalkRequest gated;
    ASSERT_FALSE(readWalkRequest(R"({"gate":2.5})", gated));
    double ms = 0;
    ASSERT_TRUE(parseDecimal(gated.measure.gate, ms));
    EXPECT_DOUBLE_EQ(ms, 2.5);
}

TEST(ApiRequest, Moves)
{
    struct Case {
        const char* body;
        std::optional<int> degrees; // nothing: refused
    };
    const Case cases[] = {{R"({"degrees":45})", 45},  {R"({"degrees":-360})", -360}, {R"({"degrees":0})", {}},
                          {R"({"degrees":361})", {}}, {R"({"degrees":1.5})", {}},    {R"({})", {}},
                          {R"({"degrees":5,"speed":2})", {}}, {"5", {}}};
    for (const Case& c : cases) {
        int degrees = 99;
        const auto error = readMoveRequest(c.body, degrees);
        EXPECT_EQ(!error, c.degrees.has_value()) << c.body;
        EXPECT_EQ(degrees, c.degrees.value_or(99)) << c.body;
    }
}

TEST(ApiRequest, MeasurementsAndChecks)
{
    struct Case {
        const char* body;
        const char* field; // nullptr: taken
    };
    const Case measurements[] = {{"{}", nullptr},
                                 {R"({"excitation":"sweep","f1":100,"order":16})", nullptr},
                                 {R"({"f1":100})", "f1"},
                                 {R"({"excitation":"pink"})", "excitation"},
                                 {R"({"order":20})", "order"},
                                 {R"({"grid":10})", "grid"}};
    for (const Case& c : measurements) {
        MeasurementRequest m;
        const auto error = readMeasurementRequest(c.body, m);
        EXPECT_EQ(error ? error->field : std::string(), c.field ? std::string(c.field) : std::string()) << c.body;
    }
    const Case checks[] = {
        {R"({"golden":1,"bands":[{"fromHz":100,"toHz":1000,"toleranceDb":0.5}]})", nullptr},
        {R"({"bands":[{"fromHz":100,"toHz":1000,"toleranceDb":0.5}]})", "golden"},
        {R"({"golden":1})", "bands"},
        {R"({"golden":1,"bands":[]})", "bands"},
        {R"({"golden":1,"bands":[{"fromHz":1000,"toHz":100,"toleranceDb":0.5}]})", "bands"},
        {R"({"golden":1,"bands":[{"fromHz":100,"toHz":1000}]})", "bands"},
        {R"({"golden":1,"bands":[{"fromHz":100,"toHz":1000,"toleranceDb":-1}]})", "bands"},
        {R"({"golden":1,"directions":[{"h":360,"v":0}],"bands":[{"fromHz":1,"toHz":2,"toleranceDb":1}]})", "directions"},
        {R"({"golden":1,"directions":[{"h":10}],"bands":[{"fromHz":1,"toHz":2,"toleranceDb":1}]})", "directions"},
        {R"({"golden":1,"directions":[],"bands":[{"fromHz":1,"toHz":2,"toleranceDb":1}]})", "directions"},
        {R"({"golden":1,"order":12,"bands":[{"fromHz":1,"toHz":2,"toleranceDb":1}]})", "order"},
    };
    for (const Case& c : checks) {
        CheckRequest check;
        const auto error = readCheckRequest(c.body, check);
        EXPECT_EQ(error ? error->field : std::string(), c.field ? std::string(c.field) : std::string()) << c.body;
    }
    CheckRequest onAxis;
    ASSERT_FALSE(readCheckRequest(R"({"golden":3,"bands":[{"fromHz":100,"toHz":1000,"toleranceDb":0.5}]})", onAxis));
    ASSERT_EQ(onAxis.directions.size(), 1u) << "on axis unless given";
    EXPECT_EQ(onAxis.directions[0].h, 0);
    EXPECT_EQ(onAxis.golden, 3);
}

TEST(ApiToken, WrittenForTheUserAloneAndReadBack)
{
    testing::TempDir dir;
    const std::string token = makeApiToken();
    EXPECT_EQ(token.size(), 64u);
    EXPECT_NE(token, makeApiToken());
    std::string why;
    const std::string path = writeApiToken(token, 4747, dir.path().string(), why);
    ASSERT_FALSE(path.empty()) << why;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readApiTokenFile(path, why), token) << why;

    const std::string open = (dir.path() / "open.token").string();
    std::ofstream(open) << "a-long-enough-token-text\n";
    ::chmod(open.c_str(), 0644);
    EXPECT_TRUE(readApiTokenFile(open, why).empty());
    EXPECT_NE(why.find("chmod 600"), std::string::npos) << why;
    ::chmod(open.c_str(), 0600);
    EXPECT_EQ(readApiTokenFile(open, why), "a-long-enough-token-text");
    std::ofstream(open) << "short\n";
    EXPECT_TRUE(readApiTokenFile(open, why).empty());
}

} // namespace
} // namespace vantrel
