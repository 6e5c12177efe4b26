// Rehearsed faults chosen on vantrel-cli's command line reach the program the way the real
// fault would: through the serial link's failing writes and the sound card's errors.

#include <gtest/gtest.h>

#include "session_fixture.h"

namespace vantrel::testing {
namespace {

TEST(SimFaultSession, APulledCableStopsTheJogWithTheLinkMessage)
{
    TempDir dir;
    const std::string out = runCliSession(dir.path(), "--simulate --fault serial-dies=40",
                                          "press main 1004\\npress main 1012\\npress main 1042\\nwait 6000\\n");
    const SessionRun run{out, {}};
    ASSERT_GE(run.find("motor 2 line lost"), 0) << out;
    const int said = run.find("\"Failed to Transmitt 1\"");
    EXPECT_GT(said, run.find("motor 2 line lost")) << out;
    EXPECT_EQ(run.find("motor 2 at 100.0"), -1) << out; // the table never turned
    EXPECT_EQ(run.find("timer main 4001 start"), -1) << out;
}

TEST(SimFaultSession, FaultsAreUsageErrorsUnlessValidAndSimulated)
{
    TempDir dir;
    EXPECT_NE(runCliSession(dir.path(), "--simulate --fault melt=1", "").find("unknown fault \"melt\""), std::string::npos);
    EXPECT_NE(runCliSession(dir.path(), "--fault hang=1", "").find("--simulate"), std::string::npos);
}

} // namespace
} // namespace vantrel::testing
