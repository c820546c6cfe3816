#include "settingsfile.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

namespace {

std::filesystem::path ConfigHome()
{
    // Relative values of XDG_CONFIG_HOME are to be ignored, as the base directory
    // rules say; then the home folder's .config.
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return configHome;
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd *entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config";
}

} // namespace

std::filesystem::path SettingsFolder()
{
    const std::filesystem::path folder = ConfigHome() / "byteway";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}
