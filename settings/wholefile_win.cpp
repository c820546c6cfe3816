#include "wholefile.h"

#include <algorithm>
#include <string>

#include <windows.h>

namespace {

const char *const kNotRegular = "not a regular file";

Status notRegular()
{
    return { ErrorKind::Invalid, kNotRegular };
}

ErrorKind kindOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return ErrorKind::NoAccess;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ErrorKind::Busy;
    default:
        return ErrorKind::Io;
    }
}

Status failCode(DWORD code)
{
    char *text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return { kindOf(code), message };
}

// Closes the handle when it goes out of scope.
class Handle
{
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    { }
    ~Handle()
    {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    HANDLE get() const { return m_handle; }
    bool closeNow()
    {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

// A disk file, not a folder, pipe, console or device.
bool isRegular(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info {};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info)
        && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

Result<std::string> ReadRegularFile(
    const std::filesystem::path &path, std::size_t maxBytes, FileAccess access)
{
    std::string bytes;
    const DWORD rights = GENERIC_READ | (access == FileAccess::ReadWrite ? GENERIC_WRITE : 0);
    Handle file(CreateFileW(path.c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return failCode(GetLastError());
    }
    if (!isRegular(file.get())) {
        return notRegular();
    }
    bytes.resize(maxBytes);
    std::size_t done = 0;
    while (done < maxBytes) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(maxBytes - done, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, chunk, &got, nullptr)) {
            return failCode(GetLastError());
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

Result<std::filesystem::path> ResolveLinks(const std::filesystem::path &path)
{
    // The final path of what the name leads to, through any links; a missing file is
    // created under the name given.
    Handle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(
        file.get(), final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    if (length >= final.size()) {
        final.resize(length + 1);
        length = GetFinalPathNameByHandleW(
            file.get(), final.data(), static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= final.size()) {
        return failCode(GetLastError());
    }
    final.resize(length);
    return std::filesystem::path(final);
}

Status ReplaceFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    const Result<std::filesystem::path> resolved = ResolveLinks(path);
    if (!resolved) {
        return resolved.status();
    }
    const std::filesystem::path &target = *resolved;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        // MoveFileEx would replace even a read-only file, which could not be written
        // in place: leave it alone, as anything that is not a plain disk file.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return failCode(ERROR_ACCESS_DENIED);
        }
        Handle old(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (old.get() != INVALID_HANDLE_VALUE && !isRegular(old.get())) {
            return notRegular();
        }
    }
    std::filesystem::path temporary = target;
    temporary += L".tmp" + std::to_wstring(GetCurrentProcessId());
    // The new file keeps the old one's hidden, system and archive marks.
    const DWORD kept = exists
        ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE)
        : 0;
    Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return failCode(GetLastError());
    }
    DWORD error = ERROR_SUCCESS;
    while (error == ERROR_SUCCESS && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD count = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &count, nullptr) || count == 0) {
            error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
        }
        bytes.remove_prefix(count);
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get())) {
        error = GetLastError();
    }
    if (!file.closeNow() && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS
        && !MoveFileExW(temporary.c_str(), target.c_str(),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        return failCode(error);
    }
    return {};
}
