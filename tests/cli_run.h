#pragma once
// Runs vantrel-cli as a user does, through the shell, and keeps its exit status and both output
// streams. The test target defines VANTREL_CLI_PATH.

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "temp_dir.h"

namespace vantrel::testing {

struct CliResult {
    int status = -1; // exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// `arguments` is shell text after the program name; `environment` is prefixed as shell
// assignments ("LC_ALL=C").
inline CliResult runCli(const std::string& arguments, const std::string& environment = {})
{
    static const TempDir scratch;
    static int serial = 0;
    const auto out = scratch.path() / ("out" + std::to_string(++serial));
    const auto err = scratch.path() / ("err" + std::to_string(serial));
    const std::string command = environment + " '" VANTREL_CLI_PATH "' " + arguments + " > '" + out.string() + "' 2> '" +
                                err.string() + "' < /dev/null";
    const int raw = std::system(command.c_str());
    CliResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    return result;
}

} // namespace vantrel::testing
