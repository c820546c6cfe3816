#include "configfolder.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

std::filesystem::path ConfigFolder()
{
    // Relative values of XDG_CONFIG_HOME are to be ignored, as the base directory
    // rules say; then the home folder's .config.
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return std::filesystem::path(configHome) / "byteway";
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd *entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config" / "byteway";
}
