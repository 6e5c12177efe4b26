// vantrel-cli session [--simulate [--sim-arc N,STEP]] [--arc FILE] [SCRIPT]: runs the program headless under a script, on a
// virtual clock, printing every event the program causes. This is how automation and the
// integration tests drive it.

#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/cli_command.h"
#include "devices/device_set.h"
#include "app/main_window.h"
#include "app/measure_plan.h"
#include "cli/sim_fault_option.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"

namespace vantrel {
namespace {

int runSession(bool simulate, SimFaults faults, const ArcOptions& arcOptions, const std::string& scriptPath)
{
    // The microphone arc as measure reads it.
    std::optional<ArcSetup> arcSetup;
    if (const std::string error = readArcOptions(arcOptions, simulate, faults, arcSetup); !error.empty()) {
        std::cerr << "vantrel-cli session: " << error << "\n";
        return 2;
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
    DeviceSet devices(simulate, platform.clock(), platform.log(), faults);
    std::error_code ec;
    const std::string directory = std::filesystem::current_path(ec).string();
    auto mainWindow = MainWindow::start(platform, devices.devices(), directory);
    if (!mainWindow)
        return 1;
    if (arcSetup)
        mainWindow->useArc(std::move(*arcSetup->arc), arcOptions.arcFile, std::move(arcSetup->calibration));
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
        ArcOptions arc;
    };
    auto o = std::make_shared<Options>();
    app.add_flag("--simulate", o->simulate, "bind both turntables and the sound card to the simulated rig");
    addSimFaultOption(app, o->faults)->needs("--simulate");
    app.add_option("--sim-arc", o->arc.simArc, "N microphones on an arc, STEP degrees apart, on the simulated rig")
        ->type_name("N,STEP")
        ->needs("--simulate");
    app.add_option("--sim-mic-errors", o->arc.micErrorsSeed, "the simulated arc's microphone errors, drawn from SEED")
        ->type_name("SEED");
    app.add_option("--arc", o->arc.arcFile, "the microphone arc described in FILE")->type_name("FILE");
    app.add_option("--arc-calibration", o->arc.arcCalibration, "the arc's self-calibration set")->type_name("FILE");
    app.add_option("SCRIPT", o->script, "the script to run ('-' or none: standard input)");
    return [o] { return runSession(o->simulate, o->faults, o->arc, o->script); };
}

const CliRegistration registration({"session", "Drive the program by a script on a virtual clock, printing every event",
                                    setupSession});

} // namespace
} // namespace vantrel
