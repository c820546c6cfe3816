#include "settingsfile.h"

#include <windows.h>

std::filesystem::path SettingsFolder()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::filesystem::path(std::string(folder));
}

bool ReplaceFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    const std::string target = path.string();
    // MoveFileEx would replace even a read-only file, which could not be written in
    // place: leave it alone.
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    const std::string temporary = target + ".tmp" + std::to_string(GetCurrentProcessId());
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool written = true;
    while (written && !bytes.empty()) {
        DWORD count = 0;
        written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr)
            && count > 0;
        bytes.remove_prefix(count);
    }
    written = FlushFileBuffers(file) && written;
    written = CloseHandle(file) && written;
    if (!written
        || !MoveFileExA(temporary.c_str(), target.c_str(),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}
