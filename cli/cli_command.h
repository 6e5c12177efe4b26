#pragma once
// Subcommands of vantrel-cli. Each lives in its own cli/cli_<name>.cpp and registers itself
// with a static CliRegistration, so that subcommands grow without touching a shared table.
// Every subcommand is parsed by CLI11: `setup` declares its options on the subcommand and
// returns the action to run once the command line parsed.
// Exit status: 0 success, 1 the system refused (its own message on standard error),
// 2 bad usage or unreadable input.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

namespace vantrel {

inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

struct CliCommand {
    std::string_view name;
    std::string_view description; // one line for `vantrel-cli help`
    std::function<int()> (*setup)(CLI::App& command);
};

class CliRegistration {
public:
    explicit CliRegistration(const CliCommand& command);
};

const std::vector<CliCommand>& cliCommands();

// "vantrel-cli <command>: <message>" on standard error; returns the exit status.
int cliRefusal(std::string_view command, std::string_view message);
int cliUsageError(std::string_view command, std::string_view message);

// Options whose values are decimal numbers. CLI11 converts with strtold, which follows the C
// library's locale; these convert with from_chars so "0.7" means the same on every desktop.
CLI::Option* addDecimalOption(CLI::App& command, const std::string& flags, double& target, const std::string& help);
// The same for a comma-separated list of decimals ("500,1000,2000").
CLI::Option* addDecimalListOption(CLI::App& command, const std::string& flags, std::vector<double>& target,
                                  const std::string& help);

} // namespace vantrel
