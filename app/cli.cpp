// vantrel-cli: the system without a window, for batch work, automation and tests.

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/cli_command.h"

namespace vantrel {

namespace {
std::vector<CliCommand>& registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}
} // namespace

CliRegistration::CliRegistration(const CliCommand& command) { registry().push_back(command); }

const std::vector<CliCommand>& cliCommands() { return registry(); }

} // namespace vantrel

namespace {

void printUsage(std::FILE* out)
{
    auto commands = vantrel::cliCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::fprintf(out, "usage: vantrel-cli <command> [arguments]\n\ncommands:\n");
    for (const auto& c : commands)
        std::fprintf(out, "  %.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.usage.size()), c.usage.data());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const auto& c : vantrel::cliCommands())
        if (c.name == name)
            return c.run(args);
    std::fprintf(stderr, "vantrel-cli: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}
