#pragma once
// A decimal-comma locale for tests that check the program ignores LC_NUMERIC. The machine may
// not have one installed, so "de_DE.UTF-8" is compiled once per build tree with localedef and
// used through LOCPATH.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vantrel::testing {

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

// The LOCPATH directory holding kCommaLocale, or empty when localedef cannot make it.
inline std::string commaLocaleDir()
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(VANTREL_TEST_BINARY_DIR) / "test-locales";
    const fs::path target = dir / kCommaLocale;
    if (fs::exists(target / "LC_NUMERIC"))
        return dir.string();
    std::error_code ec;
    fs::create_directories(dir, ec);
    // Built under a private name and renamed, so that tests running side by side never see half
    // a locale.
    const fs::path partial = dir / ("partial-" + std::to_string(::getpid()));
    const std::string command = "localedef -i de_DE -f UTF-8 '" + partial.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(partial / "LC_NUMERIC")) {
        fs::remove_all(partial, ec);
        return {};
    }
    fs::rename(partial, target, ec);
    if (ec)
        fs::remove_all(partial, ec); // another test got there first
    return fs::exists(target / "LC_NUMERIC") ? dir.string() : std::string();
}

// Environment prefix for a shell command running under the decimal-comma locale.
inline std::string commaLocaleEnv(const std::string& dir)
{
    return "LOCPATH='" + dir + "' LC_ALL=" + kCommaLocale + " LANG=" + kCommaLocale + " ";
}

} // namespace vantrel::testing
