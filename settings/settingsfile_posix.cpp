#include "configfolder.h"
#include "settingsfile.h"

#include <system_error>

std::filesystem::path SettingsFolder()
{
    std::filesystem::path folder = ConfigFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}
