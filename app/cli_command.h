#pragma once
// Subcommands of vantrel-cli. Each lives in its own app/cli_<name>.cpp and registers itself
// with a static CliRegistration, so that subcommands grow without touching a shared table.
// Exit status: 0 success, 1 the system refused (its own message on standard error),
// 2 bad usage or unreadable input.

#include <span>
#include <string_view>
#include <vector>

namespace vantrel {

struct CliCommand {
    std::string_view name;
    std::string_view usage; // one line: arguments and what it does
    int (*run)(std::span<const std::string_view> args); // args exclude the subcommand name
};

class CliRegistration {
public:
    explicit CliRegistration(const CliCommand& command);
};

const std::vector<CliCommand>& cliCommands();

} // namespace vantrel
