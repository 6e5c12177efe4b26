// vantrel-cli's command line: every subcommand explains itself, and bad usage is answered in
// one form with exit status 2.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli_run.h"

namespace vantrel {
namespace {

using testing::runCli;

std::vector<std::string> commandNames()
{
    const auto listing = runCli("help");
    EXPECT_EQ(listing.status, 0);
    std::istringstream lines(listing.out.substr(listing.out.find("Subcommands:")));
    std::vector<std::string> names;
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        if (words >> name && name != "help")
            names.push_back(name);
    }
    return names;
}

TEST(CommandLine, EverySubcommandListsItsOptions)
{
    const auto names = commandNames();
    ASSERT_GE(names.size(), 7u);
    for (const auto& name : names) {
        const auto help = runCli(name + " --help");
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_NE(help.out.find("Usage: vantrel-cli " + name), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("--help"), std::string::npos) << name;
    }
    EXPECT_NE(runCli("process --help").out.find("--calibration"), std::string::npos);
}

TEST(CommandLine, BadUsageNamesTheProblemAndExitsTwo)
{
    struct Case {
        std::string arguments, said;
    };
    const Case cases[] = {
        {"process --window 99 s.RES", "vantrel-cli process: --window"},
        {"process", "RECORDING is required"},
        {"process a.RES b.RES", "vantrel-cli process:"},
        {"mls 12", "vantrel-cli mls: ORDER"},
        {"mls 2147483648", "vantrel-cli mls:"},
        {"calibrate --frobnicate -o x.trg", "--frobnicate"},
        {"simulate-recording --h 1,5 --v 0 -o x.RES", "'1,5' is not a decimal number"},
        {"simulate-recording --h 1e999 --v 0 -o x.RES", "is not a decimal number"},
        {"frobnicate", "unknown command 'frobnicate'"},
        // A sweep that cannot be played is refused before anything moves, naming the value.
        {"measure --simulate --excitation sweep --f1 2000 --f2 2000 -o x.BAL", "f1 = 2000 Hz must lie below its end f2 = 2000 Hz"},
        {"measure --simulate --excitation sweep --rate 48000 --f2 30000 -o x.BAL", "f2 = 30000 Hz lies above the Nyquist frequency 24000 Hz"},
        {"measure --simulate --excitation sweep --order 13 --f1 5 -o x.BAL", "does not fit the length 8191"},
        {"measure --simulate --sim-nonlinearity 0.1 -o x.BAL", "--sim-nonlinearity"},
        {"render x.BAL --quantity thd2 -o x.png", "--quantity"},
        {"", "A subcommand is required"},
    };
    for (const auto& c : cases) {
        const auto run = runCli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << c.arguments << "\n" << run.err;
        EXPECT_TRUE(run.out.empty()) << c.arguments;
    }
}

} // namespace
} // namespace vantrel
