// vantrel-cli serve: the HTTP/JSON interface on the rig that measure would use, until Ctrl+C.

#include <unistd.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/measure_plan.h"
#include "cli/cli_command.h"
#include "cli/sim_fault_option.h"
#include "server/api_server.h"

namespace vantrel {
namespace {

constexpr std::string_view kName = "serve";

std::atomic<bool> stopRequested{false};
extern "C" void onStop(int) { stopRequested.store(true); }

struct ServeOptions {
    MeasureRequest rig;
    int port = kApiDefaultPort;
    std::string listen = "127.0.0.1";
    std::string tokenFile;
    std::string directory = ".";
};

int run(ServeOptions o)
{
    QHostAddress address;
    if (!address.setAddress(QString::fromStdString(o.listen)))
        return cliUsageError(kName, "--listen '" + o.listen + "' is not an IP address");
    std::error_code ec;
    if (!std::filesystem::is_directory(o.directory, ec))
        return cliUsageError(kName, "--directory '" + o.directory + "' is not a directory");
    const std::string directory = std::filesystem::absolute(o.directory, ec).lexically_normal().string();
    // The rig options are checked as measure checks them.
    const MeasurePlan plan = planMeasure(o.rig, directory);
    if (!plan.error.empty())
        return plan.usage ? cliUsageError(kName, plan.error) : cliRefusal(kName, plan.error);

    ApiServerOptions options;
    options.rig = o.rig;
    // Moves, single measurements and checks hear the rig as its walks do (room, mount,
    // distortion), through the rig's own microphone: an arc is the walks' alone.
    options.rig.faults = plan.job.faults;
    options.rig.faults.arc.clear();
    options.rig.faults.arcRadius = 0;
    options.directory = directory;
    std::string why;
    if (!o.tokenFile.empty()) {
        options.token = readApiTokenFile(o.tokenFile, why);
        if (options.token.empty())
            return cliUsageError(kName, "--token-file: " + why);
    } else if (!address.isLoopback()) {
        return cliUsageError(kName, "--listen " + o.listen + " opens the interface to other machines: give --token-file "
                                    "FILE with a token of your own (one line, at least 16 characters, chmod 600)");
    } else {
        options.token = makeApiToken();
    }

    int argc = 1;
    char program[] = "vantrel-cli";
    char* argv[] = {program, nullptr};
    QCoreApplication app(argc, argv);
    ApiServer server(options);
    const quint16 port = server.listen(address, static_cast<quint16>(o.port));
    if (port == 0)
        return cliRefusal(kName, "cannot listen on " + o.listen + " port " + std::to_string(o.port) +
                                     " (taken by another program, or not this machine's address)");
    std::string tokenPath = o.tokenFile;
    if (o.tokenFile.empty()) {
        tokenPath = writeApiToken(options.token, port, sessionRuntimeDirectory(), why);
        if (tokenPath.empty())
            return cliRefusal(kName, "cannot keep the token: " + why);
    }
    const std::string host = address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + o.listen + "]" : o.listen;
    std::printf("listening: http://%s:%u/api/v1\ntoken: %s\ndirectory: %s\n", host.c_str(), static_cast<unsigned>(port),
                tokenPath.c_str(), directory.c_str());
    std::fflush(stdout);

    stopRequested.store(false);
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&app] {
        if (stopRequested.load())
            app.quit();
    });
    watch.start(100);
    app.exec();
    if (o.tokenFile.empty())
        std::filesystem::remove(tokenPath, ec);
    std::printf("stopped\n");
    return 0;
}

std::function<int()> setupServe(CLI::App& app)
{
    auto o = std::make_shared<ServeOptions>();
    MeasureRequest& rig = o->rig;
    app.add_flag("--simulate", rig.simulate, "serve the built-in simulated rig (virtual clock)");
    app.add_option("--tt1", rig.tt1, "turntable 1 (H): a port list name such as COM5, or a device path");
    app.add_option("--tt2", rig.tt2, "turntable 2 (V): a port list name or a device path");
    app.add_option("--input", rig.input, "input device number of the sound card")->check(CLI::Range(0, 19));
    app.add_option("--output", rig.output, "output device number of the sound card")->check(CLI::Range(0, 19));
    addSimFaultOption(app, rig.faults)->needs("--simulate");
    addSimRigOptions(app, rig);
    app.add_option("--port", o->port, "TCP port (0: any free one)")->capture_default_str()->check(CLI::Range(0, 65535));
    app.add_option("--listen", o->listen,
                   "the address to listen on; another than the loopback needs --token-file")
        ->capture_default_str();
    app.add_option("--token-file", o->tokenFile,
                   "the bearer token from this file (first line, at least 16 characters, readable by you alone) "
                   "instead of a random one")
        ->check(CLI::ExistingFile);
    app.add_option("--directory", o->directory,
                   "where walks autosave and write their balloon files")
        ->capture_default_str();
    return [o] { return run(*o); };
}

const CliRegistration registration({"serve",
                                    "Serve the HTTP/JSON interface (/api/v1) on the rig: status, turntable moves and "
                                    "walks with their progress as events",
                                    setupServe});

} // namespace
} // namespace vantrel
