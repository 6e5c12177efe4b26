// vantrel: the desktop program.
//   vantrel [--simulate [--fault KIND=N]... [--sim-room L,W,H[,ALPHA] [--sim-rig-height M]] [--sim-offset X,Y,Z]
//           [--sim-arc N,STEP] [--sim-mic-errors SEED]] [--arc FILE] [--arc-calibration FILE]
//           [--speed N] [--log] [--screenshot FILE] [--api [PORT]] [--help] [--version] [FILE.BAL]
// --simulate binds both turntables and the sound card to the built-in simulated rig; --speed
// runs the clock N times faster; --screenshot renders the main window after start-up to FILE
// (message boxes answered with their default) and exits.

#include <algorithm>
#include <QApplication>
#include <QDir>
#include <QHostAddress>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "app/main_window_controls.h"
#include "app/measure_plan.h"
#include "platform/number_text.h"
#include "platform/qt/image_canvas.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window.h"
#include "platform/sim/sim_audio.h"
#include "platform/sim/sim_faults.h"
#include "platform/version.h"
#include "server/api_server.h"

namespace {

int usage()
{
    std::fprintf(stderr, "usage: vantrel [--simulate [--fault KIND=N]... [--sim-room L,W,H[,ALPHA] [--sim-rig-height M]]\n"
                         "               [--sim-offset X,Y,Z] [--sim-arc N,STEP] [--sim-mic-errors SEED]]\n"
                         "               [--arc FILE] [--arc-calibration FILE]\n"
                         "               [--speed N] [--log] [--screenshot FILE] [--api [PORT]]\n"
                         "               [FILE.BAL]\n"
                         "  --fault: %.*s\n", static_cast<int>(vantrel::kSimFaultHelp.size()), vantrel::kSimFaultHelp.data());
    return 2;
}

// Also the source of the manual page (help2man), so every option is listed here.
void help()
{
    std::printf("Usage: vantrel [OPTION]... [FILE.BAL]\n"
                "Measure the directivity balloon of a loudspeaker: the main window of Vantrel.\n"
                "Without options it drives the turntables on the serial ports and the sound card chosen in its "
                "lists.\n\n"
                "Options:\n"
                "  --simulate         bind both turntables and the sound card to the built-in simulated rig\n"
                "  --fault KIND=N     with --simulate, %.*s\n"
                "  --sim-room L,W,H[,ALPHA]\n"
                "                     with --simulate: the rig stands in a shoebox room, L x W x H metres, each\n"
                "                     surface absorbing ALPHA of the energy (default 0.1); the rotation centre and\n"
                "                     the microphone 2 m apart along its length, centred\n"
                "  --sim-rig-height M with --sim-room: the rig's height above the floor (default 1.3 m)\n"
                "  --sim-offset X,Y,Z with --simulate: the loudspeaker's baffle centre X,Y,Z mm off the rotation\n"
                "                     centre, in its own frame (+z its axis, +y up the baffle, +x right-handed)\n"
                "  --sim-arc N,STEP   with --simulate: N microphones on an arc, STEP degrees apart; \"RUN Test\"\n"
                "                     walks the arc's stops (\"Arc...\" in the measurement window shows them)\n"
                "  --sim-mic-errors SEED\n"
                "                     with --simulate: the arc's microphones' level, phase and radius errors,\n"
                "                     drawn from SEED; without an arc the one microphone's are the first's\n"
                "  --arc FILE         the microphone arc described in FILE (as \"Arc...\" opens it)\n"
                "  --arc-calibration FILE\n"
                "                     with an arc: its self-calibration set (\"Arc Calibrate\" writes one)\n"
                "  --speed N          with --simulate: run the clock N times faster\n"
                "  --log              print every event (serial bytes, timers, message boxes with their\n"
                "                     answers, file dialogs) to standard error\n"
                "  --api [PORT]       with --simulate: serve the HTTP interface (/api/v1) on 127.0.0.1 (port 4747);\n"
                "                     a script's walk shows its progress in the window's title; the token file\n"
                "                     is printed\n"
                "  --screenshot FILE  render the main window after start-up to FILE (PNG) and exit; message\n"
                "                     boxes take their default answer\n"
                "  --help             print this help and exit\n"
                "  --version          print the version and exit\n"
                "  FILE.BAL           open this balloon file at start and show it in \"Fine Mode\"\n\n"
                "Environment:\n"
                "  VANTREL_PORT_<NAME>  the device a port name of the lists opens, for example\n"
                "                       VANTREL_PORT_COM5=/dev/ttyUSB0 (by default COM1..COM6 are\n"
                "                       /dev/ttyS0..5 and COM21..COM26 /dev/ttyUSB0..5)\n\n"
                "The measurement settings and the calibration curve are kept in Pellant.pre in the directory\n"
                "the program was started from. vantrel-cli(1) runs the same logic without a window.\n",
                static_cast<int>(vantrel::kSimFaultHelp.size()), vantrel::kSimFaultHelp.data());
}

} // namespace

int main(int argc, char** argv)
{
    vantrel::QtPlatformOptions options;
    bool simulate = false;
    vantrel::SimFaults faults;
    bool rehearse = false;
    std::string screenshot;
    std::optional<std::string> roomText, rigHeightText;
    std::optional<std::string> offsetText;
    std::optional<int> apiPort;
    std::optional<std::string> balloonFile;
    vantrel::ArcOptions arcOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            help();
            return 0;
        } else if (a == "--version") {
            std::printf("vantrel %s\n", vantrel::vantrelVersionText().c_str());
            return 0;
        } else if (a == "--simulate")
            simulate = true;
        else if (a == "--fault" && i + 1 < argc) {
            if (const std::string error = vantrel::addSimFault(argv[++i], faults); !error.empty()) {
                std::fprintf(stderr, "vantrel: %s\n", error.c_str());
                return 2;
            }
            rehearse = true;
        } else if (a == "--sim-room" && i + 1 < argc) {
            roomText = argv[++i];
        } else if (a == "--sim-rig-height" && i + 1 < argc) {
            rigHeightText = argv[++i];
        } else if (a == "--sim-offset" && i + 1 < argc) {
            offsetText = argv[++i];
        } else if (a == "--sim-arc" && i + 1 < argc) {
            arcOptions.simArc = argv[++i];
        } else if (a == "--sim-mic-errors" && i + 1 < argc) {
            double seed = 0;
            if (!vantrel::parseDecimal(argv[++i], seed) || !(seed >= 0 && seed <= 4294967295.0) || seed != std::floor(seed))
                return usage();
            arcOptions.micErrorsSeed = static_cast<std::uint32_t>(seed);
        } else if (a == "--arc" && i + 1 < argc) {
            arcOptions.arcFile = argv[++i];
        } else if (a == "--arc-calibration" && i + 1 < argc) {
            arcOptions.arcCalibration = argv[++i];
        } else if (a == "--log")
            options.logEvents = true;
        else if (a == "--speed" && i + 1 < argc) {
            if (!vantrel::parseDecimal(argv[++i], options.speed) || options.speed <= 0)
                return usage();
        } else if (a == "--api") {
            apiPort = vantrel::kApiDefaultPort;
            if (i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9') {
                double port = 0;
                if (!vantrel::parseDecimal(argv[++i], port) || port != static_cast<int>(port) || port < 0 || port > 65535)
                    return usage();
                apiPort = static_cast<int>(port);
            }
        } else if (a == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
            options.autoAnswer = true;
        } else if (!a.starts_with("-") && !balloonFile)
            balloonFile = a;
        else
            return usage();
    }
    if (rehearse && !simulate) {
        std::fprintf(stderr, "vantrel: --fault needs --simulate (faults are rehearsed on the simulated rig)\n");
        return 2;
    }
    if ((roomText || rigHeightText) && !simulate) {
        std::fprintf(stderr, "vantrel: --sim-room and --sim-rig-height need --simulate\n");
        return 2;
    }
    if (offsetText) {
        std::string error = simulate ? vantrel::parseSimOffset(*offsetText, faults.mountOffset)
                                     : "--sim-offset needs --simulate";
        if (!error.empty()) {
            std::fprintf(stderr, "vantrel: %s\n", error.c_str());
            return 2;
        }
    }
    if (rigHeightText && !roomText) {
        std::fprintf(stderr, "vantrel: --sim-rig-height needs --sim-room\n");
        return 2;
    }
    if (roomText) {
        vantrel::SimRoom room;
        const std::string error = vantrel::simRoomFromOptions(*roomText, rigHeightText.value_or(""),
                                                              vantrel::SimAudioOptions{}.distance, room);
        if (!error.empty()) {
            std::fprintf(stderr, "vantrel: %s\n", error.c_str());
            return 2;
        }
        faults.room = room;
    }
    // The microphone arc: read as the command line's measure reads it, refused alike.
    std::optional<vantrel::ArcSetup> arcSetup;
    if (const std::string error = vantrel::readArcOptions(arcOptions, simulate, faults, arcSetup); !error.empty()) {
        std::fprintf(stderr, "vantrel: %s\n", error.c_str());
        return 2;
    }
    if (apiPort && !simulate) {
        std::fprintf(stderr, "vantrel: --api needs --simulate here (the window holds the turntables' ports); "
                             "vantrel-cli serve --tt1 PORT --tt2 PORT serves real turntables\n");
        return 2;
    }
    if (options.speed != 1.0 && !simulate) {
        std::fprintf(stderr, "vantrel: --speed needs --simulate (real turntables keep real time)\n");
        return 2;
    }

    // Before Qt's environment fills in a runtime directory of its own: the token goes where a
    // client looks for it.
    const std::string runtimeDirectory = vantrel::sessionRuntimeDirectory();
    vantrel::prepareQtEnvironment();
    QApplication app(argc, argv);
    options.rigClock = simulate;
    vantrel::QtPlatform platform(options);
    vantrel::DeviceSet devices(simulate, platform.clock(), platform.log(), faults);
    auto mainWindow = vantrel::MainWindow::start(platform, devices.devices(), QDir::currentPath().toStdString());
    if (!mainWindow)
        return 1;
    // The HTTP interface beside the window: a script's walk shows its progress in the title.
    std::unique_ptr<vantrel::ApiServer> api;
    std::string tokenPath;
    if (apiPort) {
        vantrel::ApiServerOptions o;
        o.rig.simulate = true;
        o.rig.faults = faults;
        // Its tables and single measurements use the rig's own microphone; its walks the arc.
        o.rig.faults.arc.clear();
        o.rig.faults.arcRadius = 0;
        o.rig.simArc = arcOptions.simArc;
        o.rig.micErrorsSeed = arcOptions.micErrorsSeed;
        o.directory = QDir::currentPath().toStdString();
        o.token = vantrel::makeApiToken();
        api = std::make_unique<vantrel::ApiServer>(o);
        const quint16 port = api->listen(QHostAddress::LocalHost, static_cast<quint16>(*apiPort));
        std::string why;
        if (port != 0)
            tokenPath = vantrel::writeApiToken(o.token, port, runtimeDirectory, why);
        if (port == 0 || tokenPath.empty()) {
            std::fprintf(stderr, "vantrel: --api: %s\n",
                         port == 0 ? ("cannot listen on 127.0.0.1 port " + std::to_string(*apiPort)).c_str() : why.c_str());
            return 1;
        }
        std::printf("api: http://127.0.0.1:%u/api/v1\ntoken: %s\n", static_cast<unsigned>(port), tokenPath.c_str());
        std::fflush(stdout);
        vantrel::WindowHost& host = mainWindow->host();
        api->onWalkNews([&host](const vantrel::ApiWalkNews& n) {
            std::string title = "API walk " + std::to_string(n.id) + ": ";
            title += n.state == "running" ? vantrel::progressLine(n.progress)
                                          : n.state + " after " + std::to_string(n.progress.done) + " of " +
                                                std::to_string(n.progress.total) + " points" +
                                                (n.message.empty() ? "" : " (" + n.message + ")") +
                                                (n.file.empty() ? "" : ", saved " + n.file);
            host.setTitle(title);
            // Also drawn in the window's free strip at the bottom, where no title bar is shown,
            // with a bar of the points done.
            vantrel::Canvas& c = host.surface();
            c.setFont(vantrel::Font::System);
            c.setTextColour({0, 0, 0});
            c.setTextBackground(true, vantrel::kMainBackground);
            c.textOut(8, 762, title + std::string(40, ' '));
            constexpr int barLeft = 900, barRight = 1200, barTop = 764, barBottom = 776;
            const int total = std::max(n.progress.total, 1);
            const int done = barLeft + (barRight - barLeft) * std::clamp(n.progress.done, 0, total) / total;
            c.setPen({{0, 0, 0}});
            c.setBrush({{255, 255, 255}});
            c.rectangle(barLeft, barTop, barRight, barBottom);
            c.setBrush({{0, 120, 0}});
            if (done > barLeft)
                c.rectangle(barLeft, barTop, done, barBottom);
            host.showDrawing();
        });
    }
    if (arcSetup)
        mainWindow->useArc(std::move(*arcSetup->arc), arcOptions.arcFile, std::move(arcSetup->calibration));
    if (balloonFile)
        mainWindow->openBalloonAtStart(*balloonFile);
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
    const int status = app.exec();
    if (!tokenPath.empty())
        std::remove(tokenPath.c_str());
    return status;
}
