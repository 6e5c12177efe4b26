#pragma once
// Runs the program under a session script in-process, exactly as `vantrel-cli session` does,
// and hands back the recorded events.

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "devices/device_set.h"
#include "app/main_window.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/session_script.h"
#include "temp_dir.h"

namespace vantrel::testing {

struct SessionRun {
    std::string events;
    std::optional<ScriptError> error;

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        std::istringstream in(events);
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }
    bool has(const std::string& line) const
    {
        for (const auto& l : lines())
            if (l == line)
                return true;
        return false;
    }
    // Index of the first line containing text, or -1.
    int find(const std::string& text) const
    {
        const auto all = lines();
        for (std::size_t i = 0; i < all.size(); ++i)
            if (all[i].find(text) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    }
};

// A session whose HeadlessPlatform and main window stay alive for inspection between scripts.
class Session {
public:
    explicit Session(const std::filesystem::path& directory, bool simulate = false, const SimFaults& faults = {})
        : platform_(out_), devices_(simulate, platform_.clock(), platform_.log(), faults),
          main_(MainWindow::start(platform_, devices_.devices(), directory.string()))
    {
    }

    SessionRun run(const std::string& script)
    {
        std::istringstream in(script);
        const auto start = out_.str().size();
        auto error = runSessionScript(platform_, in);
        return {out_.str().substr(start), error};
    }
    std::string startupEvents() const { return out_.str(); }
    HeadlessPlatform& platform() { return platform_; }
    MainWindow& main() { return *main_; }
    DeviceSet& devices() { return devices_; }

private:
    std::ostringstream out_;
    HeadlessPlatform platform_;
    DeviceSet devices_;
    std::unique_ptr<MainWindow> main_;
};

#ifdef VANTREL_CLI
// The real `vantrel-cli session OPTIONS` in directory dir, fed script (printf escapes allowed);
// standard output and error together.
inline std::string runCliSession(const std::filesystem::path& dir, const std::string& options, const std::string& script)
{
    const std::string command =
        "cd '" + dir.string() + "' && printf '" + script + "' | '" VANTREL_CLI "' session " + options + " 2>&1";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}
#endif

inline SessionRun runSession(const std::filesystem::path& directory, const std::string& script, bool simulate = false)
{
    Session s(directory, simulate);
    SessionRun r = s.run(script);
    r.events = s.startupEvents();
    return r;
}

} // namespace vantrel::testing
