#include "serial/configfolder.h"
#include "settingsfile.h"

#include <system_error>

Status CreateSettingsFolder()
{
    const std::filesystem::path folder = ConfigFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return Status::FromErrorCode(error, folder.string());
    }
    return {};
}

std::filesystem::path SettingsFolder()
{
    // The port links are made in it before any save; a folder that cannot be made
    // is reported by the save (SaveSettings), which makes it again.
    static_cast<void>(CreateSettingsFolder());
    return ConfigFolder();
}
