#include "settingsfile.h"

#include <windows.h>

namespace {

// The system directory, or empty when the system does not say (a result of 0, or
// one that does not fit).
std::string SystemDirectory()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::string(folder, length);
}

} // namespace

Status CreateSettingsFolder()
{
    // The system directory always exists; all that can fail is asking for it.
    if (SystemDirectory().empty()) {
        return { ErrorKind::NotFound, "the system directory is unknown" };
    }
    return {};
}

std::filesystem::path SettingsFolder()
{
    return std::filesystem::path(SystemDirectory());
}
