#include "settingsfile.h"

#include <windows.h>

std::filesystem::path SettingsFolder()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::filesystem::path(std::string(folder));
}
