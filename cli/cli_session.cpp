// vantrel-cli session [--simulate] [SCRIPT]: runs the program headless under a script, on a
// virtual clock, printing every event the program causes. This is how automation and the
// integration tests drive it.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/cli_command.h"
#include "devices/device_set.h"
#include "app/main_window.h"
#include "cli/sim_fault_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"

namespace vantrel {
namespace {

int runSession(bool simulate, const SimFaults& faults, const std::string& scriptPath)
{
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
    DeviceSet devices(simulate, platform.clock(), platform.log(), faults);
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

std::function<int()> setupSession(CLI::App& app)
{
    struct Options {
        bool simulate = false;
        SimFaults faults;
        std::string script;
    };
    auto o = std::make_shared<Options>();
    app.add_flag("--simulate", o->simulate, "bind both turntables and the sound card to the simulated rig");
    addSimFaultOption(app, o->faults)->needs("--simulate");
    app.add_option("SCRIPT", o->script, "the script to run ('-' or none: standard input)");
    return [o] { return runSession(o->simulate, o->faults, o->script); };
}

const CliRegistration registration({"session", "Drive the program by a script on a virtual clock, printing every event",
                                    setupSession});

} // namespace
} // namespace vantrel
