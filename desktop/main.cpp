// vantrel: the desktop program.
//   vantrel [--simulate [--fault KIND=N]...] [--speed N] [--log] [--screenshot FILE]
// --simulate binds both turntables and the sound card to the built-in simulated rig; --speed
// runs the clock N times faster; --screenshot renders the main window after start-up to FILE
// (message boxes answered with their default) and exits.

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "platform/number_text.h"
#include "platform/qt/image_canvas.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"
#include "platform/sim/sim_faults.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: vantrel [--simulate [--fault KIND=N]...] [--speed N] [--log] [--screenshot FILE]\n"
                         "  --fault: %.*s\n", static_cast<int>(vantrel::kSimFaultHelp.size()), vantrel::kSimFaultHelp.data());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    vantrel::QtPlatformOptions options;
    bool simulate = false;
    vantrel::SimFaults faults;
    bool rehearse = false;
    std::string screenshot;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--simulate")
            simulate = true;
        else if (a == "--fault" && i + 1 < argc) {
            if (const std::string error = vantrel::addSimFault(argv[++i], faults); !error.empty()) {
                std::fprintf(stderr, "vantrel: %s\n", error.c_str());
                return 2;
            }
            rehearse = true;
        } else if (a == "--log")
            options.logEvents = true;
        else if (a == "--speed" && i + 1 < argc) {
            if (!vantrel::parseDecimal(argv[++i], options.speed) || options.speed <= 0)
                return usage();
        } else if (a == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
            options.autoAnswer = true;
        } else
            return usage();
    }
    if (rehearse && !simulate) {
        std::fprintf(stderr, "vantrel: --fault needs --simulate (faults are rehearsed on the simulated rig)\n");
        return 2;
    }
    if (options.speed != 1.0 && !simulate) {
        std::fprintf(stderr, "vantrel: --speed needs --simulate (real turntables keep real time)\n");
        return 2;
    }

    vantrel::prepareQtEnvironment();
    QApplication app(argc, argv);
    options.rigClock = simulate;
    vantrel::QtPlatform platform(options);
    vantrel::DeviceSet devices(simulate, platform.clock(), platform.log(), faults);
    auto mainWindow = vantrel::MainWindow::start(platform, devices.devices(), QDir::currentPath().toStdString());
    if (!mainWindow)
        return 1;
    if (!screenshot.empty()) {
        QApplication::processEvents();
        vantrel::QtWindow* w = platform.window("main");
        if (!w || !w->grab().save(QString::fromStdString(screenshot), "PNG")) {
            std::fprintf(stderr, "vantrel: cannot write %s\n", screenshot.c_str());
            return 1;
        }
        std::printf("%s\n", screenshot.c_str());
        return 0;
    }
    return app.exec();
}
