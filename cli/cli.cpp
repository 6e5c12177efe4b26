// vantrel-cli: the system without a window, for batch work, automation and tests.

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "cli/cli_command.h"
#include "platform/number_text.h"
#include "platform/version.h"

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

int cliRefusal(std::string_view command, std::string_view message)
{
    std::cerr << "vantrel-cli " << command << ": " << message << "\n";
    return kExitRefused;
}

int cliUsageError(std::string_view command, std::string_view message)
{
    std::cerr << "vantrel-cli " << command << ": " << message << "\n";
    return kExitUsage;
}

CLI::Option* addDecimalOption(CLI::App& command, const std::string& flags, double& target, const std::string& help)
{
    return command
        .add_option_function<std::string>(
            flags,
            [&target, flags](const std::string& text) {
                if (!parseDecimal(text, target))
                    throw CLI::ValidationError(flags, "'" + text + "' is not a decimal number");
            },
            help)
        ->type_name("NUMBER");
}

CLI::Option* addDecimalListOption(CLI::App& command, const std::string& flags, std::vector<double>& target,
                                  const std::string& help)
{
    return command
        .add_option_function<std::string>(
            flags,
            [&target, flags](const std::string& text) {
                std::vector<double> values;
                std::string_view rest = text;
                while (true) {
                    const auto comma = rest.find(',');
                    double v = 0;
                    if (!parseDecimal(rest.substr(0, comma), v))
                        throw CLI::ValidationError(flags, "'" + text + "' is not a comma-separated list of numbers");
                    values.push_back(v);
                    if (comma == std::string_view::npos)
                        break;
                    rest.remove_prefix(comma + 1);
                }
                target = std::move(values);
            },
            help)
        ->type_name("N,N,...");
}

} // namespace vantrel

namespace {
CLI::App* findSubcommand(CLI::App& app, const std::string& name)
{
    for (CLI::App* s : app.get_subcommands([&name](CLI::App* s) { return s->get_name() == name; }))
        return s;
    return nullptr;
}
} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Vantrel without a window: measurement, files and the session harness.", "vantrel-cli"};
    app.require_subcommand(1);
    app.fallthrough(false);
    app.set_version_flag("--version", "vantrel-cli " + vantrel::vantrelVersionText(), "Print the version and exit");
    auto commands = vantrel::cliCommands();
    std::sort(commands.begin(), commands.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::map<CLI::App*, std::function<int()>> actions;
    for (const auto& c : commands) {
        CLI::App* sub = app.add_subcommand(std::string(c.name), std::string(c.description));
        actions[sub] = c.setup(*sub);
    }
    // `vantrel-cli help` lists the commands, as `--help` does.
    app.add_subcommand("help", "List the commands")->silent();

    if (argc >= 2 && std::string_view(argv[1]) == "help") {
        std::cout << app.help();
        return 0;
    }
    if (argc >= 2 && argv[1][0] != '-' && !actions.count(findSubcommand(app, argv[1]))) {
        std::cerr << "vantrel-cli: unknown command '" << argv[1] << "'\nRun 'vantrel-cli help' for the commands.\n";
        return vantrel::kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // Help of the innermost subcommand that was named.
        CLI::App* shown = &app;
        for (CLI::App* s : app.get_subcommands())
            shown = s;
        std::cout << (shown == &app ? app.help() : shown->help("vantrel-cli"));
        return 0;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        std::string where = "vantrel-cli";
        for (CLI::App* s : app.get_subcommands())
            where += " " + s->get_name();
        std::cerr << where << ": " << e.what() << "\n";
        std::cerr << "Run '" << where << " --help' for the options.\n";
        return vantrel::kExitUsage;
    }
    for (CLI::App* s : app.get_subcommands())
        if (auto it = actions.find(s); it != actions.end())
            return it->second();
    return vantrel::kExitUsage;
}
