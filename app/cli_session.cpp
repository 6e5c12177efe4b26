// vantrel-cli session [--simulate] [SCRIPT]: runs the program headless under a script, on a
// virtual clock, printing every event the program causes. This is how automation and the
// integration tests drive it.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/cli_command.h"
#include "app/device_set.h"
#include "app/main_window.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"

namespace vantrel {
namespace {

int runSession(std::span<const std::string_view> args)
{
    bool simulate = false;
    std::string scriptPath;
    for (std::string_view a : args) {
        if (a == "--simulate")
            simulate = true;
        else if (!a.empty() && a[0] == '-' && a != "-") {
            std::cerr << "vantrel-cli session: unknown option '" << a << "'\n";
            return 2;
        } else if (scriptPath.empty())
            scriptPath = std::string(a);
        else {
            std::cerr << "vantrel-cli session: only one script may be given\n";
            return 2;
        }
    }
    std::ifstream file;
    std::istream* script = &std::cin;
    if (!scriptPath.empty() && scriptPath != "-") {
        file.open(scriptPath);
        if (!file) {
            std::cerr << "vantrel-cli session: cannot read script '" << scriptPath << "'\n";
            return 2;
        }
        script = &file;
    }

    HeadlessPlatform platform(std::cout);
    DeviceSet devices(simulate, platform.clock(), platform.log());
    std::error_code ec;
    const std::string directory = std::filesystem::current_path(ec).string();
    auto mainWindow = MainWindow::start(platform, devices.devices(), directory);
    if (!mainWindow)
        return 1;
    if (auto error = runSessionScript(platform, *script)) {
        std::cerr << "vantrel-cli session: line " << error->line << ": " << error->message << "\n";
        return 2;
    }
    return 0;
}

const CliRegistration registration({"session", "[--simulate] [SCRIPT]  drive the program by a script (standard input by default)", runSession});

} // namespace
} // namespace vantrel
